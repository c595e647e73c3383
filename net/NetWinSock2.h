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
  // The message is libraryText alone when systemError is 0, otherwise libraryText, ": " and
  // the system's text for systemError.
  ENetWS2StubError(std::string libraryText, int systemError);
  std::string LibraryText;
  int SystemError;
  std::string SystemErrorText;
};

namespace NetWinSock2 {

// The system's text for an error number, as the stub error quotes it.
std::string SystemErrorMessage(int error);

bool Loaded();
// How many times the platform start-up has been called in this process.
int StartupCount();
// Loads the library when it is not loaded yet, then starts it; the platform's result.
int Startup(uint16_t version, Winsock::TWSAData& data);
int Cleanup();
// Program end: releases the library and resets its bindings.
void Unload();

int GetLastError();
TNetSocket Socket(int family, int type, int protocol);
int CloseSocket(TNetSocket socket);
int Shutdown(TNetSocket socket, int how);
int SendTo(TNetSocket socket, const void* buffer, int length, int flags, const Winsock::TSockAddrIn& to);
int RecvFrom(TNetSocket socket, void* buffer, int length, int flags, Winsock::TSockAddrIn* from);
int Select(Winsock::TFdSet* read, Winsock::TFdSet* write, Winsock::TFdSet* error, const Winsock::TTimeVal* timeout);
int SetSockOpt(TNetSocket socket, int level, int optName, const void* value, int valueLength);
int GetHostByName(const std::string& name, uint32_t& address);
uint16_t Htons(uint16_t value);
uint16_t Ntohs(uint16_t value);

}  // namespace NetWinSock2
