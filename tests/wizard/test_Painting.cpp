// Painting as pixels: the bar divider, the interior header band with its divider, the
// welcome page's watermark strip, hidden headers and titles, OnPaintPage, and the shared
// drawing routines.
#include "WizardFixture.h"

namespace {
uint32_t Px(TColor c) { return ColorToPixel(c); }
}  // namespace

// Catches a divider drawn on the wrong rows or with the wrong colours.
TEST_F(WizardTest, BarDividerRows) {
  AddPages(1);
  Load();
  Form->PaintNow(Form->ClientRect());
  const TSurface& s = Form->Surface();
  for (int x : {0, 100, 532}) EXPECT_EQ(s.Pixel(x, 528), Px(clBtnShadow)) << "shadow row at x=" << x;
  EXPECT_NE(s.Pixel(533, 528), Px(clBtnShadow)) << "the shadow row ends at x=532";
  for (int x : {1, 100, 533}) EXPECT_EQ(s.Pixel(x, 529), Px(clBtnHighlight)) << "highlight row at x=" << x;
  EXPECT_NE(s.Pixel(0, 529), Px(clBtnHighlight)) << "the highlight row starts at x=1";
}

// Catches an interior header band of the wrong height, colour or divider rows, and text that
// starts anywhere but 4 pixels in.
TEST_F(WizardTest, InteriorHeaderBand) {
  AddPages(1);
  Pages[0]->Title().SetText("Select your connection");
  Pages[0]->Subtitle().SetText("Norvane 302 Firmware Upgrade Software");
  Load();
  Form->PaintNow(Form->ClientRect());
  const TSurface& s = Form->Surface();
  EXPECT_EQ(s.Pixel(3, 3), Px(clWindow));
  EXPECT_EQ(s.Pixel(300, 60), Px(clWindow));
  for (int x : {0, 200, 532}) EXPECT_EQ(s.Pixel(x, 68), Px(clBtnShadow)) << x;
  for (int x : {1, 200, 533}) EXPECT_EQ(s.Pixel(x, 69), Px(clBtnHighlight)) << x;
  EXPECT_EQ(s.Pixel(300, 70), Px(clBtnFace)) << "the page body starts at y=70";
  EXPECT_EQ(Pages[0]->ContentRect().Top, 70);
  // Ink of the title lies inside its text rectangle from (4, 4).
  int minX = 1000, minY = 1000;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 530; ++x)
      if (s.Pixel(x, y) != Px(clWindow)) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
      }
  EXPECT_GE(minX, 4);
  EXPECT_GE(minY, 4);
  EXPECT_LT(minX, 8);
  TCanvas measure;
  measure.Font().Assign(&Pages[0]->Title().Font());
  TRect t = Pages[0]->Title().TextRect(measure, Rect(0, 0, 534, 70));
  EXPECT_EQ(t.Left, 4);
  EXPECT_EQ(t.Top, 4);
  EXPECT_EQ(t.Right, 530);
}

// Catches a welcome page whose strip is the wrong width or colour, or loses its margin.
TEST_F(WizardTest, WelcomeWatermarkStrip) {
  auto* welcome = new TUiWizardWelcomePage(Form);
  welcome->SetWizard(Wizard);
  Load();
  Form->PaintNow(Form->ClientRect());
  const TSurface& s = Form->Surface();
  EXPECT_EQ(s.Pixel(0, 300), Px(clWindow)) << "1-pixel margin in the page colour";
  EXPECT_EQ(s.Pixel(1, 0), Px(clWindow));
  EXPECT_EQ(s.Pixel(1, 1), Px(clActiveCaption));
  EXPECT_EQ(s.Pixel(162, 300), Px(clActiveCaption));
  EXPECT_EQ(s.Pixel(163, 300), Px(clWindow));
  EXPECT_EQ(s.Pixel(1, 526), Px(clActiveCaption)) << "the strip runs the full page height";
  EXPECT_EQ(s.Pixel(164, 68), Px(clBtnShadow)) << "the header starts beside the strip";
  EXPECT_EQ(welcome->ContentRect().Left, 164);
  EXPECT_EQ(welcome->Title().Text(), "Welcome");
}

// Catches a hidden header that still draws or still takes space.
TEST_F(WizardTest, HiddenHeaderAndTitle) {
  AddPages(1);
  Load();
  Pages[0]->Header().SetVisible(false);
  Form->PaintNow(Form->ClientRect());
  EXPECT_EQ(Form->Surface().Pixel(300, 68), Px(clBtnFace));
  EXPECT_EQ(Pages[0]->ContentRect().Top, 0);
  Pages[0]->Header().SetVisible(true);
  // A hidden title leaves the subtitle at the band's top.
  Pages[0]->Title().SetVisible(false);
  TCanvas measure;
  TRect band = Rect(0, 0, 534, 70);
  TRect b = band;
  Pages[0]->Title().PaintTo(measure, b);
  EXPECT_EQ(b.Top, 0);
}

