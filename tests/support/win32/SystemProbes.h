// Test support, Windows only: two probes of the system that the Windows socket tests make. No
// Windows header here: the platform's names (HWND, PostMessage, ...) would clash with the
// system's; SystemProbes.cpp holds the calls.
#pragma once
#include <cstdint>

namespace WinsockTest {

// Whether a child process would inherit the handle `s`.
bool HostInheritable(intptr_t s);
// Waits up to `ms` until the thread's system queue holds a posted message, without taking or
// dispatching it.
bool SystemMessagePosted(int ms);

}  // namespace WinsockTest
