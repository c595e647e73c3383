#include "CliTerminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

// The streams' numbers are their descriptors here.
bool IsTerminal(TCliStream stream) { return ::isatty(stream) == 1; }

int TerminalColumns(TCliStream stream, int fallback) {
  winsize ws{};
  if (::ioctl(stream, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return fallback;
}

void WriteAll(TCliStream stream, std::string_view text) {
  const int fd = stream;
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}
