// The parts of the peers' host calls that are the same on every host.
#include "PeerHost.h"

namespace PeerHost {

bool ParseAddress(const std::string& text, uint32_t& address) {
  uint32_t value = 0;
  int parts = 0;
  size_t at = 0;
  while (parts < 4) {
    size_t digits = 0;
    uint32_t part = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
      part = part * 10 + static_cast<uint32_t>(text[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || part > 255) return false;
    value = value << 8 | part;
    ++parts;
    if (parts < 4) {
      if (at >= text.size() || text[at] != '.') return false;
      ++at;
    }
  }
  if (at != text.size()) return false;
  address = value;
  return true;
}

std::string AddressText(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
         std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool IsLoopback(uint32_t address) { return address >> 24 == 127; }

bool RequireLoopback(uint32_t address, std::string& failure) {
  if (!IsLoopback(address)) failure = "not a loopback address: " + AddressText(address);
  return IsLoopback(address);
}

TSocket& TSocket::operator=(TSocket&& other) noexcept {
  if (this != &other) {
    Close();
    FHandle = other.FHandle;
    other.FHandle = kNoSocket;
  }
  return *this;
}

bool ReceiveDatagram(THandle s, std::string& packet, TEndpoint* from, int timeoutMs) {
  if (WaitReadable({s}, timeoutMs) != 0) return false;
  char buffer[70000];  // more than any datagram
  const int n = ReceiveFrom(s, buffer, sizeof buffer, from);
  if (n < 0) return false;
  packet.assign(buffer, static_cast<size_t>(n));
  return true;
}

bool TWaker::Open(std::string& failure) {
  FSocket = OpenDatagram(TEndpoint{}, failure);
  return FSocket.Valid();
}

void TWaker::Wake() {
  if (FSocket.Valid()) SendTo(FSocket.Handle(), "x", 1, LocalEndpoint(FSocket.Handle()));
}

}  // namespace PeerHost
