// norvane-upgrade probe against simulated modems on loopback addresses of the test's own: every
// verdict with its exit code and line, and the wizard's judging rules (the last chunk decides,
// text after a NUL does not count, the texts are case-sensitive). The probes run side by side,
// each holding its connection for two seconds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <future>

#include "CliTestSupport.h"
#include "RealTftpServer.h"
#include "SimModem.h"

namespace {

using namespace CliTest;

struct TCase {
  const char* Name;
  bool Listening;  // false: nothing answers at the address (connection refused)
  SimModem::TGreeting Greeting;
  int Exit;
  const char* Line;  // expected in standard output
};

std::string Nul(const char* a, const char* b) { return std::string(a) + std::string(1, '\0') + b; }

// Catches a verdict judged on other texts or in another order than the wizard's, a wrong exit
// code for a verdict, and a silent modem let through as ready.
TEST(CliProbe, EachGreetingGetsTheWizardsVerdictAndItsExitCode) {
  const std::string target = "R2.01M.B06.PK_021206a_T93.3.44";
  const std::vector<TCase> cases = {
      {"old firmware", true, SimModem::OldFirmware(), 0,
       "Ready: the modem at @ is a Norvane NV-302 with firmware R2.01M.B05.PK_020830a_T93.3.38; it can be upgraded."},
      {"target firmware", true, SimModem::TargetFirmware(), 3, "Up to date: the modem at @ already has firmware "},
      {"foreign device", true, SimModem::ForeignModem(), 4, "Wrong modem: the device at @ is not a Norvane NV-302"},
      {"says nothing", true, SimModem::Silent(), 5, "accepted the connection but sent no greeting"},
      {"nothing listening", false, {}, 5, "Cannot detect: the connection to @ was refused (10061"},
      {"last chunk decides", true, {{"\r\nWelcome to Titanium\r\n", "\xFF\xF1", "login: "}, 50}, 4, "Wrong modem"},
      {"NUL ends the text", true, {{Nul("\r\nWelcome to Titanium ", target.c_str())}, 50}, 0, "Ready"},
      {"case matters", true, {{"\r\nwelcome to titanium\r\n"}, 50}, 4, "Wrong modem"},
      {"version alone", true, {{"\r\nfirmware " + target + "\r\n"}, 50}, 3, "Up to date"},
  };
  RealPeers::TTempDir dir;
  std::vector<std::unique_ptr<SimModem::TModem>> modems;
  std::vector<std::future<TRun>> runs;
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string address = TestAddress(static_cast<int>(i));
    auto modem = std::make_unique<SimModem::TModem>();
    modem->Greeting = cases[i].Greeting;
    modem->TftpEnabled = false;
    if (cases[i].Listening) {
      ASSERT_TRUE(modem->Start(address, 23, 69, dir.Path())) << modem->Failure();
    }
    modems.push_back(std::move(modem));
    runs.push_back(std::async(std::launch::async, [&, address] { return RunCli({"probe", address}, dir.Path()); }));
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    const TRun r = runs[i].get();
    std::string line = cases[i].Line;
    if (const size_t at = line.find('@'); at != std::string::npos)
      line.replace(at, 1, TestAddress(static_cast<int>(i)));
    EXPECT_EQ(r.Exit, cases[i].Exit) << cases[i].Name << "\n" << r.Out << r.Err;
    EXPECT_NE(r.Out.find(line), std::string::npos) << cases[i].Name << ": " << r.Out;
    if (cases[i].Exit == 3) {
      EXPECT_NE(r.Out.find(target), std::string::npos) << r.Out;
    }
  }
}

}  // namespace
