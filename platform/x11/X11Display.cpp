// The X11 display backend: one connection to the X server per TDisplay, a real top-level
// window per form (a modal form's window a dialog of its owner's), input turned into the
// messages the forms expect, pixels copied straight from the forms' surfaces. The loop reads events when it finds the
// connection readable, and before each blocking wait (any Xlib call may leave events in Xlib's queue that the socket no
// longer signals).
//
// Sections: errors and connection loss; windows and the display (declarations); the
// connections of the process and waiting across them; windows; the display and its events;
// opening; for the tests.
#include <fcntl.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "Cp1252.h"
#include "Display.h"
#include "Form.h"
#include "Graphics.h"
#include "LoopWait.h"
#include "LoopWatch.h"
#include "SysUtils.h"
#include "X11Internal.h"

namespace {

class TX11Window;

// ---- errors and connection loss ----

int OnProtocolError(XDisplay* dpy, XErrorEvent* e) {
  // A request about a window that another client destroyed meanwhile is no reason to stop.
  char text[256] = {0};
  XGetErrorText(dpy, e->error_code, text, sizeof text);
  std::fprintf(stderr, "X11: ignored protocol error: %s (request %u.%u, resource 0x%lx)\n", text,
               static_cast<unsigned>(e->request_code), static_cast<unsigned>(e->minor_code), e->resourceid);
  return 0;
}

int OnIOError(XDisplay* dpy) {
  std::fprintf(stderr, "X11: lost the connection to the X display \"%s\" (the X server closed it or stopped)\n",
               DisplayString(dpy));
  std::fflush(stderr);
  return 0;
}

void InstallErrorHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    XSetErrorHandler(OnProtocolError);
    XSetIOErrorHandler(OnIOError);
  });
}

// ---- windows and the display (declarations) ----

enum TAtomIndex {
  aWmProtocols,
  aWmDeleteWindow,
  aNetWmPing,
  aNetWmName,
  aNetWmIconName,
  aNetWmIcon,
  aUtf8String,
  aNetWmWindowType,
  aNetWmWindowTypeDialog,
  aNetWmState,
  aNetWmStateModal,
  aNetActiveWindow,
  kAtomCount
};
const char* const kAtomNames[kAtomCount] = {"WM_PROTOCOLS",  "WM_DELETE_WINDOW",    "_NET_WM_PING",
                                            "_NET_WM_NAME",  "_NET_WM_ICON_NAME",   "_NET_WM_ICON",
                                            "UTF8_STRING",   "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG",
                                            "_NET_WM_STATE", "_NET_WM_STATE_MODAL", "_NET_ACTIVE_WINDOW"};

class TX11Display;

class TX11Window final : public TNativeWindow {
 public:
  TX11Window(TX11Display* display, HWND hwnd, int32_t w, int32_t h, const std::string& title);
  ~TX11Window() override;
  void SetTitle(const std::string& title) override;
  void SetIcon(const TSurface& icon) override;
  void SetClientSize(int32_t w, int32_t h) override;
  void SetDialogOwner(TNativeWindow& owner) override;
  void Show(bool centre) override;
  void Hide() override;
  void Present(const TSurface& surface, const TRect& r) override;

  HWND Handle() const { return FHandle; }
  Window Id() const { return FWindow; }
  bool Viewable() const { return FViewable; }
  void Exposed(const TRect& r);
  // Map state and parent as the server reports them.
  void Mapped(bool mapped);
  void Reparented(Window parent);
  // Asks for the keyboard focus: through the window manager when one manages the window
  // (a client of a managed window may not take the focus itself), else directly.
  void Activate(Window fromWindow);
  // The server reports the window's size; a change made by the user goes to the form.
  void Configured(int32_t w, int32_t h, unsigned long serial);
  // The display is being closed before the window: from now on every call does nothing.
  void Detach();

 private:
  bool Usable() const;
  void PutRect(const TSurface& s, const TRect& r);
  void FillRect(const TRect& r);
  void SetSizeHints(bool position, int x, int y);
  // Where the window centres: its owner's client area for a dialog, else the screen.
  TRect CentreArea() const;

