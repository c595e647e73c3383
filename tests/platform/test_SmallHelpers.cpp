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
