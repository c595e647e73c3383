// One platform datagram socket, owned by a UDP component: opened on demand, closed at the end
// of each transfer and opened again at the next need. The socket is never bound explicitly;
// the platform gives it a local port at its first send, which it keeps until it is closed.
//
// Threads: the owner's thread only. Ownership: the handle owns its socket and closes it when
// it is destroyed. It uses the process's socket stack, so it lives inside a network component.
#pragma once
#include <cstdint>
#include <string>

#include "NetStack.h"

class ENetSilentException : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetConnClosedGracefully : public ENetSilentException {
 public:
  using ENetSilentException::ENetSilentException;
};

class ENetSocketHandleError : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetPackageSizeTooBig : public ENetSocketHandleError {
 public:
  using ENetSocketHandleError::ENetSocketHandleError;
};

class ENetNotAllBytesSent : public ENetSocketHandleError {
 public:
  using ENetSocketHandleError::ENetSocketHandleError;
};

class TNetSocketHandle : public TObject {
 public:
  TNetSocketHandle();
  ~TNetSocketHandle() override;

  // Local address and port (stored only: the socket is never bound).
  const std::string& IP() const { return FIP; }
  void SetIP(const std::string& v) { FIP = v; }
  int32_t Port() const { return FPort; }
  void SetPort(int32_t v) { FPort = v; }
  int32_t ClientPortMin() const { return FClientPortMin; }
  void SetClientPortMin(int32_t v) { FClientPortMin = v; }
  int32_t ClientPortMax() const { return FClientPortMax; }
  void SetClientPortMax(int32_t v) { FClientPortMax = v; }

  TNetSocket SocketId() const { return FSocketId; }
  bool IsOpen() const { return FIsOpen; }
  const std::string& PeerIP() const { return FPeerIP; }
  int32_t PeerPort() const { return FPeerPort; }

  // Closes any socket first; raises ENetInvalidSocket "Cannot allocate socket.".
  void Open(int socketType, int protocol);
  // Shuts the socket down for sending and closes it; both results are ignored.
  virtual void Close();
  // One receive; the platform's result (-1 on failure, which the caller checks).
  virtual int ReceiveBytesFrom(void* buffer, int length, std::string& fromAddress, uint16_t& fromPort);
  // Wait values: -2 without limit, 0 look once, positive milliseconds. False when nothing came
  // or the platform's wait failed; raises ENetConnClosedGracefully on a closed socket.
  bool WaitReadable(int waitMs);
  // Raises ENetPackageSizeTooBig, ENetSocketError or ENetNotAllBytesSent.
  void SendBytesTo(const std::string& address, uint16_t port, const void* buffer, int count);
  // Raises ENetSocketError when the platform refuses.
  void SetOption(int level, int optName, const void* value, int valueLength);
  void ClearState(bool resetLocal);

 private:
  std::string FIP;
  int32_t FPort = 0;
  int32_t FClientPortMin = 0;
  int32_t FClientPortMax = 0;
  TNetSocket FSocketId = Winsock::INVALID_SOCKET;
  bool FIsOpen = false;
  std::string FPeerIP;
  int32_t FPeerPort = 0;
  TNetSocketList FWaitList;  // kept so that a wait allocates nothing
};
