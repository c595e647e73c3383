// The socket stack: the one process-wide object through which every socket call of the network
// components goes. It wraps the platform's datagram calls, resolves host names to dotted IPv4
// text, converts between address text and address bytes, and turns a failed platform call into
// an exception whose message names the error. TNetStack is abstract; NetStackWindows holds the
// one concrete class.
//
// Threads: the stack state (StackInstance, LiveComponentCount, the stack class) is guarded by
// one process-wide lock and may be touched from any thread. The stack's calls run on the
// caller's thread without locks; LastErrorCode is shared by all callers of the one stack.
// Ownership: the stack state owns StackInstance; it exists exactly while at least one network
// component lives, so a component may use it freely during its own lifetime.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Classes.h"
#include "SysUtils.h"
#include "Winsock.h"

class ENetException : public Exception {
 public:
  using Exception::Exception;
};

class ENetSocketError : public ENetException {
 public:
  ENetSocketError(int errorCode, std::string message) : ENetException(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;  // the platform's error number
};

class ENetInvalidSocket : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetStackError : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetStackInitializationFailed : public ENetStackError {
 public:
  using ENetStackError::ENetStackError;
};

class ENetStackSetSizeExceeded : public ENetStackError {
 public:
  using ENetStackError::ENetStackError;
};

using TNetSocket = Winsock::TSocket;
using TNetSocketList = std::vector<TNetSocket>;
using TNetAddressBytes = std::array<uint8_t, 4>;

class TNetStack : public TObject {
 public:
  TNetStack() = default;

  // Platform error number of the last failed call seen by CheckResult.
  int LastErrorCode() const { return FLastErrorCode; }

  // "LOCALHOST" in any case, a dotted quad unchanged, anything else through LookupHostName.
  std::string ResolveAddress(const std::string& host);
  static bool IsDottedQuad(const std::string& text);
  // A datagram or stream socket of the IPv4 family; raises ENetInvalidSocket on failure.
  TNetSocket NewSocket(int socketType, int protocol);
  // False for any result but -1; for -1 records the platform's error and returns true when it
  // is among ignored, else raises ENetSocketError.
  bool CheckResult(int result, std::initializer_list<int> ignored = {});
  [[noreturn]] void RaiseSocketFailure(int errorCode);

  virtual std::string SocketErrorText(int errorCode);

  // The wrapped platform calls, in the order of the platform's function list. Results are the
  // platform's (-1 on failure); only LookupHostName raises.
  virtual std::string LookupHostName(const std::string& hostName) = 0;
  virtual uint16_t HostToNet16(uint16_t value) = 0;
  virtual uint16_t NetToHost16(uint16_t value) = 0;
  virtual int RecvFrom(TNetSocket socket, void* buffer, int length, int flags, std::string& fromAddress,
                       uint16_t& fromPort) = 0;
  // Waits on up to 64 sockets per list (ENetStackSetSizeExceeded beyond); lists may be null.
  // waitMs -2 waits without limit. Each list keeps only the sockets found ready.
  virtual int Select(TNetSocketList* readList, TNetSocketList* writeList, int waitMs, TNetSocketList* errorList) = 0;
  virtual int SendTo(TNetSocket socket, const void* buffer, int length, int flags, const std::string& address,
                     uint16_t port) = 0;
  virtual int SetSockOpt(TNetSocket socket, int level, int optName, const void* value, int valueLength) = 0;
  virtual TNetSocket Socket(int family, int socketType, int protocol) = 0;
  virtual int Shutdown(TNetSocket socket, int how) = 0;
  virtual int CloseSocket(TNetSocket socket) = 0;
  virtual int WSAGetLastError() = 0;
  virtual std::string AddressToText(const TNetAddressBytes& address) = 0;
  // Raises the integer-conversion error for a part that is not an integer.
  virtual TNetAddressBytes TextToAddress(const std::string& text) = 0;

 private:
  int FLastErrorCode = 0;
};

// Constructor of the stack class new stacks are made of.
using TNetStackClass = std::unique_ptr<TNetStack> (*)();

// The process-wide stack state behind one lock: StackInstance, LiveComponentCount and the
// registered stack class. Network components report their creation and destruction here; the
// first creation makes the stack and the last destruction frees it.
class TNetStackState {
 public:
  // Lock-free read: the pointer only changes when the count passes 0, which a live component
  // keeps from happening.
  TNetStack* StackInstance() const { return FStackInstance.load(std::memory_order_acquire); }
  int LiveComponentCount();
  // Raises what the stack's constructor raises; the count then stays as it was.
  void ComponentCreated();
  void ComponentDestroyed();
  // Returns the class registered before.
  TNetStackClass SetStackClass(TNetStackClass stackClass);

 private:
  std::mutex FLock;
  std::unique_ptr<TNetStack> FOwnedStack;
  std::atomic<TNetStack*> FStackInstance{nullptr};
  int FLiveComponentCount = 0;
  TNetStackClass FStackClass = nullptr;
};

TNetStackState& NetStackState();

// StackInstance, for the components' own calls (valid while the caller lives).
inline TNetStack& GStack() { return *NetStackState().StackInstance(); }
