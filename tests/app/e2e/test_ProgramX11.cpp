// The whole program in a real X11 window under Xvfb: it opens centred on the welcome page with
// only Next and Cancel, a real click on Next moves to the connection page, and the title-bar
// close ends it with exit code 0 without starting "restart.exe"; its message boxes are dialogs
// of the main window that take Return and Escape and give the keyboard back. The same tests
// run with and without a window manager: with one, the title-bar close is a real click on the
// frame's close button and the keyboard goes where the window manager puts it. Skipped
// without DISPLAY; one test checks the program without any display it can open.
//
// Sections: the fixture (start, pixels, focus, frames, message boxes, the title-bar close);
// the window; the error report; the roads with a modem; without a display.
#include <gtest/gtest.h>
// After the test framework: the X headers define macros (None, Bool, Status) it also uses.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Files.h"
#include "Graphics.h"
#include "ProcessAddress.h"
#include "RealTftpServer.h"
#include "SimModem.h"

extern char** environ;

namespace {

const char* kTitle = "Pelko Norvane Firmware Upgrade Software";
const char* kBoxTitle = "Project1";  // message boxes carry the application title

// Under a window manager a window may be between sizes, or covered, for a moment: a read that
// fails then is retried by the waits instead of ending the test.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

Window FindByName(Display* d, Window w, const std::string& name) {
  char* n = nullptr;
  if (XFetchName(d, w, &n) && n) {
    bool match = name == n;
    XFree(n);
    if (match) return w;
  }
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && !found; ++i) found = FindByName(d, children[i], name);
  if (children) XFree(children);
  return found;
}

