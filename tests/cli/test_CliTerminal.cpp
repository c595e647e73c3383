// norvane-upgrade in a terminal: the redrawn progress bar on a pseudo-terminal and plain lines
// on a pipe; Ctrl-C typed while the transfer waits for a modem that has gone quiet ends the
// program at once, by SIGINT, saying how many bytes were sent.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "CliTestSupport.h"
#include "RealTftpServer.h"
#include "SimModem.h"

namespace {

using namespace CliTest;

// A TFTP receiver on address:69 that agrees to blocks of 1024, acknowledges the first
// AckedBlocks blocks and then stays silent, as a modem that hangs mid-transfer.
class TStallingReceiver {
 public:
  TStallingReceiver(const std::string& address, int ackedBlocks) : FAcked(ackedBlocks) {
    FFd = Bound(address, 69);
    if (FFd >= 0) FThread = std::thread([this, address] { Serve(address); });
  }
  ~TStallingReceiver() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    if (FFd >= 0) ::close(FFd);
  }
  bool Listening() const { return FFd >= 0; }
  // True once the block after the last acknowledged one has arrived: the client now waits.
  bool Stalled() const { return FStalled.load(); }

 private:
  static int Bound(const std::string& address, uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    timeval tv{0, 100000};  // receives wake up to look at the stop flag
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd);
      return -1;
    }
    return fd;
  }
  void Serve(const std::string& address) {
    char packet[2048];
    sockaddr_in client{};
    socklen_t len = sizeof client;
    while (!FStop && ::recvfrom(FFd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&client), &len) < 4) {
    }
    const int fd = Bound(address, 0);
    auto reply = [&](std::string p) {
      ::sendto(fd, p.data(), p.size(), 0, reinterpret_cast<sockaddr*>(&client), sizeof client);
    };
    reply(
        std::string("\0\6blksize\0"
                    "1024\0",
                    15));
    while (!FStop) {
      const ssize_t n = ::recv(fd, packet, sizeof packet, 0);
      if (n < 4) continue;
      const int block = static_cast<uint8_t>(packet[2]) << 8 | static_cast<uint8_t>(packet[3]);
      if (block > FAcked) {
        FStalled = true;
        continue;
      }
      reply(std::string{0, 4, packet[2], packet[3]});
    }
    ::close(fd);
  }

  int FAcked;
  int FFd = -1;
  std::atomic<bool> FStop{false};
  std::atomic<bool> FStalled{false};
  std::thread FThread;
};

class CliTerminal : public ::testing::Test {
 protected:
  void StartTelnet() {
    Telnet.TftpEnabled = false;
    ASSERT_TRUE(Telnet.Start(TestAddress(), 23, 69, Dir.Path())) << Telnet.Failure();
  }
  RealPeers::TTempDir Dir;
  SimModem::TModem Telnet;
};

// Catches a bar that is not redrawn in place or lacks its figures on a terminal, and terminal
// control characters written into a log file.
TEST_F(CliTerminal, ProgressIsABarOnATerminalAndPlainLinesElsewhere) {
  const std::string modemDir = Dir.File("modem");
  ::mkdir(modemDir.c_str(), 0755);
  SimModem::TModem modem;
  ASSERT_TRUE(modem.Start(TestAddress(), 23, 69, modemDir)) << modem.Failure();
  WriteFile(Dir.File("TEPatch.bin"), RandomBytes(4u << 20, 7));
  TPtyRun pty({"upload", TestAddress(), "TEPatch.bin"}, Dir.Path());
  ASSERT_TRUE(pty.Started());
  const TRun shown = pty.Wait();
  EXPECT_EQ(shown.Exit, 0) << shown.Out;
  EXPECT_NE(shown.Out.find("\r  0% ["), std::string::npos) << shown.Out;
  EXPECT_NE(shown.Out.find("\r100% [####"), std::string::npos) << shown.Out;
  EXPECT_NE(shown.Out.find("4.0 MiB of 4.0 MiB"), std::string::npos) << shown.Out;
  EXPECT_NE(shown.Out.find("MiB/s  0:00 left\x1b[K"), std::string::npos) << shown.Out;
  for (size_t at = 0; (at = shown.Out.find("\r100% [", at)) != std::string::npos; ++at) {
    const size_t end = shown.Out.find('\x1b', at);
    EXPECT_LE(end - at - 1, 99u) << "the bar is wider than the 100-column terminal";
  }

  const TRun piped = RunCli({"upload", TestAddress(), "TEPatch.bin"}, Dir.Path());
  EXPECT_EQ(piped.Exit, 0) << piped.Err;
  EXPECT_EQ(piped.Err.find('\r'), std::string::npos) << piped.Err;
  EXPECT_NE(piped.Err.find(" 50%  2097152 of 4194304 bytes\n"), std::string::npos) << piped.Err;
  EXPECT_NE(piped.Err.find("100%  4194304 of 4194304 bytes\n"), std::string::npos) << piped.Err;
}

// Catches Ctrl-C waiting for the transfer's reply timeout, ending the program with a success
// code, or leaving the user without the count of bytes sent.
TEST_F(CliTerminal, CtrlCEndsAStalledUploadAtOnceAndSaysWhatWasSent) {
  StartTelnet();
  TStallingReceiver modem(TestAddress(), 8);
  ASSERT_TRUE(modem.Listening());
  WriteFile(Dir.File("TEPatch.bin"), RandomBytes(20000, 8));
  TPtyRun pty({"upload", TestAddress(), "TEPatch.bin", "--timeout", "30"}, Dir.Path());
  ASSERT_TRUE(pty.Started());
  for (int i = 0; i < 1000 && !modem.Stalled(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(modem.Stalled()) << "the upload never reached the silent modem";
  const auto typed = Clock::now();
  pty.TypeCtrlC();
  const TRun r = pty.Wait(40000);
  const double afterCtrlC = std::chrono::duration<double>(Clock::now() - typed).count();
  EXPECT_EQ(r.Signal, SIGINT) << "exit " << r.Exit << "\n" << r.Out;
  EXPECT_LT(afterCtrlC, 2.0) << "Ctrl-C waited for the reply timeout";
  EXPECT_NE(r.Out.find("interrupted: 9216 of 20000 bytes were sent"), std::string::npos) << r.Out;
}

}  // namespace
