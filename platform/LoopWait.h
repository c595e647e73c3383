// Internal: the blocking wait under the message queue. One implementation per platform
// (PosixLoopWait.cpp: poll(2) with a wake pipe in slot 0). User-interface thread only, except
// Wake, which any thread may call.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

struct TWaitItem {
  int fd;
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
  int FWakeRead = -1;
  int FWakeWrite = -1;
  std::vector<struct pollfd>* FPoll = nullptr;
};
