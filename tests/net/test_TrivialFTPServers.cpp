// The TFTP client against real servers on loopback: tftpd-hpa with the block-size option,
// tftpd-hpa refusing it (ACK 0, 512-byte blocks), and atftpd. The server's copy must be
// byte-identical and the work events must report the running totals.
#include <thread>

#include "NetTestSupport.h"
#include "NetTrivialFTP.h"
#include "RealTftpServer.h"

namespace NetTest {
namespace {

using RealPeers::RealServerName;
using RealPeers::rsAtftpd;
using RealPeers::rsTftpdHpa;
using RealPeers::rsTftpdHpaNoBlksize;
using RealPeers::TRealServerKind;
using RealPeers::TRealTftpServer;

class TftpRealServer : public ::testing::TestWithParam<TRealServerKind> {
 protected:
  // Block size the server will use when the client asks for `requested`.
  int32_t AgreedBlockSize(int32_t requested) const { return GetParam() == rsTftpdHpaNoBlksize ? 512 : requested; }

  // Uploads `size` bytes as `name` with `requested` as block size and checks the copy and the events.
  void UploadAndCompare(TRealTftpServer& server, size_t size, int32_t requested, const std::string& name) {
    TTempDir local;
    const std::string bytes = PatternBytes(size, static_cast<uint32_t>(size));
    WriteFile(local.File(name), bytes);
    TNetTrivialFTP client(nullptr);
    TWorkLog log;
    log.Attach(client);
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetRequestedBlockSize(requested);
    client.SetBroadcastEnabled(true);
    client.SetActive(true);
    try {
      client.PutFile(local.File(name), name);
    } catch (const Exception& e) {
      FAIL() << size << " bytes: " << ExceptionClassName(e) << ": " << e.Message();
    }
    // A server may write its last block after it acknowledged it: give it a bounded moment.
    std::string copy = ReadFile(server.FileInDir(name));
    for (int i = 0; i < 300 && copy != bytes; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      copy = ReadFile(server.FileInDir(name));
    }
    EXPECT_EQ(copy.size(), bytes.size()) << size << " bytes: the server's copy has another length";
    EXPECT_TRUE(copy == bytes) << size << " bytes: the server's copy differs";
    const size_t block = static_cast<size_t>(AgreedBlockSize(requested));
    ASSERT_EQ(log.Counts.size(), size / block + 1) << size << " bytes: one OnWork per block, the last one short";
    for (size_t i = 0; i < log.Counts.size(); ++i)
      ASSERT_EQ(log.Counts[i], static_cast<int32_t>(std::min(size, (i + 1) * block)))
          << size << " bytes, block " << i + 1;
    EXPECT_EQ(log.Events.front(), "write begin " + std::to_string(size));
    EXPECT_EQ(log.Events.back(), "write end");
    EXPECT_EQ(log.Count("write end"), 1);
    EXPECT_FALSE(client.Active()) << "closed after the transfer";
  }
};

// Catches lost, repeated or reordered bytes around block boundaries, a missing empty last
// block, and wrong work totals, for every size of the acceptance list.
TEST_P(TftpRealServer, UploadsAreByteIdentical) {
  TRealTftpServer server(GetParam());
  ASSERT_EQ(server.Problem(), "") << RealServerName(GetParam());
  for (size_t size : {0u, 1u, 511u, 512u, 513u, 1023u, 1024u, 1025u, 1500u, 2048u, 1048576u})
    UploadAndCompare(server, size, 1024, "f" + std::to_string(size) + ".bin");
}

// Catches block numbers that do not wrap from 65535 to 0 in step with the server.
TEST_P(TftpRealServer, LongFileWrapsTheBlockNumber) {
  TRealTftpServer server(GetParam());
  ASSERT_EQ(server.Problem(), "") << RealServerName(GetParam());
  const int32_t block = AgreedBlockSize(8);
  UploadAndCompare(server, static_cast<size_t>(block) * 65540 + 5, 8, "wrap.bin");
}

INSTANTIATE_TEST_SUITE_P(Servers, TftpRealServer, ::testing::Values(rsTftpdHpa, rsTftpdHpaNoBlksize, rsAtftpd),
                         [](const ::testing::TestParamInfo<TRealServerKind>& i) {
                           return std::string(i.param == rsTftpdHpa ? "TftpdHpa"
                                              : i.param == rsAtftpd ? "Atftpd"
                                                                    : "TftpdHpaRefusingBlksize");
                         });

}  // namespace
}  // namespace NetTest
