#include "NetTrivialFTP.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Messages.h"
#include "Scope.h"

namespace {

enum : int { opWRQ = 2, opDATA = 3, opACK = 4, opERROR = 5, opOACK = 6 };

constexpr int32_t kDefaultBlockSize = 512;
constexpr int32_t kHeaderSize = 4;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// The text from from up to its zero byte; a text that runs to the end of the datagram ends
// there, and one that would start beyond it is empty.
std::string TextAt(const uint8_t* packet, int length, int from) {
  if (from >= length) return std::string();
  const uint8_t* begin = packet + from;
  const uint8_t* end = packet + length;
  const void* nul = std::memchr(begin, 0, static_cast<size_t>(end - begin));
  return std::string(reinterpret_cast<const char*>(begin),
                     reinterpret_cast<const char*>(nul ? static_cast<const uint8_t*>(nul) : end));
}

// A file read ahead in large pieces: a transfer still takes each block by one read of exactly
// its size, but the file is read once per 64 KiB instead of once per block.
class TReadAheadStream : public TStream {
 public:
  explicit TReadAheadStream(TStream& file) : FFile(file), FBuffer(size_t{64} * 1024) {}
  int32_t Read(void* buffer, int32_t count) override {
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
      if (FNext == FFilled) {
        if (count - done >= static_cast<int32_t>(FBuffer.size())) {
          const int32_t n = FFile.Read(out + done, count - done);  // too large to be worth copying twice
          if (n <= 0) break;
          done += n;
          continue;
        }
        FNext = 0;
        FFilled = std::max(FFile.Read(FBuffer.data(), static_cast<int32_t>(FBuffer.size())), 0);
        if (FFilled == 0) break;
      }
      const int32_t n = std::min(count - done, FFilled - FNext);
      std::memcpy(out + done, FBuffer.data() + FNext, static_cast<size_t>(n));
      FNext += n;
      done += n;
    }
    return done;
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t unread = FFilled - FNext;
    if (origin == soCurrent && offset == 0) return FFile.Seek(0, soCurrent) - unread;
    if (origin == soCurrent) offset -= unread;  // relative to the file's own position
    FNext = FFilled = 0;
    return FFile.Seek(offset, origin);
  }

 private:
  TStream& FFile;
  std::vector<uint8_t> FBuffer;
  int32_t FNext = 0;
  int32_t FFilled = 0;
};

std::string FullPath(const std::string& fileName) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(fileName, ec);
  return ec || fileName.empty() ? fileName : p.string();
}

}  // namespace

TNetTrivialFTP::TNetTrivialFTP(TComponent* owner) : TNetUDPClient(owner) {
  FTransferMode = tfOctet;
  FPort = 69;
  FRequestedBlockSize = 1500;
  FReceiveTimeout = 4000;
}

void TNetTrivialFTP::PutFile(const std::string& localFileName, const std::string& remoteFileName) {
  TFileStream file(FullPath(localFileName), fmOpenRead | fmShareDenyWrite);
  TReadAheadStream source(file);
  PutStream(source, remoteFileName);
}

void TNetTrivialFTP::PutStream(TStream& source, const std::string& remoteFileName) {
  const int64_t size = source.Size();
  const int64_t position = source.Position();
  const int64_t left = std::max<int64_t>(size - position, 0);
  StartWork(wmWrite, static_cast<int32_t>(left));  // the work counters are 32-bit
  try {
    Transfer(source, remoteFileName, left);
  } catch (...) {
    EndTransfer();
    throw;
  }
  EndTransfer();
}

void TNetTrivialFTP::EndTransfer() {
  // The socket is closed even when the end-of-work handler raises.
  // Looked up afterwards: the handler may have released the handle.
  TScopeExit closer([this] {
    if (TNetSocketHandle* h = CurrentSocketHandle()) h->Close();
  });
  FinishWork(wmWrite);
}

std::string TNetTrivialFTP::WriteRequest(const std::string& remoteFileName) const {
  std::string r;
  r.push_back('\0');
  r.push_back(static_cast<char>(opWRQ));
  r += remoteFileName;
  r.push_back('\0');
  r += FTransferMode == tfNetAscii ? "netascii" : "octet";
  r.push_back('\0');
  r += "blksize";
  r.push_back('\0');
  r += IntToStr(FRequestedBlockSize);
  r.push_back('\0');
  return r;
}

