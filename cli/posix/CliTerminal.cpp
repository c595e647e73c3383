#include "CliTerminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

int TerminalColumns(int fd, int fallback) {
  winsize ws{};
  if (::ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return fallback;
}

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}
