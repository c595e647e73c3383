// Shared by the telnet tests: free and stuck ports on loopback, an engine instance driven
// through its C entry points that records its events, and pumping against a deadline, so that a
// test fails instead of hanging. The peers that run as processes of their own are in
// TnPeerProcesses.h.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "HostPeer.h"
#include "MessagePump.h"
#include "PeerHost.h"
#include "TnEngine.h"
#include "TnInstance.h"
#include "TnTelnet.h"
#include "Watchdog.h"

namespace TnTest {

// A free TCP port on 127.0.0.1 (bound once and let go).
inline uint16_t FreePort() {
  std::string failure;
  const PeerHost::TSocket s = PeerHost::Listen(PeerHost::TEndpoint{}, 1, failure);
  return s.Valid() ? PeerHost::LocalEndpoint(s.Handle()).Port : 0;
}

using WinsockTest::TStuckListener;

inline std::string Hex(const std::string& s) {
  std::string out;
  char b[4];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02x", c);
    out += b;
  }
  return out;
}

// One recorded engine event.
struct TEvent {
  int Id = 0;
  std::vector<intptr_t> Values;
  std::vector<std::string> Texts;  // per argument: the NUL-terminated text or the byte block
  std::string Show() const;
};

// An engine instance used through its entry points, recording every event it raises.
class TEngine {
 public:
  TEngine() { H = Telnet_Create(&TEngine::Proc, this, nullptr); }
  ~TEngine() {
    if (H) Telnet_Destroy(H);
  }
  TEngine(const TEngine&) = delete;
  TEngine& operator=(const TEngine&) = delete;

  int Set(int id, intptr_t v) { return Telnet_Set(H, id, 0, v, 0); }
  int SetText(int id, const std::string& s) { return Telnet_Set(H, id, 0, reinterpret_cast<intptr_t>(s.c_str()), 0); }
  int SetBytes(int id, const std::string& s) {
    return Telnet_Set(H, id, 0, reinterpret_cast<intptr_t>(s.data()), static_cast<int>(s.size()));
  }
  intptr_t Get(int id) { return Telnet_Get(H, id, 0, nullptr); }
  std::string GetText(int id) {
    const char* p = reinterpret_cast<const char*>(Get(id));
    return p ? p : "";
  }
  int Connect(const std::string& host) {
    intptr_t v[2] = {reinterpret_cast<intptr_t>(host.c_str()), 0};
    int l[2] = {0, 0};
    return Telnet_Do(H, tnmConnect, 1, v, l);
  }
  int Disconnect() {
    intptr_t v[2] = {0, 0};
    int l[2] = {0, 0};
    return Telnet_Do(H, tnmDisconnect, 0, v, l);
  }
  int Send(const std::string& s) {
    intptr_t v[2] = {reinterpret_cast<intptr_t>(s.data()), 0};
    int l[2] = {static_cast<int>(s.size()), 0};
    return Telnet_Do(H, tnmSend, 1, v, l);
  }
  // Runs ConfigSetting; `result` gets the text handed back.
  int Config(const std::string& text, std::string* result = nullptr) {
    intptr_t v[2] = {reinterpret_cast<intptr_t>(text.c_str()), 0};
    int l[2] = {0, 0};
    const int r = Telnet_Do(H, tnmConfigSetting, 1, v, l);
    if (result) *result = v[1] ? reinterpret_cast<const char*>(v[1]) : "<null>";
    return r;
  }
  std::string Setting(const std::string& name) {
    std::string r;
    Config(name, &r);
    return r;
  }
  std::string LastError() { return Telnet_GetLastError(H); }

  // The events recorded, as text, OnReadyToSend left out unless asked for.
  std::vector<std::string> Shown(bool withReady = false) const {
    std::vector<std::string> out;
    for (const TEvent& e : Events)
      if (withReady || e.Id != tnevReadyToSend) out.push_back(e.Show());
    return out;
  }
  // All OnDataIn bytes in order.
  std::string Data() const {
    std::string out;
    for (const TEvent& e : Events)
      if (e.Id == tnevDataIn) out += e.Texts[0];
    return out;
  }
  bool Has(int id) const {
    for (const TEvent& e : Events)
      if (e.Id == id) return true;
    return false;
  }
  // Pumps the thread's messages until `cond` holds or `ms` passes.
  bool PumpUntil(const std::function<bool()>& cond, int ms = 5000) { return PumpMessagesUntil(cond, ms); }

  TTnHandle H = nullptr;
  std::vector<TEvent> Events;
  std::function<void(const TEvent&)> OnEvent;

 private:
  static int Proc(void* user, int id, int argc, const intptr_t* argv, const int* argl) {
    auto* self = static_cast<TEngine*>(user);
    TEvent e;
    e.Id = id;
    for (int i = 0; i < argc; ++i) {
      e.Values.push_back(argv[i]);
      std::string t;
      const bool bytes = id == tnevDataIn || id == tnevSubOption;
      const bool text = (id == tnevConnected || id == tnevDisconnected || id == tnevError) ? i == 1
                        : id == tnevConnectionStatus                                       ? i != 1
                                                                                           : false;
      if (bytes) {
        // The engine promises a NUL after the block during the call.
        EXPECT_EQ(reinterpret_cast<const char*>(argv[i])[argl[i]], '\0') << "no NUL after the block of event " << id;
        t.assign(reinterpret_cast<const char*>(argv[i]), static_cast<size_t>(argl[i]));
      } else if (text) {
        t = reinterpret_cast<const char*>(argv[i]);
      }
      e.Texts.push_back(t);
    }
    self->Events.push_back(e);
    if (self->OnEvent) self->OnEvent(self->Events.back());
    return 0;
  }
};

inline std::string TEvent::Show() const {
  auto v = [&](size_t i) { return i < Values.size() ? std::to_string(Values[i]) : std::string("?"); };
  auto t = [&](size_t i) { return i < Texts.size() ? Texts[i] : std::string("?"); };
  switch (Id) {
    case tnevCommand: return "Command(" + v(0) + ")";
    case tnevConnected: return "Connected(" + v(0) + "," + t(1) + ")";
    case tnevConnectionStatus: return "Status(" + t(0) + "," + v(1) + "," + t(2) + ")";
    case tnevDataIn: return "DataIn(" + t(0) + ")";
    case tnevDisconnected: return "Disconnected(" + v(0) + "," + t(1) + ")";
    case tnevDo: return "Do(" + v(0) + ")";
    case tnevDont: return "Dont(" + v(0) + ")";
    case tnevError: return "Error(" + v(0) + "," + t(1) + ")";
    case tnevReadyToSend: return "ReadyToSend";
    case tnevSubOption: return "SubOption(" + Hex(t(0)) + ")";
    case tnevWill: return "Will(" + v(0) + ")";
    case tnevWont: return "Wont(" + v(0) + ")";
    default: return "Event" + std::to_string(Id);
  }
}

inline std::string Join(const std::vector<std::string>& v) {
  std::string out;
  for (const std::string& s : v) out += (out.empty() ? "" : " | ") + s;
  return out;
}

// Every engine test runs under a watchdog: a wait that never ends fails the run.
class TEngineTest : public ::testing::Test {
 private:
  TWatchdog FDog{CurrentTestName(), 60};
};

// The component's tests, in more than one file.
class TnTelnetComponent : public TEngineTest {};

// Sets the engine's RemotePort, which the component does not publish.
inline void SetRemotePort(TTnTelnet& t, uint16_t port) {
  ASSERT_EQ(Telnet_Set(t.Handle(), tnpRemotePort, 0, port, 0), 0);
}

}  // namespace TnTest
