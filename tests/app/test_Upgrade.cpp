// The whole upgrade through the real main window, headless, driven by clicks: the probe of a
// simulated modem on a loopback address and its four verdicts, the firmware upload with the
// progress bar, the completion pages and "restart.exe", the recovery road, and the failures.
// The modem listens on 127.x.y.z at the program's fixed ports (23 and 69), so these tests run
// as root, each on an address of its own.
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "Files.h"
#include "Headless.h"
#include "Input.h"
#include "ProcessAddress.h"
#include "SimModem.h"
#include "TempDir.h"
#include "Unit1.h"

namespace {

const char* kFailureText =
    "There was a problem upgrading your modem. Press Ok to try again. For any assistance please call the Pelko "
    "Broadband Helpdesk on 0800 CALL PELKO (0800 11 22 33)";

class UpgradeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OldCwd = std::filesystem::current_path();
    Dir = Work.Path();
    ASSERT_FALSE(Dir.empty()) << "no temporary directory";
    ModemDir = Dir + "/modem";
    std::filesystem::create_directory(ModemDir);
    // Before the change of directory: on Windows the helper's path names no drive, so it is
    // found on the current one.
    std::filesystem::copy_file(RESTART_HELPER, Dir + "/restart.exe");
    std::filesystem::current_path(Dir);
    Firmware = RandomBytes(5000, 1);
    WriteFile("TEPatch.bin", Firmware);
    Recovery = RandomBytes(3000, 2);
    WriteFile("TEImage.bin", Recovery);
    // An address of this test's own, so parallel tests never meet.
    Address = ProcessLoopbackAddress(77);
    App = std::make_unique<TScopedApplication>();
    Application->OnMessageBox = [this](const TMessageBoxRecord& r) {
      Boxes.push_back(r);
      return IDOK;
    };
  }
  void TearDown() override {
    if (F) delete F;
    Form1 = nullptr;
    App.reset();
    Modem.Stop();
    std::filesystem::current_path(OldCwd);  // the directory itself goes with Work
  }
  void StartModem() {
    ASSERT_TRUE(Modem.Start(Address, 23, 69, ModemDir)) << Modem.Failure() << " (binding ports 23 and 69 needs root)";
  }
  void OpenWindow() {
    F = Application->CreateForm<TForm1>();
    Form1 = F;
    F->Show();
    Pump();
  }
  int Page() const { return F->UiWizard1->ActivePageIndex(); }
  TUiWizardButtonControl* Btn(TUiWizardButtonKind k) { return F->UiWizard1->Button(k).Control(); }
  // Through the application's own dispatch, so a failing handler meets the error report.
  void Click(TControl* c) {
    PostClick(*c);
    Application->ProcessMessages();
    ExpectOnePageShown();
  }
  // Only the active page may show, whatever road led there.
  void ExpectOnePageShown() {
    std::vector<int> shown;
    for (int i = 0; i < F->UiWizard1->Pages().Count(); ++i)
      if (F->UiWizard1->Pages().Items(i)->Visible()) shown.push_back(i);
    EXPECT_EQ(shown, std::vector<int>{Page()}) << "pages marked visible beside the active one";
  }
  // A double click: the second one is queued while the first one's work runs.
  void DoubleClick(TControl* c) {
    PostClick(*c);
    PostClick(*c);
    Application->ProcessMessages();
    ExpectOnePageShown();
  }
  void ClickButton(TUiWizardButtonKind k) { Click(Btn(k)); }
  TUiWizardButtonSet Shown() {
    TUiWizardButtonSet s;
    for (int k = 0; k < kUiWizardButtonKindCount; ++k) {
      auto kind = static_cast<TUiWizardButtonKind>(k);
      if (Btn(kind)->Visible() && Btn(kind)->Height() > 0) s = s + kind;
    }
    return s;
  }
  // Welcome -> connection page -> custom address pointed at the modem -> Next (the probe).
  void ProbeAt(const std::string& address) {
    ClickButton(bkNext);
    TypeCustomAddress(address);
    ClickButton(bkNext);
  }
  // On the connection page: the custom address choice, and the address typed in.
  void TypeCustomAddress(const std::string& address) {
    Click(F->RadioGroup2->Buttons(0));
    PostText(*F, address);
    Pump();
  }
  // Welcome -> flashing-lights choice -> page 2 -> Next, which runs the upload.
  void RecoveryRoadToUpload() {
    ClickButton(bkNext);
    Click(F->RadioGroup3->Buttons(0));
    // The recovery address is fixed; point it at the modem as a tester would.
    F->Edit1->SetText(Address);
    ClickButton(bkNext);
    ASSERT_EQ(Page(), 2);
    ClickButton(bkNext);
  }
  // "restart.exe" runs detached, so its mark is awaited; a busy machine may take seconds to
  // start it. A check that it did not run waits out the whole period.
  bool RestartRan(int periodMs = 10000) {
    for (int waited = 0; waited < periodMs; waited += 20) {
      if (std::filesystem::exists(Dir + "/restart-ran")) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  RealPeers::TTempDir Work;
  std::filesystem::path OldCwd;
  std::string Dir, ModemDir, Address, Firmware, Recovery;
  std::unique_ptr<TScopedApplication> App;
  std::vector<TMessageBoxRecord> Boxes;
  SimModem::TModem Modem;
  TForm1* F = nullptr;
};

}  // namespace

