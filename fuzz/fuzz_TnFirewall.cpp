// libFuzzer target for the firewall negotiation: whatever a proxy sends, in whatever pieces,
// the negotiation must stay inside its buffers, end exactly once once the proxy has hung up,
// and hand on only bytes that came after the reply. The first input byte picks the firewall type, credentials, the
// remote host form and the cut pattern; the rest is the proxy's side of the conversation.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TnFirewall.h"

namespace {

volatile uint8_t Touched;

uint8_t Touch(const uint8_t* p, size_t n) {
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum ^ p[i]);
  return sum;
}

struct TSink : TTnFirewallSink {
  int Ends = 0;
  size_t Fed = 0;
  int FirewallSend(const uint8_t* p, size_t n) override {
    Touched = Touch(p, n);  // every byte sent must be readable
    return 0;
  }
  void FirewallSucceeded(const uint8_t* rest, size_t n) override {
    if (n > Fed) std::abort();
    Touched = Touch(rest, n);
    ++Ends;
  }
  void FirewallFailed(const std::string& text, bool) override {
    if (text.empty()) std::abort();
    ++Ends;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  ++data;
  --size;
  TTnFirewall fw;
  fw.SetType(1 + mode % 3);
  if (mode & 0x04) fw.SetUser("user");
  if (mode & 0x08) fw.SetPassword("secret");
  const std::string host = (mode & 0x10) ? "*" + std::string((mode & 0x20) ? 300 : 11, 'h') : "127.0.0.1";
  TSink sink;
  fw.Begin(host, 23, sink);
  const size_t piece = 1 + (mode >> 6) * 5;
  for (size_t pos = 0; pos < size && fw.Negotiating(); pos += piece) {
    const size_t n = size - pos < piece ? size - pos : piece;
    uint8_t* block = static_cast<uint8_t*>(std::malloc(n));
    std::memcpy(block, data + pos, n);
    sink.Fed += n;
    fw.Receive(block, n, sink);
    std::free(block);
  }
  // The proxy hangs up: a negotiation still under way fails then, one that ended stays ended.
  const bool open = fw.Negotiating();
  if (fw.PeerClosed(sink) != open || fw.Negotiating()) std::abort();
  if (sink.Ends != 1) std::abort();
  return 0;
}
