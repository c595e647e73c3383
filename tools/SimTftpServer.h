// A scriptable TFTP server on loopback for fault injection: it answers the first write request
// it receives by running a script on its own thread. The script talks to the client through a
// session: a transfer socket on a port of its own (as real servers answer), plus the request
// socket for a server that answers from the request port, plus a stranger's socket on a third
// port (datagrams that are not the server's). Packets the client sends are recorded with the
// port they came to, so that tests can check every byte on the wire.
//
// Threads: the script runs on the server's thread; the test reads the session only after
// Wait() returned true. Every receive is bounded, so a script always ends. Loopback only:
// both sockets are bound to 127.0.0.1.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "PeerHost.h"

namespace SimTftp {

// Packet builders (16-bit fields in network order).
std::string Ack(uint16_t block);
std::string Error(uint16_t code, const std::string& text);
std::string Oack(const std::vector<std::pair<std::string, std::string>>& options);
std::string Data(uint16_t block, const std::string& bytes);
uint16_t Opcode(const std::string& packet);  // 0xFFFF when shorter than 2 bytes
uint16_t Block(const std::string& packet);   // 0xFFFF when shorter than 4 bytes

class TSession {
 public:
  // The request socket stays the server's; the transfer socket is the session's.
  TSession(PeerHost::THandle requestSocket, PeerHost::TSocket transfer, std::string request, uint16_t clientPort);
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  const std::string& Request() const { return FRequest; }
  uint16_t ClientPort() const { return FClientPort; }
  uint16_t TransferPort() const;

  // The next datagram sent to the transfer port within timeoutMs; false when none came.
  bool Receive(std::string& packet, int timeoutMs = 3000);
  void Send(const std::string& packet);
  void SendFromRequestPort(const std::string& packet);
  void SendFromStrangerPort(const std::string& packet);

  // A well-behaved server's receive loop from the current state: ACKs each new DATA block
  // (re-ACKs a repeated one) until a block shorter than blockSize; returns the file's bytes.
  // With finalAck false the last block is not acknowledged. Stops at the first wait that
  // runs out. firstBlock is the block number expected next.
  std::string ReceiveFile(int blockSize, bool finalAck = true, uint16_t firstBlock = 1);

  // Every datagram that reached the transfer port, in order.
  std::vector<std::string> Received;
  // Datagrams that reached the request port after the request.
  std::vector<std::string> ReceivedAtRequestPort;
  // Datagrams that reached the stranger's port.
  std::vector<std::string> ReceivedAtStrangerPort;

 private:
  PeerHost::THandle FRequestSocket;
  PeerHost::TSocket FTransfer;
  PeerHost::TSocket FStranger;
  std::string FRequest;
  uint16_t FClientPort;
};

class TServer {
 public:
  using TScript = std::function<void(TSession&)>;
  // Binds 127.0.0.1 on a free port and starts waiting (up to requestWaitMs) for a request.
  explicit TServer(TScript script, int requestWaitMs = 10000);
  ~TServer();
  TServer(const TServer&) = delete;
  TServer& operator=(const TServer&) = delete;

  uint16_t Port() const { return FPort; }
  // Waits for the script to end; false when it has not ended within timeoutMs.
  bool Wait(int timeoutMs = 10000);
  // Valid after Wait(): the session (null when no request came) and what went wrong in the
  // script, if anything.
  TSession* Session() const { return FSession.get(); }
  const std::string& Failure() const { return FFailure; }

 private:
  void Run(const TScript& script, int requestWaitMs);

  PeerHost::TSocket FRequestSocket;
  uint16_t FPort = 0;
  std::unique_ptr<TSession> FSession;
  std::string FFailure;
  std::thread FThread;
  std::mutex FLock;
  std::condition_variable FEnded;
  bool FScriptEnded = false;  // under FLock
  bool FJoined = false;
};

}  // namespace SimTftp
