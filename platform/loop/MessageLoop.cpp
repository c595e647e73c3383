// The thread's message queue, window registry, timers and watches.
//
// Sections: state; window handles; posting and taking messages; waiting; input hold; watches
// and timers; tick.
#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <queue>
#include <unordered_map>
#include <vector>

#include "LoopWait.h"
#include "LoopWatch.h"
#include "Messages.h"

namespace {

// Procedures and watch callbacks are shared, not copied, on each call: a callback may destroy
// its own registration, and copying a large closure would allocate per message.
struct TWindowRec {
  std::shared_ptr<const TWndProc> Proc;
  void* Data = nullptr;
  bool Invalid = false;
};

struct TWatchRec : TLoopRegistration {
  THostHandle Handle = -1;
  uint16_t Events = 0;
  std::shared_ptr<const std::function<void(uint16_t)>> Callback;
  ~TWatchRec() override;
};

struct TTimerRec : TLoopRegistration {
  uint64_t Due = 0;
  uint64_t Seq = 0;
  std::function<void()> Callback;
};

struct TIdleRec : TLoopRegistration {
  std::function<void()> Callback;
  ~TIdleRec() override;
};

struct TTimerEntry {
  uint64_t Due;
  uint64_t Seq;
  TTimerRec* Rec;
  bool operator>(const TTimerEntry& o) const { return Due != o.Due ? Due > o.Due : Seq > o.Seq; }
};

// Posted messages, first in first out. A ring that only ever grows, so that a steady flow of
// messages (one per datagram, say) allocates nothing.
class TMsgRing {
 public:
  bool Empty() const { return FCount == 0; }
  void Push(const TMsg& m) {
    if (FCount == FSlots.size()) Grow();
    FSlots[(FHead + FCount) % FSlots.size()] = m;
    ++FCount;
  }
  // Drops the messages `drop` picks; the others keep their order.
  template <class TPred>
  void RemoveIf(TPred drop) {
    size_t kept = 0;
    for (size_t i = 0; i < FCount; ++i) {
      const TMsg m = FSlots[(FHead + i) % FSlots.size()];
      if (!drop(m)) FSlots[(FHead + kept++) % FSlots.size()] = m;
    }
    FCount = kept;
  }
  TMsg Pop() {
    TMsg m = FSlots[FHead];
    FHead = (FHead + 1) % FSlots.size();
    --FCount;
    return m;
  }

 private:
  void Grow() {
    std::vector<TMsg> bigger(FSlots.size() * 2);
    for (size_t i = 0; i < FCount; ++i) bigger[i] = FSlots[(FHead + i) % FSlots.size()];
    FSlots.swap(bigger);
    FHead = 0;
  }
  std::vector<TMsg> FSlots = std::vector<TMsg>(64);
  size_t FHead = 0;
  size_t FCount = 0;
};

// What one wait looked at: the hooks and watches registered when it began (callbacks may
// change the registrations) and the readiness of each watch. One frame per nesting depth, kept
// for reuse, so that waiting allocates nothing once the lists have reached their size.
struct TWaitFrame {
  std::vector<TIdleRec*> Hooks;
  std::vector<TWatchRec*> Watches;
  std::vector<TWaitItem> Items;
};

struct TLoopState {
  std::mutex QueueLock;  // guards Queue and InputHolds: posting may come from any thread
  TMsgRing Queue;
  int InputHolds = 0;
  TLoopWait Waiter;

  std::unordered_map<HWND, TWindowRec> Windows;
  HWND NextHandle = 0x1000;
  std::vector<HWND> InvalidOrder;

