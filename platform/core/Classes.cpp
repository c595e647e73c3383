#include "Classes.h"

#include <algorithm>
#include <typeinfo>

std::string TPersistent::ClassName() const {
  // The dynamic type's name, as the platform prints it in its messages.
  return DemangledTypeName(typeid(*this));
}

void TPersistent::Assign(const TPersistent* source) {
  std::string from = source ? source->ClassName() : std::string("nil");
  throw EConvertAssignError(Format("Cannot assign a %s to a %s", from.c_str(), ClassName().c_str()));
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  FComponentState |= csDestroying;
  // Peers that asked to be told forget us first; they may unsubscribe while we walk.
  while (!FFreeNotifies.empty()) {
    TComponent* peer = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    peer->RemoveFreeNotification(this);
    peer->Notification(this, opRemove);
  }
  // Owned components go last to first, as they were built on one another.
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    delete c;  // its destructor removes it from FComponents
  }
  // RemoveComponent clears FOwner, so the owner is told through a copy.
  if (TComponent* owner = FOwner) {
    owner->RemoveComponent(this);
    owner->Notification(this, opRemove);
  }
}

TComponent* TComponent::Components(int i) const {
  if (i < 0 || i >= ComponentCount()) throw EListError(Format("List index out of bounds (%d)", i));
  return FComponents[static_cast<size_t>(i)];
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : FComponents)
    if (SameText(c->FName, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
  FComponents.push_back(c);
  c->FOwner = this;
  if (IsLoading()) c->FComponentState |= csLoading;
}

void TComponent::RemoveComponent(TComponent* c) {
  auto it = std::find(FComponents.begin(), FComponents.end(), c);
  if (it != FComponents.end()) FComponents.erase(it);
  c->FOwner = nullptr;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(component);
    component->FreeNotification(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component);
  if (it != FFreeNotifies.end()) {
    FFreeNotifies.erase(it);
    component->RemoveFreeNotification(this);
  }
}

void TComponent::BeginLoading() {
  FComponentState |= csLoading;
  for (TComponent* c : FComponents) c->FComponentState |= csLoading;
}

void TComponent::EndLoading() {
  Loaded();
  // Indexing, not iterators: Loaded() of one component may create others.
  for (size_t i = 0; i < FComponents.size(); ++i)
    if (FComponents[i]->IsLoading()) FComponents[i]->Loaded();
}

void TComponent::Loaded() { FComponentState &= static_cast<uint8_t>(~csLoading); }

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::SetDesigning(bool v) {
  if (v)
    FComponentState |= csDesigning;
  else
    FComponentState &= static_cast<uint8_t>(~csDesigning);
}
