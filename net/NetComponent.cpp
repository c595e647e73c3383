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
const std::thread::id kMainThread = std::this_thread::get_id();

}  // namespace

TNetComponent::TNetComponent(TComponent* owner) : TNetBaseComponent(owner) { NetStackState().ComponentCreated(); }

TNetComponent::~TNetComponent() { NetStackState().ComponentDestroyed(); }

void TNetComponent::StartWork(TWorkMode workMode, int32_t size) {
  TWorkRecord& w = FWork[workMode];
  w.Level = WrappingAdd(w.Level, 1);
  if (w.Level == 1) {
    w.Size = size;
    w.Position = 0;
    if (!OnWorkBegin) return;
    try {
      OnWorkBegin(this, workMode, size);
    } catch (...) {
      // The caller never got its period, so it will not close it: leave the mode closed.
      w.Level = WrappingAdd(w.Level, -1);
      throw;
    }
  }
}

void TNetComponent::ReportWork(TWorkMode workMode, int32_t count) {
  TWorkRecord& w = FWork[workMode];
  if (w.Level <= 0) return;
  w.Position = WrappingAdd(w.Position, count);
  if (OnWork) OnWork(this, workMode, w.Position);
}

void TNetComponent::FinishWork(TWorkMode workMode) {
  TWorkRecord& w = FWork[workMode];
  // The level goes down after the event, so that work the handler does is nested in the
  // period; and also when the handler raises, so that the period is closed either way.
  TScopeExit lower([&w] { w.Level = WrappingAdd(w.Level, -1); });
  if (w.Level == 1 && OnWorkEnd) OnWorkEnd(this, workMode);
}

TNetAntiFreezeBase::TNetAntiFreezeBase(TComponent* owner) : TNetBaseComponent(owner) { GCurrentAntiFreeze.store(this); }

TNetAntiFreezeBase::~TNetAntiFreezeBase() { GCurrentAntiFreeze.store(nullptr); }

TNetAntiFreezeBase* TNetAntiFreezeBase::CurrentAntiFreeze() { return GCurrentAntiFreeze.load(); }

bool TNetAntiFreezeBase::InEffect() {
  TNetAntiFreezeBase* a = CurrentAntiFreeze();
  return a && std::this_thread::get_id() == kMainThread && a->Active();
}

void TNetAntiFreezeBase::Pulse(bool idle, bool forced) {
  if (!InEffect()) return;
  TNetAntiFreezeBase* a = CurrentAntiFreeze();
  if ((idle || !a->OnlyWhenIdle() || forced) && a->Active()) a->ProcessPending();
}
