// Internal seam between the message queue and what feeds it (sockets, the display, timers).
// Not for the subsystems: a watch reports readiness of a platform handle on the user-interface
// thread, from inside a wait, and its callback usually posts messages. Registrations are RAII
// handles; destroying one stops the watch at once, also from inside a callback.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

// A handle of the host that the loop can wait on (a descriptor on POSIX hosts).
using THostHandle = intptr_t;

enum TWatchEvents : uint16_t { weRead = 1, weWrite = 2, wePeerClosed = 4, weError = 8 };

class TLoopRegistration {
 public:
  virtual ~TLoopRegistration() = default;
};
using TLoopHandle = std::unique_ptr<TLoopRegistration>;

// Watches `handle` for the given events (level triggered) while the loop waits. The
// callback gets the events that are ready; it may change the interest with SetWatchEvents.
[[nodiscard]] TLoopHandle WatchHandle(THostHandle handle, uint16_t events,
                                      std::function<void(uint16_t ready)> callback);
void SetWatchEvents(TLoopRegistration* watch, uint16_t events);

// Calls the callback once, on the loop's thread, after `ms` milliseconds.
[[nodiscard]] TLoopHandle AddTimer(uint32_t ms, std::function<void()> callback);

// Called before each blocking wait, e.g. for the display to flush its output.
[[nodiscard]] TLoopHandle AddIdleHook(std::function<void()> callback);
