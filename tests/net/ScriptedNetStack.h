// A socket stack with no sockets behind it, for the tests and the fuzz target: the datagrams a
// server would send are queued replies, and every datagram the client sends is recorded (and
// may queue the next replies through OnSend). A wait finds a datagram when one is queued and
// otherwise runs out at once, so no test waits on the clock.
//
// Threads: the test's thread only. Register it with NetStackState().SetStackClass before the
// first component is made; reach the instance through Current().
#pragma once
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "NetStack.h"
#include "NetStackWindows.h"

namespace NetTest {

class TScriptedNetStack : public TNetStackWindows {
 public:
  struct TReply {
    std::string Bytes;
    uint16_t FromPort = 3000;
    std::string FromAddress = "127.0.0.1";
  };
  struct TSent {
    std::string Bytes;
    std::string Address;
    uint16_t Port;
  };

  std::deque<TReply> Replies;
  std::vector<TSent> Sent;
  // Called after each send is recorded; may queue replies.
  std::function<void(TScriptedNetStack&, const TSent&)> OnSend;
  bool KeepSent = true;        // long transfers may keep only what OnSend looks at
  uint16_t LastFromPort = 0;   // sender port of the latest datagram delivered
  uint16_t FirstFromPort = 0;  // sender port of the first datagram delivered

  static TScriptedNetStack& Current() { return static_cast<TScriptedNetStack&>(*NetStackState().StackInstance()); }
  static std::unique_ptr<TNetStack> Make() { return std::make_unique<TScriptedNetStack>(); }

  void Queue(std::string bytes, uint16_t fromPort = 3000) { Replies.push_back(TReply{std::move(bytes), fromPort}); }

  TNetSocket Socket(int, int, int) override { return ++FNextSocket; }
  int Shutdown(TNetSocket, int) override { return 0; }
  int CloseSocket(TNetSocket) override { return 0; }
  int SetSockOpt(TNetSocket, int, int, const void*, int) override { return 0; }
  std::string LookupHostName(const std::string&) override { return "127.0.0.1"; }

  int Select(TNetSocketList* readList, TNetSocketList* writeList, int, TNetSocketList* errorList) override {
    if (writeList) writeList->clear();
    if (errorList) errorList->clear();
    if (!readList) return 0;
    if (Replies.empty() || readList->empty()) {
      readList->clear();
      return 0;
    }
    readList->resize(1);
    return 1;
  }

  int RecvFrom(TNetSocket, void* buffer, int length, int, std::string& fromAddress, uint16_t& fromPort) override {
    if (Replies.empty()) {
      Winsock::SetLastError(Winsock::WSAEWOULDBLOCK);
      return -1;
    }
    TReply r = std::move(Replies.front());
    Replies.pop_front();
    fromAddress = r.FromAddress;
    fromPort = r.FromPort;
    LastFromPort = r.FromPort;
    if (FirstFromPort == 0) FirstFromPort = r.FromPort;
    if (r.Bytes.size() > static_cast<size_t>(length)) {
      Winsock::SetLastError(Winsock::WSAEMSGSIZE);  // consumed and refused, as the platform does
      return -1;
    }
    if (!r.Bytes.empty()) std::memcpy(buffer, r.Bytes.data(), r.Bytes.size());
    return static_cast<int>(r.Bytes.size());
  }

  int SendTo(TNetSocket, const void* buffer, int length, int, const std::string& address, uint16_t port) override {
    TSent s{std::string(static_cast<const char*>(buffer), static_cast<size_t>(length)), address, port};
    if (OnSend) OnSend(*this, s);
    if (KeepSent) Sent.push_back(std::move(s));
    return length;
  }

 private:
  TNetSocket FNextSocket = 100;
};

}  // namespace NetTest
