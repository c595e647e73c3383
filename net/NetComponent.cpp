#include "NetComponent.h"

#include <atomic>
#include <thread>

#include "NetStack.h"
#include "Scope.h"

namespace {

// 32-bit counters wrap as the platform's integers do, instead of overflowing.
int32_t WrappingAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

std::atomic<TNetAntiFreezeBase*> GCurrentAntiFreeze{nullptr};

// Static initialisation runs on the program's main thread.
const std::thread::id GMainThread = std::this_thread::get_id();

}  // namespace

TNetComponent::TNetComponent(TComponent* AOwner) : TNetBaseComponent(AOwner) { NetStackState().ComponentCreated(); }

TNetComponent::~TNetComponent() { NetStackState().ComponentDestroyed(); }

void TNetComponent::StartWork(TWorkMode AWorkMode, int32_t ASize) {
  TWorkRecord& w = FWork[AWorkMode];
  w.Level = WrappingAdd(w.Level, 1);
  if (w.Level == 1) {
    w.Size = ASize;
    w.Position = 0;
    if (!OnWorkBegin) return;
    try {
      OnWorkBegin(this, AWorkMode, ASize);
    } catch (...) {
      // The caller never got its period, so it will not close it: leave the mode closed.
      w.Level = WrappingAdd(w.Level, -1);
      throw;
    }
  }
}

void TNetComponent::ReportWork(TWorkMode AWorkMode, int32_t ACount) {
  TWorkRecord& w = FWork[AWorkMode];
  if (w.Level <= 0) return;
  w.Position = WrappingAdd(w.Position, ACount);
  if (OnWork) OnWork(this, AWorkMode, w.Position);
}

void TNetComponent::FinishWork(TWorkMode AWorkMode) {
  TWorkRecord& w = FWork[AWorkMode];
  // The level goes down after the event, so that work the handler does is nested in the
  // period; and also when the handler raises, so that the period is closed either way.
  TScopeExit lower([&w] { w.Level = WrappingAdd(w.Level, -1); });
  if (w.Level == 1 && OnWorkEnd) OnWorkEnd(this, AWorkMode);
}

TNetAntiFreezeBase::TNetAntiFreezeBase(TComponent* AOwner) : TNetBaseComponent(AOwner) {
  GCurrentAntiFreeze.store(this);
}

TNetAntiFreezeBase::~TNetAntiFreezeBase() { GCurrentAntiFreeze.store(nullptr); }

TNetAntiFreezeBase* TNetAntiFreezeBase::CurrentAntiFreeze() { return GCurrentAntiFreeze.load(); }

bool TNetAntiFreezeBase::InEffect() {
  TNetAntiFreezeBase* a = CurrentAntiFreeze();
  return a && std::this_thread::get_id() == GMainThread && a->Active();
}

void TNetAntiFreezeBase::Pulse(bool AIdle, bool AOverride) {
  if (!InEffect()) return;
  TNetAntiFreezeBase* a = CurrentAntiFreeze();
  if ((AIdle || !a->OnlyWhenIdle() || AOverride) && a->Active()) a->ProcessPending();
}
