// The X11 backend's key translation: keysyms to Windows virtual keys, modifiers to the shift
// state, typed characters to Windows-1252. Needs no X server.
#include "X11TestSupport.h"

namespace X11Test {
namespace {

using X11::TranslateKey;

// Catches a keysym the forms need that maps to no virtual key or to the wrong one.
TEST(X11Keys, EditingAndNavigationKeysMapToWindowsVirtualKeys) {
  struct {
    KeySym sym;
    uint16_t vk;
  } cases[] = {{XK_Tab, VK_TAB},
               {XK_Return, VK_RETURN},
               {XK_KP_Enter, VK_RETURN},
               {XK_Escape, VK_ESCAPE},
               {XK_BackSpace, VK_BACK},
               {XK_Delete, VK_DELETE},
               {XK_Left, VK_LEFT},
               {XK_Right, VK_RIGHT},
               {XK_Up, VK_UP},
               {XK_Down, VK_DOWN},
               {XK_Home, VK_HOME},
               {XK_End, VK_END},
               {XK_Insert, VK_INSERT},
               {XK_space, VK_SPACE},
               {XK_F1, VK_F1},
               {XK_a, 'A'},
               {XK_z, 'Z'},
               {XK_N, 'N'},
               {XK_0, '0'},
               {XK_9, '9'},
               {XK_KP_Left, VK_LEFT}};
  for (const auto& c : cases) {
    X11::TKeyInput k = TranslateKey(c.sym, c.sym, 0);
    EXPECT_EQ(k.KeyMessage, WM_KEYDOWN) << XKeysymToString(c.sym);
    EXPECT_EQ(k.VirtualKey, c.vk) << XKeysymToString(c.sym);
    EXPECT_EQ(k.Shift, 0) << XKeysymToString(c.sym);
  }
}

// Catches Shift+Tab (ISO_Left_Tab) not being a Tab, and lost modifier bits.
TEST(X11Keys, ModifiersBecomeTheShiftState) {
  X11::TKeyInput back = TranslateKey(XK_ISO_Left_Tab, XK_Tab, ShiftMask);
  EXPECT_EQ(back.VirtualKey, VK_TAB) << "Shift+Tab must move the focus backwards";
  EXPECT_EQ(back.Shift, ssShift);
  X11::TKeyInput all = TranslateKey(XK_A, XK_a, ShiftMask | ControlMask | Mod1Mask | LockMask | Mod2Mask);
  EXPECT_EQ(all.Shift, ssShift | ssCtrl | ssAlt) << "Caps Lock and Num Lock are not shift keys";
}

// Catches a shifted symbol losing its key's virtual key, and keypad digits turning into End.
TEST(X11Keys, ShiftedAndKeypadKeys) {
  X11::TKeyInput bang = TranslateKey(XK_exclam, XK_1, ShiftMask);
  EXPECT_EQ(bang.VirtualKey, '1');
  EXPECT_EQ(bang.CharMessage, WM_CHAR);
  EXPECT_EQ(bang.Char, '!');
  X11::TKeyInput kp1 = TranslateKey(XK_KP_1, XK_KP_End, Mod2Mask);
  EXPECT_NE(kp1.VirtualKey, VK_END) << "keypad 1 with Num Lock typed End";
  EXPECT_EQ(kp1.CharMessage, WM_CHAR);
  EXPECT_EQ(kp1.Char, '1');
  X11::TKeyInput kpEnd = TranslateKey(XK_KP_End, XK_KP_End, 0);
  EXPECT_EQ(kpEnd.VirtualKey, VK_END);
  EXPECT_EQ(kpEnd.CharMessage, 0u) << "End types no character";
}

// Catches Alt input not taking the system messages (accelerators need WM_SYSCHAR) and
// Ctrl shortcuts typing characters into edits.
TEST(X11Keys, AltMakesSystemMessagesAndCtrlTypesNothing) {
  X11::TKeyInput altN = TranslateKey(XK_n, XK_n, Mod1Mask);
  EXPECT_EQ(altN.KeyMessage, WM_SYSKEYDOWN);
  EXPECT_EQ(altN.VirtualKey, 'N');
  EXPECT_EQ(altN.Shift, ssAlt);
  EXPECT_EQ(altN.CharMessage, WM_SYSCHAR);
  EXPECT_EQ(altN.Char, 'n');
  X11::TKeyInput ctrlC = TranslateKey(XK_c, XK_c, ControlMask);
  EXPECT_EQ(ctrlC.KeyMessage, WM_KEYDOWN);
  EXPECT_EQ(ctrlC.VirtualKey, 'C');
  EXPECT_EQ(ctrlC.Shift, ssCtrl);
  EXPECT_EQ(ctrlC.CharMessage, 0u) << "Ctrl+C typed a character";
}

// Catches characters outside ASCII arriving in the wrong code page, or characters the code
// page lacks arriving as garbage instead of nothing.
TEST(X11Keys, TypedCharactersArriveInWindows1252) {
  struct {
    KeySym sym;
    int byte;
  } cases[] = {{XK_a, 'a'},       {XK_eacute, 0xE9},   {XK_ssharp, 0xDF}, {XK_EuroSign, 0x80}, {0x10020AC, 0x80},
               {0x1000152, 0x8C}, {XK_Scaron, 0x8A},   {0x1002014, 0x97}, {0x1004E2D, -1},     {XK_BackSpace, 0x08},
               {XK_Return, 0x0D}, {XK_KP_Enter, 0x0D}, {XK_Escape, 0x1B}, {XK_Tab, 0x09},      {XK_Delete, -1},
               {XK_Left, -1},     {XK_F1, -1},         {XK_KP_Add, '+'},  {0x1000085, -1}};
  for (const auto& c : cases) {
    X11::TKeyInput k = TranslateKey(c.sym, c.sym, 0);
    if (c.byte < 0) {
      EXPECT_EQ(k.CharMessage, 0u) << "keysym 0x" << std::hex << c.sym << " typed 0x" << int(k.Char);
    } else {
      EXPECT_EQ(k.CharMessage, WM_CHAR) << "keysym 0x" << std::hex << c.sym;
      EXPECT_EQ(k.Char, c.byte) << "keysym 0x" << std::hex << c.sym;
    }
  }
}

// Catches Windows-1252's extra characters (0x80..0x9F) leaking into Latin-1 STRING data,
// where they are control codes.
TEST(X11Text, Latin1KeepsWhatItHasAndMarksTheRest) {
  EXPECT_EQ(X11::Cp1252ToLatin1("caf\xE9 \x80 5"), "caf\xE9 ? 5");
  EXPECT_EQ(X11::Latin1ToCp1252("caf\xE9 \x85"), "caf\xE9 ?");
}

}  // namespace
}  // namespace X11Test
