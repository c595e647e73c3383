// The concrete socket stack over the platform's Windows-Sockets-style calls (through
// NetWinSock2). Its constructor starts the platform's socket library once per process: a
// started flag, never cleared while the program runs, keeps a stack made again from starting
// it twice; at program end the library is cleaned up once.
//
// Threads: as TNetStack. The started flag is process-wide and atomic.
#pragma once
#include <memory>

#include "NetStack.h"

class TNetStackWindows : public TNetStack {
 public:
  // Raises ENetStackInitializationFailed when the platform refuses to start.
  TNetStackWindows();

  std::string SocketErrorText(int errorCode) override;

  std::string LookupHostName(const std::string& hostName) override;
  uint16_t HostToNet16(uint16_t value) override;
  uint16_t NetToHost16(uint16_t value) override;
  int RecvFrom(TNetSocket socket, void* buffer, int length, int flags, std::string& fromAddress,
               uint16_t& fromPort) override;
  int Select(TNetSocketList* readList, TNetSocketList* writeList, int waitMs, TNetSocketList* errorList) override;
  int SendTo(TNetSocket socket, const void* buffer, int length, int flags, const std::string& address,
             uint16_t port) override;
  int SetSockOpt(TNetSocket socket, int level, int optName, const void* value, int valueLength) override;
  TNetSocket Socket(int family, int socketType, int protocol) override;
  int Shutdown(TNetSocket socket, int how) override;
  int CloseSocket(TNetSocket socket) override;
  int WSAGetLastError() override;
  std::string AddressToText(const TNetAddressBytes& address) override;
  TNetAddressBytes TextToAddress(const std::string& text) override;
};

std::unique_ptr<TNetStack> CreateNetStackWindows();

// The process-wide started flag.
bool NetStackStarted();
