// A modem whose address swallows the connection request: the telnet component gives up with
// 10060 after the Windows-like time, and the wizard's probe then shows that it cannot detect
// the modem. The test process moves into a network namespace of its own, where iptables drops
// every SYN to the telnet port; without that (no iptables, no privilege) the tests skip.
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "Headless.h"
#include "Input.h"
#include "TnTelnet.h"
#include "Unit1.h"
#include "Winsock.h"

namespace {

// Why the private network could not be made, or empty when it was.
std::string EnterNetworkThatDropsSyns() {
  static const std::string reason = []() -> std::string {
    if (std::system("command -v iptables >/dev/null 2>&1") != 0) return "iptables is not installed";
    if (unshare(CLONE_NEWNET) != 0) return "no private network namespace (unshare needs root)";
    if (std::system("ip link set lo up") != 0) return "cannot bring up loopback";
    if (std::system("iptables -A INPUT -p tcp --dport 23 --syn -j DROP") != 0) return "iptables refused the rule";
    return "";
  }();
  return reason;
}

class UnansweredConnect : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = EnterNetworkThatDropsSyns();
    if (!why.empty()) GTEST_SKIP() << why;
    App = std::make_unique<TScopedApplication>();
    Application->OnMessageBox = [](const TMessageBoxRecord&) { return IDOK; };
  }
  static double SecondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  std::unique_ptr<TScopedApplication> App;
};

}  // namespace

// Catches a connect that waits out the host's own two-minute limit, or fails with another code.
TEST_F(UnansweredConnect, TelnetConnectFailsWith10060AfterAbout21Seconds) {
  TTnTelnet t(nullptr);
  const auto t0 = std::chrono::steady_clock::now();
  try {
    t.Connect("127.0.0.1");
    FAIL() << "connected through a SYN-dropping port";
  } catch (const ETnTelnet& e) {
    EXPECT_EQ(e.Code, 10060) << e.Message();
    EXPECT_EQ(e.Message(), "10060: [10060] Connection timed out");
  }
  const double s = SecondsSince(t0);
  EXPECT_GE(s, 20.0);
  EXPECT_LE(s, 25.0);
}

// Catches a probe of an unanswered address that keeps the user waiting minutes, or ends on a
// verdict other than cannot-detect.
TEST_F(UnansweredConnect, ProbeShowsCannotDetectAfterAbout21Seconds) {
  TForm1* f = Application->CreateForm<TForm1>();
  Form1 = f;
  f->Show();
  Pump();
  PostClick(*f->UiWizard1->Button(bkNext).Control());
  Application->ProcessMessages();
  ASSERT_EQ(f->UiWizard1->ActivePageIndex(), 1);
  f->Edit1->SetText("127.0.0.1");
  const auto t0 = std::chrono::steady_clock::now();
  PostClick(*f->UiWizard1->Button(bkNext).Control());
  Application->ProcessMessages();
  const double s = SecondsSince(t0);
  std::printf("Next to the verdict page: %.1f s\n", s);
  EXPECT_EQ(f->UiWizard1->ActivePageIndex(), 3);
  EXPECT_TRUE(f->Label12->Visible()) << "the cannot-detect state";
  EXPECT_TRUE(f->Label11->Visible());
  EXPECT_GE(s, 19.0);
  EXPECT_LE(s, 23.0);
  delete f;
  Form1 = nullptr;
}

// Catches the deadline kept only for asynchronous notification: a blocking connect, and a
// non-blocking one waited for with select, give up at the same time with the same number.
TEST_F(UnansweredConnect, BlockingConnectAndSelectGiveUpAlike) {
  using namespace Winsock;
  TWSAData data{};
  ASSERT_EQ(Startup(0x0202, data), 0);
  const TSockAddrIn modem{Htonl(0x7F000001u), 23};
  int blockingError = 0;
  double blockingSeconds = 0;
  std::thread blocking([&] {
    const TSocket s = Socket(AF_INET, SOCK_STREAM, 0);
    const auto t0 = std::chrono::steady_clock::now();
    if (Connect(s, modem) == SOCKET_ERROR) blockingError = GetLastError();
    blockingSeconds = SecondsSince(t0);
    CloseSocket(s);
  });
  const TSocket s = Socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(SetNonBlocking(s, true), 0);
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(Connect(s, modem), SOCKET_ERROR);
  ASSERT_EQ(GetLastError(), WSAEWOULDBLOCK);
  TFdSet writable{}, failed{};
  FdSet(s, writable);
  FdSet(s, failed);
  EXPECT_EQ(Select(nullptr, &writable, &failed, nullptr), 1);
  const double selectSeconds = SecondsSince(t0);
  EXPECT_TRUE(FdIsSet(s, failed)) << "the failed connect shows in the error set";
  int error = 0, len = sizeof error;
  ASSERT_EQ(GetSockOpt(s, SOL_SOCKET, SO_ERROR, &error, &len), 0);
  EXPECT_EQ(error, WSAETIMEDOUT);
  CloseSocket(s);
  blocking.join();
  EXPECT_EQ(blockingError, WSAETIMEDOUT);
  for (double t : {selectSeconds, blockingSeconds}) {
    EXPECT_GE(t, 20.0);
    EXPECT_LE(t, 25.0);
  }
  Cleanup();
}
