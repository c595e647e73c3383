// The X11 display backend against a real X server. Key translation needs no server; the
// window, pixel, input and clipboard tests use the server in DISPLAY (Xvfb in CI) and skip
// without one; the lost-server and wrong-visual tests start private Xvfb servers of their own.
// Input comes from real synthetic events (xdotool) and from the test's own X connection.
//
// Sections: helpers; key translation; windows; pixels; input; clipboard; private servers.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Display.h"
#include "Graphics.h"
#include "LoopWatch.h"
#include "Messages.h"
#include "SysUtils.h"
#include "X11Internal.h"

extern char** environ;

namespace {

// ---- helpers ----

bool HaveProgram(const char* name) {
  std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// Runs a command with a hard time limit; returns its exit status.
int RunTool(const std::string& cmd) { return std::system(("timeout 10 " + cmd + " >/dev/null 2>&1").c_str()); }

std::string Property(XDisplay* dpy, Window w, Atom prop, Atom* typeOut = nullptr) {
  Atom type = None;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  std::string out;
  if (XGetWindowProperty(dpy, w, prop, 0, 1 << 20, False, AnyPropertyType, &type, &format, &n, &after, &data) ==
          Success &&
      data) {
    if (format == 8) out.assign(reinterpret_cast<char*>(data), n);
    XFree(data);
  }
  if (typeOut) *typeOut = type;
  return out;
}

std::vector<unsigned long> LongProperty(XDisplay* dpy, Window w, Atom prop) {
  Atom type = None;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> out;
  if (XGetWindowProperty(dpy, w, prop, 0, 1 << 20, False, AnyPropertyType, &type, &format, &n, &after, &data) ==
          Success &&
      data) {
    if (format == 32) {
      // Xlib hands 32-bit items back as longs, sign-extended.
      auto* items = reinterpret_cast<unsigned long*>(data);
      for (unsigned long i = 0; i < n; ++i) out.push_back(items[i] & 0xFFFFFFFFul);
    }
    XFree(data);
  }
  return out;
}

// Sets DISPLAY for the scope.
class TDisplayEnv {
 public:
  explicit TDisplayEnv(const std::string& name) {
    const char* old = std::getenv("DISPLAY");
    FHad = old != nullptr;
    if (old) FOld = old;
    setenv("DISPLAY", name.c_str(), 1);
  }
  ~TDisplayEnv() {
    if (FHad)
      setenv("DISPLAY", FOld.c_str(), 1);
    else
      unsetenv("DISPLAY");
  }

 private:
  bool FHad = false;
  std::string FOld;
};

// Collects what is written to stderr during its life.
class TStderrCapture {
 public:
  TStderrCapture() {
    std::fflush(stderr);
    FSaved = dup(2);
    FFile = std::tmpfile();
    dup2(fileno(FFile), 2);
  }
  ~TStderrCapture() { Restore(); }
  std::string Take() {
    Restore();
    std::string s;
    if (!FFile) return s;
    std::rewind(FFile);
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, FFile)) > 0) s.append(buf, n);
    std::fclose(FFile);
    FFile = nullptr;
    return s;
  }

 private:
  void Restore() {
    if (FSaved < 0) return;
    std::fflush(stderr);
    dup2(FSaved, 2);
    close(FSaved);
    FSaved = -1;
  }
  int FSaved = -1;
  FILE* FFile = nullptr;
};

// Discards what is left in the message queue, so that one test's input cannot reach the next.
void DrainQueue() {
  TMsg m;
  while (PeekMessage(m))
    if (m.message != WM_QUIT) DispatchMessage(m);
}

