// Host names, dotted addresses, byte order, and the hosts-file reader the loopback guard uses.
#include "WinsockTestSupport.h"

#include <cstring>

#include "HostsFile.h"

namespace WinsockTest {
namespace {

using Winsock::Detail::LookupHostsText;
using Winsock::Detail::THostsAnswer;

std::string Dotted(uint32_t addrNetworkOrder) { return InetNtoa(addrNetworkOrder); }

// Catches byte-order helpers that do nothing, or swap twice, on this host.
TEST(WinsockByteOrder, NetworkOrderIsBigEndianInMemory) {
  const uint16_t s = Htons(0x1234);
  const uint32_t l = Htonl(0x0A000102);
  unsigned char b[4];
  std::memcpy(b, &s, 2);
  EXPECT_EQ(b[0], 0x12);
  EXPECT_EQ(b[1], 0x34);
  std::memcpy(b, &l, 4);
  EXPECT_EQ(b[0], 10);
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(b[2], 1);
  EXPECT_EQ(b[3], 2);
  EXPECT_EQ(Ntohs(Htons(0xBEEF)), 0xBEEF);
  EXPECT_EQ(Ntohl(Htonl(0xDEADBEEFu)), 0xDEADBEEFu);
}

// Catches address forms Windows accepts being refused, and malformed ones being accepted.
TEST(WinsockInetAddr, ReadsTheFormsWindowsReads) {
  struct {
    const char* Text;
    uint32_t HostOrder;
  } good[] = {
      {"10.1.1.1", 0x0A010101},
      {"192.168.1.1", 0xC0A80101},
      {"127.1", 0x7F000001},
      {"0x7f.1", 0x7F000001},
      {"010.0.0.1", 0x08000001},
      {"10.65535", 0x0A00FFFF},
      {"1.2.65535", 0x0102FFFF},
      {"3232235777", 0xC0A80101},
      {"1.2.3.4 junk", 0x01020304},
      {"255.255.255.255", 0xFFFFFFFF},
      {"0.0.0.0", 0},
  };
  for (const auto& c : good) EXPECT_EQ(InetAddr(c.Text), Htonl(c.HostOrder)) << "'" << c.Text << "'";
  const char* bad[] = {"",         "abc", "1.2.3.256",  "1.2.3.4.5", "1..2.3",   "1.2.3.",
                       "08.1.1.1", "0x",  "4294967296", "256.1",     "1.2.3.4x", "-1.2.3.4"};
  for (const char* t : bad) EXPECT_EQ(InetAddr(t), INADDR_NONE) << "'" << t << "' must be refused";
}

// Catches a dotted text printed in the wrong byte order.
TEST(WinsockInetAddr, NtoaPrintsDottedDecimal) {
  EXPECT_EQ(Dotted(Htonl(0x0A010102)), "10.1.1.2");
  EXPECT_EQ(Dotted(Htonl(0xC0A80101)), "192.168.1.1");
  EXPECT_EQ(Dotted(0), "0.0.0.0");
  EXPECT_EQ(Dotted(0xFFFFFFFFu), "255.255.255.255");
}

// A hosts file with the shapes the reader must cope with; the expected answers follow.
const char kHosts[] =
    "# comment line\n"
    "127.0.0.1\tlocalhost\n"
    "10.1.1.1   modem Modem.Local   # the router\n"  // aliases; a trailing comment
    "::1 ip6-only ip6-localhost\n"                   // IPv6 only
    "fe80::1%lo linklocal\n"
    "192.168.1.1 modem\n"      // later entry for a listed name: ignored
    "not-an-address broken\n"  // malformed address
    "::2 both\n"
    "127.0.0.2 both\n"  // IPv4 after IPv6: still found
    "\r\n"
    "172.16.0.5 crlf\r\n"      // DOS line end
    "  203.0.113.9 indented";  // no final newline

// Catches hosts-file reading that misses aliases, case, comments or line ends.
TEST(WinsockHostsFile, AnswersNamesLikeTheResolver) {
  struct {
    const char* Name;
    THostsAnswer Answer;
    const char* Addr;
  } cases[] = {
      {"localhost", THostsAnswer::haFound, "127.0.0.1"},
      {"modem", THostsAnswer::haFound, "10.1.1.1"},
      {"MODEM.local", THostsAnswer::haFound, "10.1.1.1"},
      {"ip6-only", THostsAnswer::haNoIPv4, nullptr},
      {"linklocal", THostsAnswer::haNoIPv4, nullptr},
      {"both", THostsAnswer::haFound, "127.0.0.2"},
      {"crlf", THostsAnswer::haFound, "172.16.0.5"},
      {"indented", THostsAnswer::haFound, "203.0.113.9"},
      {"broken", THostsAnswer::haNotListed, nullptr},
      {"router", THostsAnswer::haNotListed, nullptr},  // only inside a comment
      {"modem.lo", THostsAnswer::haNotListed, nullptr},
      {"", THostsAnswer::haNotListed, nullptr},
  };
  for (const auto& c : cases) {
    uint32_t addr = 0;
    THostsAnswer a = LookupHostsText(kHosts, c.Name, addr);
    EXPECT_EQ(static_cast<int>(a), static_cast<int>(c.Answer)) << "'" << c.Name << "'";
    if (c.Addr && a == THostsAnswer::haFound) {
      EXPECT_EQ(Dotted(addr), c.Addr) << "'" << c.Name << "'";
    }
  }
  uint32_t addr = 0;
  EXPECT_EQ(LookupHostsText("", "localhost", addr), THostsAnswer::haNotListed) << "empty file";
}

using WinsockNames = TStarted;

// Catches dotted text sent to a resolver, and failures that do not set the last error.
TEST_F(WinsockNames, HostByNameUnderTheGuard) {
  ASSERT_TRUE(LoopbackGuard()) << "test executables run with the guard on";
  uint32_t addr = 0;
  EXPECT_EQ(GetHostByName("10.1.1.1", addr), 0);
  EXPECT_EQ(Dotted(addr), "10.1.1.1");
  EXPECT_EQ(GetHostByName("localhost", addr), 0);
  EXPECT_EQ(Dotted(addr), "127.0.0.1");
  EXPECT_EQ(GetHostByName("LocalHost", addr), 0) << "names compare without case";
  SetLastError(0);
  EXPECT_EQ(GetHostByName("no-such-host.invalid", addr), WSAHOST_NOT_FOUND);
  EXPECT_EQ(GetLastError(), WSAHOST_NOT_FOUND);
}

// Catches a host name cut short or not the host's.
TEST_F(WinsockNames, HostNameIsTheHosts) {
  std::string name;
  ASSERT_EQ(GetHostName(name), 0) << GetLastError();
  EXPECT_EQ(name, HostName());
  EXPECT_FALSE(name.empty());
}

}  // namespace
}  // namespace WinsockTest
