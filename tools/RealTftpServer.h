// A real TFTP server from the system's packages, started on a loopback port (a free one unless
// the caller names one, such as a modem's fixed 69 on an address of its own) with a fresh
// directory and stopped (SIGTERM, then SIGKILL after a bounded wait) at scope end: tftpd-hpa
// with options, tftpd-hpa refusing the block-size option (it then answers ACK 0), or atftpd
// unpacked beside the project (ATFTPD_DIR, default /opt/upgrade-wizard/atftpd). A missing
// binary leaves Problem() saying how to get it. Shared by the tests and the benchmarks.
//
// Threads: any, one object per thread. Ownership: the object owns the server process and its
// directory, both gone at scope end.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TempDir.h"

namespace RealPeers {

enum TRealServerKind { rsTftpdHpa, rsTftpdHpaNoBlksize, rsAtftpd };

const char* RealServerName(TRealServerKind kind);

class TRealTftpServer {
 public:
  // address must be in 127.0.0.0/8; port 0 takes a free one.
  explicit TRealTftpServer(TRealServerKind kind, const std::string& address = "127.0.0.1", uint16_t port = 0);
  ~TRealTftpServer();
  TRealTftpServer(const TRealTftpServer&) = delete;
  TRealTftpServer& operator=(const TRealTftpServer&) = delete;

  // Empty when the server is up.
  const std::string& Problem() const { return FProblem; }
  uint16_t Port() const { return FPort; }
  std::string FileInDir(const std::string& name) const { return FDir.File(name); }

 private:
  bool WaitListening(int timeoutMs);

  TTempDir FDir;
  std::string FAddress;
  uint16_t FPort = 0;
  pid_t FPid = -1;
  std::string FProblem;
};

// Runs a program with its output discarded and waits for it (bounded by timeoutMs, then
// killed). Returns its exit status (-1 when it could not run or was killed); cpuSeconds gets
// the user and system time it used.
int RunProgram(const std::vector<std::string>& args, int timeoutMs, double& cpuSeconds);

}  // namespace RealPeers
