// The TFTP client against our fault-injecting server on loopback. In order: the exchange byte
// for byte and its block sizes; ports and strangers; resends; error packets; waits that run
// out; the source position; replies too long, malformed or truncated; local files and host
// names.
#include <atomic>
#include <thread>

#include "NetTestSupport.h"
#include "NetTrivialFTP.h"
#include "SimTftpServer.h"
#include "Streams.h"

namespace NetTest {
namespace {

using SimTftp::Ack;
using SimTftp::Block;
using SimTftp::Oack;
using SimTftp::Opcode;
using Events = std::vector<std::string>;

class TftpSim : public ::testing::Test {
 protected:
  TNetTrivialFTP Client{nullptr};
  TWorkLog Log;

  void SetUp() override {
    Client.SetHost("127.0.0.1");
    Client.SetRequestedBlockSize(1024);
    Client.SetReceiveTimeout(2000);
    Log.Attach(Client);
  }

  // Sends `bytes` from `start` to `server`; returns what the client raised, as
  // "Class: message", or "" on success. Waits (bounded) for the server's script to end.
  std::string Upload(SimTftp::TServer& server, const std::string& bytes, int64_t start = 0,
                     const std::string& remote = "TEPatch.bin") {
    Client.SetPort(server.Port());
    TMemoryStream source(bytes);
    source.SetPosition(start);
    std::string failure;
    try {
      Client.PutStream(source, remote);
      EXPECT_EQ(source.Position(), static_cast<int64_t>(bytes.size())) << "success leaves the source at its end";
    } catch (const Exception& e) {
      failure = ExceptionClassName(e) + ": " + e.Message();
    }
    EXPECT_TRUE(server.Wait(15000)) << "the server's script did not end";
    EXPECT_EQ(server.Failure(), "") << "the server's script failed";
    EXPECT_FALSE(Client.Active()) << "every way out closes the socket";
    EXPECT_EQ(Log.Count("write end"), 1) << "every way out ends the work once";
    return failure;
  }

