// The Windows display backend: a real top-level window per form (a modal form's window a
// dialog owned by its owner's), the system's input turned into the messages the forms expect
// exactly as the X11 backend turns X events into them, pixels copied straight from the forms'
// surfaces, the clipboard as UTF-16 text. The window procedure runs from the loop's wait,
// which pumps the thread's queue (Win32LoopWait.cpp); it only posts to the form's handle, so
// the form sees the system's input in the order the system gave it.
//
// Sections: the window class; windows; input; the display and the clipboard; opening; for
// the tests.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>

#include "Cp1252.h"
#include "Display.h"
#include "Form.h"
#include "Graphics.h"
#include "SysUtils.h"
#include "Win32Text.h"

#include "Win32Display.h"  // last: brings in WinPrelude.h

namespace {

class TWin32Display;

// ---- the window class ----

const wchar_t kClassName[] = L"WizardForm";

// A main window is resizable and has every box; a dialog keeps its size.
constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME;

LRESULT CALLBACK WindowProc(WinHWND wnd, UINT msg, WPARAM w, LPARAM l);

bool RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    // No CS_DBLCLKS: a second click is a click, as on every other host; no background brush:
    // every pixel is painted from the surface, so nothing flashes.
    c.lpfnWndProc = WindowProc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    c.lpszClassName = kClassName;
    return RegisterClassExW(&c) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

// ---- windows ----

class TWin32Window final : public TNativeWindow {
 public:
  TWin32Window(TWin32Display& display, HWND form, int32_t w, int32_t h, const std::string& title);
  ~TWin32Window() override;
  TWin32Window(const TWin32Window&) = delete;
  TWin32Window& operator=(const TWin32Window&) = delete;

  void SetTitle(const std::string& title) override;
  void SetIcon(const TSurface& icon) override;
  void SetClientSize(int32_t w, int32_t h) override;
  void SetDialogOwner(TNativeWindow& owner) override;
  void Show(bool centre) override;
  void Hide() override;
  void Present(const TSurface& surface, const TRect& r) override;

  WinHWND Wnd() const { return FWnd; }
  LRESULT Handle(UINT msg, WPARAM w, LPARAM l);
  // The system destroyed the window (with its owner, or at the end of the session).
  void Destroyed() { FWnd = nullptr; }
  // The display is being closed before the window: the window goes, and every later call does nothing.
  void Detach();

 private:
  DWORD Style() const { return FOwner ? kDialogStyle : kMainStyle; }
  DWORD ExStyle() const { return FOwner ? kDialogExStyle : 0; }
  // The window's outer rectangle for a client area of w x h at 0,0 (left and top negative).
  RECT Frame(int32_t w, int32_t h) const;
  // Where the window centres: its owner's client area for a dialog, else the work area.
  TRect CentreArea() const;
  void PutRect(HDC dc, const TSurface& s, const TRect& r) const;
  void Paint();
  void MinMaxInfo(MINMAXINFO& info) const;
  void Resized(WPARAM kind, LPARAM l);
  void PostMouse(uint32_t msg, WPARAM w, LPARAM l, bool button);
  void PostKey(WPARAM key);
  void PostChar(bool system, WPARAM ch);
  void ReleaseOwner();

  TWin32Display* FDisplay;
  HWND FHandle;  // the form's, where the input goes
  WinHWND FWnd = nullptr;
  int32_t FWidth;
  int32_t FHeight;
  // The size the program set last: the user may make the window larger, not smaller.
  int32_t FMinWidth;
  int32_t FMinHeight;
  // The surface last presented, to repaint from; it lives as long as the form.
  const TSurface* FLastSurface = nullptr;
  WinHWND FOwner = nullptr;
  bool FOwnerDisabled = false;
  HICON FIcon = nullptr;
};

class TWin32Display final : public TDisplay {
 public:
  explicit TWin32Display(WinHWND helper) : FHelper(helper), FFace(CreateSolidBrush(ColorToRGB(clBtnFace))) {}
  ~TWin32Display() override;
  TWin32Display(const TWin32Display&) = delete;
  TWin32Display& operator=(const TWin32Display&) = delete;

