// The X11 backend on private Xvfb servers of the test's own: a server that goes away, a display
// without true colour, and no server at all.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "X11TestSupport.h"

extern char** environ;

namespace X11Test {
namespace {

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
    display = CreateHostDisplay();
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
    std::unique_ptr<TDisplay> d = CreateHostDisplay();
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
  EXPECT_EQ(CreateHostDisplay(), nullptr);
}

}  // namespace
}  // namespace X11Test
