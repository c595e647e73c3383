// The loopback guard on POSIX hosts. Its checks (WinsockGuardChecks.h) run in a child process
// in which the system calls that can send (connect, sendto, sendmsg, sendmmsg) are trapped by a
// seccomp filter and end the child: a guard that let one through fails the test, and still
// sends nothing.
#include "HostSockets.h"  // first: the host's socket headers, before the layer's names
#include "WinsockTestSupport.h"

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <cstddef>
#include <string>

#include "WinsockGuardChecks.h"

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
    if (!HostReady(rd.Handle(), hrRead, 10000)) break;
    char buf[512];
    ssize_t n = ::read(static_cast<int>(rd.Handle()), buf, sizeof buf);
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
        sockaddr_in sa{};
        sa.sin_family = HostNet::AfInet;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sa.sin_port = htons(9);
        ::sendto(fd, "x", 1, 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        return std::string("sendto returned");
      },
      sandboxed);
  if (!sandboxed) GTEST_SKIP() << "seccomp filters are not available here";
  EXPECT_NE(problems.find("a system call that could send was made"), std::string::npos) << problems;
}

// Catches a guard that lets connect reach the host for an address outside 127.0.0.0/8.
TEST_F(WinsockGuard, ConnectOutsideLoopbackFailsBeforeAnySystemCall) {
  RUN_WITHOUT_SENDING(ConnectOutsideLoopbackIsRefused);
}

// Catches a guard that lets a datagram reach the host for an address outside 127.0.0.0/8,
// the broadcast address included.
TEST_F(WinsockGuard, SendToOutsideLoopbackFailsBeforeAnySystemCall) {
  RUN_WITHOUT_SENDING(SendToOutsideLoopbackIsRefused);
}

// Catches a name lookup that asks a DNS server while the guard is on.
TEST_F(WinsockGuard, NamesAreAnsweredWithoutTheNetwork) { RUN_WITHOUT_SENDING(NamesAreAnsweredWithoutTheNetwork); }

}  // namespace
}  // namespace WinsockTest
