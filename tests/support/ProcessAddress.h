// Test support: a loopback address of this test process's own (127.<net>.x.y from its process
// id), so that tests binding the modem's fixed ports run side by side without meeting.
#pragma once
#include <string>

#include "PeerHost.h"

inline std::string ProcessLoopbackAddress(int net) {
  const uint32_t pid = PeerHost::ProcessId();
  return "127." + std::to_string(net) + "." + std::to_string((pid >> 8) % 250 + 1) + "." +
         std::to_string(pid % 250 + 1);
}
