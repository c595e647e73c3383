// The TFTP client allocates nothing per block: the allocations a transfer makes on the
// client's thread do not grow with the number of blocks.
#include "AllocationCount.h"
#include "NetTestSupport.h"
#include "NetTrivialFTP.h"
#include "SimTftpServer.h"
#include "Streams.h"

namespace NetTest {
namespace {

long AllocationsForUpload(TNetTrivialFTP& client, size_t blocks) {
  const std::string file = PatternBytes(blocks * 1024 + 10);
  SimTftp::TServer server([&](SimTftp::TSession& s) {
    s.Send(SimTftp::Oack({{"blksize", "1024"}}));
    s.ReceiveFile(1024);
  });
  client.SetPort(server.Port());
  TMemoryStream source(file);
  const long before = ThreadAllocations();
  client.PutStream(source, "steady.bin");
  const long used = ThreadAllocations() - before;
  EXPECT_TRUE(server.Wait());
  return used;
}

// Catches an allocation per block (a packet buffer, a text per datagram, a growing list).
TEST(TftpSteadyState, NoAllocationPerBlock) {
  TNetTrivialFTP client(nullptr);
  client.SetHost("127.0.0.1");
  client.SetRequestedBlockSize(1024);
  int32_t lastWork = 0;
  client.OnWork = [&](TObject*, TWorkMode, int32_t n) { lastWork = n; };
  AllocationsForUpload(client, 4);  // buffers sized once for the component
  const long few = AllocationsForUpload(client, 50);
  const long many = AllocationsForUpload(client, 400);
  EXPECT_EQ(lastWork, 400 * 1024 + 10);
  EXPECT_EQ(many, few) << "350 more blocks cost " << many - few << " more allocations";
}

}  // namespace
}  // namespace NetTest
