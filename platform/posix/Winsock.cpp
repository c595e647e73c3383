// Windows-Sockets-style calls over the host's sockets.
//
// Sections: layer state (socket table, last error); error numbers; start-up; the socket
// calls (create, close, bind, connect, transfer, names of the ends, blocking mode).
#include "HostSockets.h"  // first: see there

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>

#include "Winsock.h"
#include "WinsockInternal.h"

namespace Winsock {

using namespace Detail;

// ---- layer state ----

namespace {

thread_local int GLastError = 0;

sockaddr_in ToHost(const TSockAddrIn& a) {
  sockaddr_in sa{};
  sa.sin_family = HostNet::AfInet;
  sa.sin_addr.s_addr = a.Addr;
  sa.sin_port = htons(a.Port);
  return sa;
}

TSockAddrIn FromHost(const sockaddr_in& sa) { return TSockAddrIn{sa.sin_addr.s_addr, ntohs(sa.sin_port)}; }

}  // namespace

namespace Detail {

TSocketTable& SocketTable() {
  static TSocketTable* table = new TSocketTable();  // lives for the process, like the loop
  return *table;
}

int FailErrno(int posixErrno) { return Fail(ErrorFromErrno(posixErrno)); }

int DescriptorOf(TSocket s) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  if (s < 0 || s > INT_MAX) return Fail(WSAENOTSOCK);
  return static_cast<int>(s);
}

bool IsSocketDescriptor(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode);
}

bool HasPeer(int fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  return ::getpeername(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0;
}

bool ExpireConnect(int fd, TSocketState& st) {
  if (st.Connect != TConnectPhase::cpConnecting || st.ConnectDeadline == 0 || MonotonicMs() < st.ConnectDeadline)
    return false;
  st.ConnectDeadline = 0;
  if (HasPeer(fd)) return false;  // it did connect; nobody has looked yet
  AbortConnect(fd);
  st.PendingError = ETIMEDOUT;
  return true;
}

void AbortConnect(int fd) {
  // Connecting to "no address" makes the host drop the attempt without a packet to the peer.
  sockaddr unspec{};
  unspec.sa_family = HostNet::AfUnspec;
  (void)::connect(fd, &unspec, sizeof unspec);
  // The host marks the dropped attempt as reset; the socket's own answer is the time-out.
  int e = 0;
  socklen_t len = sizeof e;
  (void)::getsockopt(fd, HostNet::SolSocket, HostNet::SoError, &e, &len);
}

// ---- error numbers ----

int ErrorFromErrno(int e) {
  switch (e) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAENOTSOCK;  // a closed socket handle on Windows
    case EACCES:
    case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EAGAIN:
    case EINPROGRESS: return WSAEWOULDBLOCK;  // EINPROGRESS: a non-blocking connect under way, as Windows says it
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return WSAEWOULDBLOCK;
#endif
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case EPIPE:
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETOOMANYREFS: return WSAETOOMANYREFS;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ELOOP: return WSAELOOP;
    case ENAMETOOLONG: return WSAENAMETOOLONG;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    case ENOTEMPTY: return WSAENOTEMPTY;
    default: return WSAEINVAL;
  }
}

}  // namespace Detail

int GetLastError() { return GLastError; }
void SetLastError(int error) { GLastError = error; }

// ---- start-up ----

namespace {

uint16_t MaxSockets() {
  rlimit rl{};
  if (getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY || rl.rlim_cur > 65535) return 65535;
  return static_cast<uint16_t>(rl.rlim_cur);
}

void CloseAllSockets() {
  std::unordered_map<int, TSocketState> open;
  {
    std::lock_guard<std::mutex> g(SocketTable().Lock);
    open.swap(SocketTable().Sockets);
  }
  for (auto& [fd, st] : open) {
    st.Async.reset();  // the watch goes before its descriptor
    ::close(fd);
  }
}

}  // namespace

