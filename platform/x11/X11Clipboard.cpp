// The CLIPBOARD selection for the X11 backend. Copying takes ownership with a hidden helper
// window and answers other clients' requests (TARGETS, UTF8_STRING, STRING, TEXT) from the
// Windows-1252 text kept here; pasting returns that text while we own the selection, else
// asks the owner and waits a bounded time for its reply. Incremental (INCR) transfers are
// refused either way: the program's texts are short.

#include "Cp1252.h"
#include "X11Internal.h"

namespace X11 {

namespace {
constexpr int kReplyTimeoutMs = 500;
}

TX11Clipboard::TX11Clipboard(XDisplay* dpy) : FDpy(dpy) {
  const char* names[] = {"CLIPBOARD", "TARGETS",           "UTF8_STRING",      "TEXT",
                         "INCR",      "_WIZARD_CLIPBOARD", "_WIZARD_TIMESTAMP"};
  Atom atoms[7];
  XInternAtoms(dpy, const_cast<char**>(names), 7, False, atoms);
  FClipboard = atoms[0];
  FTargets = atoms[1];
  FUtf8 = atoms[2];
  FText = atoms[3];
  FIncr = atoms[4];
  FProperty = atoms[5];
  FStamp = atoms[6];
  XSetWindowAttributes a{};
  a.event_mask = PropertyChangeMask;
  FHelper =
      XCreateWindow(dpy, DefaultRootWindow(dpy), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, CWEventMask, &a);
}

TX11Clipboard::~TX11Clipboard() { XDestroyWindow(FDpy, FHelper); }

Time TX11Clipboard::ServerTime() {
  // A zero-length append changes nothing but yields a PropertyNotify stamped with the time.
  XChangeProperty(FDpy, FHelper, FStamp, XA_INTEGER, 8, PropModeAppend, nullptr, 0);
  XEvent e;
  bool got = WaitForEvent(
      FDpy,
      [this](const XEvent& ev) {
        return ev.type == PropertyNotify && ev.xproperty.window == FHelper && ev.xproperty.atom == FStamp;
      },
      kReplyTimeoutMs, e);
  return got ? e.xproperty.time : CurrentTime;
}

void TX11Clipboard::SetText(const std::string& cp1252) {
  FOwnText = cp1252;
  // Selection ownership wants a real timestamp: the user's latest input, else the server's now.
  Time t = FLastTime != CurrentTime ? FLastTime : ServerTime();
  XSetSelectionOwner(FDpy, FClipboard, FHelper, t);
  FOwned = XGetSelectionOwner(FDpy, FClipboard) == FHelper;
  FOwnTime = t;
}

std::string TX11Clipboard::Text() {
  Window owner = XGetSelectionOwner(FDpy, FClipboard);
  if (owner == None) return std::string();
  if (owner == FHelper) return FOwned ? FOwnText : std::string();
  std::string data;
  TReply r = Request(FUtf8, data);
  if (r == rpData) return Utf8ToCp1252(data);
  // An owner that did not answer once will not answer the second question either.
  if (r == rpRefused && Request(XA_STRING, data) == rpData) return Latin1ToCp1252(data);
  return std::string();
}

TX11Clipboard::TReply TX11Clipboard::Request(Atom target, std::string& data) {
  XDeleteProperty(FDpy, FHelper, FProperty);
  XConvertSelection(FDpy, FClipboard, target, FProperty, FHelper, FLastTime);
  XEvent e;
  bool got = WaitForEvent(
      FDpy,
      [this, target](const XEvent& ev) {
        return ev.type == SelectionNotify && ev.xselection.requestor == FHelper &&
               ev.xselection.selection == FClipboard && ev.xselection.target == target;
      },
      kReplyTimeoutMs, e);
  if (!got) return rpNoAnswer;
  if (e.xselection.property == None) return rpRefused;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* bytes = nullptr;
  int status = XGetWindowProperty(FDpy, FHelper, FProperty, 0, 0x7FFFFFFF / 4, True, AnyPropertyType, &type, &format,
                                  &count, &after, &bytes);
  bool ok = status == Success && bytes && format == 8 && type != FIncr;
  if (ok) data.assign(reinterpret_cast<const char*>(bytes), count);
  if (bytes) XFree(bytes);
  return ok ? rpData : rpRefused;
}

bool TX11Clipboard::HandleEvent(const XEvent& e) {
  if (e.type == SelectionRequest && e.xselectionrequest.owner == FHelper) {
    Answer(e.xselectionrequest);
    return true;
  }
  if (e.type == SelectionClear && e.xselectionclear.window == FHelper) {
    if (e.xselectionclear.selection == FClipboard) FOwned = false;
    return true;
  }
  // Replies that came after their wait gave up, and our own property traffic.
  return (e.type == SelectionNotify && e.xselection.requestor == FHelper) ||
         (e.type == PropertyNotify && e.xproperty.window == FHelper);
}

void TX11Clipboard::Answer(const XSelectionRequestEvent& req) {
  XEvent reply{};
  XSelectionEvent& r = reply.xselection;
  r.type = SelectionNotify;
  r.display = FDpy;
  r.requestor = req.requestor;
  r.selection = req.selection;
  r.target = req.target;
  r.time = req.time;
  r.property = None;  // refused unless set below
  // Clients from before the current conventions leave the property to the owner.
  Atom prop = req.property != None ? req.property : req.target;
  // A request stamped before we took the selection is for the previous owner.
  bool current = req.time == CurrentTime || FOwnTime == CurrentTime || req.time >= FOwnTime;
  if (FOwned && req.selection == FClipboard && current) {
    long maxBytes = (XExtendedMaxRequestSize(FDpy) ? XExtendedMaxRequestSize(FDpy) : XMaxRequestSize(FDpy)) * 4 - 64;
    auto putText = [&](Atom type, const std::string& v) {
      if (static_cast<long>(v.size()) > maxBytes) return;  // would need INCR
      XChangeProperty(FDpy, req.requestor, prop, type, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(v.data()), static_cast<int>(v.size()));
      r.property = prop;
    };
    if (req.target == FTargets) {
      // Xlib takes 32-bit property items as longs.
      long targets[] = {static_cast<long>(FTargets), static_cast<long>(FUtf8), static_cast<long>(XA_STRING),
                        static_cast<long>(FText)};
      XChangeProperty(FDpy, req.requestor, prop, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(targets), 4);
      r.property = prop;
    } else if (req.target == FUtf8) {
      putText(FUtf8, Cp1252ToUtf8(FOwnText));
    } else if (req.target == XA_STRING) {
      putText(XA_STRING, Cp1252ToLatin1(FOwnText));
    } else if (req.target == FText) {
      // TEXT lets the owner choose: Latin-1 when it holds every character, else UTF-8.
      std::string latin1 = Cp1252ToLatin1(FOwnText);
      if (Latin1ToCp1252(latin1) == FOwnText)
        putText(XA_STRING, latin1);
      else
        putText(FUtf8, Cp1252ToUtf8(FOwnText));
    }
  }
  XSendEvent(FDpy, req.requestor, False, NoEventMask, &reply);
}

}  // namespace X11
