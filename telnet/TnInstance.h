// One telnet engine instance: a non-blocking TCP connection whose readiness arrives as messages
// to the instance's hidden window, the input buffer and the stream parser that received bytes
// go through, the firewall negotiation, the settings, and the last error. Requests come in
// through the C entry points (TnEngine.h); everything that happens goes out as numbered events
// through the callback given at creation.
//
// Threads: the thread that created the instance, which runs the message queue. Waits (Connect,
// a blocking Send or Disconnect, ProcessEvents) dispatch that thread's messages, so events,
// other windows' handlers and further requests on this very instance can run inside them: the
// in-receive guard keeps the input buffer to one reader at a time and defers a close asked for
// from inside a data event; the connection id lets an operation notice that a handler closed
// (or replaced) the connection under it; and a destroy asked for from inside a call waits until
// the outermost call has returned (TTnCallScope).
// Ownership: the instance owns its socket, hidden window, input buffer, parser and firewall; it
// holds the process-wide socket library for as long as it lives.
//
// Sections of the implementation: TnInstance.cpp has creation, the window procedure, opening,
// connecting, waiting, receiving, sending and closing; TnInstanceRequests.cpp has property
// reads and writes, the methods, the configuration settings and the result mapping.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "Messages.h"
#include "TnEngine.h"
#include "TnFirewall.h"
#include "TnParser.h"
#include "Winsock.h"

// The message id of socket notifications to the hidden window.
constexpr uint32_t WM_TNSOCKET = WM_USER + 101;

class TTnInstance final : private TTnFirewallSink {
 public:
  static constexpr size_t kDefaultLineLength = 2048;
  static constexpr int kMaxLineLengthLimit = 65536;

  TTnInstance(TTnEventProc callback, void* userData);
  ~TTnInstance() override;
  TTnInstance(const TTnInstance&) = delete;
  TTnInstance& operator=(const TTnInstance&) = delete;

  bool Valid() const { return FWnd != 0 && FIn != nullptr; }

  // Requests (TnInstanceRequests.cpp). Set and Do return the mapped result code.
  intptr_t Get(int id);
  int Set(int id, intptr_t value, int length);
  int Do(int id, int argc, intptr_t* argv, int* argl);
  const char* LastErrorText() const { return FLastErrorText.c_str(); }
  int LastErrorCode() const { return FLastErrorCode; }

  // Destroys now, or when the outermost call into this instance returns; no event is raised
  // from then on.
  void Destroy();

 private:
  friend class TTnCallScope;
  struct TParserHooks;
  enum class TRecvMode { rmNormal, rmDrainOnce, rmFinal };

  // ---- TnInstance.cpp ----
  static LRESULT WindowProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l);
  void Notification(uint32_t event, uint32_t error, LPARAM l);

  bool ConnectedRead() const { return FConnected && !FFirewall.Negotiating(); }
  int Open();
  // Binds the new socket and sets its options and notification; 0 or the error code.
  int PrepareSocket(Winsock::TSocket s);
  int ConnectAndWait();
  void ConnectionCompleted();
  void ConnectionFailed(int error);
  void ReportResult(int code);
  bool WaitStep(int waitMs);

  int RunReceive(TRecvMode mode);
  int ReceiveLoop(TRecvMode mode);
  void Deliver();
  void PutReceived(const uint8_t* p, size_t n);
  void SetReceiveEnabled(bool v);

  int SendOnce(const uint8_t* p, size_t n, int flags = 0);
  int SendAll(const uint8_t* p, size_t n);
  int SendFrame(std::initializer_list<uint8_t> bytes);
  int SendSubOption(const uint8_t* p, size_t n);

  int Close(uint32_t code);
  void CloseSilently();
  void ResetConnection();

  int ApplyKeepAlive();
  int ApplyLinger(bool v);
  int ApplyBufferSize(int option, int& stored);

  void RearmDeadline();
  void ClearLastError();
  int SetError(int code, const char* text);
  std::string Describe(int code) const;

  int Raise(int id, int argc, intptr_t* argv, int* argl);
  int RaiseValue(int id, int value);
  void RaiseCode(int id, int code, const std::string& description);
  void RaiseStatus(const char* event, int code, const std::string& description);
  int RaiseBytes(int id, uint8_t* p, size_t n);

  // TTnFirewallSink
  int FirewallSend(const uint8_t* p, size_t n) override;
  void FirewallSucceeded(const uint8_t* rest, size_t n) override;
  void FirewallFailed(const std::string& text, bool close) override;

  // ---- TnInstanceRequests.cpp ----
  int SetProperty(int id, intptr_t value, int length);
  int DoMethod(int id, int argc, intptr_t* argv, int* argl);
  int ConfigSetting(const std::string& text, std::string& result);
  int SetMaxLineLength(int value);
  int SetRemoteHost(const std::string& text);
  int SetRemotePort(int port);
  int Disconnect();
  int MapResult(int code);
  const char* Text(std::string s);

  TTnEventProc FCallback = nullptr;
  void* FUserData = nullptr;
  HWND FWnd = 0;
  int FDepth = 0;
  bool FDestroyPending = false;

  // Connection
  Winsock::TSocket FSocket = Winsock::INVALID_SOCKET;
  uint64_t FConnectionId = 0;  // changes whenever a socket is opened or the state is reset
  bool FConnected = false;
  bool FReceiveEnabled = true;
  bool FInReceive = false;
  bool FClosePending = false;
  uint32_t FPendingCloseCode = 0;
  uint32_t FCloseCode = 0;
  bool FCloseRecorded = false;
  bool FReadyToSend = true;
  int FLastSendCount = 0;
  int FConnectResult = 0;
  bool FConnectResultSet = false;
  std::string FSavedErrorText;

  // Addresses
  std::string FRemoteHost;
  uint32_t FRemoteAddr = 0;
  int FRemotePort = 23;
  std::string FLocalHost;
  uint32_t FLocalAddr = 0;
  int FLocalPort = 0;

  // Socket options
  bool FKeepAlive = false;
  bool FLinger = true;
  int FInBufferSize = 2048;
  int FOutBufferSize = 2048;

  // Input buffer: capacity bytes plus one spare for the temporary NUL after a delivered slice.
  std::unique_ptr<uint8_t[]> FIn;
  size_t FInCapacity = kDefaultLineLength;
  size_t FInCount = 0;

  // Timing
  int FTimeoutMs = 0;
  uint32_t FDeadline = 0;  // 0 = none
  bool FAbsoluteTimeout = false;
  bool FInterrupt = false;
  bool FTimedOut = false;

  TTnParser FParser;
  TTnFirewall FFirewall;
  std::string FFirewallData;
  int FCodePage = 0;

  int FLastErrorCode = 0;
  std::string FLastErrorText;
  std::string FReturnedText;  // what the last text read or ConfigSetting handed out
};

// Marks a call into an instance, so that a destroy requested inside it waits for its end.
class TTnCallScope {
 public:
  explicit TTnCallScope(TTnInstance* inst) : FInst(inst) { ++FInst->FDepth; }
  ~TTnCallScope() {
    if (--FInst->FDepth == 0 && FInst->FDestroyPending) delete FInst;
  }
  TTnCallScope(const TTnCallScope&) = delete;
  TTnCallScope& operator=(const TTnCallScope&) = delete;

 private:
  TTnInstance* FInst;
};