void TNetTrivialFTP::Transfer(TStream& source, const std::string& remoteFileName, int64_t left) {
  int32_t blockSize = kDefaultBlockSize;
  SetBufferSize(blockSize + kHeaderSize);
  // Sized once for the largest block this transfer can agree to, so no block allocates.
  const size_t capacity =
      static_cast<size_t>(std::max(kDefaultBlockSize, std::min(FRequestedBlockSize, kMaxBlockSize))) + kHeaderSize;
  if (FReceived.size() < capacity) FReceived.resize(capacity);
  if (FData.size() < capacity) FData.resize(capacity);

  FTransferHost.clear();
  FTransferPort = 0;
  SendDatagram(WriteRequest(remoteFileName));

  bool finished = false;
  bool built = false;    // a DATA packet exists
  uint16_t current = 0;  // its block number
  int packetLength = 0;
  for (;;) {
    const int n = ReceiveReply(blockSize + kHeaderSize);
    if (n <= 0) {
      if (finished) return;
      throw ENetTFTPException("Timeout");
    }
    const uint8_t* reply = FReceived.data();
    // The first reply that is not an ERROR starts the data; after that only an ACK of the
    // block in flight moves on (or, after the last block, ends the transfer), and any other
    // reply has that block sent again unchanged: a server that acknowledges the block before
    // the last one has not got the last one.
    bool advance = !built;
    switch (n >= 2 ? Read16(reply) : -1) {
      case opACK:
        if (n < kHeaderSize || !built || Read16(reply + 2) != current) break;
        if (finished) return;
        advance = true;
        break;
      case opERROR: RaiseTftpError(reply, n);
      case opOACK:
        // Options are agreed before the first block; a later OACK cannot change the block size.
        if (!built) {
          blockSize = ApplyOptionAck(reply, n, blockSize);
          SetBufferSize(blockSize + kHeaderSize);
        }
        break;
      default: break;
    }
    if (advance) {
      const int32_t count = static_cast<int32_t>(std::min<int64_t>(blockSize, left));
      const uint16_t number = static_cast<uint16_t>(built ? current + 1 : 1);  // 65535 is followed by 0
      FData[0] = 0;
      FData[1] = opDATA;
      FData[2] = static_cast<uint8_t>(number >> 8);
      FData[3] = static_cast<uint8_t>(number);
      if (count > 0) source.ReadBuffer(FData.data() + kHeaderSize, count);
      left -= count;
      packetLength = count + kHeaderSize;
      current = number;
      built = true;
      ReportWork(wmWrite, count);
      finished = count < blockSize;
    }
    SendDatagramBuffer(FTransferHost, FTransferPort, FData.data(), packetLength);
  }
}

int TNetTrivialFTP::ReceiveReply(int length) {
  TNetSocketHandle* handle = SocketHandle();
  TNetStack& stack = GStack();
  const int32_t limit = FReceiveTimeout;
  const uint32_t start = limit > 0 ? GetTickCount() : 0;
  int32_t wait = limit;
  for (;;) {
    if (!handle->WaitReadable(wait)) return 0;
    const int n = handle->ReceiveBytesFrom(FReceived.data(), length, FSenderHost, FSenderPort);
    const bool known = FTransferPort != 0;
    const bool fromServer = !known || (FSenderPort == FTransferPort && FSenderHost == FTransferHost);
    // A stranger's datagram too long for the buffer is still only a stranger's; any other
    // failure is the socket's own.
    if (n < 0 && (fromServer || stack.WSAGetLastError() != Winsock::WSAEMSGSIZE)) stack.CheckResult(n);
    if (!known) {
      FTransferHost = FSenderHost;
      FTransferPort = FSenderPort;
    }
    if (fromServer) return n;
    // Dropped unanswered; the wait goes on to the same deadline, so a stream of strangers
    // cannot stretch it.
    if (limit == 0) return 0;
    if (limit > 0) {
      const uint32_t elapsed = GetTickCount() - start;
      if (elapsed >= static_cast<uint32_t>(limit)) return 0;
      wait = limit - static_cast<int32_t>(elapsed);
    }
  }
}

int32_t TNetTrivialFTP::ApplyOptionAck(const uint8_t* packet, int length, int32_t current) const {
  // Servers list the options in any order: the first "blksize" counts wherever it stands.
  int at = 2;
  std::string name = TextAt(packet, length, at);
  while (!SameText(name, "blksize")) {
    at += static_cast<int>(name.size()) + 1;
    at += static_cast<int>(TextAt(packet, length, at).size()) + 1;  // its value
    if (at >= length) return current;
    name = TextAt(packet, length, at);
  }
  const int32_t size = StrToInt(TextAt(packet, length, at + static_cast<int>(name.size()) + 1));
  // Outside the option's range or above the request, the server's blocks would not be ours.
  if (size < kMinBlockSize || size > kMaxBlockSize || size > FRequestedBlockSize)
    throw ENetTFTPOptionNegotiationFailed(Format("Invalid block size accepted by the server: %d", size));
  return size;
}

void TNetTrivialFTP::RaiseTftpError(const uint8_t* packet, int length) {
  if (length < kHeaderSize) throw ENetTFTPException("");  // too short to hold a code
  std::string message = TextAt(packet, length, kHeaderSize);
  switch (Read16(packet + 2)) {
    case 1: throw ENetTFTPFileNotFound(std::move(message));
    case 2: throw ENetTFTPAccessViolation(std::move(message));
    case 3: throw ENetTFTPAllocationExceeded(std::move(message));
    case 4: throw ENetTFTPIllegalOperation(std::move(message));
    case 5: throw ENetTFTPUnknownTransferID(std::move(message));
    case 6: throw ENetTFTPFileAlreadyExists(std::move(message));
    case 7: throw ENetTFTPNoSuchUser(std::move(message));
    case 8: throw ENetTFTPOptionNegotiationFailed(std::move(message));
    default: throw ENetTFTPException(std::move(message));
  }
}
