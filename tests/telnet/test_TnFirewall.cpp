// Firewall traversal's pieces that need no peer. The traversal itself, through real proxies
// and the scripted one, is in test_TnFirewallPeers.cpp.
#include <gtest/gtest.h>

#include "TnFirewall.h"

namespace TnTest {
namespace {

// Catches a wrong alphabet or padding in the proxy authorization.
TEST(TnFirewallBase64, EncodesWithPadding) {
  EXPECT_EQ(TTnFirewall::Base64(""), "");
  EXPECT_EQ(TTnFirewall::Base64("f"), "Zg==");
  EXPECT_EQ(TTnFirewall::Base64("fo"), "Zm8=");
  EXPECT_EQ(TTnFirewall::Base64("foo"), "Zm9v");
  EXPECT_EQ(TTnFirewall::Base64("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_EQ(TTnFirewall::Base64("\xff\xfe\xfd"), "//79");
}

}  // namespace
}  // namespace TnTest
