// Test support for the message loop's tests: a hidden window that records what reaches it,
// and draining the queue without waiting.
#pragma once
#include <vector>

#include "Messages.h"

struct TRecorder {
  std::vector<TMsg> Seen;
  HWND Handle = AllocateHWnd([this](HWND h, uint32_t m, WPARAM w, LPARAM l) {
    Seen.push_back(TMsg{h, m, w, l});
    return DefWindowProc(h, m, w, l);
  });
  ~TRecorder() { DeallocateHWnd(Handle); }
  TRecorder() = default;
  TRecorder(const TRecorder&) = delete;
  TRecorder& operator=(const TRecorder&) = delete;
};

inline void DrainQueue() {
  TMsg m;
  while (PeekMessage(m)) DispatchMessage(m);
}
