#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "LoopWait.h"
#include "LoopWatch.h"

struct TLoopWait::THost {
  int WakeRead = -1;
  int WakeWrite = -1;
  std::vector<pollfd> Poll;  // kept between waits so that waiting allocates nothing
};

TLoopWait::TLoopWait() : FHost(std::make_unique<THost>()) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    FHost->WakeRead = fds[0];
    FHost->WakeWrite = fds[1];
  }
}

TLoopWait::~TLoopWait() {
  if (FHost->WakeRead >= 0) close(FHost->WakeRead);
  if (FHost->WakeWrite >= 0) close(FHost->WakeWrite);
}

void TLoopWait::Wake() {
  if (FHost->WakeWrite < 0) return;
  char b = 1;
  // A full pipe already wakes the waiter; the result does not matter.
  [[maybe_unused]] ssize_t n = write(FHost->WakeWrite, &b, 1);
}

void TLoopWait::Wait(std::vector<TWaitItem>& items, int timeoutMs) {
  std::vector<pollfd>& p = FHost->Poll;
  p.clear();
  p.push_back(pollfd{FHost->WakeRead, POLLIN, 0});
  for (TWaitItem& it : items) {
    short ev = 0;
    if (it.interest & weRead) ev |= POLLIN;
    if (it.interest & weWrite) ev |= POLLOUT;
    if (it.interest & wePeerClosed) ev |= POLLRDHUP;
    // No interest: leave the descriptor out, so that a hang-up nobody asked about cannot spin.
    p.push_back(pollfd{it.interest ? static_cast<int>(it.handle) : -1, ev, 0});
    it.ready = 0;
  }
  int r;
  do {
    r = poll(p.data(), p.size(), timeoutMs);
  } while (r < 0 && errno == EINTR && timeoutMs < 0);  // a bounded wait just returns early
  if (r <= 0) return;
  if (p[0].revents & POLLIN) {
    char buf[64];
    while (read(FHost->WakeRead, buf, sizeof buf) > 0) {
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    short rev = p[i + 1].revents;
    uint16_t ready = 0;
    if (rev & POLLIN) ready |= weRead;
    if (rev & POLLOUT) ready |= weWrite;
    if (rev & (POLLRDHUP | POLLHUP)) ready |= wePeerClosed;
    if (rev & (POLLERR | POLLNVAL)) ready |= weError;
    items[i].ready = ready;
  }
}
