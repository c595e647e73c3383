// TTnTelnet: the non-visual telnet client component. A thin facade over one engine instance:
// every property read or write and every method call goes to the engine as a numbered request
// (through the entry-point table of TnCore.h), and every engine event comes back through one
// callback and is turned into one of the twelve published events. All connection state lives
// in the engine; a nonzero engine result becomes an ETnTelnet ("code: text").
//
// Threads: user-interface thread only. Events run on it while the thread is inside an engine
// call that waits (Connect, Disconnect with a Timeout) or while the message loop dispatches the
// engine's socket notifications. An exception that escapes a handler does not unwind through
// the engine: it is kept and raised when the component's engine call returns, or, for an event
// the message loop dispatched, handed to the application's standard error report.
// Ownership: the component owns its engine instance (created with the component, destroyed
// with it; destroying it closes any connection without OnDisconnected). It is owned by its
// TComponent owner.
#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "TnCore.h"

enum TTnTelnetFirewallTypes : int { fwNone = 0, fwTunnel = 1, fwSOCKS4 = 2, fwSOCKS5 = 3 };

using TCommandEvent = std::function<void(TObject* sender, int commandCode)>;
using TConnectedEvent = std::function<void(TObject* sender, int statusCode, std::string description)>;
using TConnectionStatusEvent =
    std::function<void(TObject* sender, std::string connectionEvent, int statusCode, std::string description)>;
using TDataInEvent = std::function<void(TObject* sender, std::string text)>;
using TDisconnectedEvent = std::function<void(TObject* sender, int statusCode, std::string description)>;
using TDoEvent = std::function<void(TObject* sender, int optionCode)>;
using TDontEvent = std::function<void(TObject* sender, int optionCode)>;
using TErrorEvent = std::function<void(TObject* sender, int errorCode, std::string description)>;
using TReadyToSendEvent = std::function<void(TObject* sender)>;
using TSubOptionEvent = std::function<void(TObject* sender, std::string subOption)>;
using TWillEvent = std::function<void(TObject* sender, int optionCode)>;
using TWontEvent = std::function<void(TObject* sender, int optionCode)>;

class TTnTelnet : public TTnCore {
 public:
  static constexpr const char* kCreateFailedText = "Telnet engine: Error creating component";

  explicit TTnTelnet(TComponent* owner);
  ~TTnTelnet() override;

  std::unique_ptr<ETnError> CreateException(int32_t code, const std::string& text) const override;

  // Returns when the connection is established or has failed.
  void Connect(const std::string& host);
  void Disconnect();

  std::string FirewallHost() const { return GetText(tnpFirewallHost); }
  void SetFirewallHost(const std::string& v) { SetText(tnpFirewallHost, v); }
  std::string FirewallPassword() const { return GetText(tnpFirewallPassword); }
  void SetFirewallPassword(const std::string& v) { SetText(tnpFirewallPassword, v); }
  int32_t FirewallPort() const { return static_cast<int32_t>(GetValue(tnpFirewallPort)); }
  void SetFirewallPort(int32_t v) { SetValue(tnpFirewallPort, v); }
  TTnTelnetFirewallTypes FirewallType() const { return static_cast<TTnTelnetFirewallTypes>(GetValue(tnpFirewallType)); }
  // Also resets FirewallPort: 1080 for the SOCKS types, else 80.
  void SetFirewallType(TTnTelnetFirewallTypes v) { SetValue(tnpFirewallType, v); }
  std::string FirewallUser() const { return GetText(tnpFirewallUser); }
  void SetFirewallUser(const std::string& v) { SetText(tnpFirewallUser, v); }
  bool KeepAlive() const { return GetValue(tnpKeepAlive) != 0; }
  void SetKeepAlive(bool v) { SetValue(tnpKeepAlive, v); }
  bool Linger() const { return GetValue(tnpLinger) != 0; }
  void SetLinger(bool v) { SetValue(tnpLinger, v); }
  std::string LocalHost() const { return GetText(tnpLocalHost); }
  void SetLocalHost(const std::string& v) { SetText(tnpLocalHost, v); }
  int32_t LocalPort() const { return static_cast<int32_t>(GetValue(tnpLocalPort)); }
  void SetLocalPort(int32_t v) { SetValue(tnpLocalPort, v); }
  std::string RemoteHost() const { return GetText(tnpRemoteHost); }
  void SetRemoteHost(const std::string& v) { SetText(tnpRemoteHost, v); }
  // Seconds; 0 = no deadline.
  int32_t Timeout() const { return static_cast<int32_t>(GetValue(tnpTimeout)); }
  void SetTimeout(int32_t v) { SetValue(tnpTimeout, v); }
  // True = no telnet command processing: every byte is data.
  bool Transparent() const { return GetValue(tnpTransparent) != 0; }
  void SetTransparent(bool v) { SetValue(tnpTransparent, v); }

  TTnHandle Handle() const { return FHandle; }

  // What the form writer stores of this component, in published order: every property whose
  // value differs from its stream default (texts: when not empty; LocalHost never).
  std::vector<std::pair<std::string, std::string>> StoredProperties() const;

  TCommandEvent OnCommand;
  TConnectedEvent OnConnected;
  TConnectionStatusEvent OnConnectionStatus;
  TDataInEvent OnDataIn;
  TDisconnectedEvent OnDisconnected;
  TDoEvent OnDo;
  TDontEvent OnDont;
  TErrorEvent OnError;
  TReadyToSendEvent OnReadyToSend;
  TSubOptionEvent OnSubOption;
  TWillEvent OnWill;
  TWontEvent OnWont;

 private:
  static int EventProc(void* userData, int eventId, int argc, const intptr_t* argv, const int* argl);
  void DispatchEvent(int eventId, int argc, const intptr_t* argv, const int* argl);
  void WriteDefaults();

  std::string GetText(int id) const;
  intptr_t GetValue(int id) const;
  void SetText(int id, const std::string& v);
  void SetValue(int id, intptr_t v);
  // Raises through the factory; an empty text is replaced by the engine's last error text.
  [[noreturn]] void RaiseError(int32_t code, const std::string& text) const;
  // Ends a request to the engine: a handler's exception first, then a nonzero result.
  void Finish(int result);

  TTnHandle FHandle = nullptr;
  int FCallDepth = 0;
  std::exception_ptr FHandlerError;
};
