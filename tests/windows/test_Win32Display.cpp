// The Windows display backend against the system's own windows (under Wine: X windows on the
// DISPLAY's server): pixels shown and repainted, input given through the system, the close
// box, resizing, dialogs, the clipboard. Also leaves a screenshot of a real form's window,
// frame included, as win32_window.png in the working directory.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "Button.h"
#include "Display.h"
#include "Form.h"
#include "Graphics.h"
#include "Headless.h"
#include "Label.h"
#include "Win32Display.h"  // last: brings in the Windows headers

namespace {

// A form's handle without a form: records what the backend posts to it.
class TRecorder {
 public:
  TRecorder()
      : FHandle(AllocateHWnd([this](HWND, uint32_t m, WPARAM w, LPARAM l) {
          FMessages.push_back(TMsg{0, m, w, l});
          return LRESULT{0};
        })) {}
  ~TRecorder() { DeallocateHWnd(FHandle); }
  TRecorder(const TRecorder&) = delete;
  TRecorder& operator=(const TRecorder&) = delete;

  HWND Handle() const { return FHandle; }
  // The first recorded message of this kind, waiting for it a while.
  const TMsg* Await(uint32_t message) {
    const TMsg* found = nullptr;
    PumpUntil([&] {
      for (const TMsg& m : FMessages)
        if (m.message == message) found = &m;
      return found != nullptr;
    });
    return found;
  }
  std::vector<TMsg>& Messages() { return FMessages; }

 private:
  HWND FHandle;
  std::vector<TMsg> FMessages;
};

class Win32DisplayTest : public testing::Test {
 protected:
  void SetUp() override {
    FDisplay = CreateHostDisplay();
    ASSERT_NE(FDisplay, nullptr) << HostDisplayUnavailable();
  }
  void TearDown() override { DropQuit(); }

  std::unique_ptr<TNativeWindow> MakeWindow(int32_t w, int32_t h, const std::string& title) {
    return FDisplay->CreateNativeWindow(FRecorder.Handle(), w, h, title);
  }
  // Lets the system deliver what is under way (painting, activation) to the windows.
  static void Settle() {
    PumpUntil([] { return false; }, 150);
  }

  std::unique_ptr<TDisplay> FDisplay;
  TRecorder FRecorder;
};

// The client area's pixels as the screen shows them, 0x00RRGGBB, rows top to bottom.
std::vector<uint32_t> ScreenPixels(WinHWND wnd, const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(wnd);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  std::vector<uint32_t> out(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + w * h);
  for (uint32_t& p : out) p &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(wnd, screen);
  return out;
}

// Four quadrants of distinct colours with a diagonal, so that swapped channels, flipped or
// shifted rows all show.
void Pattern(TSurface& s, uint32_t salt) {
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x)
      s.Row(y)[x] = x == y
                        ? 0x000000u
                        : ((x < s.Width() / 2 ? 0xC00000u : 0x200000u) | (y < s.Height() / 2 ? 0x00B000u : 0x003000u) |
                           ((salt + static_cast<uint32_t>(x)) & 0xFFu));
}

// ---- pixels ----

