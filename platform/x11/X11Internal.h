// Internal seam between the units of the X11 display backend: the display and its windows
// (X11Display.cpp), key translation (X11Keys.cpp) and the clipboard (X11Clipboard.cpp). Only
// those units and the backend's own tests include this header, so that no Xlib type reaches a
// subsystem.
//
// Threads: user-interface thread only. Ownership: a TX11Clipboard belongs to one display
// connection and lives no longer than it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "Messages.h"
#include "Types.h"

// Last: Xlib's macros (None, KeyPress, ...) must not rewrite the platform's own declarations.
// Display.h's Display() and Xlib's Display type share a name; here Xlib's is called XDisplay.
// Every X11 header the backend uses is included here, inside that renaming.
#define Display XDisplay
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#undef Display

class TDisplay;
class TNativeWindow;

namespace X11 {

// ---- keys ----

// What one key press posts to a form: a key message (0 when the key means nothing to the
// program) and a character message (0 when it types no Windows-1252 character).
struct TKeyInput {
  uint32_t KeyMessage = 0;  // WM_KEYDOWN or WM_SYSKEYDOWN
  uint16_t VirtualKey = 0;
  TShiftState Shift = 0;
  uint32_t CharMessage = 0;  // WM_CHAR or WM_SYSCHAR
  uint8_t Char = 0;
};

// `typed` is the keysym with the modifiers applied (as XLookupString gives it), `base` the
// keysym of the key's first level (XLookupKeysym index 0), `state` the event's modifier mask.
TKeyInput TranslateKey(KeySym typed, KeySym base, unsigned int state);
// The Windows-1252 byte a keysym types, or -1.
int KeysymToCp1252(KeySym ks);
TShiftState ShiftOf(unsigned int state);

// ---- Latin-1, the encoding of STRING properties ----

// Characters Latin-1 lacks become '?'.
std::string Cp1252ToLatin1(const std::string& s);
std::string Latin1ToCp1252(const std::string& s);

// ---- waiting on the connection ----

// Waits up to timeoutMs for an event on `dpy` that `match` accepts and returns it in `out`.
// Every other event meanwhile, on this connection or on another display connection of the
// process, is handled as the loop would handle it: an owner inside this process must be able
// to answer a selection request while we wait for its reply. Returns false on timeout or
// when the connection is lost.
bool WaitForEvent(XDisplay* dpy, const std::function<bool(const XEvent&)>& match, int timeoutMs, XEvent& out);

// ---- clipboard ----

class TX11Clipboard {
 public:
  explicit TX11Clipboard(XDisplay* dpy);
  ~TX11Clipboard();
  TX11Clipboard(const TX11Clipboard&) = delete;
  TX11Clipboard& operator=(const TX11Clipboard&) = delete;

  void SetText(const std::string& cp1252);
  std::string Text();
  // The server time of the user's latest input, the timestamp selections should carry.
  void NoteTime(Time t) {
    if (t != CurrentTime) FLastTime = t;
  }
  Time LastInputTime() const { return FLastTime; }
  // Handles the selection events addressed to the clipboard; false for any other event.
  bool HandleEvent(const XEvent& e);
  Window HelperWindow() const { return FHelper; }

 private:
  Time ServerTime();
  enum TReply { rpData, rpRefused, rpNoAnswer };
  // Asks the owner for the clipboard as `target`.
  TReply Request(Atom target, std::string& data);
  void Answer(const XSelectionRequestEvent& req);

  XDisplay* FDpy;
  Window FHelper = 0;
  Atom FClipboard, FTargets, FUtf8, FText, FIncr, FProperty, FStamp;
  std::string FOwnText;
  bool FOwned = false;
  Time FOwnTime = CurrentTime;
  Time FLastTime = CurrentTime;
};

// ---- for the backend's own tests ----

// The connection behind an X11 display (null for another backend), so that a test can make
// the server catch up with it.
XDisplay* ConnectionOf(TDisplay& display);
// The X window behind a native window of this backend, or 0.
Window WindowOf(TNativeWindow& window);

}  // namespace X11