int Startup(uint16_t versionRequested, TWSAData& data) {
  data.szDescription = "Windows Sockets 2.2 over the host's POSIX sockets";
  data.szSystemStatus = "Running";
  data.iMaxSockets = MaxSockets();
  data.iMaxUdpDg = 65467;  // 65535 less the largest IPv4 header (60) and the UDP header (8)
  if (int e = GrantVersion(versionRequested, data)) return e;
  std::lock_guard<std::mutex> g(StartCount().Lock);
  StartCount().Count.fetch_add(1);
  return 0;
}

int Cleanup() {
  std::lock_guard<std::mutex> g(StartCount().Lock);
  if (StartCount().Count.load() == 0) return Fail(WSANOTINITIALISED);
  // As on Windows, the last Cleanup closes whatever sockets are still open.
  if (StartCount().Count.fetch_sub(1) == 1) CloseAllSockets();
  return 0;
}

// ---- the socket calls ----

namespace {

// A blocking connect waits here rather than in the host: it must end at the connect deadline,
// and a signal must not end it (Windows knows none).
int BlockingConnect(int fd, const sockaddr_in& sa, int flags) {
  if (::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return errno;
  int err = ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 ? 0 : errno;
  if (err == EINPROGRESS) {
    const int64_t deadline = MonotonicMs() + kConnectTimeoutMs;
    pollfd p{fd, POLLOUT, 0};
    for (;;) {
      const int64_t left = deadline - MonotonicMs();
      if (left <= 0) {
        AbortConnect(fd);
        err = ETIMEDOUT;
        break;
      }
      const int r = ::poll(&p, 1, static_cast<int>(left));
      if (r < 0 && errno != EINTR) {
        err = errno;
        break;
      }
      if (r > 0) {
        socklen_t len = sizeof err;
        if (::getsockopt(fd, HostNet::SolSocket, HostNet::SoError, &err, &len) != 0) err = errno;
        break;
      }
    }
  }
  (void)::fcntl(fd, F_SETFL, flags);
  return err;
}

// An error taken from the host by the notifier is the answer the host would have given this
// call; report it once, as the host would have.
int TakePendingError(int fd) {
  std::lock_guard<std::mutex> g(SocketTable().Lock);
  TSocketState* st = SocketTable().Find(fd);
  if (!st || !st->PendingError) return 0;
  int e = st->PendingError;
  st->PendingError = 0;
  return e;
}

int TransferFailed(int fd, int err, bool sending) {
  bool datagram = false;
  {
    std::lock_guard<std::mutex> g(SocketTable().Lock);
    if (TSocketState* st = SocketTable().Find(fd)) {
      datagram = st->Datagram;
      if (sending && (err == EAGAIN || err == EWOULDBLOCK)) AsyncSendBlocked(*st);
    }
  }
  // A port-unreachable answer to a datagram: Windows reports it as a reset.
  if (datagram && err == ECONNREFUSED) return Fail(WSAECONNRESET);
  return FailErrno(err);
}

bool HostSendFlags(int flags, int& host) {
  if (flags & ~MSG_OOB) return false;
  host = MSG_NOSIGNAL | ((flags & MSG_OOB) ? ::MSG_OOB : 0);
  return true;
}

bool HostRecvFlags(int flags, int& host) {
  if (flags & ~(MSG_OOB | MSG_PEEK)) return false;
  host = ((flags & MSG_OOB) ? ::MSG_OOB : 0) | ((flags & MSG_PEEK) ? ::MSG_PEEK : 0);
  return true;
}

int ReceiveOn(int fd, void* buf, int len, int flags, TSockAddrIn* from) {
  if (len < 0 || (!buf && len > 0)) return Fail(WSAEFAULT);
  int hostFlags = 0;
  if (!HostRecvFlags(flags, hostFlags)) return Fail(WSAEOPNOTSUPP);
  {
    std::lock_guard<std::mutex> g(SocketTable().Lock);
    if (TSocketState* st = SocketTable().Find(fd)) {
      AsyncRecvCalled(*st);  // Windows re-enables FD_READ with every receive call
      if (int e = st->PendingError) {
        st->PendingError = 0;
        return FailErrno(e);
      }
    }
  }
  sockaddr_in sa{};
  iovec iov{buf, static_cast<size_t>(len)};
  msghdr mh{};
  mh.msg_name = &sa;
  mh.msg_namelen = sizeof sa;
  mh.msg_iov = &iov;
  mh.msg_iovlen = 1;
  ssize_t n;
  do {
    n = ::recvmsg(fd, &mh, hostFlags);
  } while (n < 0 && errno == EINTR);  // Windows' blocking calls are not cut short by signals
  if (n < 0) return TransferFailed(fd, errno, false);
  if (from && mh.msg_namelen >= sizeof sa && sa.sin_family == HostNet::AfInet) *from = FromHost(sa);
  // A datagram larger than the buffer is consumed and reported as too large, as on Windows.
  if (mh.msg_flags & MSG_TRUNC) return Fail(WSAEMSGSIZE);
  return static_cast<int>(n);
}

int SendOn(int fd, const void* buf, int len, int flags, const sockaddr_in* to) {
  if (len < 0 || (!buf && len > 0)) return Fail(WSAEFAULT);
  int hostFlags = 0;
  if (!HostSendFlags(flags, hostFlags)) return Fail(WSAEOPNOTSUPP);
  if (int e = TakePendingError(fd)) return FailErrno(e);
  ssize_t n;
  do {
    n = to ? ::sendto(fd, buf, static_cast<size_t>(len), hostFlags, reinterpret_cast<const sockaddr*>(to), sizeof *to)
           : ::send(fd, buf, static_cast<size_t>(len), hostFlags);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return TransferFailed(fd, errno, true);
  return static_cast<int>(n);
}

}  // namespace

TSocket Socket(int af, int type, int protocol) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  if (af != AF_INET) return Fail(WSAEAFNOSUPPORT);
  int hostType;
  if (type == SOCK_STREAM)
    hostType = ::SOCK_STREAM;
  else if (type == SOCK_DGRAM)
    hostType = ::SOCK_DGRAM;
  else
    return Fail(WSAESOCKTNOSUPPORT);
  // Protocol numbers are the IANA numbers on both platforms.
  int fd = ::socket(HostNet::AfInet, hostType | SOCK_CLOEXEC, protocol);
  if (fd < 0) return FailErrno(errno);
  std::lock_guard<std::mutex> g(SocketTable().Lock);
  TSocketState st;
  st.Datagram = type == SOCK_DGRAM;
  SocketTable().Sockets[fd] = std::move(st);  // replaces what a socket closed behind our back left
  return fd;
}

int CloseSocket(TSocket s) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  if (!IsSocketDescriptor(fd)) return Fail(WSAENOTSOCK);
  std::unique_ptr<TAsyncSelect> async;
  {
    std::lock_guard<std::mutex> g(SocketTable().Lock);
    auto it = SocketTable().Sockets.find(fd);
    if (it != SocketTable().Sockets.end()) {
      async = std::move(it->second.Async);
      SocketTable().Sockets.erase(it);
    }
  }
  async.reset();  // stop watching before the descriptor number can be handed out again
  // After EINTR the host has released the descriptor all the same: nothing to retry.
  if (::close(fd) != 0 && errno != EINTR) return FailErrno(errno);
  return 0;
}

