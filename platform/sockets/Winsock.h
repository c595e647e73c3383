// Windows-Sockets-style calls over the host's sockets, with Windows error numbers, the 64-entry
// descriptor sets of select, the SOL_SOCKET option values of that platform, and asynchronous
// notification of a socket to a window (AsyncSelect) as posted messages, re-armed the way that
// platform re-arms them.
//
// Threads: every call may be made from any thread except AsyncSelect, whose notifications are
// posted to the user-interface thread's queue and serviced while that thread waits
// (WaitMessage). Once a socket is under AsyncSelect, the calls that re-arm or end its
// notifications (Recv, RecvFrom, Send, SendTo, Connect, CloseSocket, and the last Cleanup) are
// made on that thread too. LastError is per thread. A socket is owned by whoever created it
// until CloseSocket; closing it also ends its AsyncSelect registration, and the last Cleanup
// closes every socket still open.
//
// Loopback guard: when switched on (every test executable does), a connect or send to an
// address outside 127.0.0.0/8 fails with WSAENETUNREACH (10051) before any system call is
// made, and host names are answered from the hosts file only, so no packet leaves the machine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "Messages.h"

// The host's C headers define some of the names below as macros (<string> alone brings
// FD_SETSIZE; the socket headers bring AF_INET, SOL_SOCKET, SO_*, ...). Here the Windows values
// take their place; a unit that needs the host's values includes HostSockets.h first.
#undef AF_INET
#undef SOL_SOCKET
#undef SO_DEBUG
#undef SO_REUSEADDR
#undef SO_KEEPALIVE
#undef SO_BROADCAST
#undef SO_LINGER
#undef SO_OOBINLINE
#undef SO_SNDBUF
#undef SO_RCVBUF
#undef SO_ERROR
#undef SO_TYPE
#undef TCP_NODELAY
#undef INADDR_ANY
#undef INADDR_NONE
#undef FD_SETSIZE

