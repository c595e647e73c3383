#include "NetWinSock2.h"

#include <atomic>

ENetWS2StubError::ENetWS2StubError(std::string libraryText, int systemError)
    : ENetException(systemError == 0 ? libraryText : libraryText + ": " + NetWinSock2::SystemErrorMessage(systemError)),
      LibraryText(std::move(libraryText)),
      SystemError(systemError),
      SystemErrorText(systemError == 0 ? std::string() : NetWinSock2::SystemErrorMessage(systemError)) {}

namespace NetWinSock2 {

namespace {

std::atomic<bool> GLoaded{false};
std::atomic<int> GStartupCount{0};

void Bound(const char* function) {
  if (!GLoaded.load(std::memory_order_relaxed))
    throw ENetWS2StubError(Format("Error on call Winsock2 library function %s", function), Winsock::WSANOTINITIALISED);
}

}  // namespace

std::string SystemErrorMessage(int error) {
  if (error == Winsock::WSANOTINITIALISED)
    return "Either the application has not called WSAStartup, or WSAStartup failed.";
  return Format("System error %d.", error);
}

bool Loaded() { return GLoaded.load(); }
int StartupCount() { return GStartupCount.load(); }

int Startup(uint16_t version, Winsock::TWSAData& data) {
  GLoaded.store(true);
  GStartupCount.fetch_add(1);
  return Winsock::Startup(version, data);
}

int Cleanup() {
  Bound("WSACleanup");
  return Winsock::Cleanup();
}

void Unload() { GLoaded.store(false); }

int GetLastError() {
  Bound("WSAGetLastError");
  return Winsock::GetLastError();
}

TNetSocket Socket(int family, int type, int protocol) {
  Bound("socket");
  return Winsock::Socket(family, type, protocol);
}

int CloseSocket(TNetSocket socket) {
  Bound("closesocket");
  return Winsock::CloseSocket(socket);
}

int Shutdown(TNetSocket socket, int how) {
  Bound("shutdown");
  return Winsock::Shutdown(socket, how);
}

int SendTo(TNetSocket socket, const void* buffer, int length, int flags, const Winsock::TSockAddrIn& to) {
  Bound("sendto");
  return Winsock::SendTo(socket, buffer, length, flags, to);
}

int RecvFrom(TNetSocket socket, void* buffer, int length, int flags, Winsock::TSockAddrIn* from) {
  Bound("recvfrom");
  return Winsock::RecvFrom(socket, buffer, length, flags, from);
}

int Select(Winsock::TFdSet* read, Winsock::TFdSet* write, Winsock::TFdSet* error, const Winsock::TTimeVal* timeout) {
  Bound("select");
  return Winsock::Select(read, write, error, timeout);
}

int SetSockOpt(TNetSocket socket, int level, int optName, const void* value, int valueLength) {
  Bound("setsockopt");
  return Winsock::SetSockOpt(socket, level, optName, value, valueLength);
}

int GetHostByName(const std::string& name, uint32_t& address) {
  Bound("gethostbyname");
  return Winsock::GetHostByName(name, address);
}

uint16_t Htons(uint16_t value) {
  Bound("htons");
  return Winsock::Htons(value);
}

uint16_t Ntohs(uint16_t value) {
  Bound("ntohs");
  return Winsock::Ntohs(value);
}

}  // namespace NetWinSock2
