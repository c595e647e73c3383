// Internal: the host's socket headers, for the socket layer's own units and for tests that
// build real peers with the host's calls. Not for the subsystems.
//
// The host defines several socket names as macros that Winsock.h declares with the Windows
// values (SOL_SOCKET, SO_BROADCAST, AF_INET, ...). This header keeps the host's values under
// HostNet:: and then removes the macros, so both sets can be used in one unit. Include it
// before Winsock.h.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace HostNet {
// These mirror the Windows constants name for name, so they keep that shape.
// NOLINTBEGIN(readability-identifier-naming)
constexpr int AfInet = AF_INET;
constexpr int AfUnspec = AF_UNSPEC;
constexpr int SolSocket = SOL_SOCKET;
constexpr int SoDebug = SO_DEBUG;
constexpr int SoReuseAddr = SO_REUSEADDR;
constexpr int SoKeepAlive = SO_KEEPALIVE;
constexpr int SoBroadcast = SO_BROADCAST;
constexpr int SoLinger = SO_LINGER;
constexpr int SoOobInline = SO_OOBINLINE;
constexpr int SoSndBuf = SO_SNDBUF;
constexpr int SoRcvBuf = SO_RCVBUF;
constexpr int SoError = SO_ERROR;
constexpr int SoType = SO_TYPE;
constexpr int TcpNoDelay = TCP_NODELAY;
// NOLINTEND(readability-identifier-naming)
}  // namespace HostNet

// Winsock.h removes the host macros whose names it declares with the Windows values.
#include "Winsock.h"
