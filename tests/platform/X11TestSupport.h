// Shared by the X11 backend tests: helpers that look at a window through a second X connection,
// scope helpers for DISPLAY and stderr, and the fixture that opens the backend on $DISPLAY (and
// skips without a server), records what it posts, and pumps the loop against a deadline.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Display.h"
#include "Graphics.h"
#include "LoopWatch.h"
#include "Messages.h"
#include "SysUtils.h"
#include "X11Internal.h"

namespace X11Test {

inline bool HaveProgram(const char* name) {
  std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// Runs a command with a hard time limit; returns its exit status.
inline int RunTool(const std::string& cmd) { return std::system(("timeout 10 " + cmd + " >/dev/null 2>&1").c_str()); }

inline std::string Property(XDisplay* dpy, Window w, Atom prop, Atom* typeOut = nullptr) {
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

inline std::vector<unsigned long> LongProperty(XDisplay* dpy, Window w, Atom prop) {
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
inline void DrainQueue() {
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
    while (!(FDisplay = CreateHostDisplay()) && GetTickCount() - start < 3000) poll(nullptr, 0, 20);
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
inline TSurface Pattern(int w, int h, uint32_t salt) {
  TSurface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      s.Row(y)[x] = ((static_cast<uint32_t>(x) * 7 + salt) & 0xFF) << 16 |
                    ((static_cast<uint32_t>(y) * 5) & 0xFF) << 8 | ((static_cast<uint32_t>(x + y) + salt) & 0xFF);
  return s;
}

}  // namespace X11Test
