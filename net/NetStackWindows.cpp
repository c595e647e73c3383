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

constexpr uint16_t KRequestedVersion = 0x0202;

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
  if (NetWinSock2::Startup(KRequestedVersion, data) != 0) throw ENetStackInitializationFailed("Winsock Initialization Error.");
  flag.Started.store(true);
}

std::string TNetStackWindows::SocketErrorText(int AErrorCode) {
  if (AErrorCode == Winsock::WSAHOST_NOT_FOUND) return Format("Socket Error # %d\r\n%s", AErrorCode, "Host not found.");
  return TNetStack::SocketErrorText(AErrorCode);
}

std::string TNetStackWindows::LookupHostName(const std::string& AHostName) {
  uint32_t addr = 0;
  if (NetWinSock2::GetHostByName(AHostName, addr) != 0) CheckResult(Winsock::SOCKET_ERROR);
  TNetAddressBytes bytes;
  std::memcpy(bytes.data(), &addr, 4);
  return AddressToText(bytes);
}

uint16_t TNetStackWindows::HostToNet16(uint16_t AValue) { return NetWinSock2::Htons(AValue); }
uint16_t TNetStackWindows::NetToHost16(uint16_t AValue) { return NetWinSock2::Ntohs(AValue); }

int TNetStackWindows::RecvFrom(TNetSocket ASocket, void* ABuffer, int ALength, int AFlags, std::string& AFromAddress,
                               uint16_t& AFromPort) {
  Winsock::TSockAddrIn from;  // zeroed: a sender the platform does not name reads as 0.0.0.0:0
  const int r = NetWinSock2::RecvFrom(ASocket, ABuffer, ALength, AFlags, &from);
  TNetAddressBytes bytes;
  std::memcpy(bytes.data(), &from.Addr, 4);
  AFromAddress = AddressToText(bytes);
  AFromPort = from.Port;  // the platform's address record holds the port in host order already
  return r;
}

int TNetStackWindows::Select(TNetSocketList* AReadList, TNetSocketList* AWriteList, int AWaitMs,
                             TNetSocketList* AErrorList) {
  Winsock::TFdSet rd, wr, er;
  if (!FillSet(rd, AReadList) || !FillSet(wr, AWriteList) || !FillSet(er, AErrorList))
    throw ENetStackSetSizeExceeded("Set Size Exceeded.");
  Winsock::TTimeVal tv;
  tv.tv_sec = AWaitMs / 1000;
  tv.tv_usec = static_cast<long>(AWaitMs % 1000) * 1000;
  const int r = NetWinSock2::Select(AReadList ? &rd : nullptr, AWriteList ? &wr : nullptr,
                                    AErrorList ? &er : nullptr, AWaitMs == -2 ? nullptr : &tv);
  Refill(AReadList, rd);
  Refill(AWriteList, wr);
  Refill(AErrorList, er);
  return r;
}

int TNetStackWindows::SendTo(TNetSocket ASocket, const void* ABuffer, int ALength, int AFlags,
                             const std::string& AAddress, uint16_t APort) {
  const TNetAddressBytes bytes = TextToAddress(AAddress);
  Winsock::TSockAddrIn to;
  std::memcpy(&to.Addr, bytes.data(), 4);
  to.Port = APort;  // host order: the platform's address record converts it
  return NetWinSock2::SendTo(ASocket, ABuffer, ALength, AFlags, to);
}

int TNetStackWindows::SetSockOpt(TNetSocket ASocket, int ALevel, int AOptName, const void* AValue, int AValueLength) {
  return NetWinSock2::SetSockOpt(ASocket, ALevel, AOptName, AValue, AValueLength);
}

TNetSocket TNetStackWindows::Socket(int AFamily, int ASocketType, int AProtocol) {
  return NetWinSock2::Socket(AFamily, ASocketType, AProtocol);
}

int TNetStackWindows::Shutdown(TNetSocket ASocket, int AHow) { return NetWinSock2::Shutdown(ASocket, AHow); }
int TNetStackWindows::CloseSocket(TNetSocket ASocket) { return NetWinSock2::CloseSocket(ASocket); }
int TNetStackWindows::WSAGetLastError() { return NetWinSock2::GetLastError(); }

std::string TNetStackWindows::AddressToText(const TNetAddressBytes& AAddress) {
  // Written by hand: this runs for every datagram received.
  char text[16];
  size_t n = 0;
  for (size_t i = 0; i < 4; ++i) {
    const unsigned v = AAddress[i];
    if (i) text[n++] = '.';
    if (v >= 100) text[n++] = static_cast<char>('0' + v / 100);
    if (v >= 10) text[n++] = static_cast<char>('0' + v / 10 % 10);
    text[n++] = static_cast<char>('0' + v % 10);
  }
  return std::string(text, n);
}

TNetAddressBytes TNetStackWindows::TextToAddress(const std::string& AText) {
  TNetAddressBytes bytes{};
  std::string rest = AText;
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
