// Internal: the blocking wait under the message queue, and the clock it is measured by. One
// implementation per host (the POSIX one polls with a wake pipe in slot 0). User-interface
// thread only, except Wake and MonotonicMs, which any thread may call.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "LoopWatch.h"

struct TWaitItem {
  THostHandle handle;
  uint16_t interest;  // TWatchEvents
  uint16_t ready;     // filled in by Wait
};

class TLoopWait {
 public:
  TLoopWait();
  ~TLoopWait();
  TLoopWait(const TLoopWait&) = delete;
  TLoopWait& operator=(const TLoopWait&) = delete;
  // Blocks until an item is ready, Wake is called, or timeoutMs passes (negative: no limit).
  // Items with no interest are not watched at all.
  void Wait(std::vector<TWaitItem>& items, int timeoutMs);
  void Wake();

 private:
  struct THost;  // the host's wake channel and wait set
  std::unique_ptr<THost> FHost;
};

// Milliseconds since an arbitrary start, never going back.
int64_t MonotonicMs();