class ProgramX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no DISPLAY: run under Xvfb";
    D = XOpenDisplay(nullptr);
    if (!D) GTEST_SKIP() << "cannot open DISPLAY " << display;
    XSetErrorHandler(IgnoreXErrors);
    char tmpl[] = "/tmp/wizard-e2e-XXXXXX";
    Dir = mkdtemp(tmpl);
    // A restart program that records that it ran.
    std::filesystem::copy_file(RESTART_HELPER, Dir + "/restart.exe");
  }
  void TearDown() override {
    if (Pid > 0) {
      kill(Pid, SIGKILL);
      waitpid(Pid, nullptr, 0);
    }
    if (D) XCloseDisplay(D);
    if (!Dir.empty()) std::system(("rm -rf '" + Dir + "'").c_str());
  }
  void Start() {
    std::string program = PROGRAM_PATH;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addchdir_np(&fa, Dir.c_str());
    char* argv[] = {program.data(), nullptr};
    ASSERT_EQ(posix_spawn(&Pid, program.c_str(), &fa, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!Win && std::chrono::steady_clock::now() < deadline) {
      Win = FindByName(D, DefaultRootWindow(D), kTitle);
      if (!Win) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_NE(Win, 0u) << "the window did not appear";
    // Wait until it is mapped and painted: the page and the button bar reach the server in
    // separate pieces, so one pixel of the page does not tell that the bar is there yet.
    XWindowAttributes a{};
    while (std::chrono::steady_clock::now() < deadline) {
      XGetWindowAttributes(D, Win, &a);
      if (a.map_state == IsViewable && Pixel(80, 300) == Rgb(10, 36, 106) && Pixel(300, 545) == Rgb(212, 208, 200) &&
          Pixel(451, 538) == Rgb(255, 255, 255))
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // Keys go to the focused window. A window manager gives the new window the focus; without
  // one the test does.
  void FocusMainWindow() {
    if (Framed(Win))
      EXPECT_TRUE(WaitFocus(Win)) << "the window manager did not focus the new window";
    else
      ASSERT_EQ(std::system(("xdotool windowfocus --sync " + std::to_string(Win)).c_str()), 0);
  }
  static unsigned long Rgb(int r, int g, int b) { return (unsigned long)((r << 16) | (g << 8) | b); }
  unsigned long Pixel(int x, int y, Window w = 0) {
    XImage* img = XGetImage(D, w ? w : Win, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return 0xFFFFFFFF;
    unsigned long p = XGetPixel(img, 0, 0) & 0xFFFFFF;
    XDestroyImage(img);
    return p;
  }
  bool WaitPixel(int x, int y, unsigned long want, int ms = 5000, Window w = 0) {
    for (int i = 0; i < ms / 50; ++i) {
      if (Pixel(x, y, w) == want) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
    for (int i = 0; i < ms / 20; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
  }
  Window Focus() {
    Window f = 0;
    int revert = 0;
    XGetInputFocus(D, &f, &revert);
    return f;
  }
  bool WaitFocus(Window w, int ms = 5000) {
    return WaitUntil([&] { return Focus() == w; }, ms);
  }
  Window FindWindow(const char* name) { return FindByName(D, DefaultRootWindow(D), name); }
  Window Parent(Window w) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(D, w, &root, &parent, &children, &count)) return 0;
    if (children) XFree(children);
    return parent;
  }
  // A window manager reparents the windows it manages into its frames.
  bool Framed(Window w) { return Parent(w) != DefaultRootWindow(D); }
  // Where the window's client area is on the screen.
  TRect ScreenRect(Window w) {
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(D, w, DefaultRootWindow(D), 0, 0, &x, &y, &child);
    XWindowAttributes a{};
    XGetWindowAttributes(D, w, &a);
    return Bounds(x, y, a.width, a.height);
  }
  // The window as the X server shows it, kept as a PNG in the build tree.
  void SaveShot(Window w, const std::string& name) {
    TRect r = ScreenRect(w);
    XImage* img =
        XGetImage(D, w, 0, 0, static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()), AllPlanes, ZPixmap);
    ASSERT_NE(img, nullptr);
    TSurface shot(r.Width(), r.Height());
    for (int32_t yy = 0; yy < r.Height(); ++yy)
      for (int32_t xx = 0; xx < r.Width(); ++xx) shot.Row(yy)[xx] = XGetPixel(img, xx, yy) & 0xFFFFFF;
    XDestroyImage(img);
    mkdir(SCREENSHOT_DIR, 0755);
    shot.SavePng(std::string(SCREENSHOT_DIR) + "/" + name);
  }
  // Waits until the rectangle is all window colour (white).
  bool WaitBlank(int x, int y, int w, int h, int ms) {
    for (int i = 0; i < ms / 50; ++i) {
      XImage* img = XGetImage(D, Win, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
      bool blank = img != nullptr;
      for (int yy = 0; blank && yy < h; ++yy)
        for (int xx = 0; blank && xx < w; ++xx) blank = (XGetPixel(img, xx, yy) & 0xFFFFFF) == 0xFFFFFF;
      if (img) XDestroyImage(img);
      if (blank) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  int WaitExit(int ms = 10000) {
    for (int i = 0; i < ms / 20; ++i) {
      int status = 0;
      pid_t r = waitpid(Pid, &status, WNOHANG);
      if (r == Pid) {
        Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  // Waits for a message box and checks that it is a dialog of the main window: kept above it
  // (transient for it, of the dialog type), of a fixed size, centred on it, and holding the
  // keyboard. Returns the box, or 0 when none came.
  Window WaitMessageBox(int ms) {
    Window box = 0;
    WaitUntil(
        [&] {
          box = FindWindow(kBoxTitle);
          XWindowAttributes a{};
          return box && XGetWindowAttributes(D, box, &a) && a.map_state == IsViewable;
        },
        ms);
    if (!box) {
      ADD_FAILURE() << "no message box within " << ms << " ms";
      return 0;
    }
    Window owner = 0;
    EXPECT_TRUE(XGetTransientForHint(D, box, &owner) && owner == Win) << "not kept above the main window";
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(D, box, XInternAtom(D, "_NET_WM_WINDOW_TYPE", False), 0, 8, False, XA_ATOM, &type, &format,
                       &items, &after, &data);
    EXPECT_TRUE(data && items == 1 &&
                reinterpret_cast<Atom*>(data)[0] == XInternAtom(D, "_NET_WM_WINDOW_TYPE_DIALOG", False))
        << "not of the dialog type";
    if (data) XFree(data);
    TRect b = ScreenRect(box), m = ScreenRect(Win);
    XSizeHints hints{};
    long supplied = 0;
    EXPECT_TRUE(XGetWMNormalHints(D, box, &hints, &supplied) && (hints.flags & PMaxSize) &&
                hints.max_width == b.Width() && hints.min_width == b.Width() && hints.max_height == b.Height())
        << "resizable";
    EXPECT_NEAR(b.Left + b.Right, m.Left + m.Right, 2) << "not centred on the main window";
    EXPECT_NEAR(b.Top + b.Bottom, m.Top + m.Bottom, 2) << "not centred on the main window";
    EXPECT_TRUE(WaitFocus(box)) << "the box does not have the keyboard";
    return box;
  }
  bool WaitBoxGone() {
    return WaitUntil([&] { return FindWindow(kBoxTitle) == 0; });
  }
  // The frame's close button: the rightmost small button in the title bar above the client.
  bool FindCloseButton(Window frame, int clientTop, int& x, int& y) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(D, frame, &root, &parent, &children, &count)) return false;
    bool found = false;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes a{};
      if (!XGetWindowAttributes(D, children[i], &a) || a.map_state != IsViewable || a.c_class != InputOutput) continue;
      TRect r = ScreenRect(children[i]);
      bool button = r.Width() >= 6 && r.Width() <= 40 && std::abs(r.Width() - r.Height()) <= 4 && r.Bottom <= clientTop;
      if (button && (!found || r.Left + r.Width() / 2 > x)) {
        x = r.Left + r.Width() / 2;
        y = r.Top + r.Height() / 2;
        found = true;
      }
      int cx = 0, cy = 0;
      if (FindCloseButton(children[i], clientTop, cx, cy) && (!found || cx > x)) {
        x = cx;
        y = cy;
        found = true;
      }
    }
    if (children) XFree(children);
    return found;
  }
  // As the user does it: a click on the frame's close button; without a window manager the
  // request it would send.
  void CloseByTitleBar() {
    if (Framed(Win)) {
      Window frame = Win;
      while (Parent(frame) && Parent(frame) != DefaultRootWindow(D)) frame = Parent(frame);
      int x = 0, y = 0;
      ASSERT_TRUE(FindCloseButton(frame, ScreenRect(Win).Top, x, y)) << "no close button on the frame";
      std::string cmd = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1";
      ASSERT_EQ(std::system(cmd.c_str()), 0);
      return;
    }
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Win;
    e.xclient.message_type = XInternAtom(D, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(D, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(D, Win, False, NoEventMask, &e);
    XFlush(D);
  }
  Display* D = nullptr;
  Window Win = 0;
  pid_t Pid = -1;
  std::string Dir;
};

}  // namespace

// Catches a window of the wrong size or title, a start on another page, extra buttons, or a
// title-bar close that does not end the program cleanly.
TEST_F(ProgramX11, OpensOnWelcomePageAndClosesByTitleBar) {
  Start();
  Window root;
  int x, y;
  unsigned w, h, border, depth;
  XGetGeometry(D, Win, &root, &x, &y, &w, &h, &border, &depth);
  EXPECT_EQ(w, 534u);
  EXPECT_EQ(h, 570u);
  // Centred on the screen, also where a window manager placed it.
  TRect client = ScreenRect(Win);
  const int sw = DisplayWidth(D, DefaultScreen(D)), sh = DisplayHeight(D, DefaultScreen(D));
  std::printf("main window client area at %d,%d (%s a window manager); its centre %d,%d, the screen's %d,%d\n",
              client.Left, client.Top, Framed(Win) ? "under" : "without", (client.Left + client.Right) / 2,
              (client.Top + client.Bottom) / 2, sw / 2, sh / 2);
  EXPECT_NEAR(client.Left + client.Right, sw, 2);
  EXPECT_NEAR(client.Top + client.Bottom, sh, 2);
  EXPECT_EQ(Pixel(80, 300), Rgb(10, 36, 106)) << "the welcome page's strip";
  EXPECT_EQ(Pixel(300, 545), Rgb(212, 208, 200)) << "no Back button on the welcome page";
  EXPECT_EQ(Pixel(451, 538), Rgb(255, 255, 255)) << "Cancel's raised edge";
  EXPECT_EQ(Pixel(367, 539), Rgb(255, 255, 255)) << "Next's raised edge inside its default frame";
  // The program's icon reaches the window manager: 32 x 32, opaque.
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(D, Win, XInternAtom(D, "_NET_WM_ICON", False), 0, 4096, False, XA_CARDINAL, &type,
                               &format, &items, &after, &data),
            Success);
  ASSERT_NE(data, nullptr) << "no window icon";
  const auto* icon = reinterpret_cast<const unsigned long*>(data);
  ASSERT_EQ(items, 2u + 32u * 32u);
  EXPECT_EQ(icon[0], 32u);
  EXPECT_EQ(icon[1], 32u);
  EXPECT_EQ((icon[2] >> 24) & 0xFFu, 0xFFu);  // Xlib widens 32-bit items to long
  XFree(data);
  SaveShot(Win, "x11-welcome.png");
  CloseByTitleBar();
  EXPECT_EQ(WaitExit(), 0);
  struct stat st {};
  EXPECT_NE(stat((Dir + "/restart-ran").c_str(), &st), 0) << "closing must not start restart.exe";
}

// Catches a real mouse click that does not reach the Next button's handler.
TEST_F(ProgramX11, RealClickOnNextOpensConnectionPage) {
  Start();
  std::string cmd = "xdotool mousemove --window " + std::to_string(Win) + " 400 550 click 1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_TRUE(WaitPixel(100, 68, Rgb(128, 128, 128))) << "the connection page's header divider";
  FocusMainWindow();
  ASSERT_EQ(std::system("xdotool key Escape"), 0);
  EXPECT_EQ(WaitExit(), 0) << "Escape clicks Cancel, which ends the program";
}

// Catches a window whose contents ignore a resize by the user: the wizard fills the client
// area, so its button bar follows the bottom right corner.
TEST_F(ProgramX11, WizardFollowsTheWindowSize) {
  Start();
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(D, Win, DefaultRootWindow(D), 0, 0, &x, &y, &child);
  if (x + 634 > DisplayWidth(D, DefaultScreen(D)) || y + 630 > DisplayHeight(D, DefaultScreen(D)))
    GTEST_SKIP() << "the screen is too small to read the grown window back";
  XResizeWindow(D, Win, 634, 630);  // what a window manager does when the user drags the frame
  XFlush(D);
  EXPECT_TRUE(WaitPixel(300, 588, Rgb(128, 128, 128))) << "the bar's divider moved down by 60";
  EXPECT_TRUE(WaitPixel(551, 598, Rgb(255, 255, 255))) << "Cancel's raised edge moved by 100, 60";
  EXPECT_EQ(Pixel(80, 300), Rgb(10, 36, 106)) << "still the welcome page";
  XResizeWindow(D, Win, 534, 570);
  XFlush(D);
  EXPECT_TRUE(WaitPixel(451, 538, Rgb(255, 255, 255))) << "back at the designed place";
  EXPECT_TRUE(WaitPixel(300, 528, Rgb(128, 128, 128)));
  CloseByTitleBar();
  EXPECT_EQ(WaitExit(), 0);
}

// Catches the error report shown without the error icon, one that Return does not close, and
// a main window that does not get the keyboard back; after the report the only way on is
// the title-bar close, which must still end the program.
TEST_F(ProgramX11, ErrorReportShowsTheErrorIconAndTakesReturn) {
  Start();  // no "TEImage.bin": the recovery upload fails at its first step
  FocusMainWindow();
  ASSERT_EQ(std::system("xdotool key alt+n"), 0);
  ASSERT_TRUE(WaitPixel(100, 68, Rgb(128, 128, 128))) << "the connection page's header divider";
  ASSERT_EQ(std::system(("xdotool mousemove --window " + std::to_string(Win) + " 40 393 click 1").c_str()), 0);
  ASSERT_EQ(std::system("xdotool key alt+n"), 0);  // to the flashing-lights page
  ASSERT_EQ(std::system("xdotool key alt+n"), 0);  // whose Next starts the upload
  Window box = WaitMessageBox(10000);
  ASSERT_NE(box, 0u);
  EXPECT_TRUE(WaitPixel(32, 21, Rgb(0xD4, 0x20, 0x20), 5000, box)) << "the error icon's red disc";
  EXPECT_EQ(Pixel(32, 32, box), Rgb(255, 255, 255)) << "the error icon's white cross";
  SaveShot(box, "x11-error-box.png");
  ASSERT_EQ(std::system("xdotool key Return"), 0);
  EXPECT_TRUE(WaitBoxGone()) << "Return did not close the box";
  EXPECT_TRUE(WaitFocus(Win)) << "the keyboard did not come back to the main window";
  CloseByTitleBar();
  EXPECT_EQ(WaitExit(), 0);
}

namespace {

// The program with a modem to probe: the simulated modem's telnet side on an address of its
// own, and "TEPatch.bin" in the program's directory.
class ProgramX11Road : public ProgramX11 {
 protected:
  void SetUp() override {
    ProgramX11::SetUp();
    if (IsSkipped()) return;
    Address = ProcessLoopbackAddress(78);
    ModemDir = Dir + "/modem";
    mkdir(ModemDir.c_str(), 0777);
    Telnet.TftpEnabled = false;
    ASSERT_TRUE(Telnet.Start(Address, 23, 69, ModemDir)) << Telnet.Failure() << " (needs root)";
    Firmware.assign(150000, '\0');
    for (size_t i = 0; i < Firmware.size(); ++i) Firmware[i] = static_cast<char>((i * 7919u) >> 3);
    std::ofstream out(Dir + "/TEPatch.bin", std::ios::binary);
    out.write(Firmware.data(), static_cast<std::streamsize>(Firmware.size()));
  }
  // Starts the program and takes it by the keyboard to the verdict page with the modem's
  // address typed in as the custom address.
  void ToVerdictPage() {
    Start();
    FocusMainWindow();
    ASSERT_EQ(std::system("xdotool key alt+n"), 0);
    ASSERT_EQ(std::system(("xdotool mousemove --window " + std::to_string(Win) + " 40 297 click 1").c_str()), 0);
    ASSERT_EQ(std::system(("xdotool type --delay 10 " + Address).c_str()), 0);
    ASSERT_EQ(std::system("xdotool key alt+n"), 0);
    // The probe holds the connection for two seconds; then the verdict page offers Next.
    for (int i = 0; i < 200 && Telnet.TelnetConnections() == 0; ++i) usleep(50000);
    ASSERT_EQ(Telnet.TelnetConnections(), 1) << "the probe did not reach the modem";
    // Page 3's title "Important" is shorter than page 1's: the band right of it turns blank.
    ASSERT_TRUE(WaitBlank(130, 6, 80, 14, 10000)) << "the verdict page did not open";
  }
  std::string Address;
  std::string ModemDir;
  std::string Firmware;
  SimModem::TModem Telnet;
};
}  // namespace

// Catches a normal road that breaks anywhere between real X input, the telnet probe and a
// real TFTP server: the server's copy of the firmware must equal the file byte for byte.
TEST_F(ProgramX11Road, NormalRoadAgainstARealTftpServer) {
  // Listening before the program starts, so that its upload cannot arrive first.
  RealPeers::TRealTftpServer server(RealPeers::rsTftpdHpa, Address, 69);
  ASSERT_EQ(server.Problem(), "");

  ToVerdictPage();
  ASSERT_EQ(std::system("xdotool key alt+n"), 0);
  std::string copy;
  for (int i = 0; i < 400; ++i) {
    copy = ReadFile(server.FileInDir("TEPatch.bin"));
    if (copy.size() == Firmware.size()) break;
    usleep(50000);
  }
  EXPECT_EQ(copy.size(), Firmware.size());
  EXPECT_TRUE(copy == Firmware) << "the server's copy differs";
  ASSERT_EQ(std::system("xdotool key alt+f"), 0);
  EXPECT_EQ(WaitExit(), 0);
  struct stat st {};
  bool ran = false;
  for (int i = 0; i < 100 && !ran; ++i) {
    ran = stat((Dir + "/restart-ran").c_str(), &st) == 0;
    if (!ran) usleep(20000);
  }
  EXPECT_TRUE(ran) << "Finish starts restart.exe";
}

// Catches a failure box that Escape does not close, and a wizard that does not get the
// keyboard back after it: Escape on the welcome page, where the failure leads, must reach
// its Cancel button.
TEST_F(ProgramX11Road, FailedUploadBoxTakesEscapeAndGivesTheKeyboardBack) {
  ToVerdictPage();
  ASSERT_EQ(std::system("xdotool key alt+n"), 0);  // no TFTP server answers: the upload times out
  Window box = WaitMessageBox(30000);
  ASSERT_NE(box, 0u);
  ASSERT_EQ(std::system("xdotool key Escape"), 0);
  EXPECT_TRUE(WaitBoxGone()) << "Escape did not close the box";
  EXPECT_TRUE(WaitFocus(Win)) << "the keyboard did not come back to the main window";
  EXPECT_TRUE(WaitPixel(80, 300, Rgb(10, 36, 106))) << "back on the welcome page";
  ASSERT_EQ(std::system("xdotool key Escape"), 0);
  EXPECT_EQ(WaitExit(), 0) << "Escape on the welcome page clicks Cancel, which ends the program";
}

// Catches a program that aborts when no display can be opened: it must end like any other
// start-up failure, with the "Application Error" report (on the log, as there is no screen)
// and exit code 1.
TEST(ProgramWithoutDisplay, ReportsAnApplicationErrorAndExitsWithOne) {
  char tmpl[] = "/tmp/wizard-nodisplay-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const std::string log = dir + "/stderr.txt";
  std::string program = PROGRAM_PATH;
  std::vector<std::string> env = {"DISPLAY=:4711", "PATH=/usr/bin:/bin"};  // no server there
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char* argv[] = {program.data(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &fa, nullptr, argv, envp.data()), 0);
  posix_spawn_file_actions_destroy(&fa);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string text = ReadFile(log);
  EXPECT_NE(text.find("[Application Error] Exception Exception in module Project1."), std::string::npos) << text;
  EXPECT_NE(text.find("Cannot open the X display"), std::string::npos) << text;
  std::system(("rm -rf '" + dir + "'").c_str());
}
