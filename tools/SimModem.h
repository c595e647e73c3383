// A simulated modem on a loopback address, for the end-to-end tests and the demo: a telnet
// console that negotiates a few options the way an embedded device does and then greets, and
// a TFTP write receiver that stores what it is sent. Both run on threads of their own, so the
// program under test may block its own thread (a plain sleep, a synchronous transfer) while
// the modem answers.
//
// Threads: configure before Start; read the results (files, counters) after the program's
// call returned. Both sockets listen before Start returns, and a received file is on disk and
// counted before its last block is acknowledged, so a client that has seen the final ACK may
// read it at once. Every socket is bound to the given 127.0.0.0/8 address only.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PeerHost.h"

namespace SimModem {

// What the telnet console sends after its option negotiation, as separate writes; an entry
// that begins with "\xFF" is sent as it is (a telnet command between data runs).
struct TGreeting {
  std::vector<std::string> Chunks;
  uint32_t PauseMs = 50;  // between chunks
};

TGreeting OldFirmware();     // the expected modem on an older firmware
TGreeting TargetFirmware();  // the expected modem already on the target version
TGreeting ForeignModem();    // another device
TGreeting Silent();          // accepts the connection, sends nothing

enum class TTftpMode { Receive, Silent, Error };

class TModem {
 public:
  TModem() = default;
  ~TModem();
  TModem(const TModem&) = delete;
  TModem& operator=(const TModem&) = delete;

  TGreeting Greeting = OldFirmware();
  TTftpMode TftpMode = TTftpMode::Receive;
  uint16_t ErrorCode = 2;
  std::string ErrorText = "Access violation";
  bool TelnetEnabled = true;
  bool TftpEnabled = true;  // off when a real TFTP server plays the modem's TFTP side
  // Held before acknowledging each new data block, so that an upload lasts long enough to be
  // watched; keep it well under the client's receive timeout.
  uint32_t AckDelayMs = 0;

  // Listens on address:telnetPort (TCP) and address:tftpPort (UDP); received files go to dir.
  // Returns false, with the reason in Failure(), when a socket cannot be bound.
  bool Start(const std::string& address, uint16_t telnetPort, uint16_t tftpPort, const std::string& dir);
  void Stop();
  const std::string& Failure() const { return FFailure; }

  int TelnetConnections() const { return FTelnetConnections.load(); }
  int TftpRequests() const { return FTftpRequests.load(); }
  int TftpFilesStored() const { return FFilesStored.load(); }
  // The name and size of the last file stored.
  std::string LastFileName() const;
  uint16_t LastBlockSize() const { return FLastBlockSize.load(); }

 private:
  void TelnetLoop();
  void TftpLoop();
  void ServeTelnet(PeerHost::THandle connection);
  void ServeWrite(const std::string& request, const PeerHost::TEndpoint& client);
  void Store(const std::string& name, const std::string& bytes);
  // Waits for s to be readable, up to timeoutMs (-1: no limit); false on a time-out or when the
  // modem is stopped.
  bool WaitReadable(PeerHost::THandle s, int timeoutMs) const;
  bool Stopped() const;
  // Waits ms, or less when the modem is stopped; true when it was stopped.
  bool Pause(uint32_t ms);

  std::string FDir;
  PeerHost::TSocket FTelnet;
  PeerHost::TSocket FTftp;
  PeerHost::TWaker FStop;
  std::thread FTelnetThread;
  std::thread FTftpThread;
  std::atomic<int> FTelnetConnections{0};
  std::atomic<int> FTftpRequests{0};
  std::atomic<int> FFilesStored{0};
  std::atomic<uint16_t> FLastBlockSize{0};
  mutable std::mutex FLock;
  std::string FLastFile;
  std::string FFailure;
};

}  // namespace SimModem
