#include "NetStack.h"

#include <algorithm>

#include "NetStackWindows.h"

namespace {

struct TErrorText {
  int Number;
  const char* Text;
};

constexpr TErrorText kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

// The four dot-separated parts of an address text; the last takes whatever is left, dots
// included, so that more than three dots make it fail to convert.
std::array<std::string, 4> SplitAddress(const std::string& text) {
  std::array<std::string, 4> parts;
  std::string rest = text;
  for (int i = 0; i < 3; ++i) {
    const size_t dot = rest.find('.');
    if (dot == std::string::npos) {
      parts[static_cast<size_t>(i)] = rest;
      rest.clear();
    } else {
      parts[static_cast<size_t>(i)] = rest.substr(0, dot);
      rest.erase(0, dot + 1);
    }
  }
  parts[3] = rest;
  return parts;
}

}  // namespace

std::string TNetStack::ResolveAddress(const std::string& host) {
  if (SameText(host, "LOCALHOST")) return "127.0.0.1";
  if (IsDottedQuad(host)) return host;
  return LookupHostName(host);
}

bool TNetStack::IsDottedQuad(const std::string& text) {
  for (const std::string& part : SplitAddress(text)) {
    int32_t v = 0;
    if (!TryStrToInt(part, v) || v < 0 || v > 255) return false;
  }
  return true;
}

TNetSocket TNetStack::NewSocket(int socketType, int protocol) {
  const TNetSocket s = Socket(Winsock::AF_INET, socketType, protocol);
  if (s == Winsock::INVALID_SOCKET) throw ENetInvalidSocket("Cannot allocate socket.");
  return s;
}

bool TNetStack::CheckResult(int result, std::initializer_list<int> ignored) {
  if (result != Winsock::SOCKET_ERROR) return false;
  FLastErrorCode = WSAGetLastError();
  if (std::find(ignored.begin(), ignored.end(), FLastErrorCode) != ignored.end()) return true;
  RaiseSocketFailure(FLastErrorCode);
}

void TNetStack::RaiseSocketFailure(int errorCode) { throw ENetSocketError(errorCode, SocketErrorText(errorCode)); }

std::string TNetStack::SocketErrorText(int errorCode) {
  const char* text = "";
  for (const TErrorText& e : kErrorTexts)
    if (e.Number == errorCode) text = e.Text;
  return Format("Socket Error # %d\r\n%s", errorCode, text);
}

// ---- the process-wide state ----

TNetStackState& NetStackState() {
  static TNetStackState* state = new TNetStackState();  // outlives every component, even static ones
  return *state;
}

int TNetStackState::LiveComponentCount() {
  std::lock_guard<std::mutex> g(FLock);
  return FLiveComponentCount;
}

void TNetStackState::ComponentCreated() {
  std::lock_guard<std::mutex> g(FLock);
  if (FLiveComponentCount == 0) {
    FOwnedStack = FStackClass ? FStackClass() : CreateNetStackWindows();
    FStackInstance.store(FOwnedStack.get(), std::memory_order_release);
  }
  ++FLiveComponentCount;
}

void TNetStackState::ComponentDestroyed() {
  std::lock_guard<std::mutex> g(FLock);
  if (FLiveComponentCount <= 0) return;
  if (--FLiveComponentCount == 0) {
    FStackInstance.store(nullptr, std::memory_order_release);
    FOwnedStack.reset();
  }
}

TNetStackClass TNetStackState::SetStackClass(TNetStackClass stackClass) {
  std::lock_guard<std::mutex> g(FLock);
  TNetStackClass previous = FStackClass;
  FStackClass = stackClass;
  return previous;
}
