// AsyncSelect through the system's own WSAAsyncSelect: the system arms, re-arms and posts the
// notifications; this unit only carries them to the window the program named.
//
// The system notifies one message-only window of the backend, made on the user-interface thread
// at the first AsyncSelect; the loop's wait pumps that thread's system messages. Each
// registration is a route with a system message number of its own, so that its window
// procedure knows where a notification goes and posts it there with the platform's
// PostMessage: wParam the socket, lParam the system's WSAMakeSelectReply, as the POSIX backend
// posts them. A route outlives its registration (closed socket, cancel, new AsyncSelect) until
// a marker posted behind the system's last notification has come through: what the system had
// posted still arrives, and the number is not reused before.
#include <mutex>
#include <vector>

#include "Messages.h"
#include "Win32WinsockInternal.h"
#include "Winsock.h"
#include "WinsockCommon.h"

#include "WinPrelude.h"  // last: see there

namespace Winsock {

using namespace Detail;

namespace {

constexpr UINT kFirstRouteMessage = WM_APP;
constexpr UINT kRetireMessage = 0xBFFF;  // the last number of the application's range
constexpr size_t kMaxRoutes = kRetireMessage - kFirstRouteMessage;

struct TRoute {
  TSocket Socket = INVALID_SOCKET;
  HWND Wnd = 0;  // the platform's window and message the program named
  uint32_t Msg = 0;
  bool Live = false;  // still registered; otherwise waiting for its retire marker
  bool InUse = false;
};

struct TAsyncState {
  std::mutex Lock;  // guards Routes and Free: sockets may be closed on any thread
  WinHWND Window = nullptr;
  std::vector<TRoute> Routes;  // route n arrives as message kFirstRouteMessage + n
  std::vector<size_t> Free;
};

TAsyncState& Async() {
  static TAsyncState* state = new TAsyncState();  // lives for the process, like its window
  return *state;
}

LRESULT CALLBACK RouteProc(WinHWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  TAsyncState& a = Async();
  if (msg == kRetireMessage) {
    std::lock_guard<std::mutex> g(a.Lock);
    a.Routes[wParam] = TRoute{};
    a.Free.push_back(wParam);
    return 0;
  }
  if (msg < kFirstRouteMessage || msg >= kRetireMessage) return DefWindowProcW(w, msg, wParam, lParam);
  TRoute route;
  {
    std::lock_guard<std::mutex> g(a.Lock);
    const size_t n = msg - kFirstRouteMessage;
    if (n < a.Routes.size()) route = a.Routes[n];
  }
  if (route.InUse) PostMessage(route.Wnd, route.Msg, wParam, lParam);
  return 0;
}

WinHWND MakeWindow() {
  static const wchar_t kClass[] = L"WizardSocketNotifications";
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = RouteProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassExW(&wc);
  // HWND_MESSAGE casts to the platform's HWND in this unit; the system wants its own.
  return CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, reinterpret_cast<WinHWND>(HWND_MESSAGE), nullptr, wc.hInstance,
                         nullptr);
}

// Ends route n's registration; caller holds the lock. Its number returns once the system's
// queue has handed on what was posted under it.
void Retire(TAsyncState& a, size_t n) {
  if (!a.Routes[n].Live) return;
  a.Routes[n].Live = false;
  PostMessageW(a.Window, kRetireMessage, n, 0);
}

void RetireSocket(TAsyncState& a, TSocket s, size_t keep) {
  for (size_t n = 0; n < a.Routes.size(); ++n)
    if (n != keep && a.Routes[n].Live && a.Routes[n].Socket == s) Retire(a, n);
}

// A route for a new registration, or kMaxRoutes when all numbers are taken.
size_t TakeRoute(TAsyncState& a, const TRoute& route) {
  size_t n;
  if (!a.Free.empty()) {
    n = a.Free.back();
    a.Free.pop_back();
  } else if (a.Routes.size() < kMaxRoutes) {
    n = a.Routes.size();
    a.Routes.emplace_back();
  } else {
    return kMaxRoutes;
  }
  a.Routes[n] = route;
  return n;
}

}  // namespace

namespace Detail {

void SocketClosed(TSocket s) {
  TAsyncState& a = Async();
  std::lock_guard<std::mutex> g(a.Lock);
  RetireSocket(a, s, kMaxRoutes);
}

void AllSocketsClosed() {
  TAsyncState& a = Async();
  std::lock_guard<std::mutex> g(a.Lock);
  for (size_t n = 0; n < a.Routes.size(); ++n) Retire(a, n);
}

}  // namespace Detail

int AsyncSelect(TSocket s, HWND hwnd, uint32_t msg, uint32_t events) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  TAsyncState& a = Async();
  if (!a.Window) a.Window = MakeWindow();
  if (!a.Window) return Fail(WSAENOBUFS);
  // Urgent data is not watched and the layer offers no accept: those are never posted.
  events &= FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
  size_t n = kMaxRoutes;
  if (events != 0) {
    if (!IsWindow(hwnd)) return Fail(WSAEINVAL);
    std::lock_guard<std::mutex> g(a.Lock);
    n = TakeRoute(a, TRoute{s, hwnd, msg, true, true});
    if (n == kMaxRoutes) return Fail(WSAENOBUFS);
  }
  // Also a cancel goes to the system: the socket stays non-blocking, and notifications stop.
  const UINT systemMsg = events != 0 ? static_cast<UINT>(kFirstRouteMessage + n) : 0;
  if (WSAAsyncSelect(static_cast<SOCKET>(s), a.Window, systemMsg, static_cast<long>(events)) != 0) {
    const int e = WSAGetLastError();
    std::lock_guard<std::mutex> g(a.Lock);
    if (n != kMaxRoutes) {
      a.Routes[n] = TRoute{};  // the system never posted under it
      a.Free.push_back(n);
    }
    return Fail(e);
  }
  // The system has ended the socket's previous registration, if any.
  std::lock_guard<std::mutex> g(a.Lock);
  RetireSocket(a, s, n);
  return 0;
}

}  // namespace Winsock
