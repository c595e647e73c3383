#include "CpuTime.h"

#include <cstdint>

// The one host difference these tests meet: one whole definition per host.
#ifdef _WIN32
#include <windows.h>

double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) {
    return static_cast<double>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e4;  // 100 ns units
  };
  return ms(kernel) + ms(user);
}
#else
#include <time.h>

double ProcessCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}
#endif