int Shutdown(TSocket s, int how) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  int hostHow;
  if (how == SD_RECEIVE)
    hostHow = SHUT_RD;
  else if (how == SD_SEND)
    hostHow = SHUT_WR;
  else if (how == SD_BOTH)
    hostHow = SHUT_RDWR;
  else
    return Fail(WSAEINVAL);
  if (::shutdown(fd, hostHow) != 0) return FailErrno(errno);
  return 0;
}

int Bind(TSocket s, const TSockAddrIn& addr) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  sockaddr_in sa = ToHost(addr);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) return FailErrno(errno);
  return 0;
}

int Connect(TSocket s, const TSockAddrIn& addr) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  if (LoopbackGuard() && !IsLoopbackAddress(addr.Addr)) return Fail(WSAENETUNREACH);
  sockaddr_in sa = ToHost(addr);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return FailErrno(errno);
  const bool hadPeer = HasPeer(fd);
  int err = (flags & O_NONBLOCK) == 0
                ? BlockingConnect(fd, sa, flags)
                : (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 ? 0 : errno);
  std::lock_guard<std::mutex> g(SocketTable().Lock);
  if (TSocketState* st = SocketTable().Find(fd)) {
    // The host answers 0 to a second connect once a non-blocking one has completed (blocking
    // connects are made that way too); Windows says the socket is already connected.
    const bool wasConnecting = st->Connect == TConnectPhase::cpConnecting;
    if (err == 0 && !st->Datagram && (wasConnecting || hadPeer || (st->Async && st->Async->Connected))) err = EISCONN;
    // Under AsyncSelect the notifier settles a connect under way: it still owes FD_CONNECT.
    const bool owedToNotifier = wasConnecting && st->Async;
    if (err == EINPROGRESS) {
      st->Connect = TConnectPhase::cpConnecting;
      st->ConnectDeadline = MonotonicMs() + kConnectTimeoutMs;
    } else if (err != EALREADY && !owedToNotifier) {
      st->Connect = TConnectPhase::cpNone;
    }
    if (err == 0 || err == EINPROGRESS) AsyncConnectCalled(fd, *st, err == 0);
  }
  return err ? FailErrno(err) : 0;
}

