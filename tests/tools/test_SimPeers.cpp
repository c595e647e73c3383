// The in-process peers by themselves, with no product code: the simulated modem's console and
// TFTP receiver and how promptly it stops, and the scripted TFTP server's bounded wait. Every
// other suite leans on these peers, on each host.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Files.h"
#include "PeerHost.h"
#include "SimModem.h"
#include "SimTftpServer.h"
#include "TempDir.h"
#include "Watchdog.h"

namespace {

using Clock = std::chrono::steady_clock;
using PeerHost::TEndpoint;

int64_t MsSince(Clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

// Free ports on 127.0.0.1, bound once and let go.
uint16_t FreeStreamPort() {
  std::string failure;
  const PeerHost::TSocket s = PeerHost::Listen(TEndpoint{}, 1, failure);
  return PeerHost::LocalEndpoint(s.Handle()).Port;
}
uint16_t FreeDatagramPort() {
  std::string failure;
  const PeerHost::TSocket s = PeerHost::OpenDatagram(TEndpoint{}, failure);
  return PeerHost::LocalEndpoint(s.Handle()).Port;
}

// Everything the modem's console sends until `until` has arrived (5 s at most).
std::string ReadUntil(PeerHost::THandle s, const std::string& until) {
  std::string got;
  char buf[512];
  const auto t0 = Clock::now();
  while (got.find(until) == std::string::npos && MsSince(t0) < 5000) {
    if (PeerHost::WaitReadable({s}, 200) != 0) continue;
    const int n = PeerHost::Receive(s, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

// A modem that cannot be stopped would hang the test: the watchdog ends it instead.
class SimModemPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Dir.Path().empty());
    TelnetPort = FreeStreamPort();
    TftpPort = FreeDatagramPort();
    ASSERT_TRUE(Modem.Start("127.0.0.1", TelnetPort, TftpPort, Dir.Path())) << Modem.Failure();
    std::string failure;
    Client = PeerHost::OpenDatagram(TEndpoint{}, failure);
    ASSERT_TRUE(Client.Valid()) << failure;
  }
  // A write request for `name` asking for block size 1024; the reply and where it came from.
  std::string Request(const std::string& name, TEndpoint& from) {
    const std::string wrq = std::string("\0\2", 2) + name + '\0' + "octet" + '\0' + "blksize" + '\0' + "1024" + '\0';
    EXPECT_TRUE(PeerHost::SendTo(Client.Handle(), wrq.data(), wrq.size(), TEndpoint{PeerHost::kLoopback, TftpPort}));
    std::string reply;
    EXPECT_TRUE(PeerHost::ReceiveDatagram(Client.Handle(), reply, &from, 3000)) << "no reply to the request";
    return reply;
  }

  TWatchdog Dog{CurrentTestName(), 30};
  RealPeers::TTempDir Dir;
  SimModem::TModem Modem;
  uint16_t TelnetPort = 0;
  uint16_t TftpPort = 0;
  PeerHost::TSocket Client;
};

// Catches a console that greets before negotiating, and a file not stored whole (or not yet
// stored) by the time its last block is acknowledged.
TEST_F(SimModemPeer, GreetsAfterNegotiatingAndStoresAFileBeforeTheLastAck) {
  std::string failure;
  const PeerHost::TSocket line = PeerHost::Connect(TEndpoint{PeerHost::kLoopback, TelnetPort}, failure);
  ASSERT_TRUE(line.Valid()) << failure;
  const std::string greeting = ReadUntil(line.Handle(), "login: ");
  EXPECT_EQ(greeting.substr(0, 9), "\xFF\xFB\x01\xFF\xFB\x03\xFF\xFD\x1F") << "the options come first";
  EXPECT_NE(greeting.find("R2.01M.B05"), std::string::npos) << greeting;

  TEndpoint transfer;
  EXPECT_EQ(Request("TEPatch.bin", transfer), SimTftp::Oack({{"blksize", "1024"}}));
  EXPECT_NE(transfer.Port, TftpPort) << "answers from a transfer port of its own";
  const std::string file = RandomBytes(1500, 3);
  for (uint16_t block = 1; block <= 2; ++block) {
    const std::string data = SimTftp::Data(block, file.substr(size_t{1024} * (block - 1), 1024));
    ASSERT_TRUE(PeerHost::SendTo(Client.Handle(), data.data(), data.size(), transfer));
    std::string ack;
    ASSERT_TRUE(PeerHost::ReceiveDatagram(Client.Handle(), ack, nullptr, 3000)) << "block " << block;
    EXPECT_EQ(ack, SimTftp::Ack(block));
  }
  EXPECT_EQ(ReadFile(Dir.File("TEPatch.bin")), file);
  EXPECT_EQ(Modem.TftpFilesStored(), 1);
  EXPECT_EQ(Modem.LastBlockSize(), 1024);
}

// Catches a stop that does not reach the modem's threads: a held console line and a transfer
// waiting for its next block would each keep Stop waiting for seconds.
TEST_F(SimModemPeer, StopEndsAHeldLineAndAWaitingTransferAtOnce) {
  std::string failure;
  const PeerHost::TSocket line = PeerHost::Connect(TEndpoint{PeerHost::kLoopback, TelnetPort}, failure);
  ASSERT_TRUE(line.Valid()) << failure;
  ReadUntil(line.Handle(), "login: ");
  TEndpoint transfer;
  Request("held.bin", transfer);
  const auto t0 = Clock::now();
  Modem.Stop();
  EXPECT_LT(MsSince(t0), 1000);
  EXPECT_EQ(Modem.TelnetConnections(), 1);
  EXPECT_EQ(Modem.TftpRequests(), 1);
}

// Catches a Wait that returns before the script has ended, or that does not return once it has.
TEST(SimTftpPeer, WaitIsBoundedAndEndsWithTheScript) {
  SimTftp::TServer server([](SimTftp::TSession& s) {
    std::string p;
    s.Receive(p, 500);  // nothing comes: the script ends after half a second
    s.Send(SimTftp::Ack(7));
  });
  std::string failure;
  const PeerHost::TSocket client = PeerHost::OpenDatagram(TEndpoint{}, failure);
  const std::string wrq("\0\2f\0octet\0", 10);
  ASSERT_TRUE(PeerHost::SendTo(client.Handle(), wrq.data(), wrq.size(), TEndpoint{PeerHost::kLoopback, server.Port()}));
  EXPECT_FALSE(server.Wait(100)) << "the script is still waiting";
  EXPECT_TRUE(server.Wait(5000));
  EXPECT_EQ(server.Failure(), "");
  ASSERT_NE(server.Session(), nullptr);
  EXPECT_EQ(server.Session()->Request(), wrq);
  std::string ack;
  TEndpoint from;
  ASSERT_TRUE(PeerHost::ReceiveDatagram(client.Handle(), ack, &from, 1000));
  EXPECT_EQ(ack, SimTftp::Ack(7));
  EXPECT_EQ(from.Port, server.Session()->TransferPort());
}

}  // namespace