// A backend display on $DISPLAY, a second connection ("probe") through which the test looks at
// what the backend did, and a hidden window that records the messages the backend posts.
class X11DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* d = std::getenv("DISPLAY");
    if (!d || !*d) GTEST_SKIP() << "DISPLAY is not set: no X server to test the X11 backend against";
    // An X server started without -noreset resets when its last client leaves, and refuses
    // connections for a moment meanwhile: retry for up to 3 s rather than skip.
    uint32_t start = GetTickCount();
    while (!(FDisplay = CreateX11Display()) && GetTickCount() - start < 3000) poll(nullptr, 0, 20);
    if (!FDisplay) GTEST_SKIP() << "cannot open the X display " << d;
    FProbe = XOpenDisplay(nullptr);
    ASSERT_NE(FProbe, nullptr) << "the test's own connection to " << d << " failed";
    FHwnd = AllocateHWnd([this](HWND, uint32_t m, WPARAM w, LPARAM l) -> LRESULT {
      if (m != WM_NULL) FGot.push_back(TMsg{FHwnd, m, w, l});
      return 0;
    });
    FProbeWatch = WatchHandle(ConnectionNumber(FProbe), weRead, [this](uint16_t) { DrainProbe(); });
    // After the backend's own hook: lets a test run the idle work once and return at once.
    FIdle = AddIdleHook([this] {
      if (XEventsQueued(FProbe, QueuedAlready) > 0) DrainProbe();
      if (FKick) {
        FKick = false;
        PostMessage(FHwnd, WM_NULL, 0, 0);
      }
    });
  }

  void TearDown() override {
    FWindow.reset();
    FIdle.reset();
    FProbeWatch.reset();
    if (FProbe) XCloseDisplay(FProbe);
    FDisplay.reset();
    DrainQueue();
    if (FHwnd) DeallocateHWnd(FHwnd);
  }

  XDisplay* Backend() { return X11::ConnectionOf(*FDisplay); }

  void DrainProbe() {
    bool any = false;
    while (XPending(FProbe) > 0) {
      XEvent e;
      XNextEvent(FProbe, &e);
      FProbeEvents.push_back(e);
      any = true;
    }
    // Wakes the waiting loop, which otherwise sleeps until a message arrives.
    if (any) PostMessage(FHwnd, WM_NULL, 0, 0);
  }

  void DispatchAll() {
    TMsg m;
    while (PeekMessage(m))
      if (m.message != WM_QUIT) DispatchMessage(m);
  }

  // Runs the loop until done() or the time limit.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    uint32_t start = GetTickCount();
    for (;;) {
      DispatchAll();
      if (done()) return true;
      int left = timeoutMs - static_cast<int>(GetTickCount() - start);
      if (left <= 0) return false;
      WaitMessage(left);
    }
  }

  // Makes the server and the backend catch up with each other: the backend's requests are
  // processed, events the server sent it are handled, and what that handling sent is processed.
  void Settle() {
    XSync(Backend(), False);
    FKick = true;
    WaitMessage(2000);
    XSync(Backend(), False);
    DispatchAll();
  }

  TNativeWindow& MakeWindow(int w, int h, const std::string& title) {
    FWindow = FDisplay->CreateNativeWindow(FHwnd, w, h, title);
    XSync(Backend(), False);
    // Map and configure notifications wake the waits below.
    XSelectInput(FProbe, Id(), StructureNotifyMask);
    return *FWindow;
  }
  Window Id() { return X11::WindowOf(*FWindow); }

  // A window manager maps and resizes top-level windows itself, some time after the request;
  // without one the server does it at once.
  bool WaitUntil(const std::function<bool()>& done) {
    Settle();
    return PumpUntil(done);
  }
  bool WaitMapState(int state) {
    return WaitUntil([&] {
      XWindowAttributes a{};
      return XGetWindowAttributes(FProbe, Id(), &a) && a.map_state == state;
    });
  }
  bool ShowAndWait(bool centre) {
    FWindow->Show(centre);
    bool shown = WaitMapState(IsViewable);
    Settle();  // the first Expose
    return shown;
  }

  std::vector<TMsg> Messages(uint32_t msg) const {
    std::vector<TMsg> out;
    for (const TMsg& m : FGot)
      if (m.message == msg) out.push_back(m);
    return out;
  }
  bool Has(uint32_t msg) const { return !Messages(msg).empty(); }

  uint32_t ServerPixel(int x, int y) {
    XImage* img = XGetImage(FProbe, Id(), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return 0xDEADBEEF;
    uint32_t p = static_cast<uint32_t>(XGetPixel(img, 0, 0)) & 0xFFFFFF;
    XDestroyImage(img);
    return p;
  }

  // The first pixel where the window differs from `expected` inside r, as "x,y: got/want".
  std::string FirstDifference(const TSurface& expected, const TRect& r) {
    XImage* img = XGetImage(FProbe, Id(), r.Left, r.Top, static_cast<unsigned>(r.Width()),
                            static_cast<unsigned>(r.Height()), AllPlanes, ZPixmap);
    if (!img) return "XGetImage failed";
    std::string diff;
    for (int y = r.Top; y < r.Bottom && diff.empty(); ++y)
      for (int x = r.Left; x < r.Right && diff.empty(); ++x) {
        uint32_t got = static_cast<uint32_t>(XGetPixel(img, x - r.Left, y - r.Top)) & 0xFFFFFF;
        uint32_t want = expected.Row(y)[x] & 0xFFFFFF;
        if (got != want) {
          char buf[96];
          std::snprintf(buf, sizeof buf, "%d,%d: got %06X want %06X", x, y, got, want);
          diff = buf;
        }
      }
    XDestroyImage(img);
    return diff;
  }

  std::unique_ptr<TDisplay> FDisplay;
  std::unique_ptr<TNativeWindow> FWindow;
  XDisplay* FProbe = nullptr;
  HWND FHwnd = 0;
  std::vector<TMsg> FGot;
  std::vector<XEvent> FProbeEvents;
  TLoopHandle FProbeWatch;
  TLoopHandle FIdle;
  bool FKick = false;
};

// A surface with a different colour in every pixel, so that offsets and swapped channels show.
TSurface Pattern(int w, int h, uint32_t salt) {
  TSurface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      s.Row(y)[x] = ((static_cast<uint32_t>(x) * 7 + salt) & 0xFF) << 16 | ((static_cast<uint32_t>(y) * 5) & 0xFF) << 8 |
                    ((static_cast<uint32_t>(x + y) + salt) & 0xFF);
  return s;
}

// ---- key translation ----

using X11::TranslateKey;

// Catches a keysym the forms need that maps to no virtual key or to the wrong one.
TEST(X11Keys, EditingAndNavigationKeysMapToWindowsVirtualKeys) {
  struct {
    KeySym sym;
    uint16_t vk;
  } cases[] = {{XK_Tab, VK_TAB},       {XK_Return, VK_RETURN},  {XK_KP_Enter, VK_RETURN}, {XK_Escape, VK_ESCAPE},
               {XK_BackSpace, VK_BACK}, {XK_Delete, VK_DELETE}, {XK_Left, VK_LEFT},       {XK_Right, VK_RIGHT},
               {XK_Up, VK_UP},         {XK_Down, VK_DOWN},      {XK_Home, VK_HOME},       {XK_End, VK_END},
               {XK_Insert, VK_INSERT}, {XK_space, VK_SPACE},    {XK_F1, VK_F1},           {XK_a, 'A'},
               {XK_z, 'Z'},            {XK_N, 'N'},             {XK_0, '0'},              {XK_9, '9'},
               {XK_KP_Left, VK_LEFT}};
  for (const auto& c : cases) {
    X11::TKeyInput k = TranslateKey(c.sym, c.sym, 0);
    EXPECT_EQ(k.KeyMessage, WM_KEYDOWN) << XKeysymToString(c.sym);
    EXPECT_EQ(k.VirtualKey, c.vk) << XKeysymToString(c.sym);
    EXPECT_EQ(k.Shift, 0) << XKeysymToString(c.sym);
  }
}

// Catches Shift+Tab (ISO_Left_Tab) not being a Tab, and lost modifier bits.
TEST(X11Keys, ModifiersBecomeTheShiftState) {
  X11::TKeyInput back = TranslateKey(XK_ISO_Left_Tab, XK_Tab, ShiftMask);
  EXPECT_EQ(back.VirtualKey, VK_TAB) << "Shift+Tab must move the focus backwards";
  EXPECT_EQ(back.Shift, ssShift);
  X11::TKeyInput all = TranslateKey(XK_A, XK_a, ShiftMask | ControlMask | Mod1Mask | LockMask | Mod2Mask);
  EXPECT_EQ(all.Shift, ssShift | ssCtrl | ssAlt) << "Caps Lock and Num Lock are not shift keys";
}

