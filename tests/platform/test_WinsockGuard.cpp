// The loopback guard. Checks that must show that no packet left run in a child process in which
// the system calls that can send (connect, sendto, sendmsg, sendmmsg) are trapped by a seccomp
// filter and end the child: a guard that let one through fails the test, and still sends nothing.
#include "WinsockTestSupport.h"  // first: brings the host's socket headers in order

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <cstddef>
#include <string>

namespace WinsockTest {
namespace {

#if defined(__x86_64__)
constexpr uint32_t kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t kAuditArch = AUDIT_ARCH_AARCH64;
#else
constexpr uint32_t kAuditArch = 0;
#endif

constexpr int kSentExit = 99;       // the child made a call that could send
constexpr int kNoSandboxExit = 98;  // the filter could not be installed

void SendingCallMade(int) { _exit(kSentExit); }

bool TrapSendingCalls() {
  sock_filter f[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_connect, 4, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_sendto, 3, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_sendmsg, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_sendmmsg, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
  };
  sock_fprog prog{static_cast<unsigned short>(sizeof f / sizeof f[0]), f};
  struct sigaction sa {};
  sa.sa_handler = SendingCallMade;
  sigemptyset(&sa.sa_mask);
  if (sigaction(SIGSYS, &sa, nullptr) != 0) return false;
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
  return prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog) == 0;
}

// Runs `body` in a child that cannot send. Returns what went wrong: body's own report, or that
// a sending call was made, or that the child did not finish; empty when all went well.
std::string RunWithoutSending(std::string (*body)(), bool& sandboxed) {
  sandboxed = true;
  int p[2];
  if (::pipe2(p, O_CLOEXEC) != 0) return "pipe failed";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(p[0]);
    if (!TrapSendingCalls()) _exit(kNoSandboxExit);
    std::string report = body();
    if (!report.empty()) {
      [[maybe_unused]] ssize_t n = ::write(p[1], report.data(), report.size());
    }
    _exit(0);
  }
  ::close(p[1]);
  THostFd rd(p[0]);
  std::string report;
  bool finished = false;
  for (;;) {
    if (!HostReady(rd.Fd, POLLIN, 10000)) break;
    char buf[512];
    ssize_t n = ::read(rd.Fd, buf, sizeof buf);
    if (n <= 0) {
      finished = true;
      break;
    }
    report.append(buf, static_cast<size_t>(n));
  }
  if (!finished) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!finished) return "the child did not finish within 10 s";
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoSandboxExit) {
    sandboxed = false;
    return "";
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == kSentExit) return report + "a system call that could send was made";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return report + "the child ended abnormally";
  return report;
}

void Check(std::string& report, bool ok, const std::string& what) {
  if (!ok) report += what + "\n";
}

using WinsockGuard = TStarted;

#define RUN_WITHOUT_SENDING(...)                                              \
  do {                                                                        \
    if (kAuditArch == 0) GTEST_SKIP() << "no seccomp filter for this CPU";    \
    bool sandboxed = true;                                                    \
    std::string problems = RunWithoutSending(__VA_ARGS__, sandboxed);         \
    if (!sandboxed) GTEST_SKIP() << "seccomp filters are not available here"; \
    EXPECT_TRUE(problems.empty()) << problems;                                \
  } while (0)

