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

  std::string SocketErrorText(int AErrorCode) override;

  std::string LookupHostName(const std::string& AHostName) override;
  uint16_t HostToNet16(uint16_t AValue) override;
  uint16_t NetToHost16(uint16_t AValue) override;
  int RecvFrom(TNetSocket ASocket, void* ABuffer, int ALength, int AFlags, std::string& AFromAddress,
               uint16_t& AFromPort) override;
  int Select(TNetSocketList* AReadList, TNetSocketList* AWriteList, int AWaitMs, TNetSocketList* AErrorList) override;
  int SendTo(TNetSocket ASocket, const void* ABuffer, int ALength, int AFlags, const std::string& AAddress,
             uint16_t APort) override;
  int SetSockOpt(TNetSocket ASocket, int ALevel, int AOptName, const void* AValue, int AValueLength) override;
  TNetSocket Socket(int AFamily, int ASocketType, int AProtocol) override;
  int Shutdown(TNetSocket ASocket, int AHow) override;
  int CloseSocket(TNetSocket ASocket) override;
  int WSAGetLastError() override;
  std::string AddressToText(const TNetAddressBytes& AAddress) override;
  TNetAddressBytes TextToAddress(const std::string& AText) override;
};

std::unique_ptr<TNetStack> CreateNetStackWindows();

// The process-wide started flag.
bool NetStackStarted();
