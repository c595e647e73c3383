// The base of the network components: their lifetime keeps the socket stack alive (the first
// one made creates it, the last one destroyed frees it), and they report long operations
// through three work events, counted per work mode so that only the outermost period of a mode
// announces its begin and end. Beside it stands the anti-freeze hook, through which a socket
// wait could let the user interface run; no concrete anti-freeze exists in this program.
//
// Threads: a component is used by one thread at a time; its events run on the thread that
// called the operation, inside it. Creation and destruction may happen on any thread (the
// stack state has its own lock). The current anti-freeze is process-wide.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "Classes.h"

enum TWorkMode { wmRead, wmWrite };

enum TNetStatus {
  hsResolving,
  hsConnecting,
  hsConnected,
  hsDisconnecting,
  hsDisconnected,
  hsStatusText,
  ftpTransfer,
  ftpReady,
  ftpAborted
};

using TWorkBeginEvent = std::function<void(TObject* sender, TWorkMode workMode, int32_t workCountMax)>;
using TWorkEvent = std::function<void(TObject* sender, TWorkMode workMode, int32_t workCount)>;
using TWorkEndEvent = std::function<void(TObject* sender, TWorkMode workMode)>;
using TNetStatusEvent = std::function<void(TObject* sender, TNetStatus status, const std::string& statusText)>;

class TNetBaseComponent : public TComponent {
 public:
  using TComponent::TComponent;
};

class TNetComponent : public TNetBaseComponent {
 public:
  // Raises what creating the socket stack raises (the first component only).
  explicit TNetComponent(TComponent* owner);
  ~TNetComponent() override;

  virtual void StartWork(TWorkMode workMode, int32_t size);
  virtual void ReportWork(TWorkMode workMode, int32_t count);
  virtual void FinishWork(TWorkMode workMode);

  // Published here; no operation of this program raises it.
  TNetStatusEvent OnStatus;
  // Published by the subclasses that report work.
  TWorkBeginEvent OnWorkBegin;
  TWorkEvent OnWork;
  TWorkEndEvent OnWorkEnd;

 private:
  struct TWorkRecord {
    int32_t Level = 0;
    int32_t Position = 0;
    int32_t Size = 0;
  };
  TWorkRecord FWork[2];
};

class TNetAntiFreezeBase : public TNetBaseComponent {
 public:
  // The newest anti-freeze becomes the current one.
  explicit TNetAntiFreezeBase(TComponent* owner);
  // Any anti-freeze destroyed leaves none current.
  ~TNetAntiFreezeBase() override;

  bool Active() const { return FActive; }
  void SetActive(bool v) { FActive = v; }
  bool ApplicationHasPriority() const { return FApplicationHasPriority; }
  void SetApplicationHasPriority(bool v) { FApplicationHasPriority = v; }
  int32_t IdleTimeOut() const { return FIdleTimeOut; }
  void SetIdleTimeOut(int32_t v) { FIdleTimeOut = v; }
  bool OnlyWhenIdle() const { return FOnlyWhenIdle; }
  void SetOnlyWhenIdle(bool v) { FOnlyWhenIdle = v; }

  // Lets the user interface handle its pending messages.
  virtual void ProcessPending() = 0;

  static TNetAntiFreezeBase* CurrentAntiFreeze();
  // An active anti-freeze is current and the caller is the program's main thread.
  static bool InEffect();
  // Called by every socket wait after it returns; idle when the wait found nothing.
  static void Pulse(bool idle, bool forced = false);

 private:
  bool FActive = true;
  bool FApplicationHasPriority = true;
  int32_t FIdleTimeOut = 250;
  bool FOnlyWhenIdle = true;
};