// Catches the surface drawn with its rows upside down or shifted (a top-down DIB read as a
// bottom-up one, or a partial present taking the wrong rows), channels swapped, or a window
// the system repaints with something other than the surface.
TEST_F(Win32DisplayTest, ShowsPresentsPartlyAndRepaintsTheSurface) {
  auto window = MakeWindow(120, 90, "pixels");
  WinHWND wnd = Win32::SystemWindowOf(*window);
  ASSERT_NE(wnd, nullptr);
  TSurface surface(120, 90);
  Pattern(surface, 0);
  window->Show(true);
  window->Present(surface, Rect(0, 0, 120, 90));
  Settle();
  const RECT client{0, 0, 120, 90};
  auto expectShown = [&](const char* when) {
    const std::vector<uint32_t> shown = ScreenPixels(wnd, client);
    int wrong = 0;
    for (int32_t y = 0; y < 90; ++y)
      for (int32_t x = 0; x < 120; ++x)
        if (shown[static_cast<size_t>(y * 120 + x)] != surface.Pixel(x, y) && wrong++ < 3)
          ADD_FAILURE() << when << ": at " << x << "," << y << " shown " << std::hex
                        << shown[static_cast<size_t>(y * 120 + x)] << " instead of " << surface.Pixel(x, y);
    EXPECT_EQ(wrong, 0) << when;
  };
  expectShown("presented whole");

  // Only a band in the lower half changes; what is outside it must stay as it was.
  TSurface changed(120, 90);
  Pattern(changed, 0x55);
  for (int32_t y = 50; y < 70; ++y)
    for (int32_t x = 10; x < 100; ++x) surface.Row(y)[x] = changed.Row(y)[x];
  window->Present(surface, Rect(10, 50, 100, 70));
  Settle();
  expectShown("presented in part");

  // Something else drew over the window; the system asks it to paint itself again.
  HDC dc = GetDC(wnd);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(wnd, dc);
  InvalidateRect(wnd, nullptr, TRUE);
  UpdateWindow(wnd);
  expectShown("repainted by the system");
}

// Catches a title passed on as bytes (the euro sign and the e-acute are Windows-1252 bytes),
// a window shown at the system's default place instead of centred, or a client area of
// another size than the form asked for.
TEST_F(Win32DisplayTest, TitleClientSizeAndCentring) {
  auto window = MakeWindow(300, 200, "Upgrade \x80 caf\xE9");
  WinHWND wnd = Win32::SystemWindowOf(*window);
  window->Show(true);
  Settle();
  wchar_t title[64] = {};
  GetWindowTextW(wnd, title, 64);
  EXPECT_STREQ(title, L"Upgrade \u20AC caf\u00E9");
  RECT c{};
  GetClientRect(wnd, &c);
  EXPECT_EQ(c.right, 300);
  EXPECT_EQ(c.bottom, 200);
  POINT origin{0, 0};
  ClientToScreen(wnd, &origin);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR(origin.x + 150, (work.left + work.right) / 2, 1);
  EXPECT_NEAR(origin.y + 100, (work.top + work.bottom) / 2, 1);
}

// ---- input and the frame ----

// Catches client coordinates taken as screen ones (or the frame's), a release lost outside
// the window, shift state dropped, a key whose character is not typed, or a control chord
// that types a control character.
TEST_F(Win32DisplayTest, SystemInputArrivesAsTheFormsMessages) {
  auto window = MakeWindow(200, 150, "input");
  WinHWND wnd = Win32::SystemWindowOf(*window);
  window->Show(true);
  Settle();
  POINT at{30, 40};
  ClientToScreen(wnd, &at);
  const int sw = GetSystemMetrics(SM_CXSCREEN) - 1, sh = GetSystemMetrics(SM_CYSCREEN) - 1;
  auto mouse = [&](DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = at.x * 65535 / sw;
    in.mi.dy = at.y * 65535 / sh;
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(1, &in, sizeof in);
  };
  auto key = [](WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
  };
  auto press = [&](WORD modifier, WORD letter) {
    key(modifier, false);
    key(letter, false);
    key(letter, true);
    key(modifier, true);
  };
  mouse(MOUSEEVENTF_LEFTDOWN);
  const TMsg* down = FRecorder.Await(WM_LBUTTONDOWN);
  ASSERT_NE(down, nullptr) << "no click arrived";
  EXPECT_EQ(LParamX(down->lParam), 30);
  EXPECT_EQ(LParamY(down->lParam), 40);
  EXPECT_EQ(down->wParam, MouseWParam(0, true));

  // Released left of the window: the drag still ends there.
  ClientToScreen(wnd, &(at = POINT{-20, 10}));
  mouse(MOUSEEVENTF_LEFTUP);
  const TMsg* up = FRecorder.Await(WM_LBUTTONUP);
  ASSERT_NE(up, nullptr) << "the release went elsewhere";
  EXPECT_EQ(LParamX(up->lParam), -20);
  EXPECT_EQ(LParamY(up->lParam), 10);

  FRecorder.Messages().clear();
  press(VK_SHIFT, 'A');
  const TMsg* ch = FRecorder.Await(WM_CHAR);
  ASSERT_NE(ch, nullptr) << "no character typed";
  EXPECT_EQ(ch->wParam, WPARAM{'A'});
  const TMsg* kd = FRecorder.Await(WM_KEYDOWN);
  ASSERT_NE(kd, nullptr);
  EXPECT_EQ(kd->wParam, WPARAM{'A'}) << "the shift key itself is no key of the forms";
  EXPECT_EQ(ShiftFromKeyLParam(kd->lParam), TShiftState{ssShift});

  FRecorder.Messages().clear();
  // Ctrl+H: the system types a backspace for it, X11 nothing; the forms expect nothing.
  press(VK_CONTROL, 'H');
  const TMsg* chord = FRecorder.Await(WM_KEYDOWN);
  ASSERT_NE(chord, nullptr);
  EXPECT_EQ(ShiftFromKeyLParam(chord->lParam), TShiftState{ssCtrl});
  Settle();
  for (const TMsg& m : FRecorder.Messages()) EXPECT_NE(m.message, uint32_t{WM_CHAR}) << "Ctrl+H typed " << m.wParam;
}