  TX11Display* FDisplay;
  HWND FHandle;
  Window FWindow = 0;
  GC FGC = nullptr;
  int32_t FWidth;
  int32_t FHeight;
  // The request number of our last resize: sizes reported before the server saw it are stale.
  unsigned long FResizeSerial = 0;
  // The surface last presented, to answer Expose from; it lives as long as the form.
  const TSurface* FLastSurface = nullptr;
  // A dialog's owner, by id: the owner may be destroyed first.
  Window FOwner = 0;
  bool FViewable = false;
  bool FManaged = false;  // reparented into a window manager's frame
};

class TX11Display final : public TDisplay {
 public:
  explicit TX11Display(XDisplay* dpy);
  ~TX11Display() override;
  TX11Display(const TX11Display&) = delete;
  TX11Display& operator=(const TX11Display&) = delete;

  std::unique_ptr<TNativeWindow> CreateNativeWindow(HWND hwnd, int32_t clientW, int32_t clientH,
                                                    const std::string& title) override;
  TSize ScreenSize() const override;
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override;
  bool IsHeadless() const override { return false; }

  XDisplay* Dpy() const { return FDpy; }
  bool Lost() const { return FLost; }
  Atom AtomOf(TAtomIndex i) const { return FAtoms[i]; }
  // Depth-32 visuals carry alpha in the top byte, which the surface leaves at 0.
  bool NeedsOpaqueAlpha() const { return FDepth == 32; }
  int Depth() const { return FDepth; }
  unsigned long FaceColour() const { return FFace; }
  std::vector<uint32_t>& Scratch() { return FScratch; }

  void Register(TX11Window* w) { FWindows[w->Id()] = w; }
  void Unregister(TX11Window* w) { FWindows.erase(w->Id()); }
  // One of this display's windows, or null once it is gone.
  TX11Window* Find(Window id) const {
    auto it = FWindows.find(id);
    return it == FWindows.end() ? nullptr : it->second;
  }
  Time LastInputTime() const { return FClipboard->LastInputTime(); }

  // Handles every event Xlib holds or the socket has ready, without blocking.
  void ProcessQueued();
  void Dispatch(XEvent& e);

 private:
  static void OnConnectionLost(XDisplay*, void* self);
  void DropWatchIfLost();
  void PostMouse(TX11Window* w, uint32_t msg, int x, int y, unsigned int state, bool button);
  void HandleKey(TX11Window* w, XKeyEvent& e);
  void HandleClientMessage(TX11Window* w, const XClientMessageEvent& e);

  XDisplay* FDpy;
  bool FLost = false;
  int FDepth;
  unsigned long FFace;
  Atom FAtoms[kAtomCount] = {};
  std::unordered_map<Window, TX11Window*> FWindows;
  std::unique_ptr<X11::TX11Clipboard> FClipboard;
  std::vector<uint32_t> FScratch;
  TLoopHandle FWatch;
  TLoopHandle FIdle;
};

// ---- the connections of the process and waiting across them ----

std::vector<TX11Display*>& Connections() {
  // Never destroyed: a display held in a static may be destroyed after this list at exit.
  static auto* all = new std::vector<TX11Display*>();
  return *all;
}

TX11Display* FindConnection(XDisplay* dpy) {
  for (TX11Display* d : Connections())
    if (d->Dpy() == dpy) return d;
  return nullptr;
}

}  // namespace

