// The TFTP client: writes one local file or stream to a TFTP server over UDP with the write
// request, asking for the "blksize" option, in lock-step (one DATA packet in flight, one reply
// per block). The only retransmission is the resend of the current block when a reply does
// not acknowledge it; a wait that runs out before the last block is a failure ("Timeout"),
// after it a success (the final ACK is not required). The server's first reply names its
// transfer endpoint; datagrams from any other address or port are then dropped unanswered.
// Every way out reports the end of the work and closes the socket, so each transfer uses a
// fresh local port.
//
// Threads: the user-interface thread; PutFile and PutStream block it, up to ReceiveTimeout
// per wait, and call the work events inside. Ownership: the client owns its packet buffers,
// sized once per transfer; the caller owns the source stream.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "NetUDPClient.h"
#include "Streams.h"

class ENetTFTPException : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetTFTPFileNotFound : public ENetTFTPException {
 public:
  using ENetTFTPException::ENetTFTPException;
};

class ENetTFTPAccessViolation : public ENetTFTPException {
 public:
  using ENetTFTPException::ENetTFTPException;
};

class ENetTFTPAllocationExceeded : public ENetTFTPException {
 public:
  using ENetTFTPException::ENetTFTPException;
};

class ENetTFTPIllegalOperation : public ENetTFTPException {
 public:
  using ENetTFTPException::ENetTFTPException;
};

class ENetTFTPUnknownTransferID : public ENetTFTPException {
 public:
  using ENetTFTPException::ENetTFTPException;
};

class ENetTFTPFileAlreadyExists : public ENetTFTPException {
 public:
  using ENetTFTPException::ENetTFTPException;
};

class ENetTFTPNoSuchUser : public ENetTFTPException {
 public:
  using ENetTFTPException::ENetTFTPException;
};

class ENetTFTPOptionNegotiationFailed : public ENetTFTPException {
 public:
  using ENetTFTPException::ENetTFTPException;
};

enum TNetTFTPMode { tfNetAscii, tfOctet };

class TNetTrivialFTP : public TNetUDPClient {
 public:
  // Block sizes a server may accept (the block-size option's range).
  static constexpr int32_t kMinBlockSize = 8;
  static constexpr int32_t kMaxBlockSize = 65464;

  explicit TNetTrivialFTP(TComponent* owner);

  TNetTFTPMode TransferMode() const { return FTransferMode; }
  void SetTransferMode(TNetTFTPMode v) { FTransferMode = v; }
  int32_t RequestedBlockSize() const { return FRequestedBlockSize; }
  void SetRequestedBlockSize(int32_t v) { FRequestedBlockSize = v; }
  // The server's transfer endpoint, named by its first reply: where every packet after the
  // request goes, and the only sender whose datagrams the transfer reads.
  const std::string& TransferHost() const { return FTransferHost; }
  uint16_t TransferPort() const { return FTransferPort; }

  // Opens the file for reading (EFOpenError "Cannot open file ..." before any traffic), sends
  // it, and closes it on every way out.
  void PutFile(const std::string& localFileName, const std::string& remoteFileName);
  // Sends source from its position to its end; on success the position is at the end.
  void PutStream(TStream& source, const std::string& remoteFileName);

 private:
  void Transfer(TStream& source, const std::string& remoteFileName, int64_t left);
  void EndTransfer();
  std::string WriteRequest(const std::string& remoteFileName) const;
  // The next datagram from the server into FReceived (at most length bytes), or 0 when the
  // wait ran out.
  int ReceiveReply(int length);
  // The block size an OACK accepts, or current when it carries no "blksize" option.
  int32_t ApplyOptionAck(const uint8_t* packet, int length, int32_t current) const;
  [[noreturn]] static void RaiseTftpError(const uint8_t* packet, int length);

  TNetTFTPMode FTransferMode = tfOctet;
  int32_t FRequestedBlockSize = 1500;
  std::string FTransferHost;
  uint16_t FTransferPort = 0;
  std::string FSenderHost;  // the sender of the datagram just received
  uint16_t FSenderPort = 0;
  std::vector<uint8_t> FReceived;
  std::vector<uint8_t> FData;
};
