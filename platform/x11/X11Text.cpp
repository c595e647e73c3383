// Text as the X server hands it over and takes it: keysyms of key presses, turned into the
// Windows virtual keys and Windows-1252 characters the forms expect, and the Latin-1 of STRING
// properties.

#include "Cp1252.h"
#include "X11Internal.h"

// The typographic keysyms (dashes, quotes, dagger, florin) sit in sets keysym.h leaves out.
#define XK_PUBLISHING
#define XK_TECHNICAL
#include <X11/keysymdef.h>

namespace X11 {

namespace {

// Keysyms outside Latin-1 whose characters the code page has (older keyboard maps still emit
// these instead of Unicode keysyms).
struct TLegacyKeysym {
  KeySym Sym;
  uint32_t CodePoint;
};
constexpr TLegacyKeysym kLegacy[] = {
    {XK_EuroSign, 0x20AC},
    {XK_Scaron, 0x0160},
    {XK_scaron, 0x0161},
    {XK_Zcaron, 0x017D},
    {XK_zcaron, 0x017E},
    {XK_OE, 0x0152},
    {XK_oe, 0x0153},
    {XK_Ydiaeresis, 0x0178},
    {XK_emdash, 0x2014},
    {XK_endash, 0x2013},
    {XK_ellipsis, 0x2026},
    {XK_trademark, 0x2122},
    {XK_leftsinglequotemark, 0x2018},
    {XK_rightsinglequotemark, 0x2019},
    {XK_leftdoublequotemark, 0x201C},
    {XK_rightdoublequotemark, 0x201D},
    {XK_permille, 0x2030},
    {XK_dagger, 0x2020},
    {XK_doubledagger, 0x2021},
    {XK_singlelowquotemark, 0x201A},
    {XK_doublelowquotemark, 0x201E},
    {XK_function, 0x0192},
};

uint16_t VirtualKeyOf(KeySym ks) {
  if (ks >= XK_a && ks <= XK_z) return static_cast<uint16_t>('A' + (ks - XK_a));
  if (ks >= XK_A && ks <= XK_Z) return static_cast<uint16_t>(ks);
  if (ks >= XK_0 && ks <= XK_9) return static_cast<uint16_t>(ks);
  if (ks >= XK_F1 && ks <= XK_F12) return static_cast<uint16_t>(VK_F1 + (ks - XK_F1));
  switch (ks) {
    case XK_Tab:
    case XK_ISO_Left_Tab:
    case XK_KP_Tab: return VK_TAB;
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_BackSpace: return VK_BACK;
    case XK_Delete:
    case XK_KP_Delete: return VK_DELETE;
    case XK_Insert:
    case XK_KP_Insert: return VK_INSERT;
    case XK_Left:
    case XK_KP_Left: return VK_LEFT;
    case XK_Right:
    case XK_KP_Right: return VK_RIGHT;
    case XK_Up:
    case XK_KP_Up: return VK_UP;
    case XK_Down:
    case XK_KP_Down: return VK_DOWN;
    case XK_Home:
    case XK_KP_Home: return VK_HOME;
    case XK_End:
    case XK_KP_End: return VK_END;
    case XK_space:
    case XK_KP_Space: return VK_SPACE;
    default: return 0;
  }
}

}  // namespace

TShiftState ShiftOf(unsigned int state) {
  TShiftState s = 0;
  if (state & ShiftMask) s |= ssShift;
  if (state & ControlMask) s |= ssCtrl;
  if (state & Mod1Mask) s |= ssAlt;
  return s;
}

int KeysymToCp1252(KeySym ks) {
  // The editing keys type the control characters the platform's edits act on (backspace).
  switch (ks) {
    case XK_BackSpace: return 0x08;
    case XK_Tab:
    case XK_ISO_Left_Tab:
    case XK_KP_Tab: return 0x09;
    case XK_Return:
    case XK_KP_Enter: return 0x0D;
    case XK_Escape: return 0x1B;
    case XK_KP_Space: return ' ';
    case XK_KP_Multiply: return '*';
    case XK_KP_Add: return '+';
    case XK_KP_Subtract: return '-';
    case XK_KP_Decimal: return '.';
    case XK_KP_Divide: return '/';
    case XK_KP_Equal: return '=';
    default: break;
  }
  if (ks >= XK_KP_0 && ks <= XK_KP_9) return static_cast<int>('0' + (ks - XK_KP_0));
  if ((ks >= 0x20 && ks <= 0x7E) || (ks >= 0xA0 && ks <= 0xFF)) return static_cast<int>(ks);
  uint32_t cp = 0;
  if (ks >= 0x1000000 && ks <= 0x110FFFF) {
    cp = static_cast<uint32_t>(ks - 0x1000000);
  } else {
    for (const TLegacyKeysym& l : kLegacy)
      if (l.Sym == ks) cp = l.CodePoint;
  }
  // C0 and C1 controls are not typed characters; the editing keys above are the exceptions.
  if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return -1;
  return UnicodeToCp1252(cp);
}

TKeyInput TranslateKey(KeySym typed, KeySym base, unsigned int state) {
  TKeyInput k;
  k.Shift = ShiftOf(state);
  bool alt = (k.Shift & ssAlt) != 0;
  k.VirtualKey = VirtualKeyOf(typed);
  // A shifted printable key ("!" on the "1" key) keeps the virtual key of its key; keypad and
  // function keysyms do not fall back, or keypad "1" with Num Lock would also be End.
  if (k.VirtualKey == 0 && (typed == NoSymbol || typed < 0xFF00 || typed >= 0x1000000))
    k.VirtualKey = VirtualKeyOf(base);
  if (k.VirtualKey != 0) k.KeyMessage = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
  if (!(k.Shift & ssCtrl)) {
    int c = KeysymToCp1252(typed);
    if (c >= 0) {
      k.CharMessage = alt ? WM_SYSCHAR : WM_CHAR;
      k.Char = static_cast<uint8_t>(c);
    }
  }
  return k;
}

std::string Cp1252ToLatin1(const std::string& s) {
  std::string out(s);
  for (char& ch : out) {
    auto b = static_cast<uint8_t>(ch);
    // 0x80..0x9F are the code page's extra characters in Windows-1252 but controls in Latin-1.
    if (b >= 0x80 && b < 0xA0) ch = '?';
  }
  return out;
}

std::string Latin1ToCp1252(const std::string& s) {
  std::string out(s);
  for (char& ch : out) {
    auto b = static_cast<uint8_t>(ch);
    if (b >= 0x80 && b < 0xA0) {
      int c = UnicodeToCp1252(b);
      ch = c < 0 ? '?' : static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace X11
