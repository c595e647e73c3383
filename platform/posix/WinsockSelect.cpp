// Descriptor sets and select, over poll(2): the host's fd_set cannot hold descriptors from 1024
// up, and a set here names at most 64 sockets anyway.
#include "HostSockets.h"  // first: see there

#include <algorithm>
#include <cerrno>
#include <climits>

#include "Winsock.h"
#include "WinsockInternal.h"

namespace Winsock {

using namespace Detail;

void FdZero(TFdSet& set) { set.fd_count = 0; }

bool FdSet(TSocket s, TFdSet& set) {
  if (FdIsSet(s, set)) return true;
  if (set.fd_count >= static_cast<uint32_t>(FD_SETSIZE)) return false;
  set.fd_array[set.fd_count++] = s;
  return true;
}

bool FdIsSet(TSocket s, const TFdSet& set) {
  const uint32_t n = std::min<uint32_t>(set.fd_count, FD_SETSIZE);
  return std::find(set.fd_array, set.fd_array + n, s) != set.fd_array + n;
}

namespace {

enum : uint8_t { rdRead = 1, rdWrite = 2, rdError = 4 };

// Windows' meaning of the three sets: readable also when the connection was closed or reset;
// writable once a non-blocking connect succeeded; "error" when it failed, or for urgent data.
uint8_t Readiness(short revents, bool connecting) {
  const bool failed = (revents & (POLLERR | POLLHUP)) != 0;
  uint8_t r = 0;
  if (connecting) {
    if (failed) return rdError;
    if (revents & POLLOUT) r |= rdWrite;
  } else {
    if (revents & (POLLIN | POLLHUP | POLLERR)) r |= rdRead;
    if (revents & POLLOUT) r |= rdWrite;
  }
  if (revents & POLLPRI) r |= rdError;
  return r;
}

// Ends the connects among the polled sockets whose deadline has passed (the poll then reports
// them failed at once); returns the ms until the next such deadline, or -1 when none is set.
int64_t ExpireConnects(const pollfd* pf, int n) {
  int64_t soonest = -1;
  std::lock_guard<std::mutex> g(SocketTable().Lock);
  for (int j = 0; j < n; ++j) {
    TSocketState* st = pf[j].fd < 0 ? nullptr : SocketTable().Find(pf[j].fd);
    if (!st || st->Connect != TConnectPhase::cpConnecting || st->ConnectDeadline == 0) continue;
    if (ExpireConnect(pf[j].fd, *st)) continue;
    const int64_t left = std::max<int64_t>(st->ConnectDeadline - MonotonicMs(), 0);
    if (st->ConnectDeadline != 0 && (soonest < 0 || left < soonest)) soonest = left;
  }
  return soonest;
}

}  // namespace

int Select(TFdSet* readSet, TFdSet* writeSet, TFdSet* errorSet, const TTimeVal* timeout) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  TFdSet* sets[3] = {readSet, writeSet, errorSet};
  const short interest[3] = {POLLIN, POLLOUT, POLLPRI};
  const uint8_t meaning[3] = {rdRead, rdWrite, rdError};
  pollfd pf[3 * FD_SETSIZE];
  uint8_t asked[3 * FD_SETSIZE] = {};
  uint8_t slot[3][FD_SETSIZE];  // entry of each set member in pf
  int n = 0;
  int members = 0;
  for (int k = 0; k < 3; ++k) {
    if (!sets[k]) continue;
    if (sets[k]->fd_count > static_cast<uint32_t>(FD_SETSIZE)) return Fail(WSAEINVAL);
    for (uint32_t i = 0; i < sets[k]->fd_count; ++i) {
      TSocket s = sets[k]->fd_array[i];
      if (s < 0 || s > INT_MAX) return Fail(WSAENOTSOCK);
      int j = 0;
      while (j < n && pf[j].fd != static_cast<int>(s)) ++j;
      if (j == n) pf[n++] = pollfd{static_cast<int>(s), 0, 0};
      pf[j].events |= interest[k];
      asked[j] |= meaning[k];
      slot[k][i] = static_cast<uint8_t>(j);
      ++members;
    }
  }
  // Windows refuses to use select as a plain sleep.
  if (members == 0) return Fail(WSAEINVAL);

  int64_t waitMs = -1;
  if (timeout) {
    if (timeout->tv_sec < 0 || timeout->tv_usec < 0) return Fail(WSAEINVAL);
    const int64_t secs = std::min<int64_t>(timeout->tv_sec, INT64_MAX / 4000);
    waitMs = secs * 1000 + (static_cast<int64_t>(timeout->tv_usec) + 999) / 1000;
  }
  const int64_t deadline = waitMs < 0 ? 0 : MonotonicMs() + waitMs;
  uint8_t ready[3 * FD_SETSIZE] = {};
  for (;;) {
    int64_t slice = waitMs >= 0 ? std::max<int64_t>(deadline - MonotonicMs(), 0) : -1;
    // A connect under way gives up at its own deadline, also while select waits for it.
    const int64_t connectLeft = ExpireConnects(pf, n);
    if (connectLeft >= 0 && (slice < 0 || connectLeft < slice)) slice = connectLeft;
    int r = ::poll(pf, static_cast<nfds_t>(n), static_cast<int>(std::min<int64_t>(slice, INT_MAX)));
    // A signal is no reason to return early (Windows knows none): wait out the rest.
    if (r < 0 && errno != EINTR) return FailErrno(errno);
    if (r > 0) {
      bool any = false;
      std::lock_guard<std::mutex> g(SocketTable().Lock);
      for (int j = 0; j < n; ++j) {
        if (!pf[j].revents) continue;
        if (pf[j].revents & POLLNVAL) return Fail(WSAENOTSOCK);
        TSocketState* st = SocketTable().Find(pf[j].fd);
        const bool connecting = st && st->Connect == TConnectPhase::cpConnecting;
        ready[j] = Readiness(pf[j].revents, connecting) & asked[j];
        // Under AsyncSelect the notifier settles the connect: it still owes FD_CONNECT.
        if (connecting && (ready[j] & rdWrite) && !st->Async) st->Connect = TConnectPhase::cpNone;
        if (ready[j])
          any = true;
        else
          pf[j].fd = -1;  // e.g. a failed connect asked about as writable only: it never will be
      }
      if (any) break;
    }
    if (waitMs >= 0 && MonotonicMs() >= deadline) break;
  }
  int count = 0;
  for (int k = 0; k < 3; ++k) {
    if (!sets[k]) continue;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < sets[k]->fd_count; ++i)
      if (ready[slot[k][i]] & meaning[k]) sets[k]->fd_array[kept++] = sets[k]->fd_array[i];
    sets[k]->fd_count = kept;
    count += static_cast<int>(kept);
  }
  return count;
}

}  // namespace Winsock
