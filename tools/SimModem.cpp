// Sections: greetings; life; telnet console; TFTP receiver.
#include "SimModem.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>

namespace SimModem {

namespace {

const char kIac = '\xFF';
const std::string kNegotiation = {kIac, '\xFB', '\x01', kIac, '\xFB', '\x03', kIac, '\xFD', '\x1F'};

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
  uint32_t ip = 0;
  if (!PeerHost::ParseAddress(address, ip) || !PeerHost::IsLoopback(ip)) {
    FFailure = "not a loopback address: " + address;
    return false;
  }
  if (!FStop.Open(FFailure)) return false;
  // The fixed ports are bound again and again, each time while the last test's connections
  // may still linger.
  if (TelnetEnabled) {
    FTelnet = PeerHost::Listen(PeerHost::TEndpoint{ip, telnetPort}, 4, FFailure, true);
    if (!FTelnet.Valid()) return false;
  }
  if (TftpEnabled) {
    FTftp = PeerHost::OpenDatagram(PeerHost::TEndpoint{ip, tftpPort}, FFailure, true);
    if (!FTftp.Valid()) return false;
  }
  if (FTelnet.Valid()) FTelnetThread = std::thread([this] { TelnetLoop(); });
  if (FTftp.Valid()) FTftpThread = std::thread([this] { TftpLoop(); });
  return true;
}

void TModem::Stop() {
  FStop.Wake();
  if (FTelnetThread.joinable()) FTelnetThread.join();
  if (FTftpThread.joinable()) FTftpThread.join();
  FTelnet.Close();
  FTftp.Close();
  FStop.Close();
}

bool TModem::WaitReadable(PeerHost::THandle s, int timeoutMs) const {
  // The stop comes first: a modem that is stopped takes nothing more.
  return PeerHost::WaitReadable({FStop.Handle(), s}, timeoutMs) == 1;
}

bool TModem::Stopped() const { return PeerHost::WaitReadable({FStop.Handle()}, 0) == 0; }

bool TModem::Pause(uint32_t ms) { return PeerHost::WaitReadable({FStop.Handle()}, static_cast<int>(ms)) == 0; }

std::string TModem::LastFileName() const {
  std::lock_guard<std::mutex> g(FLock);
  return FLastFile;
}

// ---- telnet console ----

void TModem::TelnetLoop() {
  while (WaitReadable(FTelnet.Handle(), -1)) {
    PeerHost::TSocket connection = PeerHost::Accept(FTelnet.Handle());
    if (!connection.Valid()) continue;
    ++FTelnetConnections;
    ServeTelnet(connection.Handle());
  }
}

void TModem::ServeTelnet(PeerHost::THandle connection) {
  PeerHost::Send(connection, kNegotiation.data(), kNegotiation.size());
  for (const std::string& chunk : Greeting.Chunks) {
    if (Greeting.PauseMs && Pause(Greeting.PauseMs)) return;
    PeerHost::Send(connection, chunk.data(), chunk.size());
  }
  // Hold the line until the client closes it (or the modem is stopped), reading what it sends.
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  char buf[512];
  while (std::chrono::steady_clock::now() < until) {
    if (!WaitReadable(connection, 200)) {
      if (Stopped()) return;
      continue;
    }
    if (PeerHost::Receive(connection, buf, sizeof buf) <= 0) return;
  }
}

// ---- TFTP receiver ----

void TModem::TftpLoop() {
  std::string packet(65536, '\0');
  while (WaitReadable(FTftp.Handle(), -1)) {
    PeerHost::TEndpoint from;
    const int n = PeerHost::ReceiveFrom(FTftp.Handle(), packet.data(), packet.size(), &from);
    if (n < 4) continue;
    std::string request = packet.substr(0, static_cast<size_t>(n));
    if (Get16(request, 0) != 2) continue;  // only write requests
    ++FTftpRequests;
    if (TftpMode == TTftpMode::Silent) continue;
    ServeWrite(request, from);
  }
}

void TModem::ServeWrite(const std::string& request, const PeerHost::TEndpoint& client) {
  // A transfer socket of its own, on the same address, as real servers answer.
  std::string failure;
  const PeerHost::TSocket transfer =
      PeerHost::OpenDatagram(PeerHost::TEndpoint{PeerHost::LocalEndpoint(FTftp.Handle()).Address, 0}, failure);
  if (!transfer.Valid()) return;
  const PeerHost::THandle s = transfer.Handle();
  auto sendTo = [&](const std::string& p) { PeerHost::SendTo(s, p.data(), p.size(), client); };
  if (TftpMode == TTftpMode::Error) {
    sendTo(Put16(5) + Put16(ErrorCode) + ErrorText + std::string(1, '\0'));
    return;
  }
  const std::vector<std::string> fields = RequestFields(request);
  if (fields.size() < 2) return;
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
    if (!WaitReadable(s, 2000)) {
      if (Stopped()) break;
      ++silentWaits;
      sendTo(lastReply);
      continue;
    }
    const int n = PeerHost::Receive(s, packet.data(), packet.size());
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
