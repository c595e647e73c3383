#include "CliTerminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

bool IsTerminal(int AFd) { return ::isatty(AFd) == 1; }

int TerminalColumns(int AFd, int AFallback) {
  winsize ws{};
  if (::ioctl(AFd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return AFallback;
}

void WriteAll(int AFd, std::string_view AText) {
  while (!AText.empty()) {
    const ssize_t n = ::write(AFd, AText.data(), AText.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    AText.remove_prefix(static_cast<size_t>(n));
  }
}