// Catches OnPaintPage that does not get the body rectangle, or a picture drawn anyway.
TEST_F(WizardTest, PaintPageEventGetsTheBodyRectangle) {
  auto* welcome = new TUiWizardWelcomePage(Form);
  welcome->SetWizard(Wizard);
  TRect got;
  welcome->OnPaintPage = [&](TObject*, TCanvas& c, TRect& r) {
    got = r;
    c.Brush.Color = clRed;
    c.FillRect(r);
  };
  welcome->Panel().SetVisible(true);
  Load();
  Form->PaintNow(Form->ClientRect());
  EXPECT_EQ(got, Rect(164, 70, 534, 528));
  EXPECT_EQ(Form->Surface().Pixel(300, 300), Px(clRed)) << "the panel is not drawn over the handler";
}

// Catches border edges drawn outside the etched pattern or a wrong inner rectangle.
TEST(UiWizardCommon, DrawBorderEdgesPattern) {
  TBitmap b(20, 20);
  b.Canvas().Brush.Color = clWhite;
  b.Canvas().FillRect(Rect(0, 0, 20, 20));
  TRect inner = DrawBorderEdges(b.Canvas(), Rect(2, 2, 18, 18), kUiWizardEtchedBorder, beTop | beBottom);
  EXPECT_EQ(inner, Rect(2, 4, 18, 16));
  EXPECT_EQ(b.Surface().Pixel(2, 2), Px(clBtnShadow));
  EXPECT_EQ(b.Surface().Pixel(16, 2), Px(clBtnShadow));
  EXPECT_EQ(b.Surface().Pixel(17, 2), Px(clWhite)) << "a line excludes its end point";
  EXPECT_EQ(b.Surface().Pixel(3, 3), Px(clBtnHighlight));
  EXPECT_EQ(b.Surface().Pixel(17, 3), Px(clBtnHighlight));
  EXPECT_EQ(b.Surface().Pixel(2, 16), Px(clBtnShadow));
  EXPECT_EQ(b.Surface().Pixel(3, 17), Px(clBtnHighlight));
  EXPECT_EQ(b.Surface().Pixel(2, 10), Px(clWhite)) << "no left edge was asked for";
}

// Catches tiling an empty picture without the error, or a picture drawn at the wrong place.
TEST(UiWizardCommon, DrawAndTileImages) {
  TBitmap canvasBmp(40, 40);
  TCanvas& c = canvasBmp.Canvas();
  c.Brush.Color = clWhite;
  c.FillRect(Rect(0, 0, 40, 40));
  TBitmap empty;
  try {
    TileWizardImage(c, &empty, Rect(0, 0, 40, 40));
    FAIL() << "expected EUiWizardError";
  } catch (const EUiWizardError& e) {
    EXPECT_EQ(e.Message(), "Tiling only works on images with dimensions > 0");
  }
  TBitmap tile(4, 4);
  tile.Canvas().Brush.Color = clRed;
  tile.Canvas().FillRect(Rect(0, 0, 4, 4));
  tile.Canvas().SetPixel(0, 0, clBlue);
  c.Brush.Color = clGreen;
  TileWizardImage(c, &tile, Rect(10, 10, 30, 30));
  EXPECT_EQ(canvasBmp.Surface().Pixel(10, 10), Px(clBlue));
  EXPECT_EQ(canvasBmp.Surface().Pixel(14, 14), Px(clBlue));
  EXPECT_EQ(canvasBmp.Surface().Pixel(29, 29), Px(clRed));
  EXPECT_EQ(canvasBmp.Surface().Pixel(9, 9), Px(clWhite));
  // Unscaled, centred horizontally and at the bottom.
  c.Brush.Color = clWhite;
  c.FillRect(Rect(0, 0, 40, 40));
  DrawWizardImage(c, &tile, Rect(0, 0, 40, 40), iaCenter, ilBottom);
  EXPECT_EQ(canvasBmp.Surface().Pixel(18, 36), Px(clBlue));
  EXPECT_EQ(canvasBmp.Surface().Pixel(17, 36), Px(clWhite));
  // Stretched over the whole rectangle.
  DrawWizardImage(c, &tile, Rect(0, 0, 40, 40), iaStretch, ilStretch);
  EXPECT_EQ(canvasBmp.Surface().Pixel(39, 39), Px(clRed));
  EXPECT_EQ(canvasBmp.Surface().Pixel(5, 5), Px(clBlue));
}
