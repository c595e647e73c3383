// The object model the subsystems are written against: TObject, TPersistent, TComponent
// (owner frees owned components; free notification of non-owned peers; loading state with
// Loaded() in creation order) and notify events. User-interface thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SysUtils.h"

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

// Raised when Assign gets an object it cannot take: "Cannot assign a %s to a %s".
class EConvertAssignError : public EConvertError {
 public:
  using EConvertError::EConvertError;
};

class TPersistent : public TObject {
 public:
  // Copies source into this object; the base raises the assignment error.
  virtual void Assign(const TPersistent* source);
  virtual std::string ClassName() const;
};

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : uint8_t { csLoading = 1, csDestroying = 2, csDesigning = 4 };

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return FOwner; }
  const std::string& Name() const { return FName; }
  void SetName(const std::string& v) { FName = v; }
  intptr_t Tag() const { return FTag; }
  void SetTag(intptr_t v) { FTag = v; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int i) const;
  TComponent* FindComponent(const std::string& name) const;

  uint8_t ComponentState() const { return FComponentState; }
  bool IsLoading() const { return (FComponentState & csLoading) != 0; }
  bool IsDestroying() const { return (FComponentState & csDestroying) != 0; }

  // Asks to be told (Notification with opRemove) when component is destroyed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Loading: BeginLoading marks this root and every component it comes to own as loading;
  // EndLoading calls Loaded() on the root and then on each owned component, in creation order.
  void BeginLoading();
  void EndLoading();

 protected:
  // End of loading; the base clears the loading state. Overrides call the base first.
  virtual void Loaded();
  virtual void Notification(TComponent* component, TOperation operation);
  void SetDesigning(bool v);

 private:
  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);

  TComponent* FOwner = nullptr;
  std::string FName;
  intptr_t FTag = 0;
  uint8_t FComponentState = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
};
