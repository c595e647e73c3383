#include "CpuTime.h"

#include <cstdint>

// The one host difference these tests meet: one whole definition per host.
#ifdef _WIN32
#include <windows.h>

namespace {
double Ms(FILETIME t) {
  return static_cast<double>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e4;  // 100 ns units
}
}  // namespace

double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return Ms(kernel) + Ms(user);
}

double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  return Ms(kernel) + Ms(user);
}
#else
#include <time.h>

namespace {
double Ms(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}
}  // namespace

double ProcessCpuMs() { return Ms(CLOCK_PROCESS_CPUTIME_ID); }
double ThreadCpuMs() { return Ms(CLOCK_THREAD_CPUTIME_ID); }
#endif
