// A real TFTP server from the system's packages, started on a free loopback port with a fresh
// directory and stopped (SIGTERM, then SIGKILL after a bounded wait) at scope end: tftpd-hpa
// with options, tftpd-hpa refusing the block-size option (it then answers ACK 0), or atftpd
// unpacked beside the project. A missing binary leaves Problem() saying how to get it.
#pragma once
#include "platform/HostSockets.h"  // first: see there

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "NetTestSupport.h"

extern char** environ;

namespace NetTest {

enum TRealServerKind { rsTftpdHpa, rsTftpdHpaNoBlksize, rsAtftpd };

inline const char* RealServerName(TRealServerKind k) {
  switch (k) {
    case rsTftpdHpa: return "tftpd-hpa";
    case rsTftpdHpaNoBlksize: return "tftpd-hpa refusing blksize";
    case rsAtftpd: return "atftpd";
  }
  return "?";
}

class TRealTftpServer {
 public:
  explicit TRealTftpServer(TRealServerKind kind) {
    const char* atftpd = std::getenv("ATFTPD_DIR");
    const std::string binary = kind == rsAtftpd ? std::string(atftpd ? atftpd : "/opt/upgrade-wizard/atftpd") + "/usr/sbin/atftpd"
                                                : "/usr/sbin/in.tftpd";
    if (::access(binary.c_str(), X_OK) != 0) {
      FProblem = binary + " is missing: run scripts/install-deps.sh (" +
                 (kind == rsAtftpd ? "unpacks atftpd" : "installs tftpd-hpa") + ")";
      return;
    }
    FPort = FreePort();
    const std::string port = std::to_string(FPort);
    std::vector<std::string> args;
    if (kind == rsAtftpd)
      args = {binary, "--daemon", "--no-fork", "--bind-address", "127.0.0.1", "--port", port, "--user", "root.root", FDir.Path()};
    else if (kind == rsTftpdHpa)
      args = {binary, "-L", "-c", "-s", "-u", "root", "-a", "127.0.0.1:" + port, FDir.Path()};
    else
      args = {binary, "-L", "-c", "-s", "-u", "root", "-r", "blksize", "-a", "127.0.0.1:" + port, FDir.Path()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    const int r = posix_spawn(&FPid, binary.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (r != 0) {
      FPid = -1;
      FProblem = "could not start " + binary;
      return;
    }
    if (!WaitListening(5000)) FProblem = binary + " did not start listening on 127.0.0.1:" + port;
  }

  ~TRealTftpServer() {
    if (FPid <= 0) return;
    ::kill(FPid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      if (::waitpid(FPid, nullptr, WNOHANG) == FPid) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
  }
  TRealTftpServer(const TRealTftpServer&) = delete;
  TRealTftpServer& operator=(const TRealTftpServer&) = delete;

  const std::string& Problem() const { return FProblem; }
  uint16_t Port() const { return FPort; }
  std::string FileInDir(const std::string& name) const { return FDir.File(name); }

 private:
  static uint16_t FreePort() {
    const int fd = ::socket(HostNet::AfInet, ::SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = HostNet::AfInet;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    ::close(fd);
    return ntohs(sa.sin_port);
  }

  // A socket bound to 127.0.0.1:port shows in the kernel's table once the server is ready.
  bool WaitListening(int timeoutMs) {
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", FPort);
    const auto t0 = std::chrono::steady_clock::now();
    while (MsSince(t0) < timeoutMs) {
      std::ifstream table("/proc/net/udp");
      std::string line;
      while (std::getline(table, line))
        if (line.find(wanted) != std::string::npos) return true;
      if (::waitpid(FPid, nullptr, WNOHANG) == FPid) {
        FPid = -1;  // reaped: its number may go to another process
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  TTempDir FDir;
  uint16_t FPort = 0;
  pid_t FPid = -1;
  std::string FProblem;
};

}  // namespace NetTest
