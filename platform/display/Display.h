// The display seam: where a form's pixels go and where its input comes from. Backends: the
// host's (a real top-level window: X11 on Linux, Win32 on Windows) and headless (memory only;
// tests inject input through PostMessage and read the form's surface). Input arrives as messages posted to the form's
// window handle (WM_LBUTTONDOWN, WM_KEYDOWN, WM_CHAR, WM_CLOSE, ...), so a wait that pumps the
// queue also handles the user's input.
//
// Threads: user-interface thread only. Ownership: the application owns the backend for the
// whole run; each form owns its native window.
#pragma once
#include <memory>
#include <string>

#include "Messages.h"
#include "Types.h"

class TSurface;

class TNativeWindow {
 public:
  virtual ~TNativeWindow() = default;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetIcon(const TSurface& icon) = 0;
  virtual void SetClientSize(int32_t w, int32_t h) = 0;
  // Makes the window a dialog of `owner`: kept above it, fixed at its size, centred on it
  // instead of the screen, given the keyboard focus once mapped and handing it back to the
  // owner when hidden. Call before the first Show; the owner may go first.
  virtual void SetDialogOwner(TNativeWindow& owner) = 0;
  // Maps the window (centred the first time when `centre`).
  virtual void Show(bool centre) = 0;
  virtual void Hide() = 0;
  // Copies rect r of the form's surface to the screen at once, without waiting for the display
  // to answer.
  virtual void Present(const TSurface& surface, const TRect& r) = 0;
};

class TDisplay {
 public:
  virtual ~TDisplay() = default;
  // A top-level window whose input is posted to `hwnd`.
  virtual std::unique_ptr<TNativeWindow> CreateNativeWindow(HWND hwnd, int32_t clientW, int32_t clientH,
                                                            const std::string& title) = 0;
  virtual TSize ScreenSize() const = 0;
  virtual void SetClipboardText(const std::string& text) = 0;
  virtual std::string ClipboardText() = 0;
  virtual bool IsHeadless() const = 0;
};

// The backend in use. Before any form exists, SetDisplay may install one; otherwise the first
// call picks the host's display (X11, or the Windows desktop) when it can be opened and
// WIZARD_DISPLAY is not "headless", else raises with the host's reason.
TDisplay& Display();
void SetDisplay(std::unique_ptr<TDisplay> display);
bool HasDisplay();

std::unique_ptr<TDisplay> CreateHeadlessDisplay(int32_t screenW = 1024, int32_t screenH = 768);
// The host's own display, one per backend (x11, win32). Returns null when it cannot be opened;
// HostDisplayUnavailable() then says why, as the error message the user sees.
std::unique_ptr<TDisplay> CreateHostDisplay();
std::string HostDisplayUnavailable();