  std::unique_ptr<TNativeWindow> CreateNativeWindow(HWND hwnd, int32_t clientW, int32_t clientH,
                                                    const std::string& title) override;
  TSize ScreenSize() const override { return TSize{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override;
  bool IsHeadless() const override { return false; }

  HBRUSH FaceBrush() const { return FFace; }
  void Register(TWin32Window* w) { FWindows.insert(w); }
  void Unregister(TWin32Window* w) { FWindows.erase(w); }

 private:
  bool OpenClipboardBriefly();

  WinHWND FHelper;  // a message-only window that owns what we put on the clipboard
  HBRUSH FFace;
  std::set<TWin32Window*> FWindows;
};

TWin32Window::TWin32Window(TWin32Display& display, HWND form, int32_t w, int32_t h, const std::string& title)
    : FDisplay(&display),
      FHandle(form),
      FWidth(std::max(w, 1)),
      FHeight(std::max(h, 1)),
      FMinWidth(FWidth),
      FMinHeight(FHeight) {
  const RECT f = Frame(FWidth, FHeight);
  FWnd = CreateWindowExW(ExStyle(), kClassName, WideFromCp1252(title).c_str(), Style(), CW_USEDEFAULT, CW_USEDEFAULT,
                         f.right - f.left, f.bottom - f.top, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!FWnd) throw Exception("Cannot create a window (Windows error " + std::to_string(GetLastError()) + ")");
  FDisplay->Register(this);
}

TWin32Window::~TWin32Window() {
  if (FDisplay) FDisplay->Unregister(this);
  Detach();
  if (FIcon) DestroyIcon(FIcon);
}

void TWin32Window::Detach() {
  FDisplay = nullptr;
  ReleaseOwner();
  if (!FWnd) return;
  SetWindowLongPtrW(FWnd, GWLP_USERDATA, 0);
  DestroyWindow(FWnd);
  FWnd = nullptr;
}

RECT TWin32Window::Frame(int32_t w, int32_t h) const {
  RECT r{0, 0, w, h};
  AdjustWindowRectEx(&r, Style(), FALSE, ExStyle());
  return r;
}

void TWin32Window::SetTitle(const std::string& title) {
  if (FWnd) SetWindowTextW(FWnd, WideFromCp1252(title).c_str());
}

void TWin32Window::SetIcon(const TSurface& icon) {
  if (!FWnd || icon.Width() <= 0 || icon.Height() <= 0) return;
  BITMAPV5HEADER h{};
  h.bV5Size = sizeof h;
  h.bV5Width = icon.Width();
  h.bV5Height = -icon.Height();  // top-down, as the surface's rows are
  h.bV5Planes = 1;
  h.bV5BitCount = 32;
  h.bV5Compression = BI_BITFIELDS;
  h.bV5RedMask = 0x00FF0000;
  h.bV5GreenMask = 0x0000FF00;
  h.bV5BlueMask = 0x000000FF;
  h.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!colour) return;
  // The surface leaves the top byte at 0: here it is the alpha, and the icon is opaque.
  auto* out = static_cast<uint32_t*>(bits);
  for (int32_t y = 0; y < icon.Height(); ++y)
    for (int32_t x = 0; x < icon.Width(); ++x) *out++ = icon.Row(y)[x] | 0xFF000000u;
  HBITMAP mask = CreateBitmap(icon.Width(), icon.Height(), 1, 1, nullptr);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = mask;
  info.hbmColor = colour;
  HICON made = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(colour);
  if (!made) return;
  // The system scales the one picture for the caption and for the task switcher.
  SendMessageW(FWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(made));
  SendMessageW(FWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(made));
  if (FIcon) DestroyIcon(FIcon);
  FIcon = made;
}

void TWin32Window::SetClientSize(int32_t w, int32_t h) {
  w = std::max(w, 1);
  h = std::max(h, 1);
  FMinWidth = w;
  FMinHeight = h;
  if (!FWnd || (w == FWidth && h == FHeight)) return;
  // Set first: the WM_SIZE this resize makes is ours, not the user's, and goes nowhere.
  FWidth = w;
  FHeight = h;
  const RECT f = Frame(w, h);
  SetWindowPos(FWnd, nullptr, 0, 0, f.right - f.left, f.bottom - f.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TWin32Window::SetDialogOwner(TNativeWindow& owner) {
  auto* o = dynamic_cast<TWin32Window*>(&owner);
  if (!FWnd || !o || o == this || !o->FWnd) return;
  FOwner = o->FWnd;
  // An owned window stays above its owner and goes with it; the frame becomes a dialog's.
  SetWindowLongPtrW(FWnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(FOwner));
  SetWindowLongPtrW(FWnd, GWL_STYLE, static_cast<LONG_PTR>(Style()));
  SetWindowLongPtrW(FWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(ExStyle()));
  const RECT f = Frame(FWidth, FHeight);
  SetWindowPos(FWnd, nullptr, 0, 0, f.right - f.left, f.bottom - f.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

TRect TWin32Window::CentreArea() const {
  if (FOwner && IsWindow(FOwner) && IsWindowVisible(FOwner)) {
    RECT c{};
    GetClientRect(FOwner, &c);
    POINT origin{0, 0};
    ClientToScreen(FOwner, &origin);
    return Bounds(origin.x, origin.y, c.right, c.bottom);
  }
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    const TSize s = FDisplay->ScreenSize();
    work = RECT{0, 0, s.cx, s.cy};
  }
  return Rect(work.left, work.top, work.right, work.bottom);
}

void TWin32Window::Show(bool centre) {
  if (!FWnd) return;
  if (centre) {
    const TRect area = CentreArea();
    const TSize screen = FDisplay->ScreenSize();
    const RECT f = Frame(FWidth, FHeight);
    const int32_t outerW = f.right - f.left, outerH = f.bottom - f.top;
    // The client area centred; the whole frame on the screen even when the owner is partly off it.
    const int32_t left = f.left, top = f.top;
    const int32_t x = std::clamp(area.Left + (area.Width() - FWidth) / 2 + left, 0, std::max(0, screen.cx - outerW));
    const int32_t y = std::clamp(area.Top + (area.Height() - FHeight) / 2 + top, 0, std::max(0, screen.cy - outerH));
    SetWindowPos(FWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // A dialog is modal: its owner takes no input while it shows (a click there activates the dialog).
  if (FOwner && IsWindow(FOwner) && !FOwnerDisabled) {
    EnableWindow(FOwner, FALSE);
    FOwnerDisabled = true;
  }
  ShowWindow(FWnd, SW_SHOW);
  SetForegroundWindow(FWnd);
}

void TWin32Window::ReleaseOwner() {
  if (!FOwnerDisabled) return;
  FOwnerDisabled = false;
  if (IsWindow(FOwner)) EnableWindow(FOwner, TRUE);
}

void TWin32Window::Hide() {
  if (!FWnd) return;
  const bool active = GetActiveWindow() == FWnd;
  // The owner is enabled again first, so that the system may give it the activation back.
  ReleaseOwner();
  if (active && FOwner && IsWindow(FOwner) && IsWindowVisible(FOwner)) SetActiveWindow(FOwner);
  ShowWindow(FWnd, SW_HIDE);
}

void TWin32Window::PutRect(HDC dc, const TSurface& s, const TRect& rect) const {
  const TRect r = IntersectRect(rect, Rect(0, 0, s.Width(), s.Height()));
  if (r.IsEmpty()) return;
  // The rows of r alone, as a top-down DIB as wide as the surface (its rows already are one)
  // drawn whole: the source's vertical origin is then the same however a top-down DIB's is read.
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = s.Width();
  bi.bmiHeader.biHeight = -r.Height();
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, r.Left, r.Top, static_cast<DWORD>(r.Width()), static_cast<DWORD>(r.Height()), r.Left, 0, 0,
                    static_cast<UINT>(r.Height()), s.Row(r.Top), &bi, DIB_RGB_COLORS);
}

void TWin32Window::Present(const TSurface& surface, const TRect& r) {
  if (!FWnd) return;
  FLastSurface = &surface;
  HDC dc = GetDC(FWnd);
  PutRect(dc, surface, r);
  ReleaseDC(FWnd, dc);
}

void TWin32Window::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(FWnd, &ps);
  const TRect r = Rect(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
  int32_t sw = 0, sh = 0;
  if (FLastSurface) {
    PutRect(dc, *FLastSurface, r);
    sw = FLastSurface->Width();
    sh = FLastSurface->Height();
  }
  // What the surface does not cover (before the first paint, or after the window grew) gets
  // the face colour instead of whatever was there.
  for (const TRect& rest : {Rect(std::max(r.Left, sw), r.Top, r.Right, r.Bottom),
                            Rect(r.Left, std::max(r.Top, sh), std::min(r.Right, sw), r.Bottom)}) {
    const RECT fill{rest.Left, rest.Top, rest.Right, rest.Bottom};
    if (!rest.IsEmpty()) FillRect(dc, &fill, FDisplay->FaceBrush());
  }
  EndPaint(FWnd, &ps);
}

void TWin32Window::MinMaxInfo(MINMAXINFO& info) const {
  const RECT f = Frame(FMinWidth, FMinHeight);
  info.ptMinTrackSize = POINT{f.right - f.left, f.bottom - f.top};
  if (FOwner) info.ptMaxTrackSize = info.ptMinTrackSize;
}

void TWin32Window::Resized(WPARAM kind, LPARAM l) {
  if (kind == SIZE_MINIMIZED) return;  // the client area is not 0 x 0 for the form
  const int32_t w = LOWORD(l), h = HIWORD(l);
  if (w == FWidth && h == FHeight) return;  // our own resize
  FWidth = w;
  FHeight = h;
  PostMessage(FHandle, WM_SIZE, 0, MakeLParam(w, h));
}

// ---- input ----

// The modifiers held, as the X11 backend reports them. Control with Alt together is AltGr,
// which only chooses a character, as it does there.
TShiftState HeldShift() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
  if (ctrl != alt) s |= ctrl ? ssCtrl : ssAlt;
  return s;
}

// The keys the forms act on, as the X11 backend reports them; 0 for the others.
uint16_t FormKey(WPARAM vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return static_cast<uint16_t>(vk);
  if (vk >= VK_F1 && vk <= VK_F12) return static_cast<uint16_t>(vk);
  switch (vk) {
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_BACK:
    case VK_DELETE:
    case VK_INSERT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_SPACE: return static_cast<uint16_t>(vk);
    default: return 0;
  }
}

void TWin32Window::PostMouse(uint32_t msg, WPARAM w, LPARAM l, bool button) {
  TShiftState s = 0;
  if (w & MK_SHIFT) s |= ssShift;
  if (w & MK_CONTROL) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  // Signed: a captured drag reports positions left of and above the window.
  const auto x = static_cast<int16_t>(LOWORD(l)), y = static_cast<int16_t>(HIWORD(l));
  PostMessage(FHandle, msg, MouseWParam(s, button), MakeLParam(x, y));
}

void TWin32Window::PostKey(WPARAM key) {
  const uint16_t vk = FormKey(key);
  if (!vk) return;
  const TShiftState s = HeldShift();
  PostMessage(FHandle, (s & ssAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, KeyLParam(s));
}

void TWin32Window::PostChar(bool system, WPARAM ch) {
  const TShiftState s = HeldShift();
  if (s & ssCtrl) return;  // a control chord types nothing
  const int c = UnicodeToCp1252(static_cast<char32_t>(ch));
  // Of the control characters only the editing keys' (backspace, tab, return, escape) are typed.
  const bool editing = c == 0x08 || c == 0x09 || c == 0x0D || c == 0x1B;
  if (c < 0 || ((c < 0x20 || c == 0x7F) && !editing)) return;
  PostMessage(FHandle, system ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(c), KeyLParam(s));
}

LRESULT TWin32Window::Handle(UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_CLOSE: PostMessage(FHandle, WM_CLOSE, 0, 0); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: Paint(); return 0;
    case WM_GETMINMAXINFO: MinMaxInfo(*reinterpret_cast<MINMAXINFO*>(l)); return 0;
    case WM_SIZE: Resized(w, l); return 0;
    case WM_LBUTTONDOWN:
      // As X11's implicit grab: the drag's moves and its release come here wherever they happen.
      SetCapture(FWnd);
      PostMouse(WM_LBUTTONDOWN, w, l, true);
      return 0;
    case WM_LBUTTONUP:
      ReleaseCapture();
      PostMouse(WM_LBUTTONUP, w, l, true);
      return 0;
    case WM_MOUSEMOVE: PostMouse(WM_MOUSEMOVE, w, l, (w & MK_LBUTTON) != 0); return 0;
    case WM_KEYDOWN: PostKey(w); return 0;
    case WM_SYSKEYDOWN: PostKey(w); break;  // the system's own chords (Alt+F4) still work
    case WM_CHAR:
    case WM_SYSCHAR:
      // Not to the default procedure: Alt with a letter would beep for want of a menu.
      PostChar(msg == WM_SYSCHAR, w);
      return 0;
    case WM_SYSKEYUP:
      if (w == VK_MENU || w == VK_F10) return 0;  // Alt alone would park the keyboard in the window menu
      break;
    default: break;
  }
  return DefWindowProcW(FWnd, msg, w, l);
}

LRESULT CALLBACK WindowProc(WinHWND wnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<TWin32Window*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self || self->Wnd() != wnd) {
    // During creation (before CreateWindowExW returns), and for the clipboard's helper.
    return DefWindowProcW(wnd, msg, w, l);
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    self->Destroyed();
    return DefWindowProcW(wnd, msg, w, l);
  }
  return self->Handle(msg, w, l);
}

// ---- the display and the clipboard ----

TWin32Display::~TWin32Display() {
  // Forms that outlive the display keep native windows that do nothing.
  for (TWin32Window* w : FWindows) w->Detach();
  FWindows.clear();
  DestroyWindow(FHelper);
  DeleteObject(FFace);
}

std::unique_ptr<TNativeWindow> TWin32Display::CreateNativeWindow(HWND hwnd, int32_t clientW, int32_t clientH,
                                                                 const std::string& title) {
  return std::make_unique<TWin32Window>(*this, hwnd, clientW, clientH, title);
}

bool TWin32Display::OpenClipboardBriefly() {
  // Another program may hold the clipboard open for a moment; a few short tries, then give up.
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(FHelper)) return true;
    SleepEx(10, FALSE);
  }
  return false;
}

void TWin32Display::SetClipboardText(const std::string& text) {
  const std::wstring wide = WideFromCp1252(text);
  const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return;
  if (void* p = GlobalLock(memory)) {
    std::memcpy(p, wide.c_str(), bytes);
    GlobalUnlock(memory);
  }
  if (!OpenClipboardBriefly()) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  // The clipboard owns the memory once it takes it.
  if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  CloseClipboard();
}

std::string TWin32Display::ClipboardText() {
  std::string text;
  if (!OpenClipboardBriefly()) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      const size_t limit = GlobalSize(data) / sizeof(wchar_t);
      text = Cp1252FromWide(p, wcsnlen(p, limit));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace

// ---- opening ----

std::unique_ptr<TDisplay> CreateHostDisplay() {
  if (!RegisterWindowClass()) return nullptr;
  // HWND_MESSAGE as a value: its macro names the platform's HWND, not the system's.
  const auto messageOnly = reinterpret_cast<WinHWND>(intptr_t{-3});
  WinHWND helper =
      CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, messageOnly, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!helper) return nullptr;
  return std::make_unique<TWin32Display>(helper);
}

std::string HostDisplayUnavailable() {
  return "Cannot open the Windows desktop (WIZARD_DISPLAY=headless runs without a window)";
}

// ---- for the tests ----

WinHWND Win32::SystemWindowOf(TNativeWindow& window) {
  auto* w = dynamic_cast<TWin32Window*>(&window);
  return w ? w->Wnd() : nullptr;
}