// Catches a shifted symbol losing its key's virtual key, and keypad digits turning into End.
TEST(X11Keys, ShiftedAndKeypadKeys) {
  X11::TKeyInput bang = TranslateKey(XK_exclam, XK_1, ShiftMask);
  EXPECT_EQ(bang.VirtualKey, '1');
  EXPECT_EQ(bang.CharMessage, WM_CHAR);
  EXPECT_EQ(bang.Char, '!');
  X11::TKeyInput kp1 = TranslateKey(XK_KP_1, XK_KP_End, Mod2Mask);
  EXPECT_NE(kp1.VirtualKey, VK_END) << "keypad 1 with Num Lock typed End";
  EXPECT_EQ(kp1.CharMessage, WM_CHAR);
  EXPECT_EQ(kp1.Char, '1');
  X11::TKeyInput kpEnd = TranslateKey(XK_KP_End, XK_KP_End, 0);
  EXPECT_EQ(kpEnd.VirtualKey, VK_END);
  EXPECT_EQ(kpEnd.CharMessage, 0u) << "End types no character";
}

// Catches Alt input not taking the system messages (accelerators need WM_SYSCHAR) and
// Ctrl shortcuts typing characters into edits.
TEST(X11Keys, AltMakesSystemMessagesAndCtrlTypesNothing) {
  X11::TKeyInput altN = TranslateKey(XK_n, XK_n, Mod1Mask);
  EXPECT_EQ(altN.KeyMessage, WM_SYSKEYDOWN);
  EXPECT_EQ(altN.VirtualKey, 'N');
  EXPECT_EQ(altN.Shift, ssAlt);
  EXPECT_EQ(altN.CharMessage, WM_SYSCHAR);
  EXPECT_EQ(altN.Char, 'n');
  X11::TKeyInput ctrlC = TranslateKey(XK_c, XK_c, ControlMask);
  EXPECT_EQ(ctrlC.KeyMessage, WM_KEYDOWN);
  EXPECT_EQ(ctrlC.VirtualKey, 'C');
  EXPECT_EQ(ctrlC.Shift, ssCtrl);
  EXPECT_EQ(ctrlC.CharMessage, 0u) << "Ctrl+C typed a character";
}

// Catches characters outside ASCII arriving in the wrong code page, or characters the code
// page lacks arriving as garbage instead of nothing.
TEST(X11Keys, TypedCharactersArriveInWindows1252) {
  struct {
    KeySym sym;
    int byte;
  } cases[] = {{XK_a, 'a'},          {XK_eacute, 0xE9},      {XK_ssharp, 0xDF},         {XK_EuroSign, 0x80},
               {0x10020AC, 0x80},    {0x1000152, 0x8C},      {XK_Scaron, 0x8A},         {0x1002014, 0x97},
               {0x1004E2D, -1},      {XK_BackSpace, 0x08},   {XK_Return, 0x0D},         {XK_KP_Enter, 0x0D},
               {XK_Escape, 0x1B},    {XK_Tab, 0x09},         {XK_Delete, -1},           {XK_Left, -1},
               {XK_F1, -1},          {XK_KP_Add, '+'},       {0x1000085, -1}};
  for (const auto& c : cases) {
    X11::TKeyInput k = TranslateKey(c.sym, c.sym, 0);
    if (c.byte < 0) {
      EXPECT_EQ(k.CharMessage, 0u) << "keysym 0x" << std::hex << c.sym << " typed 0x" << int(k.Char);
    } else {
      EXPECT_EQ(k.CharMessage, WM_CHAR) << "keysym 0x" << std::hex << c.sym;
      EXPECT_EQ(k.Char, c.byte) << "keysym 0x" << std::hex << c.sym;
    }
  }
}

// Catches Windows-1252's extra characters (0x80..0x9F) leaking into Latin-1 STRING data,
// where they are control codes.
TEST(X11Text, Latin1KeepsWhatItHasAndMarksTheRest) {
  EXPECT_EQ(X11::Cp1252ToLatin1("caf\xE9 \x80 5"), "caf\xE9 ? 5");
  EXPECT_EQ(X11::Latin1ToCp1252("caf\xE9 \x85"), "caf\xE9 ?");
}

// ---- windows ----

// Catches a window whose client area, title or size hints differ from what the form asked.
TEST_F(X11DisplayTest, WindowHasTheRequestedClientSizeTitleAndSizeHints) {
  MakeWindow(369, 241, "Upgrade \x80 caf\xE9");
  Settle();
  Window root;
  int x, y;
  unsigned w, h, border, depth;
  ASSERT_TRUE(XGetGeometry(FProbe, Id(), &root, &x, &y, &w, &h, &border, &depth)) << "no such window";
  EXPECT_EQ(w, 369u);
  EXPECT_EQ(h, 241u);

  char* name = nullptr;
  ASSERT_TRUE(XFetchName(FProbe, Id(), &name)) << "no WM_NAME";
  EXPECT_STREQ(name, "Upgrade ? caf\xE9") << "WM_NAME is Latin-1; the euro sign has no place there";
  XFree(name);
  Atom utf8 = XInternAtom(FProbe, "UTF8_STRING", False);
  Atom type = None;
  EXPECT_EQ(Property(FProbe, Id(), XInternAtom(FProbe, "_NET_WM_NAME", False), &type),
            "Upgrade \xE2\x82\xAC caf\xC3\xA9");
  EXPECT_EQ(type, utf8);

  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(FProbe, Id(), &hints, &supplied)) << "no WM_NORMAL_HINTS";
  EXPECT_TRUE(hints.flags & PMinSize);
  EXPECT_TRUE(hints.flags & PBaseSize);
  EXPECT_EQ(hints.min_width, 369);
  EXPECT_EQ(hints.min_height, 241);
  EXPECT_EQ(hints.base_width, 369);

  FWindow->SetTitle("Step 2");
  FWindow->SetClientSize(400, 300);
  WaitUntil([&] { return XGetGeometry(FProbe, Id(), &root, &x, &y, &w, &h, &border, &depth) && w == 400; });
  ASSERT_TRUE(XGetGeometry(FProbe, Id(), &root, &x, &y, &w, &h, &border, &depth));
  EXPECT_EQ(w, 400u);
  EXPECT_EQ(h, 300u);
  ASSERT_TRUE(XGetWMNormalHints(FProbe, Id(), &hints, &supplied));
  EXPECT_EQ(hints.min_width, 400) << "old minimum size would stop the window manager from fitting the new size";
  ASSERT_TRUE(XFetchName(FProbe, Id(), &name));
  EXPECT_STREQ(name, "Step 2");
  XFree(name);
}