  static std::vector<std::string> DataPackets(const SimTftp::TSession& s) {
    std::vector<std::string> d;
    for (const auto& p : s.Received)
      if (Opcode(p) == 3) d.push_back(p);
    return d;
  }
};

// Catches a request with wrong bytes, a wrong block size after the OACK, wrong totals, and a
// transfer endpoint not taken from the reply.
TEST_F(TftpSim, ExchangeOf1500BytesWithNegotiatedBlocks) {
  const std::string file = PatternBytes(1500);
  uint16_t transferPort = 0;
  SimTftp::TServer server([&](SimTftp::TSession& s) {
    transferPort = s.TransferPort();
    s.Send(Oack({{"blksize", "1024"}}));
    s.ReceiveFile(1024);
  });
  ASSERT_EQ(Upload(server, file), "");
  const SimTftp::TSession& s = *server.Session();
  const std::string request(
      "\0\2TEPatch.bin\0octet\0blksize\0"
      "1024\0",
      33);
  EXPECT_EQ(s.Request(), request) << "the write request, byte for byte";
  const auto data = DataPackets(s);
  ASSERT_EQ(data.size(), 2u);
  EXPECT_EQ(data[0], SimTftp::Data(1, file.substr(0, 1024)));
  EXPECT_EQ(data[1], SimTftp::Data(2, file.substr(1024)));
  EXPECT_EQ(Log.Events, (Events{"write begin 1500", "write work 1024", "write work 1500", "write end"}));
  EXPECT_EQ(Client.BufferSize(), 1028) << "kept after the transfer";
  EXPECT_EQ(Client.TransferPort(), transferPort);
  EXPECT_EQ(Client.TransferHost(), "127.0.0.1");
}

// Catches a missing empty block for an empty source or for a multiple of the block size, and
// a wrong mode text.
TEST_F(TftpSim, EmptyBlockEndsEmptySourcesAndExactMultiples) {
  {
    Client.SetTransferMode(tfNetAscii);
    SimTftp::TServer server([](SimTftp::TSession& s) {
      s.Send(Ack(0));
      s.ReceiveFile(512);
    });
    ASSERT_EQ(Upload(server, ""), "");
    EXPECT_NE(server.Session()->Request().find(std::string("\0netascii\0", 10)), std::string::npos);
    EXPECT_EQ(DataPackets(*server.Session()), (std::vector<std::string>{SimTftp::Data(1, "")}));
    EXPECT_EQ(Log.Events, (Events{"write begin 0", "write work 0", "write end"}));
  }
  Log.Events.clear();
  Log.Counts.clear();
  Client.SetTransferMode(tfOctet);
  const std::string file = PatternBytes(2048);
  SimTftp::TServer server([](SimTftp::TSession& s) {
    s.Send(Oack({{"blksize", "1024"}}));
    s.ReceiveFile(1024);
  });
  ASSERT_EQ(Upload(server, file), "");
  const auto data = DataPackets(*server.Session());
  ASSERT_EQ(data.size(), 3u);
  EXPECT_EQ(data[2], SimTftp::Data(3, "")) << "a multiple of the block size ends with an empty block";
  EXPECT_EQ(Log.Counts, (std::vector<int32_t>{1024, 2048, 2048}));
}

// Catches blocks sized by the request when the server answered the option with ACK 0, an
// accepted size missed because other options came before it, a later "blksize" taken over the
// first, and a case-sensitive option name.
TEST_F(TftpSim, BlockSizeComesFromTheAcceptedOptionWhereverItStands) {
  const std::string file = PatternBytes(1500);
  struct {
    std::string FirstReply;
    int BlockSize;
    std::vector<int32_t> Counts;
  } cases[] = {
      {Ack(0), 512, {512, 1024, 1500}},
      {Oack({{"tsize", "1500"}}), 512, {512, 1024, 1500}},
      {Oack({{"tsize", "1500"}, {"blksize", "1024"}}), 1024, {1024, 1500}},
      {Oack({{"timeout", "5"}, {"tsize", "1500"}, {"BLKSIZE", "1024"}}), 1024, {1024, 1500}},
      {Oack({{"BlkSize", "600"}, {"tsize", "1500"}, {"blksize", "1024"}}), 600, {600, 1200, 1500}},
  };
  for (const auto& c : cases) {
    Log.Counts.clear();
    Log.Events.clear();
    SimTftp::TServer server([&](SimTftp::TSession& s) {
      s.Send(c.FirstReply);
      EXPECT_EQ(s.ReceiveFile(c.BlockSize), file);
    });
    ASSERT_EQ(Upload(server, file), "") << "block size " << c.BlockSize;
    EXPECT_EQ(Log.Counts, c.Counts) << "block size " << c.BlockSize;
  }
}

// Catches a server that lists "tsize" first storing a truncated file while the client reports
// success: shorter than one block, one byte short of it, and many blocks.
TEST_F(TftpSim, FilesArriveWholeWhenTsizeComesFirst) {
  for (const size_t size : {size_t{1}, size_t{1023}, size_t{300000}}) {
    Log.Events.clear();
    const std::string file = PatternBytes(size);
    std::string stored;
    SimTftp::TServer server([&](SimTftp::TSession& s) {
      s.Send(Oack({{"tsize", std::to_string(size)}, {"blksize", "1024"}}));
      stored = s.ReceiveFile(1024);
    });
    ASSERT_EQ(Upload(server, file), "") << size << " bytes";
    EXPECT_TRUE(stored == file) << size << " bytes sent, " << stored.size() << " stored";
  }
}

// Catches a client that answers, or follows, whoever wrote last: a stranger's ACK, ERROR,
// oversized or empty datagram, or the request port speaking up, must neither get a block nor
// end, fail or stall the transfer.
TEST_F(TftpSim, DatagramsFromOtherPortsAreIgnored) {
  const std::string file = PatternBytes(1500);
  SimTftp::TServer server([&](SimTftp::TSession& s) {
    s.Send(Ack(0));
    std::string p;
    ASSERT_TRUE(s.Receive(p));
    EXPECT_EQ(p, SimTftp::Data(1, file.substr(0, 512)));
    s.SendFromStrangerPort(Ack(1));
    s.SendFromStrangerPort(SimTftp::Error(1, "stranger"));
    s.SendFromStrangerPort(std::string(2000, '\4'));
    s.SendFromStrangerPort("");
    s.SendFromRequestPort(Ack(1));
    EXPECT_FALSE(s.Receive(p, 300)) << "a stranger's datagram was answered";
    s.Send(Ack(1));
    EXPECT_EQ(s.ReceiveFile(512, true, 2), file.substr(512));
  });
  ASSERT_EQ(Upload(server, file), "");
  const auto& s = *server.Session();
  EXPECT_TRUE(s.ReceivedAtStrangerPort.empty()) << s.ReceivedAtStrangerPort.size() << " datagrams to the stranger";
  EXPECT_TRUE(s.ReceivedAtRequestPort.empty()) << s.ReceivedAtRequestPort.size() << " datagrams to the request port";
  EXPECT_EQ(DataPackets(s).size(), 3u) << "each block once, all to the transfer port";
  EXPECT_EQ(Log.Counts, (std::vector<int32_t>{512, 1024, 1500}));
}

// Catches a wait that starts over with each stranger's datagram, so that a steady stream of
// them keeps a transfer whose server went silent waiting for as long as the stream lasts.
TEST_F(TftpSim, StrangersCannotStretchTheWait) {
  Client.SetReceiveTimeout(300);
  std::atomic<bool> stop{false};
  SimTftp::TServer server([&](SimTftp::TSession& s) {
    s.Send(Ack(0));
    std::string p;
    s.Receive(p);
    for (int i = 0; i < 250 && !stop; ++i) {  // up to 5 s of strangers' ACKs, one per 20 ms
      s.SendFromStrangerPort(Ack(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  Client.SetPort(server.Port());
  TMemoryStream source(PatternBytes(1500));
  const auto t0 = std::chrono::steady_clock::now();
  std::string failure;
  try {
    Client.PutStream(source, "TEPatch.bin");
  } catch (const ENetTFTPException& e) {
    failure = e.Message();
  }
  const int64_t ms = MsSince(t0);
  stop = true;
  ASSERT_TRUE(server.Wait());
  EXPECT_EQ(failure, "Timeout");
  EXPECT_GE(ms, 290) << "gave up before ReceiveTimeout";
  EXPECT_LT(ms, 3000) << "the strangers kept the wait going";
}

// Catches a duplicate ACK that is ignored, sends a different packet, or is counted as work;
// and one after the last block taken for success although the server never got that block.
TEST_F(TftpSim, DuplicateAckResendsTheBlockWithoutWork) {
  const std::string file = PatternBytes(1500);
  SimTftp::TServer server([&](SimTftp::TSession& s) {
    s.Send(Ack(0));
    std::string b1, b2, b3, again;
    ASSERT_TRUE(s.Receive(b1));
    s.Send(Ack(1));
    ASSERT_TRUE(s.Receive(b2));
    s.Send(Ack(1));  // duplicate
    ASSERT_TRUE(s.Receive(again));
    EXPECT_EQ(again, b2) << "the resend must be the same packet, byte for byte";
    s.Send(Ack(2));
    ASSERT_TRUE(s.Receive(b3));
    EXPECT_EQ(b3, SimTftp::Data(3, file.substr(1024))) << "the last block";
    s.Send(Ack(2));  // the last block was lost: the previous ACK again
    ASSERT_TRUE(s.Receive(again, 1000)) << "the client took the old ACK for the end";
    EXPECT_EQ(again, b3);
    s.Send(Ack(3));
  });
  ASSERT_EQ(Upload(server, file), "");
  EXPECT_EQ(Log.Counts, (std::vector<int32_t>{512, 1024, 1500})) << "no work for the resends";
}

// Catches an ERROR code mapped to the wrong class, a message altered, and an error that skips
// the end of the work or leaves the socket open.
TEST_F(TftpSim, ErrorPacketsRaiseTheirClassWithTheServersText) {
  const struct {
    uint16_t Code;
    const char* Class;
  } cases[] = {
      {0, "ENetTFTPException"},          {1, "ENetTFTPFileNotFound"},     {2, "ENetTFTPAccessViolation"},
      {3, "ENetTFTPAllocationExceeded"}, {4, "ENetTFTPIllegalOperation"}, {5, "ENetTFTPUnknownTransferID"},
      {6, "ENetTFTPFileAlreadyExists"},  {7, "ENetTFTPNoSuchUser"},       {8, "ENetTFTPOptionNegotiationFailed"},
      {9, "ENetTFTPException"},          {65535, "ENetTFTPException"}};
  for (const auto& c : cases) {
    Log.Events.clear();
    const std::string text = "server says " + std::to_string(c.Code);
    SimTftp::TServer server([&](SimTftp::TSession& s) { s.Send(SimTftp::Error(c.Code, text)); });
    EXPECT_EQ(Upload(server, PatternBytes(100)), std::string(c.Class) + ": " + text) << "code " << c.Code;
    EXPECT_EQ(Log.Events, (Events{"write begin 100", "write end"})) << "code " << c.Code;
  }
  // In the middle of a transfer, with an empty text.
  Log.Events.clear();
  SimTftp::TServer server([](SimTftp::TSession& s) {
    s.Send(Ack(0));
    std::string p;
    s.Receive(p);
    s.Send(SimTftp::Error(3, ""));
  });
  EXPECT_EQ(Upload(server, PatternBytes(1500)), "ENetTFTPAllocationExceeded: ");
  EXPECT_EQ(Log.Events, (Events{"write begin 1500", "write work 512", "write end"}));
}

// Catches a wait that runs out taken as success before the last block, or as failure after
// it, and waits shorter than ReceiveTimeout.
TEST_F(TftpSim, WaitsThatRunOut) {
  Client.SetReceiveTimeout(300);
  {
    SimTftp::TServer server([](SimTftp::TSession& s) {
      std::string p;
      s.Receive(p, 1000);  // nothing comes: the client never got an answer
    });
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Upload(server, PatternBytes(100)), "ENetTFTPException: Timeout");
    EXPECT_GE(MsSince(t0), 290) << "gave up before ReceiveTimeout";
    EXPECT_TRUE(DataPackets(*server.Session()).empty());
  }
  Log.Events.clear();
  const std::string file = PatternBytes(1000);
  SimTftp::TServer server([&](SimTftp::TSession& s) {
    s.Send(Ack(0));
    EXPECT_EQ(s.ReceiveFile(512, false), file);
  });
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Upload(server, file), "") << "the final ACK is not required";
  EXPECT_GE(MsSince(t0), 290) << "success only after the wait";
  EXPECT_EQ(Log.Events, (Events{"write begin 1000", "write work 512", "write work 1000", "write end"}));
}

// Catches a transfer that starts from the stream's beginning or announces its whole size.
TEST_F(TftpSim, SourceIsSentFromItsPosition) {
  const std::string file = PatternBytes(1000);
  SimTftp::TServer server([&](SimTftp::TSession& s) {
    s.Send(Oack({{"blksize", "1024"}}));
    EXPECT_EQ(s.ReceiveFile(1024), file.substr(100));
  });
  ASSERT_EQ(Upload(server, file, 100), "");
  EXPECT_EQ(Log.Events, (Events{"write begin 900", "write work 900", "write end"}));
}

// Catches a reply longer than the receive buffer delivered in part, with the buffer before and
// after the block size was agreed.
TEST_F(TftpSim, ReplyLongerThanTheBufferFailsWith10040) {
  const std::string failure = "ENetSocketError: Socket Error # 10040\r\nMessage too long.";
  {
    SimTftp::TServer server([](SimTftp::TSession& s) { s.Send(std::string(517, '\4')); });
    EXPECT_EQ(Upload(server, PatternBytes(100)), failure) << "517 bytes into 516";
  }
  Log.Events.clear();
  SimTftp::TServer server([](SimTftp::TSession& s) {
    s.Send(Oack({{"blksize", "1024"}}));
    std::string p;
    s.Receive(p);
    s.Send(Ack(1) + std::string(10036, '\0'));
  });
  EXPECT_EQ(Upload(server, PatternBytes(3000)), failure) << "10040 bytes into 1028";
}

// Catches replies too short for their fields read past their end or taken for success, and
// malformed option values accepted.
TEST_F(TftpSim, MalformedAndTruncatedReplies) {
  const std::string file = PatternBytes(700);
  const std::string bs = "ENetTFTPOptionNegotiationFailed: Invalid block size accepted by the server: ";
  struct {
    const char* What;
    std::string Reply;
    std::string Failure;  // "" when the transfer goes on with 512-byte blocks
  } firstReplies[] = {
      {"one byte", std::string(1, '\0'), ""},
      {"ACK without its block number", std::string("\0\4\0", 3), ""},
      {"ACK of another block", Ack(65535), ""},
      {"unknown opcode", std::string("\0\x09zz", 4), ""},
      {"ERROR without a code", std::string("\0\5", 2), "ENetTFTPException: "},
      {"ERROR without a text", std::string("\0\5\0\1", 4), "ENetTFTPFileNotFound: "},
      {"ERROR text without its zero", std::string("\0\5\0\2abc", 7), "ENetTFTPAccessViolation: abc"},
      {"OACK blksize without a value", Oack({}) + std::string("blksize\0", 8),
       "EConvertError: '' is not a valid integer value"},
      {"OACK blksize name unterminated", Oack({}) + "blksize", "EConvertError: '' is not a valid integer value"},
      {"OACK value not an integer", Oack({{"blksize", "10x24"}}),
       "EConvertError: '10x24' is not a valid integer value"},
      {"OACK block size 0", Oack({{"blksize", "0"}}), bs + "0"},
      {"OACK block size 7", Oack({{"blksize", "7"}}), bs + "7"},
      {"OACK block size negative", Oack({{"blksize", "-5"}}), bs + "-5"},
      {"OACK block size above the request", Oack({{"blksize", "1025"}}), bs + "1025"},
      {"OACK block size above 65464", Oack({{"blksize", "2147483647"}}), bs + "2147483647"},
      {"OACK block size above the request after tsize", Oack({{"tsize", "700"}, {"blksize", "1025"}}), bs + "1025"},
      {"OACK blksize unterminated after tsize", Oack({{"tsize", "700"}}) + "blksize",
       "EConvertError: '' is not a valid integer value"},
      {"OACK tsize without its value", Oack({}) + std::string("tsize\0", 6), ""},
  };
  for (const auto& c : firstReplies) {
    Log.Events.clear();
    Log.Counts.clear();
    SimTftp::TServer server([&](SimTftp::TSession& s) {
      s.Send(c.Reply);
      if (c.Failure.empty()) {
        EXPECT_EQ(s.ReceiveFile(512), file) << c.What;
      }
    });
    EXPECT_EQ(Upload(server, file), c.Failure) << c.What;
    if (c.Failure.empty()) {
      EXPECT_EQ(Log.Counts, (std::vector<int32_t>{512, 700})) << c.What;
    }
  }
}

// Catches a malformed reply in mid-transfer taken as an acknowledgement, a late OACK that
// changes the block size, and an empty datagram taken for anything but a wait that ran out.
TEST_F(TftpSim, MalformedRepliesInMidTransferResendTheBlock) {
  const std::string file = PatternBytes(1500);
  SimTftp::TServer server([&](SimTftp::TSession& s) {
    s.Send(Oack({{"blksize", "1024"}}));
    std::string b1, again;
    ASSERT_TRUE(s.Receive(b1));
    for (const std::string& junk : {std::string("\0\4", 2), std::string("\0\4\0", 3), std::string(1, '\7'),
                                    Oack({{"blksize", "8"}}), Ack(7), Ack(0)}) {
      s.Send(junk);
      ASSERT_TRUE(s.Receive(again));
      EXPECT_EQ(again, b1) << "each reply that does not acknowledge block 1 resends it";
    }
    s.Send(Ack(1));
    EXPECT_EQ(s.ReceiveFile(1024, true, 2), file.substr(1024)) << "the block size stays 1024";
  });
  ASSERT_EQ(Upload(server, file), "");
  EXPECT_EQ(Log.Counts, (std::vector<int32_t>{1024, 1500}));

  Log.Events.clear();
  SimTftp::TServer empty([](SimTftp::TSession& s) {
    s.Send(Ack(0));
    std::string p;
    s.Receive(p);
    s.Send("");
  });
  EXPECT_EQ(Upload(empty, file), "ENetTFTPException: Timeout") << "an empty datagram before the last block";
}

// Catches a missing local file reported late, with traffic or work events, or without its full path.
TEST_F(TftpSim, MissingLocalFileFailsBeforeAnyTraffic) {
  TTempDir dir;
  SimTftp::TServer server([](SimTftp::TSession&) {}, 300);
  Client.SetPort(server.Port());
  const std::string path = dir.File("TEPatch.bin");
  try {
    Client.PutFile(path, "TEPatch.bin");
    ADD_FAILURE() << "a missing file must raise";
  } catch (const EFOpenError& e) {
    // The reason after the path is the system's own text, which differs from host to host.
    const std::string opening = "Cannot open file \"" + path + "\". ";
    EXPECT_EQ(e.Message().substr(0, opening.size()), opening);
    EXPECT_GT(e.Message().size(), opening.size()) << "the system's reason follows";
  }
  EXPECT_TRUE(Log.Events.empty());
  ASSERT_TRUE(server.Wait());
  EXPECT_EQ(server.Session(), nullptr) << "no request may be sent";
}

// Catches a PutFile that does not send the file's bytes or leaves it open.
TEST_F(TftpSim, PutFileSendsTheFile) {
  TTempDir dir;
  const std::string file = PatternBytes(3000);
  WriteFile(dir.File("TEImage.bin"), file);
  SimTftp::TServer server([&](SimTftp::TSession& s) {
    s.Send(Oack({{"blksize", "1024"}}));
    EXPECT_EQ(s.ReceiveFile(1024), file);
  });
  Client.SetPort(server.Port());
  Client.PutFile(dir.File("TEImage.bin"), "TEImage.bin");
  ASSERT_TRUE(server.Wait());
  EXPECT_EQ(server.Failure(), "");
  EXPECT_NE(server.Session()->Request().find("TEImage.bin"), std::string::npos);
}

// Catches an unresolvable host that skips the end of the work.
TEST_F(TftpSim, UnresolvableHostFailsWithHostNotFound) {
  Client.SetHost("no-such-host.invalid");
  TMemoryStream source(PatternBytes(10));
  try {
    Client.PutStream(source, "TEPatch.bin");
    ADD_FAILURE() << "must raise";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.ErrorCode, 11001);
    EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
  }
  EXPECT_EQ(Log.Events, (Events{"write begin 10", "write end"}));
  EXPECT_FALSE(Client.Active());
}

}  // namespace
}  // namespace NetTest
