// The X11 clipboard against the server in DISPLAY (Xvfb in CI; skipped without one): round trips
// between two connections, the targets the owner answers, and foreign owners that answer STRING
// only, send INCR, or stay silent.
#include <atomic>
#include <thread>

#include "X11TestSupport.h"

namespace X11Test {
namespace {

// Catches text that does not survive a copy to another X client and back, or arrives in the
// wrong code page (0xE9 and the euro sign 0x80 travel as UTF-8).
TEST_F(X11DisplayTest, ClipboardRoundTripsBetweenTwoConnections) {
  std::unique_ptr<TDisplay> other = CreateHostDisplay();
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
    if (FStop[1] >= 0) [[maybe_unused]]
      ssize_t n = write(FStop[1], "q", 1);
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

}  // namespace
}  // namespace X11Test
