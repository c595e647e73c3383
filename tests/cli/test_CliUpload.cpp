// norvane-upgrade upload against the simulated modem and against tftpd-hpa on the modem's fixed
// ports: the file arrives byte for byte, only a ready modem is sent to unless --force, the
// recovery road skips the probe, every failure has its own exit code and message, and the
// JSON stream tells the whole run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include <future>

#include "CliTestSupport.h"
#include "RealTftpServer.h"
#include "SimModem.h"

namespace {

using namespace CliTest;

std::vector<nlohmann::json> Events(const std::string& out) {
  std::vector<nlohmann::json> events;
  size_t from = 0;
  for (size_t nl; (nl = out.find('\n', from)) != std::string::npos; from = nl + 1)
    events.push_back(nlohmann::json::parse(out.substr(from, nl - from)));
  EXPECT_EQ(from, out.size()) << "output does not end with a whole line";
  return events;
}

class CliUpload : public ::testing::Test {
 protected:
  void SetUp() override {
    ModemDir = Dir.File("modem");
    ::mkdir(ModemDir.c_str(), 0755);
  }
  void StartModem(SimModem::TModem& m, int n = 0) {
    ASSERT_TRUE(m.Start(TestAddress(n), 23, 69, ModemDir)) << m.Failure() << " (ports 23 and 69 need root)";
  }
  RealPeers::TTempDir Dir;
  std::string ModemDir;
};

// Catches bytes lost, reordered or added on the way, and a success reported without the file.
TEST_F(CliUpload, ReadyModemReceivesTheFileByteForByte) {
  const std::string bytes = RandomBytes(300000, 1);
  WriteFile(Dir.File("TEPatch.bin"), bytes);
  SimModem::TModem modem;
  StartModem(modem);
  const TRun r = RunCli({"upload", TestAddress(), "TEPatch.bin"}, Dir.Path());
  EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
  EXPECT_NE(r.Out.find("Ready: "), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("Sent TEPatch.bin (300000 bytes) to " + TestAddress() + " as TEPatch.bin."), std::string::npos)
      << r.Out;
  EXPECT_TRUE(WaitUntil([&] { return modem.TftpFilesStored() == 1; }));
  EXPECT_TRUE(ReadFile(ModemDir + "/TEPatch.bin") == bytes) << "the modem's copy differs";
  EXPECT_EQ(modem.LastBlockSize(), 1024);
}

// Catches a wrong remote name or block size against a real server, and a file of whole blocks
// that is not ended by an empty block.
TEST_F(CliUpload, TftpdHpaStoresTheFileUnderTheRemoteName) {
  RealPeers::TRealTftpServer server(RealPeers::rsTftpdHpa, TestAddress(), 69);
  ASSERT_TRUE(server.Problem().empty()) << server.Problem();
  SimModem::TModem telnet;
  telnet.TftpEnabled = false;
  StartModem(telnet);
  const std::string bytes = RandomBytes(size_t{64} * 1024, 2);
  WriteFile(Dir.File("fw.bin"), bytes);
  const TRun r = RunCli({"upload", TestAddress(), "fw.bin", "--remote-name", "TEPatch.bin"}, Dir.Path());
  EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
  EXPECT_TRUE(ReadFile(server.FileInDir("TEPatch.bin")) == bytes) << "the server's copy differs";
}

// Catches an upload to a modem whose verdict forbids it, and --force not overriding the verdict.
TEST_F(CliUpload, OnlyAReadyModemIsSentToUnlessForced) {
  WriteFile(Dir.File("TEPatch.bin"), RandomBytes(5000, 3));
  SimModem::TModem modem;
  modem.Greeting = SimModem::TargetFirmware();
  StartModem(modem);
  TRun r = RunCli({"upload", TestAddress(), "TEPatch.bin"}, Dir.Path());
  EXPECT_EQ(r.Exit, 3) << r.Out << r.Err;
  EXPECT_NE(r.Err.find("nothing sent: the modem already has the latest firmware"), std::string::npos) << r.Err;
  EXPECT_EQ(modem.TftpRequests(), 0);
  r = RunCli({"upload", TestAddress(), "TEPatch.bin", "--force", "--json"}, Dir.Path());
  EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
  const std::vector<nlohmann::json> events = Events(r.Out);
  ASSERT_GE(events.size(), 2u) << r.Out;
  EXPECT_EQ(events[0]["verdict"], "up-to-date");
  EXPECT_EQ(events[1]["forced"], true);
  EXPECT_TRUE(WaitUntil([&] { return modem.TftpFilesStored() == 1; }));
}

// Catches a probe on the recovery road (a modem with flashing lights cannot answer it) and a
// recovery image stored under another name than the one the modem looks for.
TEST_F(CliUpload, RecoverySendsTEImageWithoutAProbe) {
  const std::string image = RandomBytes(3000, 4);
  WriteFile(Dir.File("TEImage.bin"), image);
  WriteFile(Dir.File("other.bin"), image + "x");
  SimModem::TModem modem;
  StartModem(modem);
  TRun r = RunCli({"upload", "--recovery", TestAddress()}, Dir.Path());
  EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
  EXPECT_TRUE(WaitUntil([&] { return modem.TftpFilesStored() == 1; }));
  EXPECT_TRUE(ReadFile(ModemDir + "/TEImage.bin") == image);
  r = RunCli({"upload", "--recovery", TestAddress(), "other.bin"}, Dir.Path());
  EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
  EXPECT_TRUE(WaitUntil([&] { return modem.TftpFilesStored() == 2; }));
  EXPECT_TRUE(ReadFile(ModemDir + "/TEImage.bin") == image + "x") << "a recovery file goes as TEImage.bin";
  EXPECT_EQ(modem.TelnetConnections(), 0) << "the recovery road probed";
}

struct TFailure {
  const char* Name;
  SimModem::TTftpMode Tftp;
  std::vector<std::string> Args;  // "@" stands for the modem's address
  int Exit;
  const char* Message;  // expected on standard error
};

// Catches two failures sharing an exit code, a message that does not say what went wrong, and
// a file or address problem found only after the modem was probed.
TEST_F(CliUpload, EachFailureHasItsExitCodeAndMessage) {
  WriteFile(Dir.File("TEPatch.bin"), RandomBytes(20000, 5));
  ::mkdir(Dir.File("folder.bin").c_str(), 0755);
  const std::vector<TFailure> cases = {
      {"missing file",
       SimModem::TTftpMode::Receive,
       {"upload", "@", "nofile.bin"},
       6,
       "Cannot open file \"nofile.bin\""},
      {"directory", SimModem::TTftpMode::Receive, {"upload", "@", "folder.bin"}, 6, "is a directory"},
      {"unknown host",
       SimModem::TTftpMode::Receive,
       {"upload", "modem.invalid", "TEPatch.bin"},
       7,
       "names no known host"},
      {"empty address", SimModem::TTftpMode::Receive, {"probe", ""}, 7, "the address is empty"},
      {"TFTP error",
       SimModem::TTftpMode::Error,
       {"upload", "@", "TEPatch.bin"},
       9,
       "the modem refused the file: Access violation (0 of 20000 bytes had been sent)"},
      {"silent TFTP",
       SimModem::TTftpMode::Silent,
       {"upload", "@", "TEPatch.bin", "--timeout", "0.3"},
       8,
       "stopped answering (no reply within 300 ms)"},
      {"no command", SimModem::TTftpMode::Receive, {}, 2, "A subcommand is required"},
      {"upload without file", SimModem::TTftpMode::Receive, {"upload", "@"}, 2, "upload needs ADDRESS and FILE"},
      {"unknown option", SimModem::TTftpMode::Receive, {"probe", "@", "--fast"}, 2, "--fast"},
      {"bad timeout", SimModem::TTftpMode::Receive, {"upload", "@", "TEPatch.bin", "--timeout", "0"}, 2, "--timeout"},
  };
  std::vector<std::unique_ptr<SimModem::TModem>> modems;
  std::vector<std::future<TRun>> runs;
  for (size_t i = 0; i < cases.size(); ++i) {
    auto modem = std::make_unique<SimModem::TModem>();
    modem->TftpMode = cases[i].Tftp;
    StartModem(*modem, static_cast<int>(i));
    std::vector<std::string> args = cases[i].Args;
    for (std::string& a : args)
      if (a == "@") a = TestAddress(static_cast<int>(i));
    modems.push_back(std::move(modem));
    runs.push_back(std::async(std::launch::async, [&, args] { return RunCli(args, Dir.Path()); }));
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    const TRun r = runs[i].get();
    EXPECT_EQ(r.Exit, cases[i].Exit) << cases[i].Name << "\n" << r.Out << r.Err;
    EXPECT_NE(r.Err.find(cases[i].Message), std::string::npos) << cases[i].Name << ": " << r.Err;
    if (cases[i].Exit == 6 || cases[i].Exit == 7) {
      EXPECT_EQ(modems[i]->TelnetConnections(), 0) << cases[i].Name << ": probed before the check";
    }
  }
}

// Catches output that is not one JSON object per line, progress more often than ten times a
// second or going backwards, and a result that does not match the run.
TEST_F(CliUpload, JsonEventsTellTheWholeRun) {
  const std::string bytes = RandomBytes(8u << 20, 6);
  WriteFile(Dir.File("TEPatch.bin"), bytes);
  SimModem::TModem modem;
  StartModem(modem);
  TRun r = RunCli({"upload", "--json", TestAddress(), "TEPatch.bin"}, Dir.Path());
  ASSERT_EQ(r.Exit, 0) << r.Out << r.Err;
  EXPECT_EQ(r.Err, "") << "the JSON form writes nothing for a person";
  std::vector<nlohmann::json> events = Events(r.Out);
  ASSERT_GE(events.size(), 4u) << r.Out;
  EXPECT_EQ(events.front()["event"], "probe");
  EXPECT_EQ(events.front()["verdict"], "ready");
  EXPECT_EQ(events.front()["firmware"], "R2.01M.B05.PK_020830a_T93.3.38");
  EXPECT_EQ(events[1]["event"], "upload");
  EXPECT_EQ(events[1]["bytes"], bytes.size());
  EXPECT_EQ(events[1]["forced"], false);
  const nlohmann::json& result = events.back();
  EXPECT_EQ(result["event"], "result");
  EXPECT_EQ(result["exit"], 0);
  EXPECT_EQ(result["sent"], bytes.size());
  double lastElapsed = -1;
  int64_t lastSent = 0;
  for (size_t i = 2; i + 1 < events.size(); ++i) {
    const nlohmann::json& e = events[i];
    ASSERT_EQ(e["event"], "progress") << e;
    EXPECT_GE(e["sent"].get<int64_t>(), lastSent);
    EXPECT_LE(e["sent"].get<int64_t>(), static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(e["percent"], e["sent"].get<int64_t>() * 100 / static_cast<int64_t>(bytes.size()));
    if (lastElapsed >= 0) {
      EXPECT_GE(e["elapsed"].get<double>() - lastElapsed, 0.099) << "more than ten a second";
    }
    lastElapsed = e["elapsed"].get<double>();
    lastSent = e["sent"].get<int64_t>();
  }
  EXPECT_TRUE(WaitUntil([&] { return modem.TftpFilesStored() == 1; }));
  EXPECT_TRUE(ReadFile(ModemDir + "/TEPatch.bin") == bytes);

  // A failure before any upload is one result object, with its code and message.
  r = RunCli({"upload", "--json", TestAddress(), "nofile.bin"}, Dir.Path());
  events = Events(r.Out);
  ASSERT_EQ(events.size(), 1u) << r.Out;
  EXPECT_EQ(events[0]["exit"], 6);
  EXPECT_EQ(events[0]["status"], "file-error");
  EXPECT_NE(events[0]["message"].get<std::string>().find("nofile.bin"), std::string::npos);
}

}  // namespace
