// Internal: the parts of the socket layer that are the same on every host, for the backends'
// socket units (posix/Winsock*.cpp, win32/Win32Winsock*.cpp). Not for the subsystems.
//
// Pure work on numbers and texts, plus the loopback guard's switch and the hosts file read
// under it; any thread. WinsockCommon.cpp also defines the host-independent calls of
// Winsock.h: IsStarted, descriptor sets, dotted addresses, byte order, the guard and
// GetHostByName.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "Winsock.h"

namespace Winsock::Detail {

// Sets the last error and returns SOCKET_ERROR, so that failing paths read `return Fail(...)`.
int Fail(int wsaError);

// The version Startup grants for a request (low byte major, high byte minor): the highest of
// 1.1, 2.0, 2.1, 2.2 that does not exceed it. Fills wVersion and wHighVersion; returns 0, or
// WSAVERNOTSUPPORTED for a request below 1.1.
int GrantVersion(uint16_t versionRequested, TWSAData& data);

// The start count behind IsStarted (defined here). Startup and Cleanup hold Lock while they
// start or end the host's part and change Count; IsStarted reads Count without it.
struct TStartCount {
  std::mutex Lock;
  std::atomic<int> Count{0};
};
TStartCount& StartCount();

bool IsLoopbackAddress(uint32_t addrNetworkOrder);

// Each backend's own, for GetHostByName (defined here): the host's hosts file, read under the
// guard; and the host's resolver, asked otherwise, which answers as GetHostByName does.
std::string HostsFilePath();
int LookupWithResolver(const std::string& name, uint32_t& addr);

}  // namespace Winsock::Detail
