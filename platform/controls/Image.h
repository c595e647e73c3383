// TImage: a window-less control showing a picture, drawn at its top-left corner, centred, or
// stretched to the control; a transparent graphic shows the parent through its left-out colour.
#pragma once
#include "Controls.h"

class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);
  TPicture& Picture() { return FPicture; }
  bool Stretch() const { return FStretch; }
  void SetStretch(bool v);
  bool Center() const { return FCenter; }
  void SetCenter(bool v);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);

 protected:
  void Paint(TCanvas& canvas) override;

 private:
  void PictureChanged();
  TPicture FPicture;
  bool FStretch = false;
  bool FCenter = false;
  bool FTransparent = false;
  bool FAutoSize = false;
};