int Send(TSocket s, const void* buf, int len, int flags) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  if (LoopbackGuard()) {
    // A datagram socket connected before the guard was switched on still must not send out.
    sockaddr_in peer{};
    socklen_t plen = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &plen) == 0 && peer.sin_family == HostNet::AfInet &&
        !IsLoopbackAddress(peer.sin_addr.s_addr))
      return Fail(WSAENETUNREACH);
  }
  return SendOn(fd, buf, len, flags, nullptr);
}

int Recv(TSocket s, void* buf, int len, int flags) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  return ReceiveOn(fd, buf, len, flags, nullptr);
}

int SendTo(TSocket s, const void* buf, int len, int flags, const TSockAddrIn& to) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  if (LoopbackGuard() && !IsLoopbackAddress(to.Addr)) return Fail(WSAENETUNREACH);
  sockaddr_in sa = ToHost(to);
  return SendOn(fd, buf, len, flags, &sa);
}

int RecvFrom(TSocket s, void* buf, int len, int flags, TSockAddrIn* from) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  return ReceiveOn(fd, buf, len, flags, from);
}

int GetSockName(TSocket s, TSockAddrIn& addr) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return FailErrno(errno);
  // The host names an unbound socket 0.0.0.0:0; Windows refuses to name it.
  if (sa.sin_port == 0 && sa.sin_addr.s_addr == 0) return Fail(WSAEINVAL);
  addr = FromHost(sa);
  return 0;
}

int GetPeerName(TSocket s, TSockAddrIn& addr) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return FailErrno(errno);
  addr = FromHost(sa);
  return 0;
}

int SetNonBlocking(TSocket s, bool on) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  if (!IsSocketDescriptor(fd)) return Fail(WSAENOTSOCK);
  if (!on) {
    // Windows keeps a socket non-blocking while it notifies a window.
    std::lock_guard<std::mutex> g(SocketTable().Lock);
    TSocketState* st = SocketTable().Find(fd);
    if (st && st->Async) return Fail(WSAEINVAL);
  }
  int fl = ::fcntl(fd, F_GETFL);
  if (fl < 0) return FailErrno(errno);
  int want = on ? (fl | O_NONBLOCK) : (fl & ~O_NONBLOCK);
  if (want != fl && ::fcntl(fd, F_SETFL, want) != 0) return FailErrno(errno);
  return 0;
}

}  // namespace Winsock
