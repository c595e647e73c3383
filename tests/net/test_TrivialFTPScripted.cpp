// The TFTP client against a scripted stack with no sockets: long transfers that wrap the block
// number, in a fraction of the time a socket would need.
#include "NetTestSupport.h"
#include "NetTrivialFTP.h"
#include "ScriptedNetStack.h"
#include "SimTftpServer.h"

namespace NetTest {
namespace {

// A server on the scripted stack: OACK with `blockSize`, then an ACK for each DATA, rebuilding
// the file from new blocks and checking each repeated block against its first copy.
struct TWrapServer {
  int BlockSize;
  std::string File;
  std::string LastPayload;
  uint16_t Expected = 1;
  int Resends = 0;
  int ResendMismatches = 0;
  bool LateDuplicateSent = false;
  bool Done = false;

  void OnSend(TScriptedNetStack& s, const TScriptedNetStack::TSent& p) {
    if (SimTftp::Opcode(p.Bytes) == 2) {
      s.Queue(SimTftp::Oack({{"blksize", std::to_string(BlockSize)}}));
      return;
    }
    const uint16_t b = SimTftp::Block(p.Bytes);
    const std::string payload = p.Bytes.substr(4);
    if (b == Expected) {
      File += payload;
      LastPayload = payload;
      ++Expected;
    } else {
      ++Resends;
      if (b != static_cast<uint16_t>(Expected - 1) || payload != LastPayload) ++ResendMismatches;
    }
    if (b == 0 && !LateDuplicateSent) {
      // The ACK of block 65535 arrives again, late, after block 0 went out.
      LateDuplicateSent = true;
      s.Queue(SimTftp::Ack(65535));
      return;
    }
    if (payload.size() < static_cast<size_t>(BlockSize)) Done = true;
    s.Queue(SimTftp::Ack(b));
  }
};

// Catches block numbers that do not wrap 65535 -> 0, and a late duplicate ACK of block 65535
// taken for new: the next block would go out as a second block 0, and the server's copy would
// lose it.
TEST(TftpScripted, LateDuplicateAckOf65535ResendsBlockZero) {
  TStackClassScope scope(&TScriptedNetStack::Make);
  TNetTrivialFTP client(nullptr);
  TScriptedNetStack& stack = TScriptedNetStack::Current();
  stack.KeepSent = false;
  TWrapServer server{8, {}};
  stack.OnSend = [&](TScriptedNetStack& s, const TScriptedNetStack::TSent& p) { server.OnSend(s, p); };
  TWorkLog log;
  log.Attach(client);
  client.SetHost("127.0.0.1");
  client.SetRequestedBlockSize(8);
  const std::string file = PatternBytes(65540 * 8 + 3);
  TMemoryStream source(file);
  client.PutStream(source, "wrap.bin");
  EXPECT_TRUE(server.Done);
  EXPECT_TRUE(server.LateDuplicateSent);
  EXPECT_EQ(server.File.size(), file.size());
  EXPECT_TRUE(server.File == file) << "the server's copy differs";
  EXPECT_EQ(server.Resends, 1) << "block 0 once more";
  EXPECT_EQ(server.ResendMismatches, 0) << "the resend must be block 0, unchanged";
  EXPECT_EQ(log.Counts.size(), 65541u) << "no work for the resend";
  EXPECT_EQ(log.Counts.back(), static_cast<int32_t>(file.size()));
}

}  // namespace
}  // namespace NetTest
