// TImageList: stored copies at the list's size, drawing with a left-out colour, disabled
// drawing, and change links that survive either side going away first.
#include <gtest/gtest.h>

#include "Graphics.h"
#include "SurfaceProbe.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// A square of `background` with a centred square of `centre` half its size.
std::unique_ptr<TBitmap> Square(int32_t size, TColor background, TColor centre) {
  auto b = std::make_unique<TBitmap>(size, size);
  b->Canvas().Brush.Color = background;
  b->Canvas().FillRect(Rect(0, 0, size, size));
  b->Canvas().Brush.Color = centre;
  b->Canvas().FillRect(Rect(size / 4, size / 4, size - size / 4, size - size / 4));
  return b;
}

// Catches images stored at their own size instead of the list's.
TEST(ImageList, AddScalesToTheListSize) {
  TImageList list(nullptr, 4, 4);
  TBitmap small(2, 2);
  small.Canvas().SetPixel(0, 0, clRed);
  EXPECT_EQ(list.Add(small), 0);
  EXPECT_EQ(list.Count(), 1);
  TSurface screen(10, 10);
  screen.Fill(0);
  TCanvas c(&screen);
  list.Draw(c, 3, 3, 0);
  EXPECT_EQ(probe::Count(screen, 0xFF0000, Rect(3, 3, 5, 5)), 4) << "top-left pixel doubled";
  EXPECT_EQ(probe::Count(screen, kWhite), 12);
  EXPECT_EQ(probe::InkBounds(screen, 0), Rect(3, 3, 7, 7));
}

// Catches the transparent colour drawn, or other colours left out with it.
TEST(ImageList, DrawLeavesOutTheTransparentColour) {
  TImageList list(nullptr, 8, 8);
  list.Add(*Square(8, clLime, clRed), clLime);
  TSurface screen(10, 10);
  screen.Fill(kWhite);
  TCanvas c(&screen);
  list.Draw(c, 1, 1, 0);
  EXPECT_EQ(probe::InkBounds(screen, kWhite), Rect(3, 3, 7, 7)) << probe::Picture(screen, kWhite, Rect(0, 0, 10, 10));
  EXPECT_EQ(probe::Count(screen, 0xFF0000), 16);
}

// Catches an index outside the list drawing something or touching memory it should not.
TEST(ImageList, IndexOutOfRangeDrawsNothing) {
  TImageList list(nullptr, 4, 4);
  list.Add(*Square(4, clRed, clRed));
  TSurface screen(6, 6);
  screen.Fill(kWhite);
  TCanvas c(&screen);
  list.Draw(c, 0, 0, -1);
  list.Draw(c, 0, 0, 1);
  EXPECT_EQ(probe::Count(screen, kWhite), 36);
}

// Catches disabled images drawn in their own colours instead of embossed.
TEST(ImageList, DisabledDrawingIsEmbossed) {
  TImageList list(nullptr, 8, 8);
  list.Add(*Square(8, clWhite, clBlack), clWhite);
  TSurface screen(12, 12);
  screen.Fill(0xD4D0C8);
  TCanvas c(&screen);
  list.Draw(c, 2, 2, 0, false);
  EXPECT_EQ(probe::Count(screen, 0x000000), 0) << "no original colour";
  EXPECT_EQ(probe::Count(screen, 0x808080, Rect(4, 4, 8, 8)), 16) << "the shape in the shadow colour";
  EXPECT_EQ(probe::Count(screen, 0xFFFFFF, Rect(8, 5, 9, 9)), 4) << "highlight one pixel right";
  EXPECT_EQ(probe::Count(screen, 0xFFFFFF, Rect(5, 8, 9, 9)), 4) << "highlight one pixel down";
}

// Catches change links that are not told about additions and clearing.
TEST(ImageListLinks, RegisteredLinkIsToldOfChanges) {
  TImageList list(nullptr);
  TChangeLink link;
  int changes = 0;
  TObject* sender = nullptr;
  link.OnChange = [&](TObject* s) {
    ++changes;
    sender = s;
  };
  list.RegisterChanges(&link);
  EXPECT_EQ(link.Sender, &list);
  list.Add(TBitmap(16, 16));
  list.Clear();
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(sender, &list);
  list.UnRegisterChanges(&link);
  EXPECT_EQ(link.Sender, nullptr);
  list.Add(TBitmap(16, 16));
  EXPECT_EQ(changes, 2) << "unregistered links hear nothing";
}

// Catches a destroyed list leaving links pointing at it (the wizard would draw from freed memory).
TEST(ImageListLinks, DestroyedListClearsTheLinkSender) {
  TChangeLink link;
  {
    TImageList list(nullptr);
    list.RegisterChanges(&link);
    ASSERT_EQ(link.Sender, &list);
  }
  EXPECT_EQ(link.Sender, nullptr);
}

// Catches a list owned by a component not clearing its links when the owner frees it.
TEST(ImageListLinks, OwnerFreeingTheListClearsTheLink) {
  TChangeLink link;
  auto* owner = new TComponent(nullptr);
  auto* list = new TImageList(owner);
  list->RegisterChanges(&link);
  delete owner;
  EXPECT_EQ(link.Sender, nullptr);
}

// Catches a destroyed link still being called (a use after free under ASan).
TEST(ImageListLinks, DestroyedLinkUnregistersItself) {
  TImageList list(nullptr);
  int changes = 0;
  {
    TChangeLink link;
    link.OnChange = [&](TObject*) { ++changes; };
    list.RegisterChanges(&link);
  }
  list.Add(TBitmap(16, 16));
  EXPECT_EQ(changes, 0);
}

// Catches notification that breaks when a handler unregisters another link mid-way.
TEST(ImageListLinks, HandlerMayUnregisterAnotherLink) {
  TImageList list(nullptr);
  TChangeLink first, second;
  int secondCalls = 0;
  first.OnChange = [&](TObject*) { list.UnRegisterChanges(&second); };
  second.OnChange = [&](TObject*) { ++secondCalls; };
  list.RegisterChanges(&first);
  list.RegisterChanges(&second);
  list.Add(TBitmap(16, 16));
  EXPECT_EQ(secondCalls, 0) << "a link removed before its turn is skipped";
  EXPECT_EQ(second.Sender, nullptr);
}

// Catches a link moved to a second list still hearing the first.
TEST(ImageListLinks, RegisteringWithAnotherListMovesTheLink) {
  TImageList a(nullptr), b(nullptr);
  TChangeLink link;
  int changes = 0;
  link.OnChange = [&](TObject*) { ++changes; };
  a.RegisterChanges(&link);
  b.RegisterChanges(&link);
  EXPECT_EQ(link.Sender, &b);
  a.Add(TBitmap(16, 16));
  EXPECT_EQ(changes, 0);
  b.Add(TBitmap(16, 16));
  EXPECT_EQ(changes, 1);
}

}  // namespace
