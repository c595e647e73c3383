// Clicks given while the wizard holds the thread, given as a user gives them: real double
// clicks through the X server on the real main window (in this process, so that the recovery
// road can be pointed at a loopback modem as a tester would), against the simulated modem.
// The second click of each pair leaves only once the first one's long step is under way.
// Skipped without DISPLAY.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "Display.h"
#include "Files.h"
#include "Headless.h"
#include "ProcessAddress.h"
#include "SimModem.h"
#include "Unit1.h"

namespace {

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  return out;
}

class InputX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no DISPLAY: run under Xvfb";
    if (!HasDisplay()) {
      std::unique_ptr<TDisplay> x11 = CreateHostDisplay();
      if (!x11) GTEST_SKIP() << "cannot open DISPLAY " << display;
      SetDisplay(std::move(x11));
    }
    InitializeApplication();
    char tmpl[] = "/tmp/wizard-inputx11-XXXXXX";
    Dir = mkdtemp(tmpl);
    ModemDir = Dir + "/modem";
    mkdir(ModemDir.c_str(), 0755);
    ASSERT_NE(getcwd(OldCwd, sizeof OldCwd), nullptr);
    ASSERT_EQ(chdir(Dir.c_str()), 0);
    WriteFile("TEPatch.bin", std::string(5000, 'p'));
    // Large enough that the upload lasts while a second click travels through the X server.
    Image.resize(16u << 20);
    for (size_t i = 0; i < Image.size(); ++i) Image[i] = static_cast<char>((i * 2654435761u) >> 24);
    WriteFile("TEImage.bin", Image);
    Address = ProcessLoopbackAddress(79);
    App = std::make_unique<TScopedApplication>();
    Application->OnMessageBox = [this](const TMessageBoxRecord& r) {
      Boxes.push_back(r.Text);
      return IDOK;
    };
  }
  void TearDown() override {
    if (F) delete F;
    Form1 = nullptr;
    App.reset();
    Modem.Stop();
    if (!Dir.empty()) {
      EXPECT_EQ(chdir(OldCwd), 0);
      std::system(("rm -rf '" + Dir + "'").c_str());
    }
  }
  void Open() {
    ASSERT_TRUE(Modem.Start(Address, 23, 69, ModemDir)) << Modem.Failure() << " (needs root)";
    F = Application->CreateForm<TForm1>();
    Form1 = F;
    F->Show();
    Pump();
    const std::string title = "Pelko Norvane Firmware Upgrade Software";
    Win = Capture("xdotool search --sync --onlyvisible --name '^" + title + "$' | head -n 1");
    while (!Win.empty() && (Win.back() == '\n' || Win.back() == ' ')) Win.pop_back();
    ASSERT_FALSE(Win.empty()) << "the window did not appear";
  }
  // Pumps this process's loop while `act` gives real input from another thread, until it is
  // done and `until` holds; then a little longer, so that whatever the display still holds
  // is handled.
  void WhilePumping(
      const std::function<void()>& act, const std::function<bool()>& until = [] { return true; }) {
    std::atomic<bool> done{false};
    std::thread user([&] {
      act();
      done = true;
    });
    PumpUntil([&] { return done && until(); }, 30000);
    user.join();
    PumpUntil([] { return false; }, 500);
  }
  void ClickAt(int x, int y) {
    EXPECT_EQ(std::system(
                  ("xdotool mousemove --window " + Win + " " + std::to_string(x) + " " + std::to_string(y) + " click 1")
                      .c_str()),
              0);
  }
  static void WaitFor(const std::function<bool()>& cond) {
    for (int i = 0; i < 1000 && !cond(); ++i) usleep(10000);
  }
  int Page() const { return F->UiWizard1->ActivePageIndex(); }
  void ToConnectionPage() {
    WhilePumping([&] { ClickAt(kNextX, kNextY); });
    ASSERT_EQ(Page(), 1);
  }

  static constexpr int kNextX = 403, kNextY = 550;  // the Next button beside Cancel
  std::string Dir, ModemDir, Address, Win, Image;
  char OldCwd[4096] = {};
  std::unique_ptr<TScopedApplication> App;
  std::vector<std::string> Boxes;
  SimModem::TModem Modem;
  TForm1* F = nullptr;
};

}  // namespace

// Catches a second click on the connection page's Next, given during the probe, that presses
// the verdict page's Next afterwards and starts the upload unseen; with a modem that greets
// and with one that stays silent (whose verdict page keeps Next in the same place).
TEST_F(InputX11, DoubleClickDuringTheProbeStaysOnTheVerdictPage) {
  for (bool silent : {false, true}) {
    SCOPED_TRACE(silent ? "silent modem" : "greeting modem");
    if (silent) Modem.Greeting = SimModem::Silent();
    Open();
    ToConnectionPage();
    F->Edit1->SetText(Address);  // no choice selected: the probe goes to the field's address
    const int before = Modem.TelnetConnections();
    WhilePumping(
        [&] {
          ClickAt(kNextX, kNextY);
          WaitFor([&] { return Modem.TelnetConnections() > before; });
          usleep(200000);
          ClickAt(kNextX, kNextY);
        },
        [&] { return Page() == 3; });
    EXPECT_EQ(Page(), 3);
    EXPECT_EQ(Modem.TftpRequests(), 0) << "a write request left without the verdict page being seen";
    delete F;
    F = nullptr;
    Modem.Stop();
  }
}

// Catches a second click on the flashing-lights page's Next, given during the upload, that
// presses page 5's Back and returns the user to the connection page.
TEST_F(InputX11, DoubleClickDuringTheUploadEndsOnTheCompletionPage) {
  Open();
  ToConnectionPage();
  F->RadioGroup3->Buttons(0)->SetChecked(true);
  F->Edit1->SetText(Address);  // the recovery address, pointed at the modem as a tester would
  WhilePumping([&] { ClickAt(kNextX, kNextY); });
  ASSERT_EQ(Page(), 2);
  WhilePumping(
      [&] {
        ClickAt(kNextX, kNextY);
        WaitFor([&] { return Modem.TftpRequests() > 0; });
        ClickAt(kNextX, kNextY);
      },
      [&] { return Page() == 5; });
  EXPECT_EQ(Page(), 5);
  EXPECT_TRUE(Boxes.empty()) << Boxes.front();
  EXPECT_TRUE(ReadFile(ModemDir + "/TEImage.bin") == Image) << "the modem's copy differs";
}
