// TFont: setters that notify only on a real change, and Assign.
#include <gtest/gtest.h>

#include "Graphics.h"

namespace {

struct Counted {
  Counted() {
    Font.OnChange = [this](TObject* sender) {
      ++Changes;
      Sender = sender;
    };
  }
  TFont Font;
  int Changes = 0;
  TObject* Sender = nullptr;
};

// Catches setters that notify although nothing changed (a repaint storm) or not at all.
TEST(Font, SettersNotifyOnlyOnChange) {
  Counted c;
  c.Font.SetName("MS Sans Serif");
  c.Font.SetHeight(11);
  c.Font.SetStyle(0);
  c.Font.SetColor(clWindowText);
  c.Font.SetCharset(1);
  EXPECT_EQ(c.Changes, 0) << "all defaults set again";
  c.Font.SetName("Tahoma");
  c.Font.SetHeight(13);
  c.Font.SetStyle(fsBold);
  c.Font.SetColor(clRed);
  c.Font.SetCharset(0);
  EXPECT_EQ(c.Changes, 5);
  EXPECT_EQ(c.Sender, &c.Font);
  EXPECT_EQ(c.Font.Name(), "Tahoma");
  EXPECT_EQ(c.Font.Height(), 13);
  EXPECT_EQ(c.Font.Style(), fsBold);
  EXPECT_EQ(c.Font.Color(), clRed);
  EXPECT_EQ(c.Font.Charset(), 0);
}

// Catches an Assign that misses a field, notifies per field, or notifies for an equal font.
TEST(Font, AssignCopiesEveryFieldWithOneNotification) {
  TFont source;
  source.SetName("Arial");
  source.SetHeight(16);
  source.SetStyle(fsBold | fsUnderline);
  source.SetColor(clNavy);
  source.SetCharset(0);
  Counted c;
  c.Font.Assign(&source);
  EXPECT_TRUE(c.Font == source);
  EXPECT_EQ(c.Changes, 1);
  c.Font.Assign(&source);
  EXPECT_EQ(c.Changes, 1) << "an equal font changes nothing";
}

// Catches an Assign that silently accepts something that is not a font.
TEST(Font, AssignFromAnotherClassRaises) {
  TFont f;
  TBitmap b;
  try {
    f.Assign(&b);
    FAIL() << "no exception";
  } catch (const EConvertAssignError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TBitmap to a TFont");
  }
}

}  // namespace
