// The socket stack: address rules, error texts, CheckResult, the select wrapper, name lookup,
// and the life of StackInstance with the platform started once per process.
#include <cstdlib>

#include "NetTestSupport.h"
#include "NetWinSock2.h"
#include "Winsock.h"

namespace NetTest {
namespace {

// A real stack whose name lookups are counted and answered without the platform.
class TCountingStack : public TNetStackWindows {
 public:
  int Lookups = 0;
  std::string LookupHostName(const std::string&) override {
    ++Lookups;
    return "10.9.9.9";
  }
};

// Catches a lookup made for texts the stack must answer itself, and a wrong localhost rule.
TEST(NetStackAddress, ResolveAnswersLocalhostAndDottedQuadsWithoutLookup) {
  TCountingStack s;
  EXPECT_EQ(s.ResolveAddress("192.168.1.1"), "192.168.1.1");
  EXPECT_EQ(s.ResolveAddress("LocalHost"), "127.0.0.1");
  EXPECT_EQ(s.ResolveAddress("LOCALHOST"), "127.0.0.1");
  EXPECT_EQ(s.ResolveAddress("localhost"), "127.0.0.1");
  EXPECT_EQ(s.Lookups, 0) << "none of these may reach the name lookup";
  EXPECT_EQ(s.ResolveAddress("modem.example"), "10.9.9.9");
  EXPECT_EQ(s.ResolveAddress("1.2.3"), "10.9.9.9") << "not a dotted quad: looked up";
  EXPECT_EQ(s.Lookups, 2);
}

// Catches a dotted-quad test that accepts too few or too many parts, or values past 255.
TEST(NetStackAddress, DottedQuadNeedsFourPartsFrom0To255) {
  struct {
    const char* Text;
    bool Quad;
  } cases[] = {{"0.0.0.0", true},    {"255.255.255.255", true}, {"10.1.1.2", true}, {"1.2.3", false},
               {"1.2.3.4.5", false}, {"10.0.0.256", false},     {"1..2.3", false},  {"", false},
               {"a.b.c.d", false},   {"-1.0.0.0", false},       {"1.2.3.", false},  {"192.168.1.1", true}};
  for (const auto& c : cases) EXPECT_EQ(TNetStack::IsDottedQuad(c.Text), c.Quad) << "'" << c.Text << "'";
}

// Catches bytes taken in the wrong order, values not cut to 8 bits, and a silent bad part.
TEST(NetStackAddress, TextAndBytesConvertBothWays) {
  TNetStackWindows s;
  EXPECT_EQ(s.TextToAddress("10.1.1.2"), (TNetAddressBytes{10, 1, 1, 2}));
  EXPECT_EQ(s.TextToAddress("256.1.1.513"), (TNetAddressBytes{0, 1, 1, 1})) << "low 8 bits of each part";
  EXPECT_EQ(s.AddressToText({192, 168, 1, 1}), "192.168.1.1");
  EXPECT_EQ(s.AddressToText({0, 10, 100, 255}), "0.10.100.255");
  try {
    s.TextToAddress("1.2.x.4");
    ADD_FAILURE() << "a part that is not an integer must raise";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'x' is not a valid integer value");
  }
}

// Catches a wrong template, a missing or altered row, and the Windows-only row in the wrong class.
TEST(NetStackErrors, SocketErrorTextFillsTheTemplate) {
  TNetStackWindows s;
  EXPECT_EQ(s.SocketErrorText(10054), "Socket Error # 10054\r\nConnection reset by peer.");
  EXPECT_EQ(s.SocketErrorText(10060), "Socket Error # 10060\r\nConnection timed out.");
  EXPECT_EQ(s.SocketErrorText(10040), "Socket Error # 10040\r\nMessage too long.");
  EXPECT_EQ(s.SocketErrorText(10035), "Socket Error # 10035\r\nOperation would block. ") << "trailing blank kept";
  EXPECT_EQ(s.SocketErrorText(10066), "Socket Error # 10066\r\nDirectory not empty") << "no full stop";
  EXPECT_EQ(s.SocketErrorText(10004), "Socket Error # 10004\r\nInterrupted system call.");
  EXPECT_EQ(s.SocketErrorText(10047), "Socket Error # 10047\r\nAddress family not supported by protocol family.");
  EXPECT_EQ(s.SocketErrorText(11001), "Socket Error # 11001\r\nHost not found.");
  EXPECT_EQ(s.SocketErrorText(12345), "Socket Error # 12345\r\n") << "unknown number: nothing after the break";
  EXPECT_EQ(s.SocketErrorText(0), "Socket Error # 0\r\n");
  // Every row of the table from 10004 to 10066 is present: only numbers outside it end bare.
  const int rows[] = {10004, 10009, 10013, 10014, 10022, 10024, 10035, 10036, 10037, 10038, 10039, 10040, 10041,
                      10042, 10043, 10044, 10045, 10046, 10047, 10048, 10049, 10050, 10051, 10052, 10053, 10054,
                      10055, 10056, 10057, 10058, 10059, 10060, 10061, 10062, 10063, 10064, 10065, 10066};
  for (int n : rows) {
    const std::string t = s.SocketErrorText(n);
    EXPECT_GT(t.size(), std::string("Socket Error # 10000\r\n").size()) << n << " has no text";
  }
  EXPECT_EQ(s.SocketErrorText(10093), "Socket Error # 10093\r\n") << "not a row of the table";
}

// Catches CheckResult touching LastErrorCode on success, ignoring the ignore list, or raising
// with the wrong number or text.
TEST(NetStackErrors, CheckResultRaisesOnlyForUnignoredFailures) {
  TNetStackWindows s;
  Winsock::SetLastError(10054);
  EXPECT_TRUE(s.CheckResult(-1, {10035, 10054})) << "an ignored error returns true";
  EXPECT_EQ(s.LastErrorCode(), 10054);
  Winsock::SetLastError(10061);
  EXPECT_FALSE(s.CheckResult(0));
  EXPECT_FALSE(s.CheckResult(1028));
  EXPECT_EQ(s.LastErrorCode(), 10054) << "a success must not touch LastErrorCode";
  try {
    s.CheckResult(-1, {10035});
    ADD_FAILURE() << "10061 is not ignored";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.ErrorCode, 10061);
    EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
  }
  EXPECT_EQ(s.LastErrorCode(), 10061);
}

// A stack whose platform refuses every socket.
class TNoSocketStack : public TNetStackWindows {
 public:
  TNetSocket Socket(int, int, int) override { return Winsock::INVALID_SOCKET; }
};

// Catches a failed socket reported with an error number or not at all.
TEST(NetStackErrors, NewSocketFailureIsInvalidSocket) {
  TNoSocketStack s;
  try {
    s.NewSocket(Winsock::SOCK_DGRAM, 0);
    ADD_FAILURE() << "no socket: must raise";
  } catch (const ENetInvalidSocket& e) {
    EXPECT_EQ(e.Message(), "Cannot allocate socket.");
  }
}

using NetStackCalls = StackTest;

// Catches a wait list past 64 handed to the platform, and lists not cut to the ready sockets.
TEST_F(NetStackCalls, SelectLimitsListsAndKeepsOnlyReadySockets) {
  TNetStack& s = Stack();
  TNetSocketList many(65, 3);
  try {
    s.Select(&many, nullptr, 0, nullptr);
    ADD_FAILURE() << "65 sockets must raise";
  } catch (const ENetStackSetSizeExceeded& e) {
    EXPECT_EQ(e.Message(), "Set Size Exceeded.");
  }
  const TNetSocket quiet = s.NewSocket(Winsock::SOCK_DGRAM, 0);
  const TNetSocket busy = s.NewSocket(Winsock::SOCK_DGRAM, 0);
  ASSERT_EQ(s.SendTo(busy, "x", 1, 0, "127.0.0.1", 9), 1) << "gives busy a port";
  // Send to busy's own port from quiet, found through the host.
  ASSERT_EQ(s.SendTo(quiet, "hello", 5, 0, "127.0.0.1", PeerHost::LocalEndpoint(busy).Port), 5);
  TNetSocketList read{quiet, busy};
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(s.Select(&read, nullptr, 2000, nullptr), 1);
  EXPECT_EQ(read, TNetSocketList{busy});
  TNetSocketList none{quiet};
  EXPECT_EQ(s.Select(&none, nullptr, 0, nullptr), 0);
  EXPECT_TRUE(none.empty());
  EXPECT_LT(MsSince(t0), 1500) << "neither wait may run to its limit";
  s.CloseSocket(quiet);
  s.CloseSocket(busy);
}

// Catches a failed lookup that returns a text, or raises with the wrong number or message.
TEST_F(NetStackCalls, FailedLookupRaisesHostNotFound) {
  try {
    Stack().LookupHostName("no-such-host.invalid");
    ADD_FAILURE() << "an unknown name must raise";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.ErrorCode, 11001);
    EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
  }
  EXPECT_EQ(Stack().LookupHostName("localhost"), "127.0.0.1");
}

