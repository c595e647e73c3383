// Test support: waiting, bounded, for something another thread or process brings about (a
// server storing a file, a window showing a pixel), so that a test fails instead of hanging.
#pragma once
#include <chrono>
#include <thread>

// Polls cond() every 10 ms until it holds or timeoutMs has passed; returns whether it held.
template <class TCond>
bool WaitUntil(TCond cond, int timeoutMs = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return cond();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
