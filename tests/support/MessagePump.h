// Test support: pumping the thread's messages until a condition holds or a time runs out, so
// that a test fails instead of hanging.
#pragma once
#include <chrono>
#include <functional>

#include "Messages.h"

// Dispatches messages and waits in the loop until `done` holds or `ms` has passed.
inline bool PumpMessagesUntil(const std::function<bool()>& done, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    TMsg m;
    while (PeekMessage(m)) DispatchMessage(m);
    if (done()) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    WaitMessage(static_cast<int>(left.count()));
  }
}
