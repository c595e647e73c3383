// The host's calls that the in-process test peers (the scripted TFTP server, the simulated
// modem) and the tests' own host-side peers make: sockets on 127.0.0.0/8 with bounded waits,
// a wake-up for a thread that waits on them, and the process's id. The host-independent parts
// live in PeerHost.cpp, the host calls in one file per host (posix/, win32/).
//
// Independent of the product's socket layer on purpose: a peer that shared the code under test
// could hide its faults. Only LocalEndpoint and BroadcastFlag are meant for the product's
// sockets too, where a test checks through the host what the layer did.
//
// Threads: any; a socket is used by one thread at a time, except that TWaker::Wake may be
// called from any thread while another waits. Ownership: a TSocket owns its host socket and
// closes it at scope end (on Windows it also holds a start-up of the socket library for as
// long as it is open).
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace PeerHost {

// The host's socket: a descriptor or a SOCKET, as a number.
using THandle = intptr_t;
constexpr THandle kNoSocket = -1;

constexpr uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

// An IPv4 address and port, both in host byte order.
struct TEndpoint {
  uint32_t Address = kLoopback;
  uint16_t Port = 0;
};

// "a.b.c.d" with each part from 0 to 255; false for anything else.
bool ParseAddress(const std::string& text, uint32_t& address);
std::string AddressText(uint32_t address);
bool IsLoopback(uint32_t address);
// IsLoopback, with the reason in `failure` when it is not.
bool RequireLoopback(uint32_t address, std::string& failure);

class TSocket {
 public:
  TSocket() = default;
  explicit TSocket(THandle handle) : FHandle(handle) {}
  ~TSocket() { Close(); }
  TSocket(TSocket&& other) noexcept : FHandle(other.FHandle) { other.FHandle = kNoSocket; }
  TSocket& operator=(TSocket&& other) noexcept;
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;

  THandle Handle() const { return FHandle; }
  bool Valid() const { return FHandle != kNoSocket; }
  void Close();

 private:
  THandle FHandle = kNoSocket;
};

// A datagram socket bound to `at` (port 0: a free one), or a stream socket listening there
// with room for `backlog` connections not yet accepted. `reuseAddress` lets a fixed port be
// bound again while connections of an earlier listener linger. The address must be in
// 127.0.0.0/8. An invalid socket, with the reason in `failure`, when it cannot be made.
TSocket OpenDatagram(const TEndpoint& at, std::string& failure, bool reuseAddress = false);
TSocket Listen(const TEndpoint& at, int backlog, std::string& failure, bool reuseAddress = false);
// A stream socket bound to `at` that does not listen: its port is taken, and a connect to it
// is refused.
TSocket BindStream(const TEndpoint& at, std::string& failure);
// A stream socket connected to `to` (in 127.0.0.0/8); waits as long as the host's connect does.
TSocket Connect(const TEndpoint& to, std::string& failure);
TSocket Accept(THandle listener);

// Where a socket is bound, as the host reports it; a zero endpoint when it cannot say.
TEndpoint LocalEndpoint(THandle s);
// Whether SO_BROADCAST is on, as the host reads it.
bool BroadcastFlag(THandle s);

// Waits until one of `sockets` (at most four) is readable (for a stream: data, a pending
// connection, the peer's close or a failure). Returns the index of the first such socket in the list, or -1
// when `timeoutMs` ran out (a negative wait has no limit). kNoSocket entries are skipped.
int WaitReadable(std::initializer_list<THandle> sockets, int timeoutMs);
// Waits up to `timeoutMs` until `s` is writable or its connect has failed.
bool WaitWritable(THandle s, int timeoutMs);

// Datagrams: ReceiveFrom returns the length (-1 on failure) and names the sender.
int ReceiveFrom(THandle s, char* buffer, size_t size, TEndpoint* from);
bool SendTo(THandle s, const char* data, size_t size, const TEndpoint& to);
// The next datagram within timeoutMs; false when none came.
bool ReceiveDatagram(THandle s, std::string& packet, TEndpoint* from, int timeoutMs);

// Streams: the count of bytes moved, 0 for the peer's close, -1 on failure. A send to a peer
// that has gone fails; it never raises a signal.
int Send(THandle s, const char* data, size_t size);
int Receive(THandle s, char* buffer, size_t size);
// Makes the socket's close reset the connection (a zero linger).
bool ResetOnClose(THandle s);

// The host's text for the last failed call of this thread.
std::string LastErrorText();

// A wake-up for a thread waiting in WaitReadable: a datagram socket on a free loopback port,
// which turns readable (and stays so) once it has sent itself a datagram.
class TWaker {
 public:
  // False, with the reason in `failure`, when its socket cannot be made.
  bool Open(std::string& failure);
  void Close() { FSocket.Close(); }
  THandle Handle() const { return FSocket.Handle(); }
  void Wake();

 private:
  TSocket FSocket;
};

uint32_t ProcessId();
// The machine's name as the host reports it; empty when it cannot say.
std::string HostName();

}  // namespace PeerHost