// Catches a window shown at the corner, or moved again on a later Show.
TEST_F(X11DisplayTest, FirstShowCentresOnTheScreen) {
  TSize screen = FDisplay->ScreenSize();
  EXPECT_EQ(screen.cx, DisplayWidth(FProbe, DefaultScreen(FProbe)));
  EXPECT_EQ(screen.cy, DisplayHeight(FProbe, DefaultScreen(FProbe)));
  MakeWindow(300, 200, "centred");
  ASSERT_TRUE(ShowAndWait(true)) << "window not on screen within 5 s";
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(FProbe, Id(), DefaultRootWindow(FProbe), 0, 0, &rx, &ry, &child);
  // Exact without a window manager; a frame may shift the client by a few pixels.
  EXPECT_NEAR(rx + 150, screen.cx / 2, 16) << "client left edge at " << rx;
  EXPECT_NEAR(ry + 100, screen.cy / 2, 16) << "client top edge at " << ry;
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(FProbe, Id(), &hints, &supplied));
  EXPECT_TRUE(hints.flags & USPosition) << "a window manager would place the window itself";
}

// Catches Hide leaving the window on screen, or a hidden window that cannot come back.
TEST_F(X11DisplayTest, HideWithdrawsAndShowMapsAgain) {
  MakeWindow(120, 80, "hide and show");
  EXPECT_TRUE(ShowAndWait(false)) << "window not on screen within 5 s";
  FWindow->Hide();
  EXPECT_TRUE(WaitMapState(IsUnmapped)) << "hidden window still mapped after 5 s";
  EXPECT_TRUE(ShowAndWait(false)) << "window not back on screen within 5 s";
}

