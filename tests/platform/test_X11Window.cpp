// X11 windows against the server in DISPLAY (Xvfb in CI; skipped without one): size, title,
// hints, placement, icon, protocols; and presented pixels, partial presents and Expose.
//
// Sections: windows; pixels.
#include "X11TestSupport.h"

namespace X11Test {
namespace {

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

}  // namespace
}  // namespace X11Test