// Catches a sandbox that would let a sending call through, which would make the tests below
// pass for nothing.
TEST_F(WinsockGuard, SandboxCatchesASendingCall) {
  if (kAuditArch == 0) GTEST_SKIP() << "no seccomp filter for this CPU";
  bool sandboxed = true;
  std::string problems = RunWithoutSending(
      [] {
        int fd = ::socket(HostNet::AfInet, ::SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa = HostLoopback(9);
        ::sendto(fd, "x", 1, 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        return std::string("sendto returned");
      },
      sandboxed);
  if (!sandboxed) GTEST_SKIP() << "seccomp filters are not available here";
  EXPECT_NE(problems.find("a system call that could send was made"), std::string::npos) << problems;
}

// Catches a guard that lets connect reach the host for an address outside 127.0.0.0/8.
TEST_F(WinsockGuard, ConnectOutsideLoopbackFailsBeforeAnySystemCall) {
  RUN_WITHOUT_SENDING([] {
    std::string r;
    TSocket t = Socket(AF_INET, SOCK_STREAM, 0);
    Check(r, Connect(t, TSockAddrIn{InetAddr("10.1.1.1"), 23}) == SOCKET_ERROR, "TCP connect to 10.1.1.1 succeeded");
    Check(r, GetLastError() == WSAENETUNREACH, "TCP connect: error " + std::to_string(GetLastError()));
    TSockAddrIn local;
    Check(r, GetSockName(t, local) == SOCKET_ERROR && GetLastError() == WSAEINVAL,
          "the TCP socket got bound: connect reached the host");
    TSocket u = Socket(AF_INET, SOCK_DGRAM, 0);
    Check(r, Connect(u, TSockAddrIn{InetAddr("192.168.1.1"), 69}) == SOCKET_ERROR, "UDP connect succeeded");
    Check(r, GetLastError() == WSAENETUNREACH, "UDP connect: error " + std::to_string(GetLastError()));
    return r;
  });
}

// Catches a guard that lets a datagram reach the host for an address outside 127.0.0.0/8,
// the broadcast address included.
TEST_F(WinsockGuard, SendToOutsideLoopbackFailsBeforeAnySystemCall) {
  RUN_WITHOUT_SENDING([] {
    std::string r;
    TSocket u = Socket(AF_INET, SOCK_DGRAM, 0);
    int on = 1;
    // Only the guard is under test: the sends below are refused whether this took or not.
    (void)SetSockOpt(u, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    for (const char* to : {"192.168.1.1", "10.1.1.2", "255.255.255.255", "0.0.0.0"}) {
      SetLastError(0);
      Check(r, SendTo(u, "x", 1, 0, TSockAddrIn{InetAddr(to), 69}) == SOCKET_ERROR,
            std::string("SendTo ") + to + " succeeded");
      Check(r, GetLastError() == WSAENETUNREACH,
            std::string("SendTo ") + to + ": error " + std::to_string(GetLastError()));
    }
    TSockAddrIn local;
    Check(r, GetSockName(u, local) == SOCKET_ERROR && GetLastError() == WSAEINVAL,
          "the UDP socket got bound: sendto reached the host");
    return r;
  });
}

// Catches a name lookup that asks a DNS server while the guard is on.
TEST_F(WinsockGuard, NamesAreAnsweredWithoutTheNetwork) {
  RUN_WITHOUT_SENDING([] {
    std::string r;
    uint32_t addr = 0;
    Check(r, GetHostByName("localhost", addr) == 0 && addr == Htonl(0x7F000001u), "localhost");
    int e = GetHostByName("no-such-host.invalid", addr);
    Check(r, e == WSAHOST_NOT_FOUND, "unknown name: " + std::to_string(e));
    Check(r, GetHostByName("192.168.1.1", addr) == 0 && addr == InetAddr("192.168.1.1"), "dotted name");
    return r;
  });
}

// Catches a guard that blocks the loopback range it must let through.
TEST_F(WinsockGuard, LetsLoopbackTrafficThrough) {
  ASSERT_TRUE(LoopbackGuard());
  uint16_t port = 0;
  THostFd rx = HostBound(::SOCK_DGRAM, port);
  ASSERT_GE(rx.Fd, 0);
  TSock u(SOCK_DGRAM);
  EXPECT_EQ(SendTo(u, "ok", 2, 0, Loopback(port)), 2) << GetLastError();
  EXPECT_TRUE(HostReady(rx.Fd, POLLIN, 2000)) << "the datagram did not arrive";
  ASSERT_EQ(Connect(u, Loopback(port)), 0) << GetLastError();
  EXPECT_EQ(Send(u, "ok", 2, 0), 2) << GetLastError();
  TSock u2(SOCK_DGRAM);
  EXPECT_EQ(SendTo(u2, "x", 1, 0, TSockAddrIn{InetAddr("127.0.0.2"), port}), 1)
      << "all of 127.0.0.0/8 is loopback; error " << GetLastError();
}

}  // namespace
}  // namespace WinsockTest
