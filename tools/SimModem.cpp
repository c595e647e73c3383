// Sections: greetings; life; telnet console; TFTP receiver.
#include "SimModem.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

namespace SimModem {

namespace {

const char kIac = '\xFF';
const std::string kNegotiation = {kIac, '\xFB', '\x01', kIac, '\xFB', '\x03', kIac, '\xFD', '\x1F'};

int BindSocket(int type, const std::string& address, uint16_t port, std::string& failure) {
  int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    failure = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1 || (ntohl(a.sin_addr.s_addr) >> 24) != 127) {
    failure = "not a loopback address: " + address;
    close(fd);
    return -1;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    failure = "bind " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  if (type == SOCK_STREAM && listen(fd, 4) != 0) {
    failure = std::string("listen: ") + std::strerror(errno);
    close(fd);
    return -1;
  }
  return fd;
}

// Waits for fd to be readable, or for the stop pipe; false on stop or time-out.
bool WaitReadable(int fd, int stopFd, int timeoutMs) {
  pollfd p[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
  int r;
  do {
    r = poll(p, 2, timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r <= 0 || (p[1].revents & POLLIN)) return false;
  return (p[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

uint16_t Get16(const std::string& s, size_t at) {
  return static_cast<uint16_t>((static_cast<uint8_t>(s[at]) << 8) | static_cast<uint8_t>(s[at + 1]));
}

std::string Put16(uint16_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }

// The fields of a write request: file name, mode, then option/value pairs, each ending in NUL.
std::vector<std::string> RequestFields(const std::string& request) {
  std::vector<std::string> fields;
  size_t at = 2;
  while (at < request.size()) {
    size_t end = request.find('\0', at);
    if (end == std::string::npos) break;
    fields.push_back(request.substr(at, end - at));
    at = end + 1;
  }
  return fields;
}

// The name a requested file is stored under: its last path part, never empty or a directory.
std::string StoredName(std::string name) {
  size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") name = "unnamed";
  return name;
}

// The block size the request's options ask for and that is granted (the last valid one), or 0.
int GrantedBlockSize(const std::vector<std::string>& fields) {
  int granted = 0;
  for (size_t i = 2; i + 1 < fields.size(); i += 2) {
    std::string opt = fields[i];
    for (char& c : opt) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (opt != "blksize") continue;
    int v = std::atoi(fields[i + 1].c_str());
    if (v >= 8 && v <= 65464) granted = v;
  }
  return granted;
}

}  // namespace

// ---- greetings ----

TGreeting OldFirmware() {
  return {{"\r\nWelcome to Titanium\r\n\r\nNV-302 ADSL Router, firmware R2.01M.B05.PK_020830a_T93.3.38\r\nlogin: "},
          50};
}

TGreeting TargetFirmware() {
  return {{"\r\nWelcome to Titanium\r\n\r\nNV-302 ADSL Router, firmware R2.01M.B06.PK_021206a_T93.3.44\r\nlogin: "},
          50};
}

TGreeting ForeignModem() { return {{"\r\nWelcome to Granite\r\nGateway console\r\nlogin: "}, 50}; }

TGreeting Silent() { return {{}, 0}; }

// ---- life ----

TModem::~TModem() { Stop(); }

bool TModem::Start(const std::string& address, uint16_t telnetPort, uint16_t tftpPort, const std::string& dir) {
  FDir = dir;
  if (pipe2(FStopPipe, O_CLOEXEC) != 0) {
    FFailure = "pipe";
    return false;
  }
  if (TelnetEnabled) {
    FTelnetFd = BindSocket(SOCK_STREAM, address, telnetPort, FFailure);
    if (FTelnetFd < 0) return false;
  }
  if (TftpEnabled) {
    FTftpFd = BindSocket(SOCK_DGRAM, address, tftpPort, FFailure);
    if (FTftpFd < 0) return false;
  }
  if (FTelnetFd >= 0) FTelnetThread = std::thread([this] { TelnetLoop(); });
  if (FTftpFd >= 0) FTftpThread = std::thread([this] { TftpLoop(); });
  return true;
}

void TModem::Stop() {
  if (FStopPipe[1] >= 0) {
    [[maybe_unused]] ssize_t n = write(FStopPipe[1], "x", 1);
  }
  if (FTelnetThread.joinable()) FTelnetThread.join();
  if (FTftpThread.joinable()) FTftpThread.join();
  for (int* fd : {&FTelnetFd, &FTftpFd, &FStopPipe[0], &FStopPipe[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

bool TModem::Pause(uint32_t ms) { return WaitReadable(FStopPipe[0], FStopPipe[0], static_cast<int>(ms)); }

std::string TModem::LastFileName() const {
  std::lock_guard<std::mutex> g(FLock);
  return FLastFile;
}

// ---- telnet console ----

void TModem::TelnetLoop() {
  while (WaitReadable(FTelnetFd, FStopPipe[0], -1)) {
    int fd = accept4(FTelnetFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++FTelnetConnections;
    ServeTelnet(fd);
    close(fd);
  }
}

void TModem::ServeTelnet(int fd) {
  send(fd, kNegotiation.data(), kNegotiation.size(), MSG_NOSIGNAL);
  for (const std::string& chunk : Greeting.Chunks) {
    if (Greeting.PauseMs && Pause(Greeting.PauseMs)) return;
    send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
  }
  // Hold the line until the client closes it (or the modem is stopped), reading what it sends.
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  char buf[512];
  while (std::chrono::steady_clock::now() < until) {
    if (!WaitReadable(fd, FStopPipe[0], 200)) {
      pollfd p{FStopPipe[0], POLLIN, 0};
      if (poll(&p, 1, 0) > 0) return;
      continue;
    }
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
  }
}

// ---- TFTP receiver ----

void TModem::TftpLoop() {
  std::string packet(65536, '\0');
  while (WaitReadable(FTftpFd, FStopPipe[0], -1)) {
    sockaddr_in from{};
    socklen_t fl = sizeof from;
    ssize_t n = recvfrom(FTftpFd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&from), &fl);
    if (n < 4) continue;
    std::string request = packet.substr(0, static_cast<size_t>(n));
    if (Get16(request, 0) != 2) continue;  // only write requests
    ++FTftpRequests;
    if (TftpMode == TTftpMode::Silent) continue;
    ServeWrite(request, from);
  }
}

void TModem::ServeWrite(const std::string& request, const sockaddr_in& client) {
  // A transfer socket of its own, on the same address, as real servers answer.
  sockaddr_in local{};
  socklen_t ll = sizeof local;
  getsockname(FTftpFd, reinterpret_cast<sockaddr*>(&local), &ll);
  char addr[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &local.sin_addr, addr, sizeof addr);
  std::string failure;
  int fd = BindSocket(SOCK_DGRAM, addr, 0, failure);
  if (fd < 0) return;
  auto sendTo = [&](const std::string& p) {
    sendto(fd, p.data(), p.size(), 0, reinterpret_cast<const sockaddr*>(&client), sizeof client);
  };
  if (TftpMode == TTftpMode::Error) {
    sendTo(Put16(5) + Put16(ErrorCode) + ErrorText + std::string(1, '\0'));
    close(fd);
    return;
  }
  const std::vector<std::string> fields = RequestFields(request);
  if (fields.size() < 2) {
    close(fd);
    return;
  }
  const std::string name = StoredName(fields[0]);
  const int granted = GrantedBlockSize(fields);
  const int blockSize = granted ? granted : 512;
  std::string oack;
  if (granted) oack = Put16(6) + "blksize" + std::string(1, '\0') + std::to_string(granted) + std::string(1, '\0');
  FLastBlockSize = static_cast<uint16_t>(blockSize);
  std::string lastReply = oack.empty() ? Put16(4) + Put16(0) : oack;
  sendTo(lastReply);
  std::string file;
  uint16_t expected = 1;
  std::string packet(static_cast<size_t>(blockSize) + 4 + 1, '\0');
  int silentWaits = 0;
  bool done = false;
  while (!done && silentWaits < 4) {
    if (!WaitReadable(fd, FStopPipe[0], 2000)) {
      pollfd p{FStopPipe[0], POLLIN, 0};
      if (poll(&p, 1, 0) > 0) break;
      ++silentWaits;
      sendTo(lastReply);
      continue;
    }
    ssize_t n = recv(fd, packet.data(), packet.size(), 0);
    if (n < 4 || Get16(packet, 0) != 3) continue;
    uint16_t block = Get16(packet, 2);
    if (block == expected) {
      file.append(packet.data() + 4, static_cast<size_t>(n) - 4);
      ++expected;  // 65535 wraps to 0
      done = n - 4 < blockSize;
      // Stored before the last acknowledgement, as a real server does: whoever has seen the
      // final ACK may read the file at once.
      if (done) Store(name, file);
      if (AckDelayMs && Pause(AckDelayMs)) break;
      lastReply = Put16(4) + Put16(block);
      sendTo(lastReply);
    } else {
      sendTo(lastReply);  // a repeated block: acknowledge again
    }
  }
  close(fd);
}

void TModem::Store(const std::string& name, const std::string& bytes) {
  {
    std::ofstream out(FDir + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  {
    std::lock_guard<std::mutex> g(FLock);
    FLastFile = name;
  }
  ++FFilesStored;
}

}  // namespace SimModem