  std::vector<TWatchRec*> Watches;
  std::priority_queue<TTimerEntry, std::vector<TTimerEntry>, std::greater<TTimerEntry>> Timers;
  std::vector<TTimerRec*> LiveTimers;
  uint64_t TimerSeq = 0;
  std::vector<TIdleRec*> IdleHooks;
  std::deque<TWaitFrame> WaitFrames;  // a deque: a nested wait's frame must not move ours
  size_t WaitDepth = 0;
};

TLoopState& Loop() {
  static TLoopState* state = new TLoopState();  // lives for the process; never torn down mid-exit
  return *state;
}

TWatchRec::~TWatchRec() {
  auto& w = Loop().Watches;
  w.erase(std::remove(w.begin(), w.end(), this), w.end());
}

TIdleRec::~TIdleRec() {
  auto& h = Loop().IdleHooks;
  h.erase(std::remove(h.begin(), h.end(), this), h.end());
}

}  // namespace

// ---- window handles ----

HWND AllocateHWnd(TWndProc proc) {
  TLoopState& L = Loop();
  HWND h = L.NextHandle++;
  L.Windows[h] = TWindowRec{proc ? std::make_shared<const TWndProc>(std::move(proc)) : nullptr, nullptr, false};
  return h;
}

void DeallocateHWnd(HWND hwnd) {
  TLoopState& L = Loop();
  L.Windows.erase(hwnd);
  L.InvalidOrder.erase(std::remove(L.InvalidOrder.begin(), L.InvalidOrder.end(), hwnd), L.InvalidOrder.end());
}

bool IsWindow(HWND hwnd) { return hwnd != 0 && Loop().Windows.count(hwnd) != 0; }

void SetWindowData(HWND hwnd, void* data) {
  auto it = Loop().Windows.find(hwnd);
  if (it != Loop().Windows.end()) it->second.Data = data;
}

void* GetWindowData(HWND hwnd) {
  auto it = Loop().Windows.find(hwnd);
  return it == Loop().Windows.end() ? nullptr : it->second.Data;
}

LRESULT DefWindowProc(HWND hwnd, uint32_t msg, WPARAM, LPARAM) {
  if (msg == WM_PAINT) ValidateWindow(hwnd);
  return 0;
}

void InvalidateWindow(HWND hwnd) {
  TLoopState& L = Loop();
  auto it = L.Windows.find(hwnd);
  if (it == L.Windows.end() || it->second.Invalid) return;
  it->second.Invalid = true;
  L.InvalidOrder.push_back(hwnd);
}

void ValidateWindow(HWND hwnd) {
  TLoopState& L = Loop();
  auto it = L.Windows.find(hwnd);
  if (it == L.Windows.end() || !it->second.Invalid) return;
  it->second.Invalid = false;
  L.InvalidOrder.erase(std::remove(L.InvalidOrder.begin(), L.InvalidOrder.end(), hwnd), L.InvalidOrder.end());
}

// ---- posting and taking messages ----

bool PostMessage(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
  TLoopState& L = Loop();
  {
    std::lock_guard<std::mutex> g(L.QueueLock);
    if (L.InputHolds > 0 && IsInputMessage(msg)) return true;  // taken, and dropped
    L.Queue.Push(TMsg{hwnd, msg, w, l});
  }
  L.Waiter.Wake();
  return true;
}

