// The whole program on Windows, driven as a user drives it: real clicks and keys through the
// system's input queue (SendInput), the screen read back through the screen's device context,
// against the simulated modem on a loopback address. The normal road runs Project1.exe itself,
// from a folder with "TEPatch.bin" and a "restart.exe" that leaves a mark; the recovery road's
// address is fixed in the program, so that road runs the main window in this process, pointed
// at the loopback modem as a tester would, with the same real input. Every page met is kept as
// a PNG in the build tree.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "Display.h"
#include "Files.h"
#include "Graphics.h"
#include "Headless.h"
#include "ProcessAddress.h"
#include "SimModem.h"
#include "Unit1.h"
#include "WaitUntil.h"
// Last: the Windows headers, with the names they share with the platform sorted out.
#include "WinPrelude.h"

namespace {

namespace fs = std::filesystem;
const wchar_t* const kTitle = L"Pelko Norvane Firmware Upgrade Software";

// What a user does and sees, on one top-level window: input through the system's queue, to the
// window in front, and the screen's pixels over its client area.
class TUser {
 public:
  explicit TUser(WinHWND window) : FWindow(window) {}

  void Click(int x, int y) {
    Front();
    POINT p{x, y};
    ClientToScreen(FWindow, &p);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) i.type = INPUT_MOUSE;
    in[0].mi.dx = p.x * 65535 / (sw - 1);
    in[0].mi.dy = p.y * 65535 / (sh - 1);
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    EXPECT_EQ(SendInput(3, in, sizeof(INPUT)), 3u);
  }
  // A key with Alt held, as for a button's accelerator (Alt+N is Next, Alt+F Finish).
  void AltKey(char letter) { Keys({VK_MENU, static_cast<WORD>(letter)}); }
  void Key(WORD vk) { Keys({vk}); }
  void Type(const std::string& text) {
    Front();
    for (char c : text) {
      INPUT in[2] = {};
      in[0].type = in[1].type = INPUT_KEYBOARD;
      in[0].ki.wScan = static_cast<WORD>(static_cast<unsigned char>(c));
      in[0].ki.dwFlags = KEYEVENTF_UNICODE;
      in[1].ki = in[0].ki;
      in[1].ki.dwFlags |= KEYEVENTF_KEYUP;
      EXPECT_EQ(SendInput(2, in, sizeof(INPUT)), 2u);
    }
  }

  // The client area as the screen shows it.
  TSurface Screen() const {
    RECT r{};
    GetClientRect(FWindow, &r);
    POINT origin{0, 0};
    ClientToScreen(FWindow, &origin);
    TSurface shot(r.right, r.bottom);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = r.right;
    bi.bmiHeader.biHeight = -r.bottom;  // top-down, as the surface's rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, r.right, r.bottom, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    for (int32_t y = 0; y < r.bottom; ++y)
      for (int32_t x = 0; x < r.right; ++x) shot.Row(y)[x] = pixels[y * r.right + x] & 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
  }
  uint32_t Pixel(int x, int y) const {
    POINT p{x, y};
    ClientToScreen(FWindow, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  }
  bool WaitPixel(int x, int y, uint32_t want, int ms = 10000) const {
    return WaitUntil([&] { return Pixel(x, y) == want; }, ms);
  }
  // Waits until the rectangle is all window colour (white).
  bool WaitBlank(int x, int y, int w, int h, int ms = 10000) const {
    return WaitUntil(
        [&] {
          const TSurface s = Screen();
          for (int yy = y; yy < y + h; ++yy)
            for (int xx = x; xx < x + w; ++xx)
              if (s.Row(yy)[xx] != 0xFFFFFF) return false;
          return true;
        },
        ms);
  }
  void Shot(const std::string& name) const {
    fs::create_directories(SCREENSHOT_DIR);
    Screen().SavePng(std::string(SCREENSHOT_DIR) + "/" + name);
  }

 private:
  void Front() {
    SetForegroundWindow(FWindow);
    WaitUntil([&] { return GetForegroundWindow() == FWindow; }, 2000);
  }
  void Keys(std::initializer_list<WORD> held) {
    Front();
    std::vector<INPUT> in;
    for (WORD vk : held) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wVk = vk;
      in.push_back(i);
    }
    for (auto it = held.end(); it != held.begin();) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wVk = *--it;
      i.ki.dwFlags = KEYEVENTF_KEYUP;
      in.push_back(i);
    }
    EXPECT_EQ(SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)), in.size());
  }
  WinHWND FWindow;
};

constexpr uint32_t kStrip = 0x0A246A;    // the welcome page's strip, at 80,300
constexpr uint32_t kDivider = 0x808080;  // an interior page's header divider at 100,68, the bar's at 300,528

// A folder of the test's own with the firmware files, "restart.exe" (which leaves
// "restart-ran") and the simulated modem on an address of this process's own.
class ProgramWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("wizard-e2e-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(Dir);
    fs::create_directories(Dir / "modem");
    fs::copy_file(RESTART_HELPER, Dir / "restart.exe");
    Firmware = RandomBytes(150000, 7);
    WriteFile((Dir / "TEPatch.bin").string(), Firmware);
    Image = RandomBytes(300000, 8);
    WriteFile((Dir / "TEImage.bin").string(), Image);
    Address = ProcessLoopbackAddress(76);
    Modem.AckDelayMs = 2;  // long enough to see the bar move
    ASSERT_TRUE(Modem.Start(Address, 23, 69, (Dir / "modem").string())) << Modem.Failure();
  }
  void TearDown() override {
    if (Program.hProcess) {  // a test that failed half-way leaves no program behind
      TerminateProcess(Program.hProcess, 1);
      WaitForSingleObject(Program.hProcess, 5000);
      CloseHandle(Program.hThread);
      CloseHandle(Program.hProcess);
    }
    Modem.Stop();
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }
  bool RestartRan() {
    return WaitUntil([&] { return fs::exists(Dir / "restart-ran"); });
  }
  fs::path Dir;
  PROCESS_INFORMATION Program{};
  std::string Firmware, Image, Address;
  SimModem::TModem Modem;
};

}  // namespace

