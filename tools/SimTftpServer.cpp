#include "SimTftpServer.h"

#include <chrono>
#include <stdexcept>

namespace SimTftp {

namespace {

PeerHost::TSocket BoundLoopbackSocket() {
  std::string failure;
  PeerHost::TSocket s = PeerHost::OpenDatagram(PeerHost::TEndpoint{}, failure);
  if (!s.Valid()) throw std::runtime_error(failure);
  return s;
}

bool ReceiveFrom(PeerHost::THandle s, std::string& packet, uint16_t* port, int timeoutMs) {
  PeerHost::TEndpoint from;
  if (!PeerHost::ReceiveDatagram(s, packet, &from, timeoutMs)) return false;
  if (port) *port = from.Port;
  return true;
}

void SendTo(PeerHost::THandle s, const std::string& packet, uint16_t port) {
  if (!PeerHost::SendTo(s, packet.data(), packet.size(), PeerHost::TEndpoint{PeerHost::kLoopback, port}))
    throw std::runtime_error("sendto failed");
}

std::string U16(uint16_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }

}  // namespace

std::string Ack(uint16_t block) { return U16(4) + U16(block); }

std::string Error(uint16_t code, const std::string& text) { return U16(5) + U16(code) + text + std::string(1, '\0'); }

std::string Oack(const std::vector<std::pair<std::string, std::string>>& options) {
  std::string p = U16(6);
  for (const auto& [name, value] : options) {
    p += name;
    p.push_back('\0');
    p += value;
    p.push_back('\0');
  }
  return p;
}

std::string Data(uint16_t block, const std::string& bytes) { return U16(3) + U16(block) + bytes; }

uint16_t Opcode(const std::string& packet) {
  if (packet.size() < 2) return 0xFFFF;
  return static_cast<uint16_t>(static_cast<uint8_t>(packet[0]) << 8 | static_cast<uint8_t>(packet[1]));
}

uint16_t Block(const std::string& packet) {
  if (packet.size() < 4) return 0xFFFF;
  return static_cast<uint16_t>(static_cast<uint8_t>(packet[2]) << 8 | static_cast<uint8_t>(packet[3]));
}

// ---- session ----

TSession::TSession(PeerHost::THandle requestSocket, PeerHost::TSocket transfer, std::string request,
                   uint16_t clientPort)
    : FRequestSocket(requestSocket),
      FTransfer(std::move(transfer)),
      FStranger(BoundLoopbackSocket()),
      FRequest(std::move(request)),
      FClientPort(clientPort) {}

uint16_t TSession::TransferPort() const { return PeerHost::LocalEndpoint(FTransfer.Handle()).Port; }

bool TSession::Receive(std::string& packet, int timeoutMs) {
  const bool got = ReceiveFrom(FTransfer.Handle(), packet, nullptr, timeoutMs);
  if (got) Received.push_back(packet);
  // Whatever went to the other ports meanwhile is kept too.
  std::string stray;
  while (ReceiveFrom(FRequestSocket, stray, nullptr, 0)) ReceivedAtRequestPort.push_back(stray);
  while (ReceiveFrom(FStranger.Handle(), stray, nullptr, 0)) ReceivedAtStrangerPort.push_back(stray);
  return got;
}

void TSession::Send(const std::string& packet) { SendTo(FTransfer.Handle(), packet, FClientPort); }

void TSession::SendFromRequestPort(const std::string& packet) { SendTo(FRequestSocket, packet, FClientPort); }

void TSession::SendFromStrangerPort(const std::string& packet) { SendTo(FStranger.Handle(), packet, FClientPort); }

std::string TSession::ReceiveFile(int blockSize, bool finalAck, uint16_t firstBlock) {
  std::string file;
  uint16_t expected = firstBlock;
  std::string p;
  while (Receive(p)) {
    if (Opcode(p) != 3 || p.size() < 4) continue;
    const uint16_t b = Block(p);
    if (b == expected) {
      file.append(p, 4, std::string::npos);
      ++expected;
      const bool last = p.size() - 4 < static_cast<size_t>(blockSize);
      if (!last || finalAck) Send(Ack(b));
      if (last) break;
    } else if (b == static_cast<uint16_t>(expected - 1)) {
      Send(Ack(b));
    }
  }
  return file;
}

// ---- server ----

TServer::TServer(TScript script, int requestWaitMs) : FRequestSocket(BoundLoopbackSocket()) {
  FPort = PeerHost::LocalEndpoint(FRequestSocket.Handle()).Port;
  FThread = std::thread([this, s = std::move(script), requestWaitMs] { Run(s, requestWaitMs); });
}

TServer::~TServer() {
  if (!FJoined) FThread.join();  // every wait in a script is bounded
  FSession.reset();
}

void TServer::Run(const TScript& script, int requestWaitMs) {
  try {
    std::string request;
    uint16_t clientPort = 0;
    if (!ReceiveFrom(FRequestSocket.Handle(), request, &clientPort, requestWaitMs)) {
      FFailure = "no request came";
    } else {
      FSession = std::make_unique<TSession>(FRequestSocket.Handle(), BoundLoopbackSocket(), request, clientPort);
      script(*FSession);
    }
  } catch (const std::exception& e) {
    FFailure = e.what();
  }
  std::lock_guard<std::mutex> g(FLock);
  FScriptEnded = true;
  FEnded.notify_all();
}

bool TServer::Wait(int timeoutMs) {
  if (FJoined) return true;
  {
    std::unique_lock<std::mutex> g(FLock);
    if (!FEnded.wait_for(g, std::chrono::milliseconds(timeoutMs), [this] { return FScriptEnded; })) return false;
  }
  FThread.join();
  FJoined = true;
  return true;
}

}  // namespace SimTftp
