// The whole program in a real X11 window under Xvfb: it opens centred on the welcome page with
// only Next and Cancel, a real click on Next moves to the connection page, and the title-bar
// close ends it with exit code 0 without starting "restart.exe". Skipped without DISPLAY;
// one test checks the program without any display it can open.
#include <gtest/gtest.h>
// After the test framework: the X headers define macros (None, Bool, Status) it also uses.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "RealTftpServer.h"
#include "SimModem.h"
#include "platform/Graphics.h"

extern char** environ;

namespace {

const char* kTitle = "Pelko Norvane Firmware Upgrade Software";

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
    char tmpl[] = "/tmp/wizard-e2e-XXXXXX";
    Dir = mkdtemp(tmpl);
    // A restart program that records that it ran.
    std::ofstream s(Dir + "/restart.exe");
    s << "#!/bin/sh\ntouch '" << Dir << "/restart-ran'\n";
    s.close();
    chmod((Dir + "/restart.exe").c_str(), 0755);
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
  static unsigned long Rgb(int r, int g, int b) { return (unsigned long)((r << 16) | (g << 8) | b); }
  unsigned long Pixel(int x, int y) {
    XImage* img = XGetImage(D, Win, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return 0xFFFFFFFF;
    unsigned long p = XGetPixel(img, 0, 0) & 0xFFFFFF;
    XDestroyImage(img);
    return p;
  }
  bool WaitPixel(int x, int y, unsigned long want, int ms = 5000) {
    for (int i = 0; i < ms / 50; ++i) {
      if (Pixel(x, y) == want) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
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
  void CloseByTitleBar() {
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
  // What the X server shows, kept as a PNG in the build tree.
  XImage* img = XGetImage(D, Win, 0, 0, w, h, AllPlanes, ZPixmap);
  ASSERT_NE(img, nullptr);
  TSurface shot(static_cast<int32_t>(w), static_cast<int32_t>(h));
  for (unsigned yy = 0; yy < h; ++yy)
    for (unsigned xx = 0; xx < w; ++xx) shot.Row(static_cast<int32_t>(yy))[xx] = XGetPixel(img, xx, yy) & 0xFFFFFF;
  XDestroyImage(img);
  mkdir(SCREENSHOT_DIR, 0755);
  shot.SavePng(std::string(SCREENSHOT_DIR) + "/x11-welcome.png");
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
  // Keys go to the focused window; without a window manager the test gives it the focus.
  cmd = "xdotool windowfocus --sync " + std::to_string(Win) + " key Escape";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
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

namespace {
std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
}  // namespace

// Catches a normal road that breaks anywhere between real X input, the telnet probe and a
// real TFTP server: the server's copy of the firmware must equal the file byte for byte.
TEST_F(ProgramX11, NormalRoadAgainstARealTftpServer) {
  unsigned pid = static_cast<unsigned>(getpid());
  std::string address = "127.78." + std::to_string((pid >> 8) % 250 + 1) + "." + std::to_string(pid % 250 + 1);
  SimModem::TModem telnet;
  telnet.TftpEnabled = false;
  ASSERT_TRUE(telnet.Start(address, 23, 69, Dir)) << telnet.Failure() << " (needs root)";
  std::string firmware(150000, '\0');
  for (size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<char>((i * 7919u) >> 3);
  {
    std::ofstream out(Dir + "/TEPatch.bin", std::ios::binary);
    out.write(firmware.data(), static_cast<std::streamsize>(firmware.size()));
  }
  // Listening before the program starts, so that its upload cannot arrive first.
  RealPeers::TRealTftpServer server(RealPeers::rsTftpdHpa, address, 69);
  ASSERT_EQ(server.Problem(), "");

  Start();
  std::string id = std::to_string(Win);
  ASSERT_EQ(std::system(("xdotool windowfocus --sync " + id + " key alt+n").c_str()), 0);
  ASSERT_EQ(std::system(("xdotool mousemove --window " + id + " 40 297 click 1").c_str()), 0);
  ASSERT_EQ(std::system(("xdotool type --delay 10 " + address).c_str()), 0);
  ASSERT_EQ(std::system("xdotool key alt+n"), 0);
  // The probe holds the connection for two seconds; then the verdict page offers Next.
  for (int i = 0; i < 200 && telnet.TelnetConnections() == 0; ++i) usleep(50000);
  ASSERT_EQ(telnet.TelnetConnections(), 1) << "the probe did not reach the modem";
  // Page 3's title "Important" is shorter than page 1's: the band right of it turns blank.
  EXPECT_TRUE(WaitBlank(130, 6, 80, 14, 10000)) << "the verdict page did not open";
  ASSERT_EQ(std::system("xdotool key alt+n"), 0);
  std::string copy;
  for (int i = 0; i < 400; ++i) {
    copy = ReadAll(server.FileInDir("TEPatch.bin"));
    if (copy.size() == firmware.size()) break;
    usleep(50000);
  }
  EXPECT_EQ(copy.size(), firmware.size());
  EXPECT_TRUE(copy == firmware) << "the server's copy differs";
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
  const std::string text = ReadAll(log);
  EXPECT_NE(text.find("[Application Error] Exception Exception in module Project1."), std::string::npos) << text;
  EXPECT_NE(text.find("Cannot open the X display"), std::string::npos) << text;
  std::system(("rm -rf '" + dir + "'").c_str());
}