bool X11::WaitForEvent(XDisplay* dpy, const std::function<bool(const XEvent&)>& match, int timeoutMs, XEvent& out) {
  TX11Display* self = FindConnection(dpy);
  const uint64_t deadline = static_cast<uint64_t>(MonotonicMs()) + static_cast<uint64_t>(std::max(timeoutMs, 0));
  std::vector<pollfd> fds;
  for (;;) {
    while (!(self && self->Lost()) && XPending(dpy) > 0) {
      XNextEvent(dpy, &out);
      if (match(out)) return true;
      if (self) self->Dispatch(out);
    }
    if (self && self->Lost()) return false;
    fds.assign(1, pollfd{ConnectionNumber(dpy), POLLIN, 0});
    for (TX11Display* d : Connections()) {
      if (d == self || d->Lost()) continue;
      d->ProcessQueued();
      if (!d->Lost()) fds.push_back(pollfd{ConnectionNumber(d->Dpy()), POLLIN, 0});
    }
    uint64_t now = static_cast<uint64_t>(MonotonicMs());
    if (now >= deadline) return false;
    int r = poll(fds.data(), fds.size(), static_cast<int>(deadline - now));
    if (r < 0 && errno != EINTR) return false;
  }
}

namespace {

// ---- windows ----

TX11Window::TX11Window(TX11Display* display, HWND hwnd, int32_t w, int32_t h, const std::string& title)
    : FDisplay(display), FHandle(hwnd), FWidth(std::max(w, 1)), FHeight(std::max(h, 1)) {
  XDisplay* dpy = display->Dpy();
  int scr = DefaultScreen(dpy);
  XSetWindowAttributes a{};
  // No server-drawn background: every exposed pixel is ours, so nothing flashes.
  a.background_pixmap = None;
  a.bit_gravity = NorthWestGravity;
  a.colormap = DefaultColormap(dpy, scr);
  a.event_mask =
      ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
  FWindow = XCreateWindow(dpy, RootWindow(dpy, scr), 0, 0, static_cast<unsigned>(FWidth),
                          static_cast<unsigned>(FHeight), 0, DefaultDepth(dpy, scr), InputOutput,
                          DefaultVisual(dpy, scr), CWBackPixmap | CWBitGravity | CWColormap | CWEventMask, &a);
  XGCValues gv{};
  gv.graphics_exposures = False;
  gv.foreground = display->FaceColour();
  FGC = XCreateGC(dpy, FWindow, GCGraphicsExposures | GCForeground, &gv);

  Atom protocols[] = {display->AtomOf(aWmDeleteWindow), display->AtomOf(aNetWmPing)};
  XSetWMProtocols(dpy, FWindow, protocols, 2);
  XWMHints hints{};
  hints.flags = InputHint | StateHint;
  hints.input = True;
  hints.initial_state = NormalState;
  XSetWMHints(dpy, FWindow, &hints);
  std::string name = program_invocation_short_name;
  std::string cls = name;
  if (!cls.empty() && cls[0] >= 'a' && cls[0] <= 'z') cls[0] = static_cast<char>(cls[0] - 'a' + 'A');
  XClassHint ch{name.data(), cls.data()};
  XSetClassHint(dpy, FWindow, &ch);
  SetSizeHints(false, 0, 0);
  SetTitle(title);
  display->Register(this);
}

TX11Window::~TX11Window() {
  if (!FDisplay) return;
  FDisplay->Unregister(this);
  XDisplay* dpy = FDisplay->Dpy();
  // Frees the client's memory even on a lost connection, where the request goes nowhere.
  XFreeGC(dpy, FGC);
  if (FDisplay->Lost()) return;
  XDestroyWindow(dpy, FWindow);
  XFlush(dpy);
}

void TX11Window::Detach() {
  XFreeGC(FDisplay->Dpy(), FGC);
  FGC = nullptr;
  FDisplay = nullptr;
  FLastSurface = nullptr;
}

bool TX11Window::Usable() const { return FDisplay && !FDisplay->Lost(); }

void TX11Window::SetTitle(const std::string& title) {
  if (!Usable()) return;
  XDisplay* dpy = FDisplay->Dpy();
  std::string t = title.substr(0, title.find('\0'));  // a text ends at its first NUL
  std::string latin1 = X11::Cp1252ToLatin1(t);
  std::string utf8 = Cp1252ToUtf8(t);
  auto put = [&](Atom prop, Atom type, const std::string& v) {
    XChangeProperty(dpy, FWindow, prop, type, 8, PropModeReplace, reinterpret_cast<const unsigned char*>(v.data()),
                    static_cast<int>(v.size()));
  };
  put(XA_WM_NAME, XA_STRING, latin1);
  put(XA_WM_ICON_NAME, XA_STRING, latin1);
  put(FDisplay->AtomOf(aNetWmName), FDisplay->AtomOf(aUtf8String), utf8);
  put(FDisplay->AtomOf(aNetWmIconName), FDisplay->AtomOf(aUtf8String), utf8);
}

void TX11Window::SetIcon(const TSurface& icon) {
  if (!Usable()) return;
  XDisplay* dpy = FDisplay->Dpy();
  Atom prop = FDisplay->AtomOf(aNetWmIcon);
  if (icon.Width() <= 0 || icon.Height() <= 0) {
    XDeleteProperty(dpy, FWindow, prop);
    return;
  }
  size_t n = 2 + static_cast<size_t>(icon.Width()) * static_cast<size_t>(icon.Height());
  long maxRequest = XExtendedMaxRequestSize(dpy) ? XExtendedMaxRequestSize(dpy) : XMaxRequestSize(dpy);
  if (n + 8 > static_cast<size_t>(maxRequest)) return;  // too big for one request: no icon rather than an error
  // Xlib takes 32-bit property items as longs, whatever the size of long.
  std::vector<unsigned long> data;
  data.reserve(n);
  data.push_back(static_cast<unsigned long>(icon.Width()));
  data.push_back(static_cast<unsigned long>(icon.Height()));
  for (int32_t y = 0; y < icon.Height(); ++y) {
    const uint32_t* row = icon.Row(y);
    for (int32_t x = 0; x < icon.Width(); ++x) data.push_back(0xFF000000u | (row[x] & 0xFFFFFFu));
  }
  XChangeProperty(dpy, FWindow, prop, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(data.data()),
                  static_cast<int>(n));
}

void TX11Window::SetSizeHints(bool position, int x, int y) {
  XSizeHints h{};
  // Base and minimum size pin the client area the program laid out; no maximum for an ordinary
  // window, which the user may enlarge. A dialog keeps its size: maximum equals minimum.
  h.flags = PBaseSize | PMinSize;
  h.base_width = h.min_width = FWidth;
  h.base_height = h.min_height = FHeight;
  if (FOwner) {
    h.flags |= PMaxSize;
    h.max_width = FWidth;
    h.max_height = FHeight;
  }
  if (position) {
    h.flags |= USPosition | PPosition | PWinGravity;
    h.x = x;
    h.y = y;
    // The client itself goes where it was asked and the frame around it. (With centre gravity
    // some window managers shift the frame by the difference of its top and bottom edges and
    // the window lands lower than asked.)
    h.win_gravity = StaticGravity;
  }
  XSetWMNormalHints(FDisplay->Dpy(), FWindow, &h);
}

void TX11Window::SetClientSize(int32_t w, int32_t h) {
  if (!Usable()) return;
  w = std::max(w, 1);
  h = std::max(h, 1);
  if (w == FWidth && h == FHeight) return;
  FWidth = w;
  FHeight = h;
  SetSizeHints(false, 0, 0);
  FResizeSerial = NextRequest(FDisplay->Dpy());
  XResizeWindow(FDisplay->Dpy(), FWindow, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

void TX11Window::SetDialogOwner(TNativeWindow& owner) {
  auto* o = dynamic_cast<TX11Window*>(&owner);
  if (!Usable() || !o || o == this) return;
  XDisplay* dpy = FDisplay->Dpy();
  FOwner = o->Id();
  XSetTransientForHint(dpy, FWindow, FOwner);
  auto putAtom = [&](TAtomIndex prop, TAtomIndex value) {
    Atom v = FDisplay->AtomOf(value);
    XChangeProperty(dpy, FWindow, FDisplay->AtomOf(prop), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&v), 1);
  };
  putAtom(aNetWmWindowType, aNetWmWindowTypeDialog);
  // Modal: a window manager sends a click on the owner to the dialog instead.
  putAtom(aNetWmState, aNetWmStateModal);
  SetSizeHints(false, 0, 0);
}

TRect TX11Window::CentreArea() const {
  TSize screen = FDisplay->ScreenSize();
  TX11Window* owner = FOwner ? FDisplay->Find(FOwner) : nullptr;
  if (!owner || !owner->Viewable()) return Rect(0, 0, screen.cx, screen.cy);
  XDisplay* dpy = FDisplay->Dpy();
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(dpy, FOwner, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
  return Bounds(x, y, owner->FWidth, owner->FHeight);
}

void TX11Window::Show(bool centre) {
  if (!Usable()) return;
  XDisplay* dpy = FDisplay->Dpy();
  if (centre) {
    TRect area = CentreArea();
    TSize screen = FDisplay->ScreenSize();
    // On the screen even when the owner is partly off it.
    int x = std::clamp(area.Left + (area.Width() - FWidth) / 2, 0, std::max(0, screen.cx - FWidth));
    int y = std::clamp(area.Top + (area.Height() - FHeight) / 2, 0, std::max(0, screen.cy - FHeight));
    XMoveWindow(dpy, FWindow, x, y);
    // Before mapping: a window manager reads the position hints when it takes the window on.
    SetSizeHints(true, x, y);
  }
  XMapRaised(dpy, FWindow);
  XFlush(dpy);
}

void TX11Window::Hide() {
  if (!Usable()) return;
  XDisplay* dpy = FDisplay->Dpy();
  TX11Window* owner = FOwner ? FDisplay->Find(FOwner) : nullptr;
  Window focus = 0;
  int revert = 0;
  if (owner) XGetInputFocus(dpy, &focus, &revert);
  // Withdraw rather than unmap, so that a reparenting window manager takes the frame away too.
  XWithdrawWindow(dpy, FWindow, DefaultScreen(dpy));
  // A dialog that had the focus hands it back to its owner; without a window manager it
  // would fall to the root window.
  if (owner && focus == FWindow && owner->Viewable()) owner->Activate(FWindow);
  XFlush(dpy);
}

void TX11Window::Mapped(bool mapped) {
  FViewable = mapped;
  // A dialog takes the focus once it can: before it is viewable the server refuses it.
  if (mapped && FOwner) Activate(FOwner);
}

void TX11Window::Reparented(Window parent) { FManaged = parent != DefaultRootWindow(FDisplay->Dpy()); }

void TX11Window::Activate(Window fromWindow) {
  if (!Usable()) return;
  XDisplay* dpy = FDisplay->Dpy();
  if (!FManaged) {
    XSetInputFocus(dpy, FWindow, RevertToParent, CurrentTime);
    return;
  }
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = FWindow;
  e.xclient.message_type = FDisplay->AtomOf(aNetActiveWindow);
  e.xclient.format = 32;
  e.xclient.data.l[0] = 1;  // asked by the application, not by a pager or the user
  e.xclient.data.l[1] = static_cast<long>(FDisplay->LastInputTime());
  e.xclient.data.l[2] = static_cast<long>(fromWindow);
  Window root = DefaultRootWindow(dpy);
  XSendEvent(dpy, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
}

void TX11Window::PutRect(const TSurface& s, const TRect& rect) {
  TRect r = IntersectRect(rect, Rect(0, 0, s.Width(), s.Height()));
  if (r.IsEmpty()) return;
  XImage img{};
  img.format = ZPixmap;
  img.byte_order = (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) ? LSBFirst : MSBFirst;  // the surface's own order
  img.bitmap_bit_order = img.byte_order;
  img.bitmap_unit = 32;
  img.bitmap_pad = 32;
  img.bits_per_pixel = 32;
  img.depth = FDisplay->Depth();
  img.red_mask = 0xFF0000;
  img.green_mask = 0xFF00;
  img.blue_mask = 0xFF;
  int srcX = r.Left, srcY = r.Top;
  if (FDisplay->NeedsOpaqueAlpha()) {
    std::vector<uint32_t>& buf = FDisplay->Scratch();
    buf.resize(static_cast<size_t>(r.Width()) * static_cast<size_t>(r.Height()));
    uint32_t* out = buf.data();
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      const uint32_t* row = s.Row(y);
      for (int32_t x = r.Left; x < r.Right; ++x) *out++ = row[x] | 0xFF000000u;
    }
    img.width = r.Width();
    img.height = r.Height();
    img.data = reinterpret_cast<char*>(buf.data());
    srcX = srcY = 0;
  } else {
    // The image wraps the surface's memory: Xlib copies straight from it into its buffer.
    img.width = s.Width();
    img.height = s.Height();
    img.data = reinterpret_cast<char*>(const_cast<uint32_t*>(s.Row(0)));
  }
  img.bytes_per_line = img.width * 4;
  if (!XInitImage(&img)) return;
  XPutImage(FDisplay->Dpy(), FWindow, FGC, &img, srcX, srcY, r.Left, r.Top, static_cast<unsigned>(r.Width()),
            static_cast<unsigned>(r.Height()));
}

void TX11Window::FillRect(const TRect& r) {
  if (r.IsEmpty()) return;
  XFillRectangle(FDisplay->Dpy(), FWindow, FGC, r.Left, r.Top, static_cast<unsigned>(r.Width()),
                 static_cast<unsigned>(r.Height()));
}

void TX11Window::Present(const TSurface& surface, const TRect& r) {
  if (!Usable()) return;
  FLastSurface = &surface;
  PutRect(surface, r);
  // Out at once, but no round trip: a repaint while a transfer holds the thread must not wait.
  XFlush(FDisplay->Dpy());
}

void TX11Window::Exposed(const TRect& r) {
  if (!Usable()) return;
  int32_t sw = 0, sh = 0;
  if (FLastSurface) {
    PutRect(*FLastSurface, r);
    sw = FLastSurface->Width();
    sh = FLastSurface->Height();
  }
  // What the surface does not cover (before the first paint, or after the window grew) gets
  // the face colour instead of whatever the server left there.
  FillRect(Rect(std::max(r.Left, sw), r.Top, r.Right, r.Bottom));
  FillRect(Rect(r.Left, std::max(r.Top, sh), std::min(r.Right, sw), r.Bottom));
}

void TX11Window::Configured(int32_t w, int32_t h, unsigned long serial) {
  if (serial < FResizeSerial) return;       // older than our own resize, which overrides it
  if (w == FWidth && h == FHeight) return;  // our own resize, or a move
  FWidth = w;
  FHeight = h;
  PostMessage(FHandle, WM_SIZE, 0, MakeLParam(w, h));
}

// ---- the display and its events ----

TX11Display::TX11Display(XDisplay* dpy) : FDpy(dpy) {
  int scr = DefaultScreen(dpy);
  FDepth = DefaultDepth(dpy, scr);
  FFace = ColorToPixel(clBtnFace) | (FDepth == 32 ? 0xFF000000u : 0u);
  XInternAtoms(dpy, const_cast<char**>(kAtomNames), kAtomCount, False, FAtoms);
  XSetIOErrorExitHandler(dpy, &TX11Display::OnConnectionLost, this);
  FClipboard = std::make_unique<X11::TX11Clipboard>(dpy);
  Connections().push_back(this);
  FWatch = WatchHandle(ConnectionNumber(dpy), weRead, [this](uint16_t) {
    ProcessQueued();
    DropWatchIfLost();
  });
  FIdle = AddIdleHook([this] {
    if (!FLost) {
      XFlush(FDpy);
      if (XEventsQueued(FDpy, QueuedAlready) > 0) ProcessQueued();
    }
    DropWatchIfLost();
  });
}

TX11Display::~TX11Display() {
  for (auto& [id, w] : FWindows) w->Detach();
  FWindows.clear();
  FClipboard.reset();
  FWatch.reset();
  FIdle.reset();
  auto& all = Connections();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  XCloseDisplay(FDpy);
}

void TX11Display::OnConnectionLost(XDisplay*, void* self) {
  // Instead of Xlib's exit(): every later call on the connection does nothing, and the
  // program ends through its own loop, running its destructors.
  auto* d = static_cast<TX11Display*>(self);
  if (d->FLost) return;
  d->FLost = true;
  PostQuitMessage(1);
}

void TX11Display::DropWatchIfLost() {
  // A dead socket stays readable: watching it would wake the loop forever.
  if (FLost) FWatch.reset();
}

std::unique_ptr<TNativeWindow> TX11Display::CreateNativeWindow(HWND hwnd, int32_t clientW, int32_t clientH,
                                                               const std::string& title) {
  if (FLost) throw Exception("The connection to the X display was lost");
  return std::make_unique<TX11Window>(this, hwnd, clientW, clientH, title);
}

TSize TX11Display::ScreenSize() const {
  int scr = DefaultScreen(FDpy);
  return TSize{DisplayWidth(FDpy, scr), DisplayHeight(FDpy, scr)};
}

void TX11Display::SetClipboardText(const std::string& text) {
  if (!FLost) FClipboard->SetText(text);
}

std::string TX11Display::ClipboardText() { return FLost ? std::string() : FClipboard->Text(); }

void TX11Display::ProcessQueued() {
  while (!FLost && XPending(FDpy) > 0) {
    XEvent e;
    XNextEvent(FDpy, &e);
    Dispatch(e);
  }
  // Answers (expose repaints, selection replies) leave now, not at the next wait.
  if (!FLost) XFlush(FDpy);
}

void TX11Display::Dispatch(XEvent& e) {
  if (FClipboard->HandleEvent(e)) return;
  if (e.type == MappingNotify) {
    // Keyboard maps change under us (a test tool binding a spare key to a keysym).
    XRefreshKeyboardMapping(&e.xmapping);
    return;
  }
  auto it = FWindows.find(e.xany.window);
  if (it == FWindows.end()) return;
  TX11Window* w = it->second;
  switch (e.type) {
    case ConfigureNotify:
      // Only the latest size matters while the user drags the frame.
      while (XCheckTypedWindowEvent(FDpy, e.xany.window, ConfigureNotify, &e)) {
      }
      w->Configured(e.xconfigure.width, e.xconfigure.height, e.xconfigure.serial);
      break;
    case Expose: w->Exposed(Bounds(e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height)); break;
    case MapNotify:
    case UnmapNotify: w->Mapped(e.type == MapNotify); break;
    case ReparentNotify: w->Reparented(e.xreparent.parent); break;
    case ButtonPress:
    case ButtonRelease:
      if (e.xbutton.button != Button1) break;
      FClipboard->NoteTime(e.xbutton.time);
      PostMouse(w, e.type == ButtonPress ? WM_LBUTTONDOWN : WM_LBUTTONUP, e.xbutton.x, e.xbutton.y, e.xbutton.state,
                true);
      break;
    case MotionNotify: {
      // Only the latest position of a burst matters.
      while (XEventsQueued(FDpy, QueuedAlready) > 0) {
        XEvent next;
        XPeekEvent(FDpy, &next);
        if (next.type != MotionNotify || next.xmotion.window != e.xmotion.window) break;
        XNextEvent(FDpy, &e);
      }
      PostMouse(w, WM_MOUSEMOVE, e.xmotion.x, e.xmotion.y, e.xmotion.state, (e.xmotion.state & Button1Mask) != 0);
      break;
    }
    case KeyPress:
      FClipboard->NoteTime(e.xkey.time);
      HandleKey(w, e.xkey);
      break;
    case ClientMessage: HandleClientMessage(w, e.xclient); break;
    default: break;
  }
}

void TX11Display::PostMouse(TX11Window* w, uint32_t msg, int x, int y, unsigned int state, bool button) {
  PostMessage(w->Handle(), msg, MouseWParam(X11::ShiftOf(state), button), MakeLParam(x, y));
}

void TX11Display::HandleKey(TX11Window* w, XKeyEvent& e) {
  char buf[32];
  KeySym typed = NoSymbol;
  XLookupString(&e, buf, sizeof buf, &typed, nullptr);
  KeySym base = XLookupKeysym(&e, 0);
  X11::TKeyInput k = X11::TranslateKey(typed, base, e.state);
  if (k.KeyMessage) PostMessage(w->Handle(), k.KeyMessage, k.VirtualKey, KeyLParam(k.Shift));
  if (k.CharMessage) PostMessage(w->Handle(), k.CharMessage, k.Char, KeyLParam(k.Shift));
}

void TX11Display::HandleClientMessage(TX11Window* w, const XClientMessageEvent& e) {
  if (e.message_type != FAtoms[aWmProtocols] || e.format != 32) return;
  Atom protocol = static_cast<Atom>(e.data.l[0]);
  if (protocol == FAtoms[aWmDeleteWindow]) {
    PostMessage(w->Handle(), WM_CLOSE, 0, 0);
  } else if (protocol == FAtoms[aNetWmPing]) {
    // Answering tells the window manager we are alive, so it offers no "not responding" kill.
    XEvent reply{};
    reply.xclient = e;
    Window root = DefaultRootWindow(FDpy);
    reply.xclient.window = root;
    XSendEvent(FDpy, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &reply);
  }
}

// ---- opening ----

const char* VisualClassName(int c) {
  switch (c) {
    case StaticGray: return "StaticGray";
    case GrayScale: return "GrayScale";
    case StaticColor: return "StaticColor";
    case PseudoColor: return "PseudoColor";
    case TrueColor: return "TrueColor";
    case DirectColor: return "DirectColor";
    default: return "unknown";
  }
}

// The surfaces are 0x00RRGGBB words; the server must take them as they are.
void CheckVisual(XDisplay* dpy) {
  int scr = DefaultScreen(dpy);
  Visual* v = DefaultVisual(dpy, scr);
  int depth = DefaultDepth(dpy, scr);
  int bpp = 0;
  int count = 0;
  if (XPixmapFormatValues* f = XListPixmapFormats(dpy, &count)) {
    for (int i = 0; i < count; ++i)
      if (f[i].depth == depth) bpp = f[i].bits_per_pixel;
    XFree(f);
  }
  bool ok = v->c_class == TrueColor && (depth == 24 || depth == 32) && bpp == 32 && v->red_mask == 0xFF0000 &&
            v->green_mask == 0xFF00 && v->blue_mask == 0xFF;
  if (ok) return;
  char text[400];
  std::snprintf(text, sizeof text,
                "The X display \"%s\" has a %d-bit %s default visual; this program needs 24- or 32-bit TrueColor "
                "(for Xvfb: -screen 0 1024x768x24)",
                DisplayString(dpy), depth, VisualClassName(v->c_class));
  throw Exception(text);
}

}  // namespace

std::unique_ptr<TDisplay> CreateHostDisplay() {
  InstallErrorHandlers();
  XDisplay* dpy = XOpenDisplay(nullptr);
  if (!dpy) return nullptr;
  // Programs the wizard starts must not inherit the connection.
  fcntl(ConnectionNumber(dpy), F_SETFD, FD_CLOEXEC);
  try {
    CheckVisual(dpy);
  } catch (...) {
    XCloseDisplay(dpy);
    throw;
  }
  return std::make_unique<TX11Display>(dpy);
}

std::string HostDisplayUnavailable() { return "Cannot open the X display (set DISPLAY, or WIZARD_DISPLAY=headless)"; }

// ---- for the tests ----

XDisplay* X11::ConnectionOf(TDisplay& display) {
  auto* d = dynamic_cast<TX11Display*>(&display);
  return d ? d->Dpy() : nullptr;
}

Window X11::WindowOf(TNativeWindow& window) {
  auto* w = dynamic_cast<TX11Window*>(&window);
  return w ? w->Id() : 0;
}
