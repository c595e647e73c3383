#include <algorithm>

#include "Graphics.h"

TChangeLink::~TChangeLink() {
  if (Sender) Sender->UnRegisterChanges(this);
}

TImageList::TImageList(TComponent* owner, int32_t width, int32_t height)
    : TComponent(owner), FWidth(std::max<int32_t>(width, 0)), FHeight(std::max<int32_t>(height, 0)) {}

TImageList::~TImageList() {
  for (TChangeLink* link : FLinks) link->Sender = nullptr;
}

int TImageList::Add(const TBitmap& image, TColor transparentColor) {
  auto copy = std::make_unique<TBitmap>(FWidth, FHeight);
  if (!image.Empty())
    copy->Canvas().CopyRect(TRect{0, 0, FWidth, FHeight}, image.Surface(), TRect{0, 0, image.Width(), image.Height()});
  FImages.push_back(std::move(copy));
  FTransparent.push_back(transparentColor);
  Changed();
  return Count() - 1;
}

void TImageList::Clear() {
  if (FImages.empty()) return;
  FImages.clear();
  FTransparent.clear();
  Changed();
}

void TImageList::Draw(TCanvas& canvas, int32_t x, int32_t y, int index, bool enabled) {
  if (index < 0 || index >= Count()) return;
  const TSurface& image = FImages[static_cast<size_t>(index)]->Surface();
  const TColor leaveOut = FTransparent[static_cast<size_t>(index)];
  if (enabled) {
    canvas.CopyRect(Bounds(x, y, FWidth, FHeight), image, TRect{0, 0, FWidth, FHeight}, leaveOut);
    return;
  }
  // The shape is what a monochrome copy would keep: drawn pixels darker than mid grey.
  const uint32_t skip = ColorToPixel(leaveOut);
  auto inShape = [&](uint32_t px) {
    if (leaveOut != clNone && px == skip) return false;
    const uint32_t luma = ((px >> 16) & 0xFF) * 30 + ((px >> 8) & 0xFF) * 59 + (px & 0xFF) * 11;
    return luma < 128 * 100;
  };
  for (const auto& [dx, colour] : {std::pair{1, clBtnHighlight}, std::pair{0, clBtnShadow}})
    for (int32_t iy = 0; iy < FHeight; ++iy)
      for (int32_t ix = 0; ix < FWidth; ++ix)
        if (inShape(image.Row(iy)[ix])) canvas.SetPixel(x + ix + dx, y + iy + dx, colour);
}

void TImageList::RegisterChanges(TChangeLink* link) {
  if (!link) return;
  if (link->Sender && link->Sender != this) link->Sender->UnRegisterChanges(link);
  if (std::find(FLinks.begin(), FLinks.end(), link) == FLinks.end()) FLinks.push_back(link);
  link->Sender = this;
}

void TImageList::UnRegisterChanges(TChangeLink* link) {
  auto it = std::find(FLinks.begin(), FLinks.end(), link);
  if (it != FLinks.end()) FLinks.erase(it);
  if (link && link->Sender == this) link->Sender = nullptr;
}

void TImageList::Changed() {
  // A handler may unregister links (even destroy them): walk a copy and skip the departed.
  const std::vector<TChangeLink*> links = FLinks;
  for (TChangeLink* link : links)
    if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end() && link->OnChange) link->OnChange(this);
}
