#include "NetStackWindows.h"

#include <atomic>
#include <cstring>

#include "NetWinSock2.h"

namespace {

// Set once the platform has started; at program end the library is cleaned up and released.
struct TStartedFlag {
  std::atomic<bool> Started{false};
  std::mutex Lock;  // two stacks made at once must not both start the platform
  ~TStartedFlag() {
    if (Started.load()) NetWinSock2::Cleanup();
    NetWinSock2::Unload();
  }
};

TStartedFlag& StartedFlag() {
  static TStartedFlag flag;
  return flag;
}

constexpr uint16_t kRequestedVersion = 0x0202;

bool FillSet(Winsock::TFdSet& set, const TNetSocketList* list) {
  Winsock::FdZero(set);
  if (!list) return true;
  if (list->size() > static_cast<size_t>(Winsock::FD_SETSIZE)) return false;
  for (TNetSocket s : *list) Winsock::FdSet(s, set);
  return true;
}

void Refill(TNetSocketList* list, const Winsock::TFdSet& set) {
  if (!list) return;
  size_t kept = 0;
  for (size_t i = 0; i < list->size(); ++i)
    if (Winsock::FdIsSet((*list)[i], set)) (*list)[kept++] = (*list)[i];
  list->resize(kept);
}

}  // namespace

bool NetStackStarted() { return StartedFlag().Started.load(); }

std::unique_ptr<TNetStack> CreateNetStackWindows() { return std::make_unique<TNetStackWindows>(); }

TNetStackWindows::TNetStackWindows() {
  TStartedFlag& flag = StartedFlag();
  std::lock_guard<std::mutex> g(flag.Lock);
  if (flag.Started.load()) return;
  Winsock::TWSAData data;
  if (NetWinSock2::Startup(kRequestedVersion, data) != 0)
    throw ENetStackInitializationFailed("Winsock Initialization Error.");
  flag.Started.store(true);
}

std::string TNetStackWindows::SocketErrorText(int errorCode) {
  if (errorCode == Winsock::WSAHOST_NOT_FOUND) return Format("Socket Error # %d\r\n%s", errorCode, "Host not found.");
  return TNetStack::SocketErrorText(errorCode);
}

std::string TNetStackWindows::LookupHostName(const std::string& hostName) {
  uint32_t addr = 0;
  if (NetWinSock2::GetHostByName(hostName, addr) != 0) CheckResult(Winsock::SOCKET_ERROR);
  TNetAddressBytes bytes;
  std::memcpy(bytes.data(), &addr, 4);
  return AddressToText(bytes);
}

uint16_t TNetStackWindows::HostToNet16(uint16_t value) { return NetWinSock2::Htons(value); }
uint16_t TNetStackWindows::NetToHost16(uint16_t value) { return NetWinSock2::Ntohs(value); }

int TNetStackWindows::RecvFrom(TNetSocket socket, void* buffer, int length, int flags, std::string& fromAddress,
                               uint16_t& fromPort) {
  Winsock::TSockAddrIn from;  // zeroed: a sender the platform does not name reads as 0.0.0.0:0
  const int r = NetWinSock2::RecvFrom(socket, buffer, length, flags, &from);
  TNetAddressBytes bytes;
  std::memcpy(bytes.data(), &from.Addr, 4);
  fromAddress = AddressToText(bytes);
  fromPort = from.Port;  // the platform's address record holds the port in host order already
  return r;
}

int TNetStackWindows::Select(TNetSocketList* readList, TNetSocketList* writeList, int waitMs,
                             TNetSocketList* errorList) {
  Winsock::TFdSet rd, wr, er;
  if (!FillSet(rd, readList) || !FillSet(wr, writeList) || !FillSet(er, errorList))
    throw ENetStackSetSizeExceeded("Set Size Exceeded.");
  Winsock::TTimeVal tv;
  tv.tv_sec = waitMs / 1000;
  tv.tv_usec = static_cast<long>(waitMs % 1000) * 1000;
  const int r = NetWinSock2::Select(readList ? &rd : nullptr, writeList ? &wr : nullptr, errorList ? &er : nullptr,
                                    waitMs == -2 ? nullptr : &tv);
  Refill(readList, rd);
  Refill(writeList, wr);
  Refill(errorList, er);
  return r;
}

int TNetStackWindows::SendTo(TNetSocket socket, const void* buffer, int length, int flags, const std::string& address,
                             uint16_t port) {
  const TNetAddressBytes bytes = TextToAddress(address);
  Winsock::TSockAddrIn to;
  std::memcpy(&to.Addr, bytes.data(), 4);
  to.Port = port;  // host order: the platform's address record converts it
  return NetWinSock2::SendTo(socket, buffer, length, flags, to);
}

int TNetStackWindows::SetSockOpt(TNetSocket socket, int level, int optName, const void* value, int valueLength) {
  return NetWinSock2::SetSockOpt(socket, level, optName, value, valueLength);
}

TNetSocket TNetStackWindows::Socket(int family, int socketType, int protocol) {
  return NetWinSock2::Socket(family, socketType, protocol);
}

int TNetStackWindows::Shutdown(TNetSocket socket, int how) { return NetWinSock2::Shutdown(socket, how); }
int TNetStackWindows::CloseSocket(TNetSocket socket) { return NetWinSock2::CloseSocket(socket); }
int TNetStackWindows::WSAGetLastError() { return NetWinSock2::GetLastError(); }

std::string TNetStackWindows::AddressToText(const TNetAddressBytes& address) {
  // Written by hand: this runs for every datagram received.
  char text[16];
  size_t n = 0;
  for (size_t i = 0; i < 4; ++i) {
    const unsigned v = address[i];
    if (i) text[n++] = '.';
    if (v >= 100) text[n++] = static_cast<char>('0' + v / 100);
    if (v >= 10) text[n++] = static_cast<char>('0' + v / 10 % 10);
    text[n++] = static_cast<char>('0' + v % 10);
  }
  return std::string(text, n);
}

TNetAddressBytes TNetStackWindows::TextToAddress(const std::string& text) {
  TNetAddressBytes bytes{};
  std::string rest = text;
  for (size_t i = 0; i < 4; ++i) {
    std::string part;
    const size_t dot = i < 3 ? rest.find('.') : std::string::npos;
    if (dot == std::string::npos) {
      part.swap(rest);
    } else {
      part = rest.substr(0, dot);
      rest.erase(0, dot + 1);
    }
    bytes[i] = static_cast<uint8_t>(StrToInt(part) & 0xFF);
  }
  return bytes;
}