int GConstructed = 0;
std::unique_ptr<TNetStack> MakeCountedStack() {
  ++GConstructed;
  return std::make_unique<TNetStackWindows>();
}
std::unique_ptr<TNetStack> MakeFailingStack() { throw ENetStackInitializationFailed("Winsock Initialization Error."); }

// Catches a stack made per component, one kept after the last component, a second platform
// start-up, and a count left raised by a component whose stack could not be made.
TEST(NetStackLife, StackFollowsComponentsAndThePlatformStartsOnce) {
  ASSERT_EQ(NetStackState().LiveComponentCount(), 0) << "an earlier test left a component alive";
  TStackClassScope scope(&MakeCountedStack);
  GConstructed = 0;
  {
    TNetComponent a(nullptr);
    TNetComponent b(nullptr);
    EXPECT_EQ(NetStackState().LiveComponentCount(), 2);
    EXPECT_EQ(GConstructed, 1) << "one stack for all components";
    EXPECT_NE(NetStackState().StackInstance(), nullptr);
  }
  EXPECT_EQ(NetStackState().StackInstance(), nullptr) << "the last component frees the stack";
  EXPECT_TRUE(NetStackStarted()) << "the started flag outlives the stack";
  const int startups = NetWinSock2::StartupCount();
  EXPECT_EQ(startups, 1);
  {
    TNetComponent c(nullptr);
    EXPECT_EQ(GConstructed, 2) << "created again with the next component";
  }
  EXPECT_EQ(NetWinSock2::StartupCount(), startups) << "the platform is started once per process";

  {
    TStackClassScope failing(&MakeFailingStack);
    try {
      TNetComponent d(nullptr);
      ADD_FAILURE() << "the stack's failure must reach the creator";
    } catch (const ENetStackInitializationFailed& e) {
      EXPECT_EQ(e.Message(), "Winsock Initialization Error.");
    }
    EXPECT_EQ(NetStackState().LiveComponentCount(), 0) << "a component that failed to be made is not counted";
  }
  TNetComponent e(nullptr);
  EXPECT_EQ(NetStackState().LiveComponentCount(), 1);
}

// Catches a binding layer that lets calls reach the platform before start-up, or words the
// failure differently. Runs in a fresh process, where nothing has started the platform yet.
TEST(NetWinSock2Binding, CallBeforeStartRaisesStubError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        if (NetWinSock2::Loaded()) std::_Exit(2);
        try {
          NetWinSock2::Socket(Winsock::AF_INET, Winsock::SOCK_DGRAM, 0);
        } catch (const ENetWS2StubError& e) {
          const bool ok = e.SystemError == 10093 && e.LibraryText == "Error on call Winsock2 library function socket" &&
                          e.Message() ==
                              "Error on call Winsock2 library function socket: Either the application "
                              "has not called WSAStartup, or WSAStartup failed.";
          std::_Exit(ok ? 0 : 3);
        }
        std::_Exit(4);
      },
      ::testing::ExitedWithCode(0), "");
  const ENetWS2StubError bare("Error on loading Winsock2 library (WS2_32.DLL)", 0);
  EXPECT_EQ(bare.Message(), "Error on loading Winsock2 library (WS2_32.DLL)") << "no system text for number 0";
}

}  // namespace
}  // namespace NetTest