// Catches a normal road that misjudges an old firmware, sends the wrong bytes, leaves the bar
// short of 100 %, lands elsewhere than page 6, or ends without starting "restart.exe".
TEST_F(UpgradeTest, NormalRoadUpgradesAndRestarts) {
  StartModem();
  OpenWindow();
  ProbeAt(Address);
  ASSERT_EQ(Page(), 3);
  EXPECT_EQ(Shown(), (TUiWizardButtonSet{bkBack, bkNext, bkCancel}));
  EXPECT_TRUE(F->Label17->Visible());
  EXPECT_TRUE(F->Label18->Visible());
  EXPECT_FALSE(F->Label12->Visible());
  EXPECT_EQ(F->Label5->Caption(), " ");
  EXPECT_EQ(Modem.TelnetConnections(), 1);
  std::vector<int32_t> positions;
  uint32_t barRightEnd = 0, barLeftEnd = 0;
  F->NetTFTP->OnWork = [&](TObject* s, TWorkMode m, int32_t c) {
    positions.push_back(c);
    F->NetTFTPWork(s, m, c);
    // The bar redraws at once, inside the transfer: read its pixels on the form right away.
    TPoint o = F->ProgressBar->FormOrigin();
    barRightEnd = F->Surface().Pixel(o.X + 369 - 5, o.Y + 6);
    barLeftEnd = F->Surface().Pixel(o.X + 4, o.Y + 6);
  };
  ClickButton(bkNext);
  EXPECT_EQ(Page(), 6);
  EXPECT_TRUE(Boxes.empty()) << (Boxes.empty() ? "" : Boxes[0].Text);
  EXPECT_EQ(ReadFile(ModemDir + "/TEPatch.bin"), Firmware) << "the modem's copy differs";
  EXPECT_EQ(Modem.LastBlockSize(), 1024);
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back(), 5000);
  EXPECT_EQ(F->ProgressBar->Maximum(), 5000);
  EXPECT_EQ(F->ProgressBar->Position(), 5000);
  // At 100 % the fill runs from near white at the left to near blue at the right end.
  EXPECT_GT(barLeftEnd & 0xFF0000, 0xC00000u) << std::hex << barLeftEnd;
  EXPECT_LT((barRightEnd >> 16) & 0xFF, 0x30u) << std::hex << barRightEnd;
  EXPECT_GT(barRightEnd & 0xFF, 0xC0u) << std::hex << barRightEnd;
  ClickButton(bkFinish);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(RestartRan());
}

// Catches a second click or repeated key on the connection page's Next that acts after the
// probe: on the verdict page's Next it would start the upload the user never saw offered.
TEST_F(UpgradeTest, SecondClickAndKeyRepeatsDuringTheProbeAreDropped) {
  StartModem();
  OpenWindow();
  ClickButton(bkNext);
  TypeCustomAddress(Address);
  // One more click and a key arrive while the greeting is read, after the first has been taken.
  F->tnTelnet1->OnDataIn = [this](TObject* s, std::string text) {
    PostClick(*Btn(bkNext));
    PostKey(*F, VK_RETURN);
    F->tnTelnet1DataIn(s, std::move(text));
  };
  DoubleClick(Btn(bkNext));
  EXPECT_EQ(Page(), 3);
  EXPECT_EQ(Shown(), (TUiWizardButtonSet{bkBack, bkNext, bkCancel})) << "the verdict is Ready";
  EXPECT_EQ(Modem.TftpRequests(), 0) << "the upload started unseen";
  ClickButton(bkBack);
  ASSERT_EQ(Page(), 1);
  Click(F->RadioGroup2->Buttons(0));
  PostText(*F, Address);
  for (int i = 0; i < 3; ++i) PostKey(*F, VK_RETURN);  // a held key repeats
  Application->ProcessMessages();
  EXPECT_EQ(Page(), 3);
  EXPECT_EQ(Modem.TelnetConnections(), 2);
  EXPECT_EQ(Modem.TftpRequests(), 0);
}

