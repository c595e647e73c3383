#include "NetWinSock2.h"

#include <atomic>

ENetWS2StubError::ENetWS2StubError(std::string ALibraryText, int ASystemError)
    : ENetException(ASystemError == 0 ? ALibraryText
                                      : ALibraryText + ": " + NetWinSock2::SystemErrorMessage(ASystemError)),
      LibraryText(std::move(ALibraryText)),
      SystemError(ASystemError),
      SystemErrorText(ASystemError == 0 ? std::string() : NetWinSock2::SystemErrorMessage(ASystemError)) {}

namespace NetWinSock2 {

namespace {

std::atomic<bool> GLoaded{false};
std::atomic<int> GStartupCount{0};

void Bound(const char* AFunction) {
  if (!GLoaded.load(std::memory_order_relaxed))
    throw ENetWS2StubError(Format("Error on call Winsock2 library function %s", AFunction),
                           Winsock::WSANOTINITIALISED);
}

}  // namespace

std::string SystemErrorMessage(int AError) {
  if (AError == Winsock::WSANOTINITIALISED)
    return "Either the application has not called WSAStartup, or WSAStartup failed.";
  return Format("System error %d.", AError);
}

bool Loaded() { return GLoaded.load(); }
int StartupCount() { return GStartupCount.load(); }

int Startup(uint16_t AVersion, Winsock::TWSAData& AData) {
  GLoaded.store(true);
  GStartupCount.fetch_add(1);
  return Winsock::Startup(AVersion, AData);
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

TNetSocket Socket(int AFamily, int AType, int AProtocol) {
  Bound("socket");
  return Winsock::Socket(AFamily, AType, AProtocol);
}

int CloseSocket(TNetSocket ASocket) {
  Bound("closesocket");
  return Winsock::CloseSocket(ASocket);
}

int Shutdown(TNetSocket ASocket, int AHow) {
  Bound("shutdown");
  return Winsock::Shutdown(ASocket, AHow);
}

int SendTo(TNetSocket ASocket, const void* ABuffer, int ALength, int AFlags, const Winsock::TSockAddrIn& ATo) {
  Bound("sendto");
  return Winsock::SendTo(ASocket, ABuffer, ALength, AFlags, ATo);
}

int RecvFrom(TNetSocket ASocket, void* ABuffer, int ALength, int AFlags, Winsock::TSockAddrIn* AFrom) {
  Bound("recvfrom");
  return Winsock::RecvFrom(ASocket, ABuffer, ALength, AFlags, AFrom);
}

int Select(Winsock::TFdSet* ARead, Winsock::TFdSet* AWrite, Winsock::TFdSet* AError, const Winsock::TTimeVal* ATimeout) {
  Bound("select");
  return Winsock::Select(ARead, AWrite, AError, ATimeout);
}

int SetSockOpt(TNetSocket ASocket, int ALevel, int AOptName, const void* AValue, int AValueLength) {
  Bound("setsockopt");
  return Winsock::SetSockOpt(ASocket, ALevel, AOptName, AValue, AValueLength);
}

int GetHostByName(const std::string& AName, uint32_t& AAddress) {
  Bound("gethostbyname");
  return Winsock::GetHostByName(AName, AAddress);
}

uint16_t Htons(uint16_t AValue) {
  Bound("htons");
  return Winsock::Htons(AValue);
}

uint16_t Ntohs(uint16_t AValue) {
  Bound("ntohs");
  return Winsock::Ntohs(AValue);
}

}  // namespace NetWinSock2
