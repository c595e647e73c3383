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

// The distinct sockets of one select call, each polled once for what any of the sets asks.
struct TSelectPoll {
  TFdSet* Sets[3];
  pollfd Polled[3 * FD_SETSIZE];
  uint8_t Asked[3 * FD_SETSIZE] = {};
  uint8_t Ready[3 * FD_SETSIZE] = {};
  uint8_t Slot[3][FD_SETSIZE];  // entry of each set member in Polled
  int Count = 0;
};

const uint8_t kSetMeaning[3] = {rdRead, rdWrite, rdError};

// Builds the host's poll set from the three sets; 0, or SOCKET_ERROR with the error set.
int GatherSets(TSelectPoll& p) {
  const short interest[3] = {POLLIN, POLLOUT, POLLPRI};
  int members = 0;
  for (int k = 0; k < 3; ++k) {
    const TFdSet* set = p.Sets[k];
    if (!set) continue;
    if (set->fd_count > static_cast<uint32_t>(FD_SETSIZE)) return Fail(WSAEINVAL);
    for (uint32_t i = 0; i < set->fd_count; ++i) {
      TSocket s = set->fd_array[i];
      if (s < 0 || s > INT_MAX) return Fail(WSAENOTSOCK);
      int j = 0;
      while (j < p.Count && p.Polled[j].fd != static_cast<int>(s)) ++j;
      if (j == p.Count) p.Polled[p.Count++] = pollfd{static_cast<int>(s), 0, 0};
      p.Polled[j].events = static_cast<short>(p.Polled[j].events | interest[k]);
      p.Asked[j] |= kSetMeaning[k];
      p.Slot[k][i] = static_cast<uint8_t>(j);
      ++members;
    }
  }
  // Windows refuses to use select as a plain sleep.
  return members == 0 ? Fail(WSAEINVAL) : 0;
}

enum class TPollOutcome : uint8_t { poNoneReady, poReady, poNotSocket };

// Records what the last poll found in Ready, in Windows' meaning.
TPollOutcome TakeReadiness(TSelectPoll& p) {
  bool any = false;
  std::lock_guard<std::mutex> g(SocketTable().Lock);
  for (int j = 0; j < p.Count; ++j) {
    pollfd& pf = p.Polled[j];
    if (!pf.revents) continue;
    if (pf.revents & POLLNVAL) return TPollOutcome::poNotSocket;
    TSocketState* st = SocketTable().Find(pf.fd);
    const bool connecting = st && st->Connect == TConnectPhase::cpConnecting;
    p.Ready[j] = Readiness(pf.revents, connecting) & p.Asked[j];
    // Under AsyncSelect the notifier settles the connect: it still owes FD_CONNECT.
    if (connecting && (p.Ready[j] & rdWrite) && !st->Async) st->Connect = TConnectPhase::cpNone;
    if (p.Ready[j])
      any = true;
    else
      pf.fd = -1;  // e.g. a failed connect asked about as writable only: it never will be
  }
  return any ? TPollOutcome::poReady : TPollOutcome::poNoneReady;
}

// Waits until a socket is ready or waitMs (-1: no limit) has passed; 0, or SOCKET_ERROR.
int WaitReady(TSelectPoll& p, int64_t waitMs) {
  const int64_t deadline = waitMs < 0 ? 0 : MonotonicMs() + waitMs;
  for (;;) {
    int64_t slice = waitMs >= 0 ? std::max<int64_t>(deadline - MonotonicMs(), 0) : -1;
    // A connect under way gives up at its own deadline, also while select waits for it.
    const int64_t connectLeft = ExpireConnects(p.Polled, p.Count);
    if (connectLeft >= 0 && (slice < 0 || connectLeft < slice)) slice = connectLeft;
    int r = ::poll(p.Polled, static_cast<nfds_t>(p.Count), static_cast<int>(std::min<int64_t>(slice, INT_MAX)));
    // A signal is no reason to return early (Windows knows none): wait out the rest.
    if (r < 0 && errno != EINTR) return FailErrno(errno);
    if (r > 0) {
      const TPollOutcome outcome = TakeReadiness(p);
      if (outcome == TPollOutcome::poNotSocket) return Fail(WSAENOTSOCK);
      if (outcome == TPollOutcome::poReady) return 0;
    }
    if (waitMs >= 0 && MonotonicMs() >= deadline) return 0;
  }
}

// Leaves in each set only its ready members; returns how many are left in all three.
int WriteBack(TSelectPoll& p) {
  int count = 0;
  for (int k = 0; k < 3; ++k) {
    TFdSet* set = p.Sets[k];
    if (!set) continue;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < set->fd_count; ++i)
      if (p.Ready[p.Slot[k][i]] & kSetMeaning[k]) set->fd_array[kept++] = set->fd_array[i];
    set->fd_count = kept;
    count += static_cast<int>(kept);
  }
  return count;
}

}  // namespace

int Select(TFdSet* readSet, TFdSet* writeSet, TFdSet* errorSet, const TTimeVal* timeout) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  TSelectPoll p{{readSet, writeSet, errorSet}};
  if (GatherSets(p) != 0) return SOCKET_ERROR;
  int64_t waitMs = -1;
  if (timeout) {
    if (timeout->tv_sec < 0 || timeout->tv_usec < 0) return Fail(WSAEINVAL);
    const int64_t secs = std::min<int64_t>(timeout->tv_sec, INT64_MAX / 4000);
    waitMs = secs * 1000 + (static_cast<int64_t>(timeout->tv_usec) + 999) / 1000;
  }
  if (WaitReady(p, waitMs) != 0) return SOCKET_ERROR;
  return WriteBack(p);
}

}  // namespace Winsock