// The same with a modem that answers but says nothing, the second click given from outside
// while the probe pauses, as the display would deliver it: the verdict page keeps Next where
// the connection page had it.
TEST_F(UpgradeTest, SecondClickDuringASilentProbeIsDropped) {
  Modem.Greeting = SimModem::Silent();
  StartModem();
  OpenWindow();
  ClickButton(bkNext);
  TypeCustomAddress(Address);
  const TPoint next{Btn(bkNext)->FormOrigin().X + 30, Btn(bkNext)->FormOrigin().Y + 12};
  std::thread user([&] {
    for (int i = 0; i < 200 && Modem.TelnetConnections() == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // well inside the two-second pause
    PostClick(*F, next.X, next.Y);
  });
  ClickButton(bkNext);
  user.join();
  Application->ProcessMessages();
  EXPECT_EQ(Page(), 3);
  EXPECT_EQ(Modem.TftpRequests(), 0) << "the upload started unseen";
}

// Catches a second click during the upload that acts on the page after it: on the recovery
// road it would press page 5's Back and leave the user on the connection page.
TEST_F(UpgradeTest, SecondClickDuringTheUploadIsDropped) {
  StartModem();
  OpenWindow();
  ClickButton(bkNext);
  Click(F->RadioGroup3->Buttons(0));
  F->Edit1->SetText(Address);
  ClickButton(bkNext);
  ASSERT_EQ(Page(), 2);
  DoubleClick(Btn(bkNext));
  EXPECT_EQ(Page(), 5);
  EXPECT_EQ(ReadFile(ModemDir + "/TEImage.bin"), Recovery);
  ClickButton(bkBack);
  ASSERT_EQ(Page(), 1);
  TypeCustomAddress(Address);
  ClickButton(bkNext);
  ASSERT_EQ(Page(), 3);
  DoubleClick(Btn(bkNext));
  EXPECT_EQ(Page(), 6);
  EXPECT_FALSE(Application->Terminated());
  EXPECT_EQ(ReadFile(ModemDir + "/TEPatch.bin"), Firmware);
}

// Catches the target version not taking precedence, or a Finish that starts the restart.
TEST_F(UpgradeTest, TargetVersionIsUpToDate) {
  Modem.Greeting = SimModem::TargetFirmware();
  StartModem();
  OpenWindow();
  ProbeAt(Address);
  ASSERT_EQ(Page(), 3);
  EXPECT_EQ(Shown(), TUiWizardButtonSet{bkFinish});
  EXPECT_EQ(F->Label5->Top(), 140);
  EXPECT_EQ(F->Label5->Caption(),
            "Your modem already has the latest version of firmware, so it doesnt need to be updated.");
  EXPECT_TRUE(F->Label16->Visible());
  ClickButton(bkFinish);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(RestartRan(2000)) << "Finish on the verdict page starts nothing";
}

// Catches a foreign greeting judged as the expected modem.
TEST_F(UpgradeTest, ForeignGreetingIsWrongModem) {
  Modem.Greeting = SimModem::ForeignModem();
  StartModem();
  OpenWindow();
  ProbeAt(Address);
  ASSERT_EQ(Page(), 3);
  EXPECT_EQ(Shown(), (TUiWizardButtonSet{bkBack, bkCancel}));
  EXPECT_EQ(F->Label5->Caption(),
            "This will only work on a Norvane NV 302 modem, please make sure you are using the correct modem.");
  EXPECT_FALSE(F->Label17->Visible());
}

// Catches chunks judged together instead of the last one deciding, and text after a NUL
// taking part.
TEST_F(UpgradeTest, LastChunkDecidesAndNulCutsTheText) {
  Modem.Greeting.Chunks = {"\r\nWelcome to Titanium\r\n", std::string("\xFF\xF1", 2), "login: "};
  StartModem();
  OpenWindow();
  ProbeAt(Address);
  ASSERT_EQ(Page(), 3);
  EXPECT_EQ(Shown(), (TUiWizardButtonSet{bkBack, bkCancel})) << "the last chunk holds neither text";
  EXPECT_EQ(F->Memo1->Text(), "login: ");
}

TEST_F(UpgradeTest, TextAfterNulTakesNoPart) {
  Modem.Greeting.Chunks = {std::string("login\0Welcome to Titanium", 25)};
  StartModem();
  OpenWindow();
  ProbeAt(Address);
  ASSERT_EQ(Page(), 3);
  EXPECT_EQ(Shown(), (TUiWizardButtonSet{bkBack, bkCancel}));
  EXPECT_EQ(F->Memo1->Text(), "login");
}

// Catches a probe that receives nothing changing the page, or a failed probe not showing the
// cannot-detect state with the connection page at rest.
TEST_F(UpgradeTest, SilentModemAndClosedPortAndEmptyAddress) {
  Modem.Greeting = SimModem::Silent();
  StartModem();
  OpenWindow();
  ProbeAt(Address);
  ASSERT_EQ(Page(), 3);
  EXPECT_EQ(Shown(), (TUiWizardButtonSet{bkBack, bkNext, bkCancel})) << "nothing arrived: initial state";
  EXPECT_TRUE(F->Label5->Visible());
  ClickButton(bkBack);
  ASSERT_EQ(Page(), 1);
  Modem.Stop();  // now the port is closed
  TypeCustomAddress(Address);
  ClickButton(bkNext);
  ASSERT_EQ(Page(), 3);
  EXPECT_EQ(Shown(), (TUiWizardButtonSet{bkBack, bkCancel}));
  EXPECT_TRUE(F->Label12->Visible());
  EXPECT_TRUE(F->Label11->Visible());
  EXPECT_FALSE(F->Label5->Visible());
  EXPECT_TRUE(F->Label9->Visible());
  EXPECT_FALSE(F->Label6->Visible());
  ClickButton(bkBack);
  Click(F->RadioGroup2->Buttons(0));  // empty address
  ClickButton(bkNext);
  EXPECT_EQ(Shown(), (TUiWizardButtonSet{bkBack, bkCancel}));
  EXPECT_TRUE(F->Label12->Visible());
}

// Catches a default road that reaches the network: the guard turns 10.1.1.1 into a failure.
TEST_F(UpgradeTest, EthernetDefaultNeverLeavesTheMachine) {
  OpenWindow();
  ClickButton(bkNext);
  Click(F->RadioGroup1->Buttons(0));
  ClickButton(bkNext);
  ASSERT_EQ(Page(), 3);
  EXPECT_TRUE(F->Label12->Visible()) << "cannot detect a modem the guard keeps out of reach";
}

// Catches a recovery road that probes, sends the wrong file, or lands off page 5; and a Back
// there that does not return to a cleared connection page.
TEST_F(UpgradeTest, RecoveryRoadSendsTheImage) {
  StartModem();
  OpenWindow();
  RecoveryRoadToUpload();
  EXPECT_EQ(Page(), 5);
  EXPECT_EQ(Modem.TelnetConnections(), 0) << "recovery opens no telnet connection";
  EXPECT_EQ(ReadFile(ModemDir + "/TEImage.bin"), Recovery);
  ClickButton(bkBack);
  EXPECT_EQ(Page(), 1);
  EXPECT_EQ(F->RadioGroup3->ItemIndex(), -1);
}

// Catches a silent TFTP side that is not reported with the fixed message, or routes wrongly.
TEST_F(UpgradeTest, SilentTftpFailsWithTheFixedMessage) {
  Modem.TftpMode = SimModem::TTftpMode::Silent;
  StartModem();
  OpenWindow();
  ProbeAt(Address);
  ASSERT_EQ(Page(), 3);
  ClickButton(bkNext);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, kFailureText);
  EXPECT_EQ(Page(), 0) << "the normal road returns to the welcome page";
}

