// GIF pictures: TUiGIFImage reads a GIF file (both versions, every extension, all frames),
// decodes its first frame into a palettized bottom-up device-independent bitmap and draws it
// stretched, leaving out the transparent colour. TUiGIFFrame is one image of the file with
// its colour table, the extensions that preceded it, its encoded data and its bitmap.
//
// Reading copies the input into memory once and never reads or writes outside it; damaged
// image data (cut sub-blocks, a bad code size, overlong codes) is tolerated and marks the
// frame corrupted, while a malformed file structure raises EInvalidGraphicOperation with the
// texts below. A frame too large to decode sensibly (over 64 megapixels) is refused.
//
// Threads: user-interface thread only. Ownership: the picture owns its frames; a frame owns
// its extensions, encoded data and bitmap, and points back at its picture (not owned).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Graphics.h"

// Registers "TUiGIFImage" as a graphic class, for the file extension "gif" and the clipboard
// format "GIF Image". Safe to call more than once; every unit that includes this header calls
// it during start-up, so a program that only names the class in stored pictures still has it.
bool RegisterUiGIFImage();
namespace {
[[maybe_unused]] const bool kUiGIFImageRegistered = RegisterUiGIFImage();
}

// The sentinel for "no transparent colour".
constexpr TColor kUiGIFNoColor = 0x1FFFFFFF;
// Frames whose bitmap would exceed this many pixels are refused.
constexpr uint64_t kUiGIFMaxPixels = uint64_t{64} * 1024 * 1024;

struct TUiGIFColor {
  uint8_t Red = 0, Green = 0, Blue = 0;
  bool operator==(const TUiGIFColor&) const = default;
};

struct TUiGIFColorTable {
  int32_t Count = 0;  // 0 (no table) or 2 to 256
  TUiGIFColor Colors[256];
  TColor ColorOf(int32_t i) const { return static_cast<TColor>(RGB(Colors[i].Red, Colors[i].Green, Colors[i].Blue)); }
};

class TUiGIFExtension {
 public:
  virtual ~TUiGIFExtension() = default;
  virtual uint8_t Label() const = 0;
  virtual std::unique_ptr<TUiGIFExtension> Clone() const = 0;
};

class TUiGIFGraphicControlExtension : public TUiGIFExtension {
 public:
  uint8_t Label() const override { return 0xF9; }
  std::unique_ptr<TUiGIFExtension> Clone() const override {
    return std::make_unique<TUiGIFGraphicControlExtension>(*this);
  }
  bool HasTransparency() const { return (Flags & 1) != 0; }
  uint8_t DisposalMethod() const { return static_cast<uint8_t>((Flags >> 2) & 7); }
  uint8_t BlockSize = 0;
  uint8_t Flags = 0;
  uint16_t Delay = 0;  // hundredths of a second
  uint8_t TransparentIndex = 0;
};

class TUiGIFCommentExtension : public TUiGIFExtension {
 public:
  uint8_t Label() const override { return 0xFE; }
  std::unique_ptr<TUiGIFExtension> Clone() const override { return std::make_unique<TUiGIFCommentExtension>(*this); }
  // One text per data sub-block, and the comment as one text.
  std::vector<std::string> Texts;
  std::string Text() const;
};

class TUiGIFImage;
struct TUiGIFReader;

class TUiGIFFrame : public TObject {
 public:
  explicit TUiGIFFrame(TUiGIFImage* owner) : FOwner(owner) {}
  ~TUiGIFFrame() override;

  TUiGIFImage* Owner() const { return FOwner; }
  uint16_t Left() const { return FLeft; }
  uint16_t Top() const { return FTop; }
  uint16_t Width() const { return FWidth; }
  uint16_t Height() const { return FHeight; }
  int BitsPerPixel() const { return FBitsPerPixel; }
  const TUiGIFColorTable& ColorTable() const { return FColorTable; }
  bool LocalColors() const { return FLocalColors; }
  bool Interlaced() const { return FInterlaced; }
  bool Corrupted() const { return FCorrupted; }
  // kUiGIFNoColor when the frame has none.
  TColor TransparentColor() const { return FTransparentColor; }
  int32_t AnimateInterval() const { return FAnimateInterval; }
  uint8_t DisposalMethod() const { return FDisposalMethod; }
  const std::vector<std::unique_ptr<TUiGIFExtension>>& Extensions() const { return FExtensions; }
  // The code size byte, then each data sub-block's size byte and payload as read.
  const std::vector<uint8_t>& EncodedData() const { return FEncodedData; }

