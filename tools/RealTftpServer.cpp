#include "RealTftpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

#include "PeerHost.h"

extern char** environ;

namespace RealPeers {

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

uint16_t FreePort() {
  std::string failure;
  const PeerHost::TSocket s = PeerHost::OpenDatagram(PeerHost::TEndpoint{}, failure);
  return s.Valid() ? PeerHost::LocalEndpoint(s.Handle()).Port : 0;
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  argv.reserve(copy.size() + 1);
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int r = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  return r == 0 ? pid : -1;
}

}  // namespace

const char* RealServerName(TRealServerKind kind) {
  switch (kind) {
    case rsTftpdHpa: return "tftpd-hpa";
    case rsTftpdHpaNoBlksize: return "tftpd-hpa refusing blksize";
    case rsAtftpd: return "atftpd";
  }
  return "?";
}

TRealTftpServer::TRealTftpServer(TRealServerKind kind, const std::string& address, uint16_t port) : FAddress(address) {
  const char* atftpdDir = std::getenv("ATFTPD_DIR");
  const std::string binary =
      kind == rsAtftpd ? std::string(atftpdDir ? atftpdDir : "/opt/upgrade-wizard/atftpd") + "/usr/sbin/atftpd"
                       : "/usr/sbin/in.tftpd";
  if (::access(binary.c_str(), X_OK) != 0) {
    FProblem = binary + " is missing: run scripts/install-deps.sh (" +
               (kind == rsAtftpd ? "unpacks atftpd" : "installs tftpd-hpa") + ")";
    return;
  }
  if (FDir.Path().empty()) {
    FProblem = "no temporary directory";
    return;
  }
  in_addr a{};
  if (::inet_pton(AF_INET, address.c_str(), &a) != 1 || (ntohl(a.s_addr) >> 24) != 127) {
    FProblem = "not a loopback address: " + address;
    return;
  }
  FPort = port != 0 ? port : FreePort();
  const std::string portText = std::to_string(FPort);
  std::vector<std::string> args;
  if (kind == rsAtftpd)
    args = {binary,   "--daemon", "--no-fork", "--bind-address", address,
            "--port", portText,   "--user",    "root.root",      FDir.Path()};
  else if (kind == rsTftpdHpa)
    args = {binary, "-L", "-c", "-s", "-u", "root", "-a", address + ":" + portText, FDir.Path()};
  else
    args = {binary, "-L", "-c", "-s", "-u", "root", "-r", "blksize", "-a", address + ":" + portText, FDir.Path()};
  FPid = Spawn(args);
  if (FPid < 0) {
    FProblem = "could not start " + binary;
    return;
  }
  if (!WaitListening(5000)) FProblem = binary + " did not start listening on " + address + ":" + portText;
}

TRealTftpServer::~TRealTftpServer() {
  if (FPid <= 0) return;
  ::kill(FPid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(FPid, nullptr, WNOHANG) == FPid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(FPid, SIGKILL);
  ::waitpid(FPid, nullptr, 0);
}

// A socket bound to address:port shows in the kernel's table once the server is ready.
bool TRealTftpServer::WaitListening(int timeoutMs) {
  in_addr a{};
  ::inet_pton(AF_INET, FAddress.c_str(), &a);
  char wanted[32];
  // The table prints the address as its raw 32-bit value read in host byte order.
  std::snprintf(wanted, sizeof wanted, "%08X:%04X", a.s_addr, FPort);
  const auto t0 = Clock::now();
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

int RunProgram(const std::vector<std::string>& args, int timeoutMs, double& cpuSeconds) {
  cpuSeconds = 0;
  const pid_t pid = Spawn(args);
  if (pid < 0) return -1;
  // A watchdog kills the program when it overruns; the wait itself blocks, so that the time a
  // benchmark measures ends when the program does.
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
  bool killed = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> g(lock);
    if (!ended.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return done; })) {
      killed = true;
      ::kill(pid, SIGKILL);
    }
  });
  int status = 0;
  rusage ru{};
  while (::wait4(pid, &status, 0, &ru) < 0 && errno == EINTR) {
  }
  {
    std::lock_guard<std::mutex> g(lock);
    done = true;
  }
  ended.notify_one();
  watchdog.join();
  cpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
               static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  if (killed) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace RealPeers
