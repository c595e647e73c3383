// X11 input against the server in DISPLAY (Xvfb in CI; skipped without one): real synthetic
// clicks, drags and keys (xdotool), and the window manager's close request and ping.
#include "X11TestSupport.h"

namespace X11Test {
namespace {

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
  ASSERT_EQ(
      RunTool("xdotool mousemove --window " + id + " 10 10 mousedown 1 mousemove --window " + id + " 60 40 mouseup 1"),
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

}  // namespace
}  // namespace X11Test