void PostQuitMessage(int exitCode) { PostMessage(0, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

bool PeekMessage(TMsg& msg) {
  TLoopState& L = Loop();
  {
    std::lock_guard<std::mutex> g(L.QueueLock);
    if (!L.Queue.Empty()) {
      msg = L.Queue.Pop();
      return true;
    }
  }
  if (!L.InvalidOrder.empty()) {
    msg = TMsg{L.InvalidOrder.front(), WM_PAINT, 0, 0};
    return true;
  }
  return false;
}

bool GetMessage(TMsg& msg) {
  while (!PeekMessage(msg)) WaitMessage(-1);
  return msg.message != WM_QUIT;
}

void TranslateMessage(const TMsg&) {
  // Character messages come from the display backend already; nothing to translate here.
}

LRESULT DispatchMessage(const TMsg& msg) {
  TLoopState& L = Loop();
  auto it = L.Windows.find(msg.hwnd);
  if (it == L.Windows.end()) return 0;
  if (IsInputMessage(msg.message) && InputHeld()) return 0;
  std::shared_ptr<const TWndProc> proc = it->second.Proc;  // held: it may destroy its own window
  LRESULT r = proc ? (*proc)(msg.hwnd, msg.message, msg.wParam, msg.lParam)
                   : DefWindowProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  // A paint handler that forgot to validate must not make the queue spin.
  if (msg.message == WM_PAINT) ValidateWindow(msg.hwnd);
  return r;
}

// ---- waiting ----

namespace {

bool MessageWaiting() {
  TLoopState& L = Loop();
  if (!L.InvalidOrder.empty()) return true;
  std::lock_guard<std::mutex> g(L.QueueLock);
  return !L.Queue.Empty();
}

// Fires due timers; returns the ms until the next one, or -1 when none is set.
int RunTimers() {
  TLoopState& L = Loop();
  uint64_t now = MonotonicMs();
  while (!L.Timers.empty()) {
    TTimerEntry top = L.Timers.top();
    bool alive =
        std::find(L.LiveTimers.begin(), L.LiveTimers.end(), top.Rec) != L.LiveTimers.end() && top.Rec->Seq == top.Seq;
    if (!alive) {
      L.Timers.pop();
      continue;
    }
    if (top.Due > now) return static_cast<int>(std::min<uint64_t>(top.Due - now, 1u << 30));
    L.Timers.pop();
    std::function<void()> cb = top.Rec->Callback;
    cb();
  }
  return -1;
}

// Takes the frame for this nesting depth for as long as the wait lasts.
class TWaitFrameUse {
 public:
  explicit TWaitFrameUse(TLoopState& l) : FLoop(l) {
    if (l.WaitFrames.size() <= l.WaitDepth) l.WaitFrames.emplace_back();
    Frame = &l.WaitFrames[l.WaitDepth++];
  }
  ~TWaitFrameUse() { --FLoop.WaitDepth; }
  TWaitFrameUse(const TWaitFrameUse&) = delete;
  TWaitFrameUse& operator=(const TWaitFrameUse&) = delete;
  TWaitFrame* Frame;

 private:
  TLoopState& FLoop;
};

void RunIdleHooks(TLoopState& l, TWaitFrame& f) {
  f.Hooks.assign(l.IdleHooks.begin(), l.IdleHooks.end());
  for (TIdleRec* h : f.Hooks)
    if (std::find(l.IdleHooks.begin(), l.IdleHooks.end(), h) != l.IdleHooks.end()) h->Callback();
}

// Waits up to `wait` ms (negative: no limit) for any watched handle, then calls the callbacks
// of those that are ready.
void PollWatches(TLoopState& l, TWaitFrame& f, int wait) {
  f.Watches.assign(l.Watches.begin(), l.Watches.end());
  f.Items.clear();
  for (TWatchRec* w : f.Watches) f.Items.push_back(TWaitItem{w->Handle, w->Events, 0});
  l.Waiter.Wait(f.Items, wait);
  // Callbacks may add or remove watches: only those still registered are called.
  for (size_t i = 0; i < f.Watches.size(); ++i) {
    uint16_t ready = f.Items[i].ready;
    if (!ready) continue;
    if (std::find(l.Watches.begin(), l.Watches.end(), f.Watches[i]) == l.Watches.end()) continue;
    std::shared_ptr<const std::function<void(uint16_t)>> cb = f.Watches[i]->Callback;
    (*cb)(ready);
  }
}

}  // namespace

bool WaitMessage(int timeoutMs) {
  TLoopState& L = Loop();
  TWaitFrameUse use(L);
  TWaitFrame& f = *use.Frame;
  const uint64_t start = MonotonicMs();
  bool polled = false;
  for (;;) {
    int timerWait = RunTimers();
    if (MessageWaiting()) return true;
    int remaining = -1;
    if (timeoutMs >= 0) {
      uint64_t elapsed = MonotonicMs() - start;
      // Even with no time left, handles that are ready are serviced once: a pump that never
      // blocks (WaitMessage(0)) must still see sockets and the display.
      const bool due = elapsed >= static_cast<uint64_t>(timeoutMs);
      if (due && polled) return false;
      remaining = due ? 0 : static_cast<int>(static_cast<uint64_t>(timeoutMs) - elapsed);
    }
    int wait = remaining;
    if (timerWait >= 0 && (wait < 0 || timerWait < wait)) wait = timerWait;

    RunIdleHooks(L, f);
    if (MessageWaiting()) return true;
    PollWatches(L, f, wait);
    polled = true;
  }
}

// ---- input hold ----

namespace {

// Takes in whatever the display and the sockets have delivered so far, without waiting, and
// drops every queued mouse and key message: input the user gave while the thread was held.
void DropPendingInput() {
  TLoopState& L = Loop();
  {
    TWaitFrameUse use(L);
    RunIdleHooks(L, *use.Frame);
    PollWatches(L, *use.Frame, 0);
  }
  std::lock_guard<std::mutex> g(L.QueueLock);
  L.Queue.RemoveIf([](const TMsg& m) { return IsInputMessage(m.message); });
}

// Adds `delta` to the hold count; returns the count before.
int AddInputHolds(int delta) {
  TLoopState& L = Loop();
  std::lock_guard<std::mutex> g(L.QueueLock);
  const int before = L.InputHolds;
  L.InputHolds += delta;
  return before;
}

}  // namespace

bool IsInputMessage(uint32_t msg) {
  return (msg >= WM_KEYDOWN && msg <= WM_SYSCHAR) || (msg >= WM_MOUSEMOVE && msg <= WM_LBUTTONUP);
}

bool InputHeld() { return AddInputHolds(0) > 0; }

TInputHold::TInputHold() { AddInputHolds(1); }

TInputHold::~TInputHold() {
  // Taken in while still held, so that nothing given meanwhile slips through.
  if (AddInputHolds(0) == 1) DropPendingInput();
  AddInputHolds(-1);
}

TInputRelease::TInputRelease() {
  if (!InputHeld()) return;
  DropPendingInput();
  FHeld = AddInputHolds(0);
  AddInputHolds(-FHeld);
}

TInputRelease::~TInputRelease() { AddInputHolds(FHeld); }

// ---- watches and timers ----

TLoopHandle WatchHandle(THostHandle handle, uint16_t events, std::function<void(uint16_t ready)> callback) {
  auto rec = std::make_unique<TWatchRec>();
  rec->Handle = handle;
  rec->Events = events;
  rec->Callback = std::make_shared<const std::function<void(uint16_t)>>(std::move(callback));
  Loop().Watches.push_back(rec.get());
  return rec;
}

void SetWatchEvents(TLoopRegistration* watch, uint16_t events) {
  if (auto* w = dynamic_cast<TWatchRec*>(watch)) w->Events = events;
}

namespace {
struct TTimerHandle : TTimerRec {
  ~TTimerHandle() override {
    auto& t = Loop().LiveTimers;
    t.erase(std::remove(t.begin(), t.end(), this), t.end());
  }
};
}  // namespace

TLoopHandle AddTimer(uint32_t ms, std::function<void()> callback) {
  TLoopState& L = Loop();
  auto rec = std::make_unique<TTimerHandle>();
  rec->Due = MonotonicMs() + ms;
  rec->Seq = ++L.TimerSeq;
  rec->Callback = std::move(callback);
  L.LiveTimers.push_back(rec.get());
  L.Timers.push(TTimerEntry{rec->Due, rec->Seq, rec.get()});
  L.Waiter.Wake();
  return rec;
}

TLoopHandle AddIdleHook(std::function<void()> callback) {
  auto rec = std::make_unique<TIdleRec>();
  rec->Callback = std::move(callback);
  Loop().IdleHooks.push_back(rec.get());
  return rec;
}

// ---- tick ----

uint32_t GetTickCount() { return static_cast<uint32_t>(MonotonicMs()); }
