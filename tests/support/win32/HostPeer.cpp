#include "HostPeer.h"

#include <winsock2.h>

#include <windows.h>

namespace WinsockTest {

namespace {

SOCKET Handle(intptr_t fd) { return static_cast<SOCKET>(fd); }

sockaddr_in HostLoopback(uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(port);
  return sa;
}

THostFd HostSocket(int type) { return THostFd(static_cast<intptr_t>(socket(AF_INET, type, 0))); }

}  // namespace

void HostClose(intptr_t fd) { closesocket(Handle(fd)); }

uint16_t HostPort(intptr_t fd) {
  sockaddr_in sa{};
  int len = sizeof sa;
  getsockname(Handle(fd), reinterpret_cast<sockaddr*>(&sa), &len);
  return ntohs(sa.sin_port);
}

THostFd HostBound(int type, uint16_t& port, bool listening) {
  THostFd fd = HostSocket(type);
  const sockaddr_in sa = HostLoopback(0);
  if (fd.Fd < 0 || bind(Handle(fd.Fd), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) return THostFd();
  if (type == SOCK_STREAM && listening && listen(Handle(fd.Fd), 16) != 0) return THostFd();
  port = HostPort(fd.Fd);
  return fd;
}

bool HostReady(intptr_t fd, short events, int ms) {
  WSAPOLLFD p{};
  p.fd = Handle(fd);
  p.events = static_cast<short>(((events & hrRead) ? POLLRDNORM : 0) | ((events & hrWrite) ? POLLWRNORM : 0));
  return WSAPoll(&p, 1, ms) == 1;
}

THostFd AcceptWithin(intptr_t listenFd, int ms) {
  if (!HostReady(listenFd, hrRead, ms)) return THostFd();
  return THostFd(static_cast<intptr_t>(accept(Handle(listenFd), nullptr, nullptr)));
}

intptr_t HostSend(intptr_t fd, const void* data, size_t len) {
  return send(Handle(fd), static_cast<const char*>(data), static_cast<int>(len), 0);
}

intptr_t HostSendTo(intptr_t fd, const void* data, size_t len, uint16_t port) {
  const sockaddr_in to = HostLoopback(port);
  return sendto(Handle(fd), static_cast<const char*>(data), static_cast<int>(len), 0,
                reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

intptr_t HostRecv(intptr_t fd, void* buf, size_t len) {
  return recv(Handle(fd), static_cast<char*>(buf), static_cast<int>(len), 0);
}

bool HostResetOnClose(intptr_t fd) {
  linger l{1, 0};
  return setsockopt(Handle(fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l) == 0;
}

std::string HostName() {
  char host[256] = {};
  return gethostname(host, sizeof host - 1) == 0 ? std::string(host) : std::string();
}

bool TStuckListener::Make() {
  uint16_t port = 0;
  Listen = HostBound(SOCK_STREAM, port, false);
  if (Listen.Fd < 0 || listen(Handle(Listen.Fd), 0) != 0) return false;
  Port = port;
  Filler = HostSocket(SOCK_STREAM);
  const sockaddr_in sa = HostLoopback(Port);
  return connect(Handle(Filler.Fd), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

int64_t ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) {
    return static_cast<int64_t>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 10000;
  };
  return ms(kernel) + ms(user);
}

bool HostInheritable(intptr_t s) {
  DWORD flags = 0;
  return GetHandleInformation(reinterpret_cast<HANDLE>(s), &flags) && (flags & HANDLE_FLAG_INHERIT) != 0;
}

bool SystemMessagePosted(int ms) {
  return MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms), QS_POSTMESSAGE, MWMO_INPUTAVAILABLE) ==
         WAIT_OBJECT_0;
}

}  // namespace WinsockTest
