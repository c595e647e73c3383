// The thread's message queue and window handles, in the style the subsystems were designed
// against: posted messages, PeekMessage/DispatchMessage, the quit message, a wait that returns
// when a message arrives or a time runs out, hidden windows (a window procedure plus per-window
// data, no pixels), a millisecond tick and a plain Sleep that pumps nothing.
//
// Threads: the queue belongs to the user-interface thread, which alone peeks, dispatches and
// waits. PostMessage and PostQuitMessage may be called from any thread (they wake the waiter).
// Ownership: a window handle lives from AllocateHWnd until DeallocateHWnd; messages posted to a
// handle that no longer exists are dropped at dispatch.
#pragma once
#include <cstdint>
#include <functional>

using HWND = uintptr_t;  // 0 = no window
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

struct TMsg {
  HWND hwnd = 0;
  uint32_t message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

enum : uint32_t {
  WM_NULL = 0x0000,
  WM_DESTROY = 0x0002,
  WM_SIZE = 0x0005,  // the client area was resized by the user: lParam = MakeLParam(width, height)
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_SYSCHAR = 0x0106,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_USER = 0x0400,
};

// lParam of mouse messages: x in the low 16 bits, y in the high 16 bits (signed).
constexpr LPARAM MakeLParam(int x, int y) {
  return static_cast<LPARAM>((static_cast<uint32_t>(y & 0xFFFF) << 16) | static_cast<uint32_t>(x & 0xFFFF));
}
constexpr int LParamX(LPARAM l) { return static_cast<int16_t>(l & 0xFFFF); }
constexpr int LParamY(LPARAM l) { return static_cast<int16_t>((l >> 16) & 0xFFFF); }

using TWndProc = std::function<LRESULT(HWND, uint32_t, WPARAM, LPARAM)>;

// A window that only receives messages. Returns its handle (never 0).
HWND AllocateHWnd(TWndProc proc);
void DeallocateHWnd(HWND hwnd);
bool IsWindow(HWND hwnd);
// Per-window storage slot 0, as the engine keeps its instance there.
void SetWindowData(HWND hwnd, void* data);
void* GetWindowData(HWND hwnd);
LRESULT DefWindowProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l);

bool PostMessage(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l);
void PostQuitMessage(int exitCode);

// Takes the next message. Posted messages come first; when none is queued a window that needs
// painting yields a WM_PAINT (it stays invalid until it validates itself). Returns false when
// nothing is waiting. Never blocks.
bool PeekMessage(TMsg& msg);
// Waits for the next message (no time limit) and takes it; false for WM_QUIT.
bool GetMessage(TMsg& msg);
void TranslateMessage(const TMsg& msg);
LRESULT DispatchMessage(const TMsg& msg);
// Waits up to timeoutMs (negative: no limit) until a message can be taken. Watched sockets and
// the display are serviced while waiting; no CPU is used while nothing happens. Returns whether
// a message is waiting.
bool WaitMessage(int timeoutMs);

// Paint requests: a window marked invalid gets a WM_PAINT when the queue is otherwise empty.
void InvalidateWindow(HWND hwnd);
void ValidateWindow(HWND hwnd);

// Input held back while a long step holds the thread (a modem probe, a firmware upload): a
// click or key press queued meanwhile must not act afterwards on whatever the window shows by
// then. While a hold exists, mouse and key messages are dropped when posted and when
// dispatched; when the outermost hold ends, what the display delivered meanwhile is taken in
// and dropped too, and so is any input still queued. Paint, close and socket messages pass
// untouched, so the window keeps repainting. A modal box inside a hold lifts it for its own
// loop with TInputRelease, which first drops the input queued so far.
// Threads: user-interface thread only. Holds nest; releases restore the hold they lifted.
class TInputHold {
 public:
  TInputHold();
  ~TInputHold();
  TInputHold(const TInputHold&) = delete;
  TInputHold& operator=(const TInputHold&) = delete;
};

class TInputRelease {
 public:
  TInputRelease();
  ~TInputRelease();
  TInputRelease(const TInputRelease&) = delete;
  TInputRelease& operator=(const TInputRelease&) = delete;

 private:
  int FHeld = 0;
};

bool IsInputMessage(uint32_t msg);
bool InputHeld();

// Milliseconds since an arbitrary start, wrapping like the platform's 32-bit tick count.
uint32_t GetTickCount();
// Suspends the thread; no message is processed meanwhile.
void Sleep(uint32_t ms);