namespace Winsock {

using TSocket = intptr_t;
constexpr TSocket INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
constexpr int IPPROTO_TCP = 6;
constexpr int IPPROTO_UDP = 17;

// Option levels and names with the values of the Windows headers.
constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_DEBUG = 0x0001;
constexpr int SO_REUSEADDR = 0x0004;
constexpr int SO_KEEPALIVE = 0x0008;
constexpr int SO_BROADCAST = 0x0020;
constexpr int SO_LINGER = 0x0080;
constexpr int SO_OOBINLINE = 0x0100;
constexpr int SO_DONTLINGER = ~SO_LINGER;
constexpr int SO_SNDBUF = 0x1001;
constexpr int SO_RCVBUF = 0x1002;
constexpr int SO_ERROR = 0x1007;
constexpr int SO_TYPE = 0x1008;
constexpr int TCP_NODELAY = 0x0001;

constexpr int MSG_OOB = 0x1;
constexpr int MSG_PEEK = 0x2;

constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

constexpr uint32_t INADDR_ANY = 0;
constexpr uint32_t INADDR_NONE = 0xFFFFFFFFu;

// Windows Sockets error numbers.
enum : int {
  WSAEINTR = 10004,
  WSAEBADF = 10009,
  WSAEACCES = 10013,
  WSAEFAULT = 10014,
  WSAEINVAL = 10022,
  WSAEMFILE = 10024,
  WSAEWOULDBLOCK = 10035,
  WSAEINPROGRESS = 10036,
  WSAEALREADY = 10037,
  WSAENOTSOCK = 10038,
  WSAEDESTADDRREQ = 10039,
  WSAEMSGSIZE = 10040,
  WSAEPROTOTYPE = 10041,
  WSAENOPROTOOPT = 10042,
  WSAEPROTONOSUPPORT = 10043,
  WSAESOCKTNOSUPPORT = 10044,
  WSAEOPNOTSUPP = 10045,
  WSAEPFNOSUPPORT = 10046,
  WSAEAFNOSUPPORT = 10047,
  WSAEADDRINUSE = 10048,
  WSAEADDRNOTAVAIL = 10049,
  WSAENETDOWN = 10050,
  WSAENETUNREACH = 10051,
  WSAENETRESET = 10052,
  WSAECONNABORTED = 10053,
  WSAECONNRESET = 10054,
  WSAENOBUFS = 10055,
  WSAEISCONN = 10056,
  WSAENOTCONN = 10057,
  WSAESHUTDOWN = 10058,
  WSAETOOMANYREFS = 10059,
  WSAETIMEDOUT = 10060,
  WSAECONNREFUSED = 10061,
  WSAELOOP = 10062,
  WSAENAMETOOLONG = 10063,
  WSAEHOSTDOWN = 10064,
  WSAEHOSTUNREACH = 10065,
  WSAENOTEMPTY = 10066,
  WSASYSNOTREADY = 10091,
  WSAVERNOTSUPPORTED = 10092,
  WSANOTINITIALISED = 10093,
  WSAHOST_NOT_FOUND = 11001,
  WSATRY_AGAIN = 11002,
  WSANO_RECOVERY = 11003,
  WSANO_DATA = 11004
};

// An IPv4 socket address: address in network byte order, port in host byte order.
struct TSockAddrIn {
  uint32_t Addr = 0;
  uint16_t Port = 0;
};

// Descriptor set of at most FD_SETSIZE entries, as select takes it.
constexpr int FD_SETSIZE = 64;
struct TFdSet {
  uint32_t fd_count = 0;
  TSocket fd_array[FD_SETSIZE] = {};
};
void FdZero(TFdSet& set);
bool FdSet(TSocket s, TFdSet& set);  // false when the set is full
bool FdIsSet(TSocket s, const TFdSet& set);

struct TTimeVal {
  long tv_sec = 0;
  long tv_usec = 0;
};

struct TWSAData {
  uint16_t wVersion = 0;
  uint16_t wHighVersion = 0;
  std::string szDescription;
  std::string szSystemStatus;
  uint16_t iMaxSockets = 0;
  uint16_t iMaxUdpDg = 0;
};

// Start-up with a requested version (low byte major, high byte minor); 0 on success or an
// error number. Counted: each successful Startup pairs with a Cleanup.
[[nodiscard]] int Startup(uint16_t versionRequested, TWSAData& data);
int Cleanup();
// True while at least one Startup is outstanding; calls made otherwise fail with 10093.
bool IsStarted();

int GetLastError();
void SetLastError(int error);

[[nodiscard]] TSocket Socket(int af, int type, int protocol);
int CloseSocket(TSocket s);
int Shutdown(TSocket s, int how);
[[nodiscard]] int Bind(TSocket s, const TSockAddrIn& addr);
[[nodiscard]] int Connect(TSocket s, const TSockAddrIn& addr);
[[nodiscard]] int Send(TSocket s, const void* buf, int len, int flags);
[[nodiscard]] int Recv(TSocket s, void* buf, int len, int flags);
[[nodiscard]] int SendTo(TSocket s, const void* buf, int len, int flags, const TSockAddrIn& to);
[[nodiscard]] int RecvFrom(TSocket s, void* buf, int len, int flags, TSockAddrIn* from);
// select: sets may be null; timeout null = no limit. Returns the number of ready descriptors.
[[nodiscard]] int Select(TFdSet* readSet, TFdSet* writeSet, TFdSet* errorSet, const TTimeVal* timeout);
[[nodiscard]] int SetSockOpt(TSocket s, int level, int optname, const void* optval, int optlen);
[[nodiscard]] int GetSockOpt(TSocket s, int level, int optname, void* optval, int* optlen);
[[nodiscard]] int GetSockName(TSocket s, TSockAddrIn& addr);
[[nodiscard]] int GetPeerName(TSocket s, TSockAddrIn& addr);
// FIONBIO: non-blocking mode on or off.
[[nodiscard]] int SetNonBlocking(TSocket s, bool on);

// Host names. GetHostByName returns 0 with the first IPv4 address (network order), or an error
// number (WSAHOST_NOT_FOUND, WSANO_DATA, ...), which is also set as the last error.
[[nodiscard]] int GetHostByName(const std::string& name, uint32_t& addr);
[[nodiscard]] int GetHostName(std::string& name);
uint32_t InetAddr(const std::string& dotted);  // INADDR_NONE when not a dotted address
std::string InetNtoa(uint32_t addrNetworkOrder);
uint16_t Htons(uint16_t v);
uint16_t Ntohs(uint16_t v);
uint32_t Htonl(uint32_t v);
uint32_t Ntohl(uint32_t v);

// Asynchronous notification. The low word of lParam is the event, the high word its error.
enum : uint32_t {
  FD_READ = 0x01,
  FD_WRITE = 0x02,
  FD_OOB = 0x04,
  FD_ACCEPT = 0x08,
  FD_CONNECT = 0x10,
  FD_CLOSE = 0x20
};
constexpr LPARAM WSAMakeSelectReply(uint32_t event, uint32_t error) {
  return static_cast<LPARAM>((error << 16) | (event & 0xFFFF));
}
constexpr uint32_t WSAGetSelectEvent(LPARAM l) { return static_cast<uint32_t>(l) & 0xFFFF; }
constexpr uint32_t WSAGetSelectError(LPARAM l) { return (static_cast<uint32_t>(l) >> 16) & 0xFFFF; }
// Puts the socket in non-blocking mode and posts `msg` (wParam = the socket) to `hwnd` for each
// requested event as it happens. events 0 cancels all notifications for the socket (it stays
// non-blocking; SetNonBlocking(s, false) fails with WSAEINVAL while notifications are on).
// FD_CONNECT: once, when a connect completes (error 0 or why it failed, e.g. 10061).
// FD_WRITE: after a successful connect (or at once for a datagram socket), then again only
// after a send failed with WSAEWOULDBLOCK and sending became possible.
// FD_READ: when there is something to receive; not again until the program receives (a receive
// that leaves data queued brings another).
// FD_CLOSE: once, when the peer closes (error 0, even with unread data still queued) or resets
// the connection (WSAECONNRESET). FD_OOB and FD_ACCEPT are accepted but never posted: urgent
// data is not watched and the layer offers no accept.
// Messages already posted when the socket is closed or its notifications cancelled still
// arrive; the receiver ignores what it no longer knows.
[[nodiscard]] int AsyncSelect(TSocket s, HWND hwnd, uint32_t msg, uint32_t events);

// The loopback guard described above.
void SetLoopbackGuard(bool on);
bool LoopbackGuard();

}  // namespace Winsock
