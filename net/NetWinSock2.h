// The binding of the platform socket library as far as it carries behaviour here. On Windows
// the library is loaded at run time and its functions bound by name; on this platform the
// calls are linked in, so what remains is the loaded state: the library counts as loaded from
// the first start-up until program end, and a call made through this layer while it is not
// loaded raises ENetWS2StubError with 10093 instead of reaching the platform.
//
// Threads: any; the loaded state is atomic. Nothing here owns a socket.
#pragma once
#include <cstdint>
#include <string>

#include "NetStack.h"

class ENetWS2StubError : public ENetException {
 public:
  // The message is ALibraryText alone when ASystemError is 0, otherwise ALibraryText, ": " and
  // the system's text for ASystemError.
  ENetWS2StubError(std::string ALibraryText, int ASystemError);
  std::string LibraryText;
  int SystemError;
  std::string SystemErrorText;
};

namespace NetWinSock2 {

// The system's text for an error number, as the stub error quotes it.
std::string SystemErrorMessage(int AError);

bool Loaded();
// How many times the platform start-up has been called in this process.
int StartupCount();
// Loads the library when it is not loaded yet, then starts it; the platform's result.
int Startup(uint16_t AVersion, Winsock::TWSAData& AData);
int Cleanup();
// Program end: releases the library and resets its bindings.
void Unload();

int GetLastError();
TNetSocket Socket(int AFamily, int AType, int AProtocol);
int CloseSocket(TNetSocket ASocket);
int Shutdown(TNetSocket ASocket, int AHow);
int SendTo(TNetSocket ASocket, const void* ABuffer, int ALength, int AFlags, const Winsock::TSockAddrIn& ATo);
int RecvFrom(TNetSocket ASocket, void* ABuffer, int ALength, int AFlags, Winsock::TSockAddrIn* AFrom);
int Select(Winsock::TFdSet* ARead, Winsock::TFdSet* AWrite, Winsock::TFdSet* AError, const Winsock::TTimeVal* ATimeout);
int SetSockOpt(TNetSocket ASocket, int ALevel, int AOptName, const void* AValue, int AValueLength);
int GetHostByName(const std::string& AName, uint32_t& AAddress);
uint16_t Htons(uint16_t AValue);
uint16_t Ntohs(uint16_t AValue);

}  // namespace NetWinSock2
