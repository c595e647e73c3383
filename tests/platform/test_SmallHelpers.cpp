// The small shared helpers: scope guards, the ASCII case-insensitive compare and the shift-state
// encoding of mouse and key messages.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "Form.h"
#include "Scope.h"
#include "SysUtils.h"

// Catches a guard that skips its action when the scope is left by an exception.
TEST(ScopeGuards, RunOnRaisingExit) {
  int closed = 0;
  bool painting = false;
  try {
    TScopeExit close([&closed] { ++closed; });
    TTemporaryChange paint(painting, true);
    EXPECT_TRUE(painting);
    throw std::runtime_error("out");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(painting);
}

// Catches a temporary change that resets to a default instead of the value it found, which
// breaks nesting.
TEST(ScopeGuards, NestedChangesRestoreTheValueTheyFound) {
  std::string mode = "idle";
  {
    TTemporaryChange<std::string> outer(mode, "busy");
    {
      TTemporaryChange<std::string> inner(mode, "nested");
      EXPECT_EQ(mode, "nested");
    }
    EXPECT_EQ(mode, "busy");
  }
  EXPECT_EQ(mode, "idle");
}

// Catches a compare that folds beyond ASCII, ignores length or stops at an embedded NUL.
TEST(SameText, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(SameText("LocalHost", "localhost"));
  EXPECT_TRUE(SameText("", ""));
  EXPECT_FALSE(SameText("blksize", "blksiz"));
  EXPECT_FALSE(SameText("\xE9t\xE9", "\xC9T\xC9")) << "Windows-1252 letters are not folded";
  EXPECT_FALSE(SameText("@", "`")) << "neighbours of the letter ranges are not letters";
  EXPECT_FALSE(SameText(std::string("a\0b", 3), std::string("a\0c", 3)));
  EXPECT_TRUE(SameTextChar('q', 'Q'));
  EXPECT_FALSE(SameTextChar('[', '{'));
}

// Catches a poster and the form's reader that disagree on a shift flag or on the button bit.
TEST(ShiftEncoding, MouseAndKeyParamsRoundTrip) {
  for (int s = 0; s <= (ssShift | ssAlt | ssCtrl); ++s) {  // every mix of the three keys
    const auto shift = static_cast<TShiftState>(s);
    EXPECT_EQ(ShiftFromWParam(MouseWParam(shift)), shift) << int(shift);
    EXPECT_EQ(ShiftFromWParam(MouseWParam(shift, false)), shift) << int(shift);
    EXPECT_EQ(ShiftFromKeyLParam(KeyLParam(shift)), shift) << int(shift);
    EXPECT_EQ(MouseWParam(shift) & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(MouseWParam(shift, false) & MK_LBUTTON, 0u);
  }
}

// Catches a strict integer conversion that lets through what is not an integer, or cuts the
// edges of the 32-bit range: limits, '$' and 0x hex over all 32 bits, signs and blanks.
TEST(StrToInt, TakesIntegersUpToTheEdgesAndNothingElse) {
  const std::pair<const char*, int32_t> good[] = {
      {"0", 0},     {" 42 ", 42}, {"+7", 7},     {"-2147483648", INT32_MIN}, {"2147483647", INT32_MAX},
      {"$ff", 255}, {"0X1a", 26}, {"-$10", -16}, {"0x7FFFFFFF", INT32_MAX},  {"0xFFFFFFFF", -1},
  };
  for (const auto& [text, want] : good) {
    int32_t v = 12345;
    EXPECT_TRUE(TryStrToInt(text, v)) << text;
    EXPECT_EQ(v, want) << text;
  }
  for (const char* text : {"", "  ", "-", "$", "0x", "2147483648", "-2147483649", "$100000000", "12a", "0xg", "1 2"}) {
    int32_t v = 0;
    EXPECT_FALSE(TryStrToInt(text, v)) << "'" << text << "'";
  }
  EXPECT_THROW(StrToInt("x1"), EConvertError);
}
