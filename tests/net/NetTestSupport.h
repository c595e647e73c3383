// Shared by the network tests: a component that keeps the socket stack alive, a scope that
// registers another stack class, a recorder of work events, host-side UDP peers on loopback,
// temporary files.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Files.h"
#include "NetComponent.h"
#include "NetStack.h"
#include "NetStackWindows.h"
#include "PeerHost.h"
#include "TempDir.h"

namespace NetTest {

// Registers a stack class for the scope; the stack in use changes only when the count of live
// components next passes 0.
class TStackClassScope {
 public:
  explicit TStackClassScope(TNetStackClass c) : FPrevious(NetStackState().SetStackClass(c)) {}
  ~TStackClassScope() { NetStackState().SetStackClass(FPrevious); }

 private:
  TNetStackClass FPrevious;
};

// Keeps StackInstance alive for tests of the stack and the socket handle.
class StackTest : public ::testing::Test {
 protected:
  TNetComponent FKeeper{nullptr};
  TNetStack& Stack() { return *NetStackState().StackInstance(); }
};

// Every work event of a component, in order, as text ("begin 100", "work 40", "end").
struct TWorkLog {
  std::vector<std::string> Events;
  std::vector<int32_t> Counts;  // the AWorkCount of each OnWork
  void Attach(TNetComponent& c) {
    c.OnWorkBegin = [this](TObject*, TWorkMode m, int32_t n) {
      Events.push_back(std::string(m == wmWrite ? "write " : "read ") + "begin " + std::to_string(n));
    };
    c.OnWork = [this](TObject*, TWorkMode m, int32_t n) {
      Events.push_back(std::string(m == wmWrite ? "write " : "read ") + "work " + std::to_string(n));
      Counts.push_back(n);
    };
    c.OnWorkEnd = [this](TObject*, TWorkMode m) {
      Events.push_back(std::string(m == wmWrite ? "write " : "read ") + "end");
    };
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& e : Events)
      if (e.rfind(prefix, 0) == 0) ++n;
    return n;
  }
};

// A host datagram socket bound to 127.0.0.1 on a free port.
class THostPeer {
 public:
  THostPeer() {
    std::string failure;
    FSocket = PeerHost::OpenDatagram(PeerHost::TEndpoint{}, failure);
    if (!FSocket.Valid()) ADD_FAILURE() << failure;
    FPort = PeerHost::LocalEndpoint(FSocket.Handle()).Port;
  }

  uint16_t Port() const { return FPort; }
  void SendTo(uint16_t port, const std::string& data) {
    PeerHost::SendTo(FSocket.Handle(), data.data(), data.size(), PeerHost::TEndpoint{PeerHost::kLoopback, port});
  }
  // False when nothing came within timeoutMs.
  bool Receive(std::string& data, uint16_t& fromPort, int timeoutMs = 3000) {
    PeerHost::TEndpoint from;
    if (!PeerHost::ReceiveDatagram(FSocket.Handle(), data, &from, timeoutMs)) return false;
    fromPort = from.Port;
    return true;
  }

 private:
  PeerHost::TSocket FSocket;
  uint16_t FPort = 0;
};

using RealPeers::TTempDir;

// Bytes that differ from block to block and from one wrap of the block numbers to the next.
inline std::string PatternBytes(size_t n, uint32_t seed = 1) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(x >> 24);
  }
  return s;
}

inline int64_t MsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace NetTest