// Catches a TFTP error packet reported otherwise than by the fixed message; and the recovery
// road's return to page 1.
TEST_F(UpgradeTest, TftpErrorOnRecoveryRoadReturnsToPageOne) {
  Modem.TftpMode = SimModem::TTftpMode::Error;
  StartModem();
  OpenWindow();
  RecoveryRoadToUpload();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, kFailureText);
  EXPECT_EQ(Page(), 1);
}

// Catches a missing firmware file that is not reported as "File not found." or that moves on.
TEST_F(UpgradeTest, MissingFirmwareIsReportedAndThePageKept) {
  StartModem();
  unlink("TEPatch.bin");
  OpenWindow();
  ProbeAt(Address);
  ASSERT_EQ(Page(), 3);
  ClickButton(bkNext);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "File not found.");
  EXPECT_EQ(Page(), 4);
  EXPECT_EQ(Shown(), TUiWizardButtonSet{});
  EXPECT_EQ(Modem.TftpRequests(), 0) << "no traffic before the file is read";
}

// Catches a zero-length firmware that is not sent as one empty block, or a bar that moves.
TEST_F(UpgradeTest, ZeroLengthFirmware) {
  StartModem();
  WriteFile("TEPatch.bin", "");
  OpenWindow();
  ProbeAt(Address);
  ASSERT_EQ(Page(), 3);
  ClickButton(bkNext);
  EXPECT_EQ(Page(), 6);
  EXPECT_EQ(F->ProgressBar->Maximum(), 0);
  ASSERT_TRUE(std::filesystem::exists(ModemDir + "/TEPatch.bin"));
  EXPECT_EQ(std::filesystem::file_size(ModemDir + "/TEPatch.bin"), 0u);
}
