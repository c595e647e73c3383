#include "SimTftpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace SimTftp {

namespace {

int BoundLoopbackSocket() {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    ::close(fd);
    throw std::runtime_error("bind failed");
  }
  return fd;
}

uint16_t LocalPort(int fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  return ntohs(sa.sin_port);
}

bool WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  int r;
  do {
    r = ::poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  return r > 0;
}

bool ReceiveFrom(int fd, std::string& packet, uint16_t* port, int timeoutMs) {
  if (!WaitReadable(fd, timeoutMs)) return false;
  char buf[70000];
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&sa), &len);
  if (n < 0) return false;
  packet.assign(buf, static_cast<size_t>(n));
  if (port) *port = ntohs(sa.sin_port);
  return true;
}

void SendTo(int fd, const std::string& packet, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(port);
  if (::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa) !=
      static_cast<ssize_t>(packet.size()))
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

TSession::TSession(int requestFd, int transferFd, std::string request, uint16_t clientPort)
    : FRequestFd(requestFd),
      FTransferFd(transferFd),
      FStrangerFd(BoundLoopbackSocket()),
      FRequest(std::move(request)),
      FClientPort(clientPort) {}

TSession::~TSession() {
  ::close(FTransferFd);
  ::close(FStrangerFd);
}

uint16_t TSession::TransferPort() const { return LocalPort(FTransferFd); }

bool TSession::Receive(std::string& packet, int timeoutMs) {
  const bool got = ReceiveFrom(FTransferFd, packet, nullptr, timeoutMs);
  if (got) Received.push_back(packet);
  // Whatever went to the other ports meanwhile is kept too.
  std::string stray;
  while (ReceiveFrom(FRequestFd, stray, nullptr, 0)) ReceivedAtRequestPort.push_back(stray);
  while (ReceiveFrom(FStrangerFd, stray, nullptr, 0)) ReceivedAtStrangerPort.push_back(stray);
  return got;
}

void TSession::Send(const std::string& packet) { SendTo(FTransferFd, packet, FClientPort); }

void TSession::SendFromRequestPort(const std::string& packet) { SendTo(FRequestFd, packet, FClientPort); }

void TSession::SendFromStrangerPort(const std::string& packet) { SendTo(FStrangerFd, packet, FClientPort); }

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

TServer::TServer(TScript script, int requestWaitMs) {
  FRequestFd = BoundLoopbackSocket();
  FPort = LocalPort(FRequestFd);
  if (::pipe2(FDoneFd, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  FThread = std::thread([this, s = std::move(script), requestWaitMs] { Run(s, requestWaitMs); });
}

TServer::~TServer() {
  if (!FJoined) FThread.join();  // every wait in a script is bounded
  FSession.reset();
  ::close(FRequestFd);
  ::close(FDoneFd[0]);
  ::close(FDoneFd[1]);
}

void TServer::Run(const TScript& script, int requestWaitMs) {
  try {
    std::string request;
    uint16_t clientPort = 0;
    if (!ReceiveFrom(FRequestFd, request, &clientPort, requestWaitMs)) {
      FFailure = "no request came";
    } else {
      FSession = std::make_unique<TSession>(FRequestFd, BoundLoopbackSocket(), request, clientPort);
      script(*FSession);
    }
  } catch (const std::exception& e) {
    FFailure = e.what();
  }
  const char done = 1;
  while (::write(FDoneFd[1], &done, 1) < 0 && errno == EINTR) {
  }
}

bool TServer::Wait(int timeoutMs) {
  if (FJoined) return true;
  if (!WaitReadable(FDoneFd[0], timeoutMs)) return false;
  FThread.join();
  FJoined = true;
  return true;
}

}  // namespace SimTftp