  // The decoded bitmap, made on first use and kept. Raises EInvalidGraphicOperation for a
  // frame over kUiGIFMaxPixels or of more than 8 bits, EOutOfResources when memory runs out.
  const TDIBitmap& Bitmap();
  bool HasBitmap() const { return FBitmap != nullptr; }

 private:
  friend class TUiGIFImage;
  void Read(TUiGIFReader& in);
  void ApplyGraphicControl();
  void Decode();
  std::unique_ptr<TUiGIFFrame> Clone(TUiGIFImage* owner) const;

  TUiGIFImage* FOwner;
  uint16_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  int FBitsPerPixel = 8;
  TUiGIFColorTable FColorTable;
  bool FLocalColors = false;
  bool FInterlaced = false;
  bool FCorrupted = false;
  TColor FTransparentColor = kUiGIFNoColor;
  int32_t FAnimateInterval = 0;
  uint8_t FDisposalMethod = 0;
  std::vector<std::unique_ptr<TUiGIFExtension>> FExtensions;
  std::vector<uint8_t> FEncodedData;
  std::unique_ptr<TDIBitmap> FBitmap;
};

class TUiGIFImage : public TGraphic {
 public:
  TUiGIFImage();
  ~TUiGIFImage() override;

  // The current frame's bitmap size; 0 when empty. The size cannot be assigned: raises
  // EInvalidGraphicOperation "Cannot change the Size of a GIF image".
  int32_t Width() const override;
  int32_t Height() const override;
  void SetWidth(int32_t) override;
  void SetHeight(int32_t) override;
  bool Empty() const override;
  // The Transparent flag is on and at least one frame has a transparent colour.
  bool Transparent() const override;
  void Draw(TCanvas& canvas, const TRect& r) override;
  // Reads from the stream's position to its end.
  void LoadFromStream(TStream& stream) override;
  // Reads a whole GIF file held in memory (copied first).
  void LoadFromBytes(const void* data, size_t size);
  std::unique_ptr<TGraphic> CloneEmpty() const override { return std::make_unique<TUiGIFImage>(); }
  void Assign(const TPersistent* source) override;
  std::string ClassName() const override { return "TUiGIFImage"; }

  int FrameCount() const { return static_cast<int>(FFrames.size()); }
  TUiGIFFrame& Frames(int i) const { return *FFrames.at(static_cast<size_t>(i)); }
  int CurrentFrame() const { return FCurrentFrame; }
  uint16_t ScreenWidth() const { return FScreenWidth; }
  uint16_t ScreenHeight() const { return FScreenHeight; }
  const std::string& Version() const { return FVersion; }
  TColor BackgroundColor() const { return FBackgroundColor; }
  bool Looping() const { return FLooping; }
  uint16_t RepeatCount() const { return FRepeatCount; }
  // One text per comment extension of the comment run; CommentText joins them by "\r\n\r\n".
  const std::vector<std::string>& Comment() const { return FComment; }
  std::string CommentText() const;
  int BitsPerPixel() const { return FBitsPerPixel; }
  int ColorResolution() const { return FColorResolution; }
  uint8_t AspectRatio() const { return FAspectRatio; }
  const TUiGIFColorTable& GlobalColorTable() const { return FGlobalColorTable; }

 private:
  void Clear();
  void Parse(const std::vector<uint8_t>& bytes);
  // The signature, the screen descriptor and the global colour table.
  void ReadHeader(TUiGIFReader& in);
  // Extensions and frames up to the trailer.
  void ReadBlocks(TUiGIFReader& in);
  // Reads one extension into `gathered`; false when the data end before its label.
  bool ReadExtension(TUiGIFReader& in, std::vector<std::unique_ptr<TUiGIFExtension>>& gathered);
  TUiGIFFrame* Current() const;
  TSize CurrentSize() const;

  std::vector<std::unique_ptr<TUiGIFFrame>> FFrames;
  int FCurrentFrame = -1;
  uint16_t FScreenWidth = 0, FScreenHeight = 0;
  std::string FVersion = "89a";
  TColor FBackgroundColor = kUiGIFNoColor;
  bool FLooping = false;
  uint16_t FRepeatCount = 0;
  std::vector<std::string> FComment;
  int FBitsPerPixel = 0;
  int FColorResolution = 0;
  uint8_t FAspectRatio = 0;
  TUiGIFColorTable FGlobalColorTable;
};
