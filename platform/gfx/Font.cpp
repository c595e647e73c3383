#include "Graphics.h"

TFont::TFont() = default;

void TFont::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TFont*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  if (src == this || *src == *this) return;
  FName = src->FName;
  FHeight = src->FHeight;
  FStyle = src->FStyle;
  FColor = src->FColor;
  FCharset = src->FCharset;
  // One notification for the whole copy, so that listeners repaint once.
  Changed();
}

void TFont::SetName(const std::string& v) {
  if (v == FName) return;
  FName = v;
  Changed();
}

void TFont::SetHeight(int32_t v) {
  if (v == FHeight) return;
  FHeight = v;
  Changed();
}

void TFont::SetStyle(TFontStyles v) {
  if (v == FStyle) return;
  FStyle = v;
  Changed();
}

void TFont::SetColor(TColor v) {
  if (v == FColor) return;
  FColor = v;
  Changed();
}

void TFont::SetCharset(uint8_t v) {
  if (v == FCharset) return;
  FCharset = v;
  Changed();
}

void TFont::Changed() {
  if (OnChange) OnChange(this);
}
