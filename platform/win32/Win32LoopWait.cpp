#include <vector>

#include "LoopWait.h"
#include "LoopWatch.h"
#include "WinPrelude.h"  // last: see there

// The thread's own message queue is part of every wait: the display's window and the sockets'
// notification window receive the system's messages there, and their window procedures turn
// them into the platform's posted messages. Watched handles are waitable objects (events).
struct TLoopWait::THost {
  HANDLE Wake = nullptr;        // auto-reset: one Wake ends one wait
  std::vector<HANDLE> Handles;  // Wake first, then the watched items with an interest
  std::vector<size_t> Items;    // the item each handle after the first belongs to
};

TLoopWait::TLoopWait() : FHost(std::make_unique<THost>()) {
  FHost->Wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

TLoopWait::~TLoopWait() {
  if (FHost->Wake) CloseHandle(FHost->Wake);
}

void TLoopWait::Wake() { SetEvent(FHost->Wake); }

namespace {

// Hands the system's queued messages to their window procedures.
void PumpSystemMessages() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

}  // namespace

void TLoopWait::Wait(std::vector<TWaitItem>& items, int timeoutMs) {
  THost& h = *FHost;
  h.Handles.assign(1, h.Wake);
  h.Items.clear();
  for (size_t i = 0; i < items.size(); ++i) {
    items[i].ready = 0;
    // The system waits on at most 64 objects, the wake event and the queue among them.
    if (items[i].interest == 0 || h.Handles.size() == MAXIMUM_WAIT_OBJECTS - 1) continue;
    h.Handles.push_back(reinterpret_cast<HANDLE>(items[i].handle));
    h.Items.push_back(i);
  }
  const DWORD count = static_cast<DWORD>(h.Handles.size());
  const DWORD r =
      MsgWaitForMultipleObjectsEx(count, h.Handles.data(), timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs),
                                  QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (r == WAIT_OBJECT_0 + count) {
    PumpSystemMessages();
  } else if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) {
    items[h.Items[r - WAIT_OBJECT_0 - 1]].ready = weRead;
  }
}
