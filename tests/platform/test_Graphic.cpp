// Graphics and pictures: the registry of graphic classes, stored pictures read through the
// registered class, copying, and change notification.
#include <gtest/gtest.h>

#include "Graphics.h"
#include "Streams.h"

namespace {

// A graphic that records what it was given; "bad" data makes it fail like a decoder would.
class TRecordingGraphic : public TGraphic {
 public:
  int32_t Width() const override { return static_cast<int32_t>(Data.size()); }
  int32_t Height() const override { return Data.empty() ? 0 : 1; }
  void SetWidth(int32_t) override {}
  void SetHeight(int32_t) override {}
  bool Empty() const override { return Data.empty(); }
  void Draw(TCanvas& canvas, const TRect& r) override { canvas.FillRect(r); }
  void LoadFromStream(TStream& stream) override {
    ++Loads;
    char buf[64];
    int32_t n;
    while ((n = stream.Read(buf, sizeof buf)) > 0) Data.append(buf, static_cast<size_t>(n));
    if (Data == "bad") throw EInvalidGraphicOperation("Unknown GIF version");
    Changed();
  }
  std::unique_ptr<TGraphic> CloneEmpty() const override { return std::make_unique<TRecordingGraphic>(); }
  void Assign(const TPersistent* source) override {
    const auto* g = dynamic_cast<const TRecordingGraphic*>(source);
    if (!g) return TGraphic::Assign(source);
    Data = g->Data;
    FTransparent = g->FTransparent;
  }
  std::string Data;
  int Loads = 0;
};

void RegisterRecording() {
  RegisterGraphicClass("TRecordingGraphic", [] { return std::make_unique<TRecordingGraphic>(); });
}

std::string Counted(const std::string& payload, const std::string& trailing = "") {
  const auto n = static_cast<uint32_t>(payload.size());
  std::string s{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF), static_cast<char>((n >> 16) & 0xFF),
                static_cast<char>(n >> 24)};
  return s + payload + trailing;
}

TRecordingGraphic* Recording(const TPicture& p) { return dynamic_cast<TRecordingGraphic*>(p.Graphic()); }

// ---- registry ----

// Catches extension lookups that are case-sensitive or trip over a leading dot.
TEST(GraphicRegistry, FileFormatsByExtensionIgnoringCase) {
  RegisterFileFormat("gif", "CompuServe GIF Image", "TUiGIFImage");
  EXPECT_EQ(FileFormatDescription("gif"), "CompuServe GIF Image");
  EXPECT_EQ(FileFormatDescription("GIF"), "CompuServe GIF Image");
  EXPECT_EQ(FileFormatClassName(".Gif"), "TUiGIFImage");
  EXPECT_EQ(FileFormatDescription("xyz"), "");
  EXPECT_EQ(FileFormatClassName("xyz"), "");
}

// Catches clipboard formats not kept, or found under another name.
TEST(GraphicRegistry, ClipboardFormatsByName) {
  RegisterClipboardFormat("GIF Image", "TUiGIFImage");
  EXPECT_EQ(ClipboardFormatClassName("GIF Image"), "TUiGIFImage");
  EXPECT_EQ(ClipboardFormatClassName("PNG Image"), "");
}

// Catches a factory that is not called, or unknown names answered with some other class.
TEST(GraphicRegistry, CreatesRegisteredClassesByName) {
  RegisterRecording();
  auto g = CreateGraphicByClassName("TRecordingGraphic");
  ASSERT_NE(g, nullptr);
  EXPECT_NE(dynamic_cast<TRecordingGraphic*>(g.get()), nullptr);
  EXPECT_EQ(CreateGraphicByClassName("TNoSuchGraphic"), nullptr);
}

// ---- stored pictures ----

// Catches the count read wrongly or the bytes after the counted ones handed to the class.
TEST(Picture, LoadStoredReadsExactlyTheCountedBytes) {
  RegisterRecording();
  TPicture p;
  p.LoadStored("TRecordingGraphic", Counted("GIF89a", "zz"));
  ASSERT_NE(Recording(p), nullptr);
  EXPECT_EQ(Recording(p)->Data, "GIF89a");
  EXPECT_EQ(p.Width(), 6);
}

