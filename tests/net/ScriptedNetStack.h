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
  bool KeepSent = true;  // long transfers may keep only what OnSend looks at
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

  int Select(TNetSocketList* AReadList, TNetSocketList* AWriteList, int, TNetSocketList* AErrorList) override {
    if (AWriteList) AWriteList->clear();
    if (AErrorList) AErrorList->clear();
    if (!AReadList) return 0;
    if (Replies.empty() || AReadList->empty()) {
      AReadList->clear();
      return 0;
    }
    AReadList->resize(1);
    return 1;
  }

  int RecvFrom(TNetSocket, void* ABuffer, int ALength, int, std::string& AFromAddress, uint16_t& AFromPort) override {
    if (Replies.empty()) {
      Winsock::SetLastError(Winsock::WSAEWOULDBLOCK);
      return -1;
    }
    TReply r = std::move(Replies.front());
    Replies.pop_front();
    AFromAddress = r.FromAddress;
    AFromPort = r.FromPort;
    LastFromPort = r.FromPort;
    if (FirstFromPort == 0) FirstFromPort = r.FromPort;
    if (r.Bytes.size() > static_cast<size_t>(ALength)) {
      Winsock::SetLastError(Winsock::WSAEMSGSIZE);  // consumed and refused, as the platform does
      return -1;
    }
    if (!r.Bytes.empty()) std::memcpy(ABuffer, r.Bytes.data(), r.Bytes.size());
    return static_cast<int>(r.Bytes.size());
  }

  int SendTo(TNetSocket, const void* ABuffer, int ALength, int, const std::string& AAddress, uint16_t APort) override {
    TSent s{std::string(static_cast<const char*>(ABuffer), static_cast<size_t>(ALength)), AAddress, APort};
    if (OnSend) OnSend(*this, s);
    if (KeepSent) Sent.push_back(std::move(s));
    return ALength;
  }

 private:
  TNetSocket FNextSocket = 100;
};

}  // namespace NetTest
