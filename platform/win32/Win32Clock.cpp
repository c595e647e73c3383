#include <cstdint>

#include "LoopWait.h"
#include "WinPrelude.h"  // last: see there

int64_t MonotonicMs() {
  // The performance counter, not GetTickCount64: timers need better than its 10-16 ms steps.
  static const int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart / frequency * 1000 + now.QuadPart % frequency * 1000 / frequency;
}

void Sleep(uint32_t ms) { SleepEx(ms, FALSE); }
