#include "CliInterrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace CliInterrupt {

namespace {

// Written before the handler can need them, read by the handler only.
std::atomic<int> GMode{omText};
std::atomic<bool> GUploading{false};
std::atomic<bool> GAfterBar{false};
std::atomic<int64_t> GTotal{0};
std::atomic<int64_t> GSent{0};
static_assert(std::atomic<int64_t>::is_always_lock_free, "the handler reads the counters");

// Async-signal-safe pieces of the one line the handler writes.
struct TLine {
  char Text[256];
  int Length = 0;
  void Add(const char* s) {
    while (*s && Length < static_cast<int>(sizeof Text)) Text[Length++] = *s++;
  }
  void Add(int64_t v) {
    char digits[24];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v > 0 && n < static_cast<int>(sizeof digits));
    while (n > 0 && Length < static_cast<int>(sizeof Text)) Text[Length++] = digits[--n];
  }
};

void AddSentOfTotal(TLine& line, int64_t sent, int64_t total) {
  line.Add(sent);
  line.Add(" of ");
  line.Add(total);
}

void OnSignal(int signo) {
  const bool uploading = GUploading.load();
  const int64_t sent = GSent.load();
  const int64_t total = GTotal.load();
  TLine line;
  if (GMode.load() == omJson) {
    line.Add("{\"event\":\"result\",\"exit\":130,\"status\":\"interrupted\",\"message\":\"interrupted: ");
    if (uploading) {
      AddSentOfTotal(line, sent, total);
      line.Add(" bytes sent\",\"sent\":");
      line.Add(sent);
      line.Add(",\"total\":");
      line.Add(total);
      line.Add("}\n");
    } else {
      line.Add("nothing was sent\"}\n");
    }
    (void)!::write(1, line.Text, static_cast<size_t>(line.Length));
  } else {
    if (GAfterBar.load()) line.Add("\n");
    line.Add("norvane-upgrade: interrupted: ");
    if (uploading) {
      AddSentOfTotal(line, sent, total);
      line.Add(" bytes were sent; the modem holds an incomplete file\n");
    } else {
      line.Add("nothing was sent\n");
    }
    (void)!::write(2, line.Text, static_cast<size_t>(line.Length));
  }
  // The signal is blocked while its handler runs: raised again with the default action, it
  // ends the process as soon as the handler returns.
  ::signal(signo, SIG_DFL);
  ::raise(signo);
}

}  // namespace

void Arm(TCliOutputMode mode) {
  GMode.store(mode);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaddset(&sa.sa_mask, SIGINT);
  sigaddset(&sa.sa_mask, SIGTERM);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

void UploadStarted(int64_t total, bool afterBar) {
  GTotal.store(total);
  GSent.store(0);
  GAfterBar.store(afterBar);
  GUploading.store(true);
}

void Sent(int64_t bytes) { GSent.store(bytes, std::memory_order_relaxed); }

}  // namespace CliInterrupt