// Catches an icon sent with the wrong layout (Xlib's long-sized items), channels swapped, or
// transparent pixels.
TEST_F(X11DisplayTest, IconIsPublishedAsOpaqueArgb) {
  MakeWindow(100, 100, "icon");
  TSurface icon(2, 2);
  icon.Row(0)[0] = 0x112233;
  icon.Row(0)[1] = 0xFF0000;
  icon.Row(1)[0] = 0x00FF00;
  icon.Row(1)[1] = 0x0000FF;
  FWindow->SetIcon(icon);
  Settle();
  std::vector<unsigned long> v = LongProperty(FProbe, Id(), XInternAtom(FProbe, "_NET_WM_ICON", False));
  std::vector<unsigned long> want = {2, 2, 0xFF112233, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
  EXPECT_EQ(v, want);
}

// Catches the close protocol not being offered, so that the window manager kills the program
// instead of asking it to close.
TEST_F(X11DisplayTest, WindowOffersTheCloseAndPingProtocols) {
  MakeWindow(100, 100, "protocols");
  Settle();
  Atom* protocols = nullptr;
  int n = 0;
  ASSERT_TRUE(XGetWMProtocols(FProbe, Id(), &protocols, &n)) << "no WM_PROTOCOLS";
  std::vector<Atom> got(protocols, protocols + n);
  XFree(protocols);
  auto has = [&](const char* name) {
    return std::find(got.begin(), got.end(), XInternAtom(FProbe, name, False)) != got.end();
  };
  EXPECT_TRUE(has("WM_DELETE_WINDOW"));
  EXPECT_TRUE(has("_NET_WM_PING"));
}

// Catches a window that outlives its display (the application frees the backend last, but a
// test or an error path may not) touching the closed connection.
TEST_F(X11DisplayTest, WindowOutlivingItsDisplayIsHarmless) {
  MakeWindow(100, 100, "orphan");
  FWindow->Show(false);
  FDisplay.reset();
  TSurface s = Pattern(10, 10, 0);
  FWindow->Present(s, Rect(0, 0, 10, 10));
  FWindow->SetTitle("gone");
  FWindow->Hide();
  FWindow.reset();
  SUCCEED();
}

// ---- pixels ----

// Catches presented pixels that never reach the server, land offset, or come out with their
// channels swapped; and a partial present that copies more than its rectangle.
TEST_F(X11DisplayTest, PresentedPixelsArriveOnTheServer) {
  const int w = 369, h = 33;
  MakeWindow(w, h, "present");
  ASSERT_TRUE(ShowAndWait(false)) << "window not on screen within 5 s";
  TSurface s = Pattern(w, h, 0);
  FWindow->Present(s, Rect(0, 0, w, h));
  Settle();
  EXPECT_EQ(FirstDifference(s, Rect(0, 0, w, h)), "") << "after presenting the whole surface";

  TSurface before = s;
  TSurface changed = Pattern(w, h, 99);
  TRect part = Rect(40, 5, 90, 20);
  FWindow->Present(changed, part);
  Settle();
  EXPECT_EQ(FirstDifference(changed, part), "") << "inside the presented rectangle";
  EXPECT_EQ(FirstDifference(before, Rect(0, 0, 40, h)), "") << "left of the presented rectangle";
  EXPECT_EQ(FirstDifference(before, Rect(90, 0, w, h)), "") << "right of the presented rectangle";
  EXPECT_EQ(FirstDifference(before, Rect(40, 20, 90, h)), "") << "below the presented rectangle";
}

// Catches a present that stays in Xlib's buffer until the loop next waits: a progress bar
// repainted while a transfer holds the thread would not move. The rectangle is small enough
// for Xlib to buffer, and the backend's connection is neither synced nor pumped here.
TEST_F(X11DisplayTest, PresentLeavesAtOnceWithoutTheLoop) {
  MakeWindow(64, 48, "flush");
  ASSERT_TRUE(ShowAndWait(false)) << "window not on screen within 5 s";
  TSurface s = Pattern(64, 48, 5);
  FWindow->Present(s, Rect(0, 0, 64, 48));
  Settle();
  TSurface changed = Pattern(64, 48, 77);
  ASSERT_NE(changed.Row(3)[3], s.Row(3)[3]);
  FWindow->Present(changed, Rect(2, 2, 6, 6));
  // The bytes travel on another connection, so no event says when the server has them: look
  // again every 10 ms, for 2 s at most.
  std::string diff = "not checked";
  for (int i = 0; i < 200 && !diff.empty(); ++i) {
    diff = FirstDifference(changed, Rect(2, 2, 6, 6));
    if (!diff.empty()) poll(nullptr, 0, 10);
  }
  EXPECT_EQ(diff, "") << "the presented pixels did not reach the server within 2 s";
}

// Catches a rectangle reaching past the surface being read out of bounds (ASan) or drawn.
TEST_F(X11DisplayTest, PresentClipsToTheSurface) {
  MakeWindow(64, 48, "clip");
  ASSERT_TRUE(ShowAndWait(false)) << "window not on screen within 5 s";
  TSurface s = Pattern(64, 48, 3);
  FWindow->Present(s, Rect(-10, -10, 500, 500));
  Settle();
  EXPECT_EQ(FirstDifference(s, Rect(0, 0, 64, 48)), "");
}

// Catches Expose being ignored: a window covered and uncovered must show the form again.
TEST_F(X11DisplayTest, ExposeRepaintsFromTheLastPresentedSurface) {
  MakeWindow(64, 48, "expose");
  ASSERT_TRUE(ShowAndWait(false)) << "window not on screen within 5 s";
  TSurface s = Pattern(64, 48, 7);
  FWindow->Present(s, Rect(0, 0, 64, 48));
  Settle();
  ASSERT_EQ(FirstDifference(s, Rect(0, 0, 64, 48)), "");
  // Scribble over the window from the test's connection, then expose it.
  GC gc = XCreateGC(FProbe, Id(), 0, nullptr);
  XSetForeground(FProbe, gc, 0x000000);
  XFillRectangle(FProbe, Id(), gc, 0, 0, 64, 48);
  XFreeGC(FProbe, gc);
  XClearArea(FProbe, Id(), 10, 10, 30, 20, True);
  XSync(FProbe, False);
  Settle();
  EXPECT_EQ(FirstDifference(s, Rect(10, 10, 40, 30)), "") << "the exposed part was not presented again";
}

// Catches an exposed window that was never painted showing garbage instead of the face colour.
TEST_F(X11DisplayTest, ExposeBeforeAnyPaintShowsTheFaceColour) {
  MakeWindow(50, 30, "unpainted");
  ASSERT_TRUE(ShowAndWait(false)) << "window not on screen within 5 s";
  EXPECT_EQ(ServerPixel(0, 0), ColorToPixel(clBtnFace) & 0xFFFFFF);
  EXPECT_EQ(ServerPixel(49, 29), ColorToPixel(clBtnFace) & 0xFFFFFF);
}

// ---- input ----

// Catches clicks lost, posted at screen instead of client coordinates, or without the left
// button flag the forms read.
TEST_F(X11DisplayTest, RealClickPostsButtonMessagesAtClientCoordinates) {
  if (!HaveProgram("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  MakeWindow(200, 100, "click");
  ASSERT_TRUE(ShowAndWait(true)) << "window not on screen within 5 s";
  std::string id = std::to_string(Id());
  ASSERT_EQ(RunTool("xdotool mousemove --window " + id + " 37 21 click 1"), 0) << "xdotool failed";
  ASSERT_TRUE(PumpUntil([&] { return Has(WM_LBUTTONUP); })) << "no WM_LBUTTONUP within 5 s";
  std::vector<TMsg> down = Messages(WM_LBUTTONDOWN), up = Messages(WM_LBUTTONUP);
  ASSERT_EQ(down.size(), 1u);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(LParamX(down[0].lParam), 37);
  EXPECT_EQ(LParamY(down[0].lParam), 21);
  EXPECT_EQ(LParamX(up[0].lParam), 37);
  EXPECT_EQ(LParamY(up[0].lParam), 21);
  EXPECT_EQ(down[0].wParam & 1, 1u) << "left button flag missing";
  EXPECT_EQ(down[0].hwnd, FHwnd);
  // The other buttons are not the program's business.
  FGot.clear();
  ASSERT_EQ(RunTool("xdotool mousemove --window " + id + " 50 50 click 3"), 0);
  Settle();
  PumpUntil([&] { return false; }, 200);
  EXPECT_FALSE(Has(WM_LBUTTONDOWN)) << "the right button posted a left-button message";
}

// Catches a drag losing the button flag on its moves, which the forms need to track a press.
TEST_F(X11DisplayTest, DragPostsMovesWithTheLeftButtonFlag) {
  if (!HaveProgram("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  MakeWindow(200, 100, "drag");
  ASSERT_TRUE(ShowAndWait(true)) << "window not on screen within 5 s";
  std::string id = std::to_string(Id());
  ASSERT_EQ(RunTool("xdotool mousemove --window " + id + " 10 10 mousedown 1 mousemove --window " + id +
                " 60 40 mouseup 1"),
            0);
  ASSERT_TRUE(PumpUntil([&] { return Has(WM_LBUTTONUP); })) << "no WM_LBUTTONUP within 5 s";
  std::vector<TMsg> moves = Messages(WM_MOUSEMOVE);
  ASSERT_FALSE(moves.empty()) << "no WM_MOUSEMOVE";
  const TMsg& last = moves.back();
  EXPECT_EQ(LParamX(last.lParam), 60);
  EXPECT_EQ(LParamY(last.lParam), 40);
  EXPECT_EQ(last.wParam & 1, 1u) << "a move with the button held lacks the left button flag";
}

// Binds keysyms the server's keyboard map lacks to unused keycodes for the scope. xdotool
// would bind them only for the moment of its key press, and a client that looks the key up a
// little later finds the binding gone.
class TSpareKeys {
 public:
  TSpareKeys(XDisplay* dpy, std::initializer_list<KeySym> syms) : FDpy(dpy) {
    int minCode = 0, maxCode = 0, per = 0;
    XDisplayKeycodes(dpy, &minCode, &maxCode);
    KeySym* map = XGetKeyboardMapping(dpy, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &per);
    if (!map) return;
    auto it = syms.begin();
    for (int code = maxCode; code >= minCode && it != syms.end(); --code) {
      bool unused = true;
      for (int i = 0; i < per; ++i) unused = unused && map[(code - minCode) * per + i] == NoSymbol;
      if (!unused) continue;
      KeySym pair[2] = {*it, *it};
      XChangeKeyboardMapping(dpy, code, 2, pair, 1);
      FCodes.push_back(code);
      ++it;
    }
    XFree(map);
    XSync(dpy, False);
  }
  ~TSpareKeys() {
    for (int code : FCodes) {
      KeySym none[2] = {NoSymbol, NoSymbol};
      XChangeKeyboardMapping(FDpy, code, 2, none, 1);
    }
    XSync(FDpy, False);
  }
  size_t Count() const { return FCodes.size(); }

 private:
  XDisplay* FDpy;
  std::vector<int> FCodes;
};

// Catches keys posted with the wrong virtual key, message or shift state, for the keys the
// dialogs route (Tab, Shift+Tab, Return, Alt+accelerator) and for typed text.
TEST_F(X11DisplayTest, RealKeysPostVirtualKeysAndCharacters) {
  if (!HaveProgram("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  TSpareKeys spare(FProbe, {XK_eacute, XK_EuroSign});
  ASSERT_EQ(spare.Count(), 2u) << "no unused keycodes for the test's keysyms";
  MakeWindow(200, 100, "keys");
  ASSERT_TRUE(ShowAndWait(true)) << "window not on screen within 5 s";
  std::string id = std::to_string(Id());
  struct {
    const char* keys;
    uint32_t keyMsg;
    uint16_t vk;
    TShiftState shift;
    uint32_t charMsg;  // 0: no character expected
    uint8_t ch;
  } cases[] = {
      {"Tab", WM_KEYDOWN, VK_TAB, 0, WM_CHAR, 0x09},
      {"shift+Tab", WM_KEYDOWN, VK_TAB, ssShift, WM_CHAR, 0x09},
      {"Return", WM_KEYDOWN, VK_RETURN, 0, WM_CHAR, 0x0D},
      {"alt+n", WM_SYSKEYDOWN, 'N', ssAlt, WM_SYSCHAR, 'n'},
      {"ctrl+c", WM_KEYDOWN, 'C', ssCtrl, 0, 0},
      {"shift+a", WM_KEYDOWN, 'A', ssShift, WM_CHAR, 'A'},
      {"BackSpace", WM_KEYDOWN, VK_BACK, 0, WM_CHAR, 0x08},
      {"Left", WM_KEYDOWN, VK_LEFT, 0, 0, 0},
      {"eacute", 0, 0, 0, WM_CHAR, 0xE9},
      {"EuroSign", 0, 0, 0, WM_CHAR, 0x80},
  };
  for (const auto& c : cases) {
    FGot.clear();
    ASSERT_EQ(RunTool(std::string("xdotool key --window ") + id + " " + c.keys), 0) << c.keys;
    uint32_t last = c.charMsg ? c.charMsg : c.keyMsg;
    ASSERT_TRUE(PumpUntil([&] { return Has(last); })) << c.keys << ": nothing arrived within 5 s";
    Settle();  // a stray extra message would arrive by now
    if (c.keyMsg) {
      std::vector<TMsg> k = Messages(c.keyMsg);
      ASSERT_EQ(k.size(), 1u) << c.keys;
      EXPECT_EQ(k[0].wParam, c.vk) << c.keys;
      EXPECT_EQ(static_cast<TShiftState>(k[0].lParam), c.shift) << c.keys;
    }
    if (c.charMsg) {
      std::vector<TMsg> ch = Messages(c.charMsg);
      ASSERT_EQ(ch.size(), 1u) << c.keys;
      EXPECT_EQ(ch[0].wParam, c.ch) << c.keys;
    } else {
      EXPECT_FALSE(Has(WM_CHAR) || Has(WM_SYSCHAR)) << c.keys << " typed a character";
    }
  }
}

// Catches the title-bar close being ignored or killing the program instead of posting WM_CLOSE.
TEST_F(X11DisplayTest, WindowManagerCloseRequestPostsWmClose) {
  MakeWindow(100, 100, "close me");
  ASSERT_TRUE(ShowAndWait(false)) << "window not on screen within 5 s";
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = Id();
  e.xclient.message_type = XInternAtom(FProbe, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(FProbe, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(FProbe, Id(), False, NoEventMask, &e);
  XFlush(FProbe);
  ASSERT_TRUE(PumpUntil([&] { return Has(WM_CLOSE); })) << "no WM_CLOSE within 5 s";
  EXPECT_EQ(Messages(WM_CLOSE)[0].hwnd, FHwnd);
}

// Catches an unanswered ping, after which a window manager offers to kill the program.
TEST_F(X11DisplayTest, WindowManagerPingIsAnswered) {
  MakeWindow(100, 100, "ping");
  Settle();
  Window root = DefaultRootWindow(FProbe);
  XSelectInput(FProbe, root, SubstructureNotifyMask);
  Atom protocols = XInternAtom(FProbe, "WM_PROTOCOLS", False);
  Atom ping = XInternAtom(FProbe, "_NET_WM_PING", False);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = Id();
  e.xclient.message_type = protocols;
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(ping);
  e.xclient.data.l[1] = 4242;
  e.xclient.data.l[2] = static_cast<long>(Id());
  XSendEvent(FProbe, Id(), False, NoEventMask, &e);
  XFlush(FProbe);
  auto answered = [&] {
    for (const XEvent& ev : FProbeEvents)
      if (ev.type == ClientMessage && ev.xclient.window == root && ev.xclient.message_type == protocols &&
          static_cast<Atom>(ev.xclient.data.l[0]) == ping && ev.xclient.data.l[1] == 4242)
        return true;
    return false;
  };
  EXPECT_TRUE(PumpUntil(answered)) << "no ping reply on the root window within 5 s";
  XSelectInput(FProbe, root, NoEventMask);
}

// ---- clipboard ----

// Catches text that does not survive a copy to another X client and back, or arrives in the
// wrong code page (0xE9 and the euro sign 0x80 travel as UTF-8).
TEST_F(X11DisplayTest, ClipboardRoundTripsBetweenTwoConnections) {
  std::unique_ptr<TDisplay> other = CreateX11Display();
  ASSERT_TRUE(other) << "second connection failed";
  const std::string text = "caf\xE9 \x80 5 \x93quoted\x94";
  FDisplay->SetClipboardText(text);
  EXPECT_EQ(FDisplay->ClipboardText(), text) << "our own text while we own the clipboard";
  EXPECT_EQ(other->ClipboardText(), text) << "read through a second X connection";
  // The other way round: the first display loses ownership and reads the new owner's text.
  other->SetClipboardText("second \xE9");
  EXPECT_EQ(FDisplay->ClipboardText(), "second \xE9");
}

// Catches an owner that answers none of the usual targets, or answers STRING in Windows-1252
// rather than Latin-1.
TEST_F(X11DisplayTest, ClipboardOwnerAnswersTargetsUtf8AndString) {
  FDisplay->SetClipboardText("na\xEFve \x80");
  Window req = XCreateSimpleWindow(FProbe, DefaultRootWindow(FProbe), 0, 0, 1, 1, 0, 0, 0);
  Atom clipboard = XInternAtom(FProbe, "CLIPBOARD", False);
  Atom prop = XInternAtom(FProbe, "_TEST_PASTE", False);
  auto ask = [&](Atom target) -> bool {
    FProbeEvents.clear();
    XConvertSelection(FProbe, clipboard, target, prop, req, CurrentTime);
    XFlush(FProbe);
    return PumpUntil([&] {
      for (const XEvent& e : FProbeEvents)
        if (e.type == SelectionNotify && e.xselection.target == target) return e.xselection.property == prop;
      return false;
    });
  };
  Atom targets = XInternAtom(FProbe, "TARGETS", False);
  ASSERT_TRUE(ask(targets)) << "TARGETS unanswered";
  std::vector<unsigned long> offered = LongProperty(FProbe, req, prop);
  auto offers = [&](Atom a) { return std::find(offered.begin(), offered.end(), a) != offered.end(); };
  Atom utf8 = XInternAtom(FProbe, "UTF8_STRING", False);
  EXPECT_TRUE(offers(utf8));
  EXPECT_TRUE(offers(XA_STRING));
  EXPECT_TRUE(offers(XInternAtom(FProbe, "TEXT", False)));

  ASSERT_TRUE(ask(utf8)) << "UTF8_STRING unanswered";
  Atom type = None;
  EXPECT_EQ(Property(FProbe, req, prop, &type), "na\xC3\xAFve \xE2\x82\xAC");
  EXPECT_EQ(type, utf8);
  ASSERT_TRUE(ask(XA_STRING)) << "STRING unanswered";
  EXPECT_EQ(Property(FProbe, req, prop, &type), "na\xEFve ?");
  EXPECT_EQ(type, XA_STRING);
  XDestroyWindow(FProbe, req);
}

// Another X client that owns the clipboard, on its own connection and thread: it answers STRING
// only, sends an INCR reply, or stays silent.
class TForeignOwner {
 public:
  enum TMode { moStringOnly, moIncr, moSilent };
  TForeignOwner(TMode mode, std::string latin1) : FMode(mode), FText(std::move(latin1)) {
    if (pipe2(FStop, O_CLOEXEC) != 0) return;
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    FThread = std::thread([this, w = ready[1]] { Serve(w); });
    pollfd p{ready[0], POLLIN, 0};
    char b = 0;
    if (poll(&p, 1, 5000) == 1 && read(ready[0], &b, 1) == 1) FReady = b == 'y';
    close(ready[0]);
  }
  ~TForeignOwner() {
    if (FStop[1] >= 0) [[maybe_unused]] ssize_t n = write(FStop[1], "q", 1);
    if (FThread.joinable()) FThread.join();
    if (FStop[0] >= 0) close(FStop[0]);
    if (FStop[1] >= 0) close(FStop[1]);
  }
  bool Ready() const { return FReady; }
  int Requests() const { return FRequests; }

 private:
  void Serve(int readyFd) {
    XDisplay* dpy = XOpenDisplay(nullptr);
    Window win = 0;
    Atom clipboard = None;
    if (dpy) {
      win = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
      clipboard = XInternAtom(dpy, "CLIPBOARD", False);
      XSetSelectionOwner(dpy, clipboard, win, CurrentTime);
    }
    bool owned = dpy && XGetSelectionOwner(dpy, clipboard) == win;
    [[maybe_unused]] ssize_t n = write(readyFd, owned ? "y" : "n", 1);
    close(readyFd);
    if (!owned) {
      if (dpy) XCloseDisplay(dpy);
      return;
    }
    Atom incr = XInternAtom(dpy, "INCR", False);
    // Serves until told to stop, 10 s at most.
    uint64_t deadline = GetTickCount() + 10000u;
    for (;;) {
      while (XPending(dpy) > 0) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type != SelectionRequest) continue;
        ++FRequests;
        if (FMode == moSilent) continue;
        const XSelectionRequestEvent& r = e.xselectionrequest;
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = r.requestor;
        reply.xselection.selection = r.selection;
        reply.xselection.target = r.target;
        reply.xselection.time = r.time;
        reply.xselection.property = None;
        if (FMode == moIncr) {
          long size = 1 << 20;
          XChangeProperty(dpy, r.requestor, r.property, incr, 32, PropModeReplace,
                          reinterpret_cast<unsigned char*>(&size), 1);
          reply.xselection.property = r.property;
        } else if (r.target == XA_STRING) {
          XChangeProperty(dpy, r.requestor, r.property, XA_STRING, 8, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(FText.data()), static_cast<int>(FText.size()));
          reply.xselection.property = r.property;
        }
        XSendEvent(dpy, r.requestor, False, NoEventMask, &reply);
        XFlush(dpy);
      }
      int left = static_cast<int>(static_cast<int64_t>(deadline) - static_cast<int64_t>(GetTickCount()));
      if (left <= 0) break;
      pollfd p[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {FStop[0], POLLIN, 0}};
      if (poll(p, 2, left) > 0 && (p[1].revents & POLLIN)) break;
    }
    XCloseDisplay(dpy);
  }

  TMode FMode;
  std::string FText;
  int FStop[2] = {-1, -1};
  std::thread FThread;
  bool FReady = false;
  std::atomic<int> FRequests{0};
};

// Catches pasting from an owner that offers no UTF8_STRING (older programs) coming back empty,
// and a stale own text winning after another client took the clipboard.
TEST_F(X11DisplayTest, ClipboardFallsBackToStringFromAForeignOwner) {
  FDisplay->SetClipboardText("ours");
  TForeignOwner owner(TForeignOwner::moStringOnly, "d\xE9j\xE0 \x85");
  ASSERT_TRUE(owner.Ready()) << "the foreign owner could not take the clipboard";
  EXPECT_EQ(FDisplay->ClipboardText(), "d\xE9j\xE0 ?") << "Latin-1 C1 bytes are no Windows-1252 characters";
  EXPECT_GE(owner.Requests(), 2) << "UTF8_STRING first, then STRING";
}

// Catches a paste that hangs on an owner that never answers, or on an INCR transfer.
TEST_F(X11DisplayTest, ClipboardGivesUpOnSilentOwnersAndIncrTransfers) {
  {
    TForeignOwner owner(TForeignOwner::moIncr, "");
    ASSERT_TRUE(owner.Ready());
    EXPECT_EQ(FDisplay->ClipboardText(), "") << "an INCR reply must be refused";
  }
  {
    TForeignOwner owner(TForeignOwner::moSilent, "");
    ASSERT_TRUE(owner.Ready());
    uint32_t start = GetTickCount();
    EXPECT_EQ(FDisplay->ClipboardText(), "");
    // A guard against an unbounded wait, not a timing goal.
    EXPECT_LT(GetTickCount() - start, 5000u) << "the paste waited too long for a silent owner";
  }
}

// ---- private servers ----

// An Xvfb of the test's own, on a free display number.
class TPrivateServer {
 public:
  explicit TPrivateServer(const char* screen) {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, p[1], 3);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", nullptr};
    int rc = posix_spawnp(&FPid, "Xvfb", &fa, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(p[1]);
    if (rc != 0) {
      FPid = -1;
      close(p[0]);
      return;
    }
    std::string number;
    uint32_t start = GetTickCount();
    for (;;) {
      int left = 10000 - static_cast<int>(GetTickCount() - start);
      pollfd pf{p[0], POLLIN, 0};
      if (left <= 0 || poll(&pf, 1, left) <= 0) break;
      char c;
      if (read(p[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(p[0]);
    if (!number.empty()) FName = ":" + number;
  }
  ~TPrivateServer() {
    Kill(SIGTERM);
    if (!FName.empty()) {
      // A killed server leaves its lock and socket behind.
      std::string n = FName.substr(1);
      unlink(("/tmp/.X" + n + "-lock").c_str());
      unlink(("/tmp/.X11-unix/X" + n).c_str());
    }
  }
  void Kill(int sig) {
    if (FPid <= 0) return;
    kill(FPid, sig);
    int status;
    waitpid(FPid, &status, 0);  // a signalled Xvfb ends at once
    FPid = -1;
  }
  const std::string& Name() const { return FName; }

 private:
  pid_t FPid = -1;
  std::string FName;
};

// Catches a lost X server ending the process from inside Xlib (exit without our cleanup) or
// silently: the loop must get WM_QUIT, stderr a clear line, and the backend must stay callable.
TEST(X11Server, LostServerEndsTheLoopWithAMessageInsteadOfExiting) {
  if (!HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
  TPrivateServer server("320x240x24");
  ASSERT_FALSE(server.Name().empty()) << "private Xvfb did not start";
  std::unique_ptr<TDisplay> display;
  {
    TDisplayEnv env(server.Name());
    display = CreateX11Display();
  }
  ASSERT_TRUE(display) << "cannot connect to the private server " << server.Name();
  HWND hwnd = AllocateHWnd([](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; });
  std::unique_ptr<TNativeWindow> win = display->CreateNativeWindow(hwnd, 80, 60, "doomed");
  win->Show(false);
  TSurface s = Pattern(80, 60, 1);
  win->Present(s, Rect(0, 0, 80, 60));

  TStderrCapture err;
  server.Kill(SIGKILL);
  bool quit = false;
  uint32_t start = GetTickCount();
  while (!quit) {
    int left = 5000 - static_cast<int>(GetTickCount() - start);
    if (left <= 0) break;
    WaitMessage(left);
    TMsg m;
    while (PeekMessage(m)) {
      if (m.message == WM_QUIT)
        quit = true;
      else
        DispatchMessage(m);
    }
  }
  std::string text = err.Take();
  EXPECT_TRUE(quit) << "no WM_QUIT within 5 s of the server's death";
  EXPECT_NE(text.find("lost the connection to the X display"), std::string::npos) << "stderr: " << text;
  EXPECT_NE(text.find(server.Name()), std::string::npos) << "the message should name the display: " << text;
  // Everything after the loss is a harmless no-op.
  win->Present(s, Rect(0, 0, 80, 60));
  win->SetTitle("still here");
  win->Hide();
  display->SetClipboardText("x");
  EXPECT_EQ(display->ClipboardText(), "");
  EXPECT_THROW(display->CreateNativeWindow(hwnd, 10, 10, "late"), Exception);
  win.reset();
  display.reset();
  DeallocateHWnd(hwnd);
  DrainQueue();
}

// Catches a palette display being accepted (every colour would come out wrong) or refused
// without saying why.
TEST(X11Server, NonTrueColorDisplayIsRefusedWithAClearMessage) {
  if (!HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
  TPrivateServer server("320x240x8");
  ASSERT_FALSE(server.Name().empty()) << "private Xvfb did not start";
  TDisplayEnv env(server.Name());
  try {
    std::unique_ptr<TDisplay> d = CreateX11Display();
    FAIL() << "an 8-bit display was accepted";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find("PseudoColor"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("24- or 32-bit TrueColor"), std::string::npos) << e.Message();
  }
}

// Catches a missing server being reported by a crash or an exception instead of null, which
// the caller turns into its own message.
TEST(X11Server, NoServerGivesNull) {
  TDisplayEnv env(":4095");
  EXPECT_EQ(CreateX11Display(), nullptr);
}

}  // namespace
