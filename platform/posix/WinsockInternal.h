// Internal: what the socket layer's units share (Winsock.cpp, WinsockSelect.cpp,
// WinsockOptions.cpp, WinsockNames.cpp, WinsockAsync.cpp). Not for the subsystems.
//
// The socket table holds, per socket made by Socket(), what the host does not remember for us:
// whether a non-blocking connect is under way, an error that the notifier took from the host
// (so that the program's next call still reports it), and the AsyncSelect registration.
// Any thread may use the table under its lock; an AsyncSelect registration is touched on the
// user-interface thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "LoopWait.h"
#include "LoopWatch.h"
#include "Winsock.h"
#include "WinsockCommon.h"

namespace Winsock::Detail {

int FailErrno(int posixErrno);
// The host descriptor of `s` when the layer is started and `s` can name one; otherwise sets
// the last error (10093 or 10038) and returns -1.
int DescriptorOf(TSocket s);
// fstat-based: false for closed descriptors and for files, pipes, ...
bool IsSocketDescriptor(int fd);

enum class TConnectPhase : uint8_t { cpNone, cpConnecting };

// A connection attempt that gets no answer fails with WSAETIMEDOUT after this long, as on
// Windows (three SYNs: a 3-second timeout, doubled twice). The host's own limit is far longer
// (Linux: six retransmissions, over two minutes), and a per-socket TCP_SYNCNT cannot give 21 s
// (its timeouts start at one second: 7, 15 or 31 s), so the layer keeps its own deadline and
// ends the host's attempt when it passes.
constexpr int64_t kConnectTimeoutMs = 21000;

// Maps a POSIX errno value to its Windows Sockets number (unknown values map to WSAEINVAL...).
int ErrorFromErrno(int posixErrno);

bool HasPeer(int fd);
// Makes the host drop a connection attempt under way, without a packet to the peer.
void AbortConnect(int fd);

// A socket's AsyncSelect registration (WinsockAsync.cpp). Each event is armed until its
// notification is posted, and re-armed the way Windows re-arms it.
struct TAsyncSelect {
  HWND Wnd = 0;
  uint32_t Msg = 0;
  uint32_t Events = 0;
  bool Connected = false;  // stream sockets: a connection is established
  bool ReadArmed = false;
  bool WriteArmed = false;
  bool ConnectArmed = false;
  bool CloseArmed = false;
  bool Stalled = false;  // ready with nothing to report: not polled until the next call
  TLoopHandle Watch;
  TLoopHandle ConnectTimer;  // fires at the connect deadline while a connect is under way
};

struct TSocketState {
  bool Datagram = false;
  TConnectPhase Connect = TConnectPhase::cpNone;
  int PendingError = 0;         // POSIX errno taken from the host by the notifier
  int64_t ConnectDeadline = 0;  // MonotonicMs() when a connect under way times out
  std::unique_ptr<TAsyncSelect> Async;
};

struct TSocketTable {
  std::mutex Lock;
  std::unordered_map<int, TSocketState> Sockets;
  // Caller holds Lock.
  TSocketState* Find(int fd) {
    auto it = Sockets.find(fd);
    return it == Sockets.end() ? nullptr : &it->second;
  }
};
TSocketTable& SocketTable();

// Re-arming hooks called by the socket calls, with the table lock held (WinsockAsync.cpp).
void AsyncRecvCalled(TSocketState& st);
void AsyncSendBlocked(TSocketState& st);
void AsyncConnectCalled(int fd, TSocketState& st, bool established);

// Ends a connect under way whose deadline has passed: the host stops trying and the socket
// holds WSAETIMEDOUT for whoever asks next. Returns whether it did. Caller holds the lock.
bool ExpireConnect(int fd, TSocketState& st);

}  // namespace Winsock::Detail