// Catches a count of 0 handed to the decoder (which would fail) instead of an empty graphic.
TEST(Picture, ZeroCountGivesAnEmptyGraphicUnread) {
  RegisterRecording();
  TPicture p;
  p.LoadStored("TRecordingGraphic", Counted(""));
  ASSERT_NE(Recording(p), nullptr) << "the picture holds a graphic of its class";
  EXPECT_TRUE(p.Graphic()->Empty());
  EXPECT_EQ(Recording(p)->Loads, 0);
}

// Catches an unknown class being ignored, or reported without its name.
TEST(Picture, UnknownClassRaisesInvalidGraphic) {
  TPicture p;
  try {
    p.LoadStored("TNoSuchGraphic", Counted("x"));
    FAIL() << "no exception";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture class TNoSuchGraphic");
  }
}

// Catches stored data shorter than its count being read past its end.
TEST(Picture, TruncatedDataRaisesReadError) {
  RegisterRecording();
  TPicture p;
  std::string shortData = Counted("0123456789").substr(0, 8);
  try {
    p.LoadStored("TRecordingGraphic", shortData);
    FAIL() << "no exception";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  EXPECT_THROW(p.LoadStored("TRecordingGraphic", std::string("\x01\x00", 2)), EReadError);
}

// Catches a decoder failure that is swallowed or that leaves a half-read graphic behind.
TEST(Picture, DecoderFailurePassesOnAndKeepsTheOldGraphic) {
  RegisterRecording();
  TPicture p;
  p.LoadStored("TRecordingGraphic", Counted("good"));
  EXPECT_THROW(p.LoadStored("TRecordingGraphic", Counted("bad")), EInvalidGraphicOperation);
  ASSERT_NE(Recording(p), nullptr);
  EXPECT_EQ(Recording(p)->Data, "good");
}

// ---- copying and notification ----

// Catches Assign sharing the graphic with its source (a later change would show in both).
TEST(Picture, AssignCopiesTheGraphic) {
  RegisterRecording();
  TPicture a, b;
  a.LoadStored("TRecordingGraphic", Counted("logo"));
  a.Graphic()->SetTransparent(true);
  b.Assign(&a);
  ASSERT_NE(Recording(b), nullptr);
  EXPECT_NE(b.Graphic(), a.Graphic());
  EXPECT_EQ(Recording(b)->Data, "logo");
  EXPECT_TRUE(b.Graphic()->Transparent());
  Recording(a)->Data = "changed";
  EXPECT_EQ(Recording(b)->Data, "logo");

  TPicture c;
  c.Assign(a.Graphic());
  ASSERT_NE(Recording(c), nullptr) << "a graphic may be assigned directly";
  EXPECT_EQ(Recording(c)->Data, "changed");
  c.Assign(nullptr);
  EXPECT_EQ(c.Graphic(), nullptr);
}

// Catches Assign accepting something that is neither a picture nor a graphic.
TEST(Picture, AssignFromAFontRaises) {
  TPicture p;
  TFont f;
  EXPECT_THROW(p.Assign(&f), EConvertAssignError);
}

// Catches a picture that does not pass its graphic's changes on (the owner would not repaint).
TEST(Picture, GraphicChangesReachThePicture) {
  TPicture p;
  int changes = 0;
  TObject* sender = nullptr;
  p.OnChange = [&](TObject* s) {
    ++changes;
    sender = s;
  };
  p.SetGraphic(std::make_unique<TBitmap>(2, 2));
  EXPECT_EQ(changes, 1) << "a new graphic is a change";
  EXPECT_EQ(sender, &p);
  p.Graphic()->SetTransparent(true);
  EXPECT_EQ(changes, 2);
  p.Graphic()->SetTransparent(true);
  EXPECT_EQ(changes, 2) << "the same value is no change";
  static_cast<TBitmap*>(p.Graphic())->SetSize(3, 3);
  EXPECT_EQ(changes, 3);
}

// Catches Draw and StretchDraw calling an empty graphic.
TEST(Picture, EmptyGraphicsAreNotDrawn) {
  TRecordingGraphic g;
  TSurface s(4, 4);
  s.Fill(0xFFFFFF);
  TCanvas c(&s);
  c.Brush.Color = clRed;
  c.Draw(0, 0, &g);
  c.StretchDraw(Rect(0, 0, 4, 4), &g);
  c.Draw(0, 0, nullptr);
  EXPECT_EQ(s.Pixel(1, 1), 0xFFFFFFu);
}

}  // namespace
