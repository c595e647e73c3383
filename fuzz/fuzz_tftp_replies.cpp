// Feeds arbitrary reply sequences to the TFTP client through a stack with no sockets and checks
// what it sends: every DATA packet is either the next slice of the source under the next block
// number, or the packet in flight again, byte for byte, sent to the port of the first reply and
// never in answer to a datagram from another port; no block exceeds the agreed size; a
// transfer that returns normally has sent every byte and ended with a short block; only the
// system's own exceptions leave the client.
//
// Input: two bytes of requested block size, two bytes of source size, one byte of start
// position, then tokens, one taken after each datagram the client sends:
//   0 LEN_HI LEN_LO BYTES  a raw reply (cut at the input's end)
//   1                      ACK of the block just sent      2  ACK of the block before it
//   3                      no reply (the wait runs out)    4 HI LO  OACK "blksize" HI*256+LO
// A token with bit 7 set is followed by another for the same send; bit 6 sends from another port.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "NetTrivialFTP.h"
#include "ScriptedNetStack.h"
#include "Streams.h"
#include "Winsock.h"

namespace {

using NetTest::TScriptedNetStack;

[[noreturn]] void Violation(const char* what) {
  std::fprintf(stderr, "TFTP client invariant broken: %s\n", what);
  std::abort();
}

std::string U16(unsigned v) { return std::string{static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)}; }

class THarness {
 public:
  THarness(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

  void Run() {
    if (FSize < 5) return;
    const int32_t requested = FData[0] << 8 | FData[1];
    const size_t sourceSize = static_cast<size_t>(FData[2] << 8 | FData[3]);
    FStart = sourceSize ? FData[4] % (sourceSize + 1) : 0;
    FPos = 5;
    FSource.resize(sourceSize);
    for (size_t i = 0; i < sourceSize; ++i) FSource[i] = static_cast<char>(i * 7 + (i >> 8));
    FMaxBlock = std::max<int32_t>(512, std::min<int32_t>(requested, TNetTrivialFTP::kMaxBlockSize));

    TNetStackClass previous = NetStackState().SetStackClass(&TScriptedNetStack::Make);
    {
      TNetTrivialFTP client(nullptr);
      TScriptedNetStack& stack = TScriptedNetStack::Current();
      stack.KeepSent = false;
      stack.OnSend = [this](TScriptedNetStack& s, const TScriptedNetStack::TSent& p) { Sent(s, p); };
      client.SetHost("127.0.0.1");
      client.SetRequestedBlockSize(requested);
      client.SetReceiveTimeout(0);
      int32_t lastWork = -1;
      client.OnWork = [&](TObject*, TWorkMode, int32_t n) {
        if (n < lastWork) Violation("work total went down");
        lastWork = n;
      };
      TMemoryStream source(FSource);
      source.SetPosition(static_cast<int64_t>(FStart));
      bool succeeded = false;
      try {
        client.PutStream(source, "fuzz.bin");
        succeeded = true;
      } catch (const Exception&) {
        // Every failure the client reports is one of the system's exceptions.
      }
      if (client.Active()) Violation("socket left open");
      CheckBlockSizes(static_cast<size_t>(client.BufferSize() - 4), succeeded);
      if (succeeded) {
        if (FStart + FOffset != FSource.size()) Violation("success reported before every byte was sent");
        if (lastWork != static_cast<int32_t>(FSource.size() - FStart)) Violation("work total short of the source");
      }
    }
    NetStackState().SetStackClass(previous);
  }

 private:
  void Sent(TScriptedNetStack& s, const TScriptedNetStack::TSent& p) {
    const std::string& b = p.Bytes;
    if (b.size() < 4) Violation("datagram shorter than a header");
    const unsigned opcode = static_cast<uint8_t>(b[0]) << 8 | static_cast<uint8_t>(b[1]);
    if (opcode == 2) {
      if (FRequests++) Violation("second write request");
    } else if (opcode == 3) {
      CheckData(s, p);
    } else {
      Violation("client sent something other than WRQ or DATA");
    }
    QueueReplies(s);
  }

  void CheckData(TScriptedNetStack& s, const TScriptedNetStack::TSent& p) {
    const std::string& b = p.Bytes;
    if (p.Port != s.FirstFromPort) Violation("DATA not sent to the port of the first reply");
    if (s.LastFromPort != s.FirstFromPort) Violation("a datagram from another port was answered");
    const uint16_t block = static_cast<uint16_t>(static_cast<uint8_t>(b[2]) << 8 | static_cast<uint8_t>(b[3]));
    const size_t n = b.size() - 4;
    if (n > static_cast<size_t>(FMaxBlock)) Violation("block larger than any agreed size");
    if (!FBlocks.empty() && b == FLastData) return;  // the packet in flight, again
    if (block != static_cast<uint16_t>(FBlocks.empty() ? 1 : FLastBlock + 1)) Violation("block number out of sequence");
    if (FStart + FOffset + n > FSource.size() || FSource.compare(FStart + FOffset, n, b, 4, n) != 0)
      Violation("DATA bytes are not the next bytes of the source");
    FOffset += n;
    FLastBlock = block;
    FLastData = b;
    FBlocks.push_back(n);
  }

  // After the transfer, against the block size it agreed on.
  void CheckBlockSizes(size_t agreed, bool succeeded) const {
    for (size_t i = 0; i + 1 < FBlocks.size(); ++i)
      if (FBlocks[i] != agreed) Violation("a block before the last is not of the agreed size");
    if (!FBlocks.empty() && FBlocks.back() > agreed) Violation("last block larger than the agreed size");
    if (succeeded && (FBlocks.empty() || FBlocks.back() >= agreed)) Violation("success without a short last block");
  }

  void QueueReplies(TScriptedNetStack& s) {
    for (;;) {
      if (FPos >= FSize) return;
      const uint8_t token = FData[FPos++];
      const uint16_t port = (token & 0x40) ? 3001 : 3000;
      std::string reply;
      bool silent = false;
      switch (token & 0x3F) {
        case 0: {
          size_t len = 0;
          if (FPos + 2 <= FSize) len = static_cast<size_t>(FData[FPos] << 8 | FData[FPos + 1]);
          FPos = std::min(FPos + 2, FSize);
          len = std::min(len, FSize - FPos);
          reply.assign(reinterpret_cast<const char*>(FData + FPos), len);
          FPos += len;
          break;
        }
        case 1: reply = U16(4) + U16(FLastBlock); break;
        case 2: reply = U16(4) + U16(static_cast<uint16_t>(FLastBlock - 1)); break;
        case 4: {
          unsigned v = 0;
          if (FPos + 2 <= FSize) v = static_cast<unsigned>(FData[FPos] << 8 | FData[FPos + 1]);
          FPos = std::min(FPos + 2, FSize);
          reply = U16(6) + std::string("blksize\0", 8) + std::to_string(v) + std::string(1, '\0');
          break;
        }
        default: silent = true; break;
      }
      if (!silent) s.Queue(reply, port);
      if (!(token & 0x80)) return;
    }
  }

  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
  std::string FSource;
  size_t FStart = 0;
  size_t FOffset = 0;  // bytes sent as new blocks
  int32_t FMaxBlock = 512;
  int FRequests = 0;
  std::vector<size_t> FBlocks;  // sizes of the new blocks, in order
  uint16_t FLastBlock = 0;
  std::string FLastData;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool guard = (Winsock::SetLoopbackGuard(true), true);  // nothing may leave the machine
  (void)guard;
  THarness(data, size).Run();
  return 0;
}