// Catches the close box destroying the window behind the form's back instead of asking the
// form, a user's resize not reported, or the program's own resize reported as the user's.
TEST_F(Win32DisplayTest, CloseBoxAndResizingGoToTheForm) {
  auto window = MakeWindow(200, 150, "frame");
  WinHWND wnd = Win32::SystemWindowOf(*window);
  window->Show(true);
  Settle();
  SendMessageW(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_NE(FRecorder.Await(WM_CLOSE), nullptr);
  EXPECT_TRUE(IsWindow(wnd) && IsWindowVisible(wnd)) << "the form decides";

  window->SetClientSize(220, 160);
  Settle();
  RECT c{};
  GetClientRect(wnd, &c);
  EXPECT_EQ(c.right, 220);
  EXPECT_EQ(c.bottom, 160);
  for (const TMsg& m : FRecorder.Messages()) EXPECT_NE(m.message, uint32_t{WM_SIZE}) << "our own resize";

  // As a drag of the frame would: 40 pixels wider.
  RECT outer{};
  GetWindowRect(wnd, &outer);
  SetWindowPos(wnd, nullptr, 0, 0, outer.right - outer.left + 40, outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
  const TMsg* size = FRecorder.Await(WM_SIZE);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(LParamX(size->lParam), 260);
  EXPECT_EQ(LParamY(size->lParam), 160);
}

// Catches a dialog that is not owned (it could fall behind its owner), leaves the owner
// taking input, can be resized, is not centred on its owner, or leaves the activation
// elsewhere when it goes.
TEST_F(Win32DisplayTest, DialogIsOwnedModalFixedCentredAndHandsTheActivationBack) {
  auto owner = MakeWindow(400, 300, "owner");
  owner->Show(true);
  Settle();
  TRecorder dialogInput;
  auto dialog = FDisplay->CreateNativeWindow(dialogInput.Handle(), 200, 100, "dialog");
  dialog->SetDialogOwner(*owner);
  dialog->Show(true);
  Settle();
  WinHWND o = Win32::SystemWindowOf(*owner), d = Win32::SystemWindowOf(*dialog);
  EXPECT_EQ(GetWindow(d, GW_OWNER), o);
  EXPECT_FALSE(IsWindowEnabled(o)) << "modal";
  EXPECT_EQ(GetWindowLongPtrW(d, GWL_STYLE) & WS_THICKFRAME, 0) << "fixed size";
  RECT c{};
  GetClientRect(d, &c);
  EXPECT_EQ(c.right, 200);
  EXPECT_EQ(c.bottom, 100);
  POINT oc{200, 150}, dc{100, 50};
  ClientToScreen(o, &oc);
  ClientToScreen(d, &dc);
  EXPECT_NEAR(dc.x, oc.x, 1);
  EXPECT_NEAR(dc.y, oc.y, 1);
  EXPECT_EQ(GetActiveWindow(), d);

  dialog->Hide();
  Settle();
  EXPECT_TRUE(IsWindowEnabled(o));
  EXPECT_FALSE(IsWindowVisible(d));
  EXPECT_EQ(GetActiveWindow(), o);
}

// ---- the clipboard ----

// Catches text put on the clipboard as bytes or in a format other programs do not read, and
// another program's text not turned back into the code page.
TEST_F(Win32DisplayTest, ClipboardIsUnicodeTextBothWays) {
  FDisplay->SetClipboardText("5 \x80 \x96 caf\xE9");
  // Another program (the desktop's clipboard manager) may hold it open for a moment.
  ASSERT_TRUE(PumpUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr) << "no CF_UNICODETEXT";
  EXPECT_STREQ(static_cast<const wchar_t*>(GlobalLock(data)), L"5 \u20AC \u2013 caf\u00E9");
  GlobalUnlock(data);

  const wchar_t theirs[] = L"\u201Cquoted\u201D \u00FC \u4E2D";
  HGLOBAL mine = GlobalAlloc(GMEM_MOVEABLE, sizeof theirs);
  std::memcpy(GlobalLock(mine), theirs, sizeof theirs);
  GlobalUnlock(mine);
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, mine);
  CloseClipboard();
  EXPECT_EQ(FDisplay->ClipboardText(), "\x93quoted\x94 \xFC ?") << "a character the code page lacks is '?'";
}

// ---- a real form ----

// Catches a form whose window shows anything but what the form painted; leaves the screenshot.
TEST(Win32Form, RealFormShowsItsPaintedPage) {
  SetDisplay(CreateHostDisplay());
  {
    TScopedApplication app;
    auto* form = Application->CreateForm<TForm>();
    form->SetCaption("Norvane upgrade \x96 Windows");
    form->SetPosition(poScreenCenter);
    form->SetClientSize(320, 140);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetBounds(16, 16, 288, 40);
    label->SetCaption("This window is a real Win32 window, drawn in MS Sans Serif.");
    auto* button = new TButton(form);
    button->SetParent(form);
    button->SetBounds(232, 100, 75, 25);
    button->SetCaption("&Next >");
    form->Show();
    PumpUntil([] { return false; }, 300);

    WinHWND wnd = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](WinHWND w, LPARAM found) -> BOOL {
          wchar_t text[64] = {};
          GetWindowTextW(w, text, 64);
          if (std::wcsncmp(text, L"Norvane upgrade", 15) != 0) return TRUE;
          *reinterpret_cast<WinHWND*>(found) = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&wnd));
    ASSERT_NE(wnd, nullptr);
    // The page as the form painted it, against what the screen shows in the client area.
    const TSurface& painted = form->Surface();
    const std::vector<uint32_t> shown = ScreenPixels(wnd, RECT{0, 0, 320, 140});
    int wrong = 0;
    for (int32_t y = 0; y < 140; ++y)
      for (int32_t x = 0; x < 320; ++x) wrong += shown[static_cast<size_t>(y * 320 + x)] != painted.Pixel(x, y);
    EXPECT_EQ(wrong, 0);

    // The whole window, frame and caption included, from the screen.
    RECT outer{};
    GetWindowRect(wnd, &outer);
    const std::vector<uint32_t> screen = ScreenPixels(nullptr, outer);
    TSurface shot(outer.right - outer.left, outer.bottom - outer.top);
    for (int32_t y = 0; y < shot.Height(); ++y)
      for (int32_t x = 0; x < shot.Width(); ++x) shot.Row(y)[x] = screen[static_cast<size_t>(y * shot.Width() + x)];
    shot.SavePng("win32_window.png");
  }
  SetDisplay(CreateHeadlessDisplay());
}

}  // namespace