// Catches a normal road that breaks anywhere between the system's input, the telnet probe and
// the upload, in the program as it is shipped: the modem's copy must equal the file byte for
// byte, and Finish must start "restart.exe" and end the program with exit code 0.
TEST_F(ProgramWin32, NormalRoadOfTheProgramItself) {
  std::wstring command = L"\"" + fs::path(PROGRAM_PATH).wstring() + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, Dir.wstring().c_str(), &si,
                             &Program));
  WinHWND window = nullptr;
  WaitUntil([&] { return (window = FindWindowW(nullptr, kTitle)) != nullptr && IsWindowVisible(window); }, 20000);
  ASSERT_NE(window, nullptr) << "the window did not appear";
  TUser user(window);
  ASSERT_TRUE(user.WaitPixel(80, 300, kStrip)) << "the welcome page";
  user.Shot("win-1-welcome.png");

  user.AltKey('N');
  ASSERT_TRUE(user.WaitPixel(100, 68, kDivider)) << "the connection page";
  user.Click(40, 297);  // "Other", with the address field
  user.Type(Address);
  user.Shot("win-2-connection.png");
  user.AltKey('N');
  ASSERT_TRUE(WaitUntil([&] { return Modem.TelnetConnections() == 1; })) << "the probe did not reach the modem";
  // The probe holds the line two seconds; then the verdict page, whose title "Important" is
  // shorter than the connection page's: the band right of it turns blank.
  ASSERT_TRUE(user.WaitBlank(130, 6, 80, 14)) << "the verdict page did not open";
  user.Shot("win-3-verdict.png");

  user.AltKey('N');
  ASSERT_TRUE(WaitUntil([&] { return Modem.TftpRequests() == 1; })) << "no upload";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  user.Shot("win-4-upload.png");
  ASSERT_TRUE(WaitUntil([&] { return Modem.TftpFilesStored() == 1; }, 30000));
  EXPECT_TRUE(ReadFile((Dir / "modem" / "TEPatch.bin").string()) == Firmware) << "the modem's copy differs";
  ASSERT_TRUE(user.WaitPixel(300, 528, kDivider)) << "the completion page, with its button bar back";
  user.Shot("win-5-complete.png");

  user.AltKey('F');
  ASSERT_EQ(WaitForSingleObject(Program.hProcess, 10000), WAIT_OBJECT_0) << "Finish did not end the program";
  DWORD code = 1;
  GetExitCodeProcess(Program.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(RestartRan()) << "Finish starts restart.exe";
}

// Catches a recovery road that breaks between the system's input and the upload of the whole
// image: the modem's copy of "TEImage.bin" must equal it byte for byte, and the road must end
// on its own completion page.
TEST_F(ProgramWin32, RecoveryRoadWithTheAddressOnLoopback) {
  if (!HasDisplay()) {
    std::unique_ptr<TDisplay> host = CreateHostDisplay();
    ASSERT_NE(host, nullptr) << HostDisplayUnavailable();
    SetDisplay(std::move(host));
  }
  const fs::path oldCwd = fs::current_path();
  fs::current_path(Dir);
  {
    TScopedApplication app;
    auto* form = Application->CreateForm<TForm1>();
    Form1 = form;
    form->Show();
    Pump();
    WinHWND window = FindWindowW(nullptr, kTitle);
    ASSERT_NE(window, nullptr);
    TUser user(window);
    // The user acts from a thread of their own while this one runs the program's loop, which
    // the upload holds.
    auto act = [&](const std::function<void()>& steps, const std::function<bool()>& until) {
      std::atomic<bool> done{false};
      std::thread t([&] {
        steps();
        done = true;
      });
      EXPECT_TRUE(PumpUntil([&] { return done && until(); }, 30000));
      t.join();
    };
    auto page = [&] { return form->UiWizard1->ActivePageIndex(); };
    act([&] { user.Shot("win-recovery-1-welcome.png"); }, [] { return true; });
    act([&] { user.AltKey('N'); }, [&] { return page() == 1; });
    act([&] { user.Click(40, 393); }, [&] { return form->RadioGroup3->Buttons(0)->Checked(); });
    form->Edit1->SetText(Address);  // the recovery address, pointed at the modem as a tester would
    act([&] { user.Shot("win-recovery-2-connection.png"); }, [] { return true; });
    act([&] { user.AltKey('N'); }, [&] { return page() == 2; });
    act([&] { user.Shot("win-recovery-3-lights.png"); }, [] { return true; });
    act(
        [&] {
          user.AltKey('N');
          WaitUntil([&] { return Modem.TftpRequests() == 1; });
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
          user.Shot("win-recovery-4-upload.png");
        },
        [&] { return page() == 5; });
    EXPECT_TRUE(ReadFile((Dir / "modem" / "TEImage.bin").string()) == Image) << "the modem's copy differs";
    act([&] { user.Shot("win-recovery-5-complete.png"); }, [] { return true; });
    delete form;
    Form1 = nullptr;
  }
  fs::current_path(oldCwd);
}
