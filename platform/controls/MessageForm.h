// The dialog behind a modal message box: the text, the error icon left of it when the box
// carries the error flag, and one OK button that is both default and cancel, so that Return
// and Escape both close the box. The form lays itself out once, around its text: the text
// wraps at a fixed width, the icon and the text sit side by side, the button is centred
// below them.
//
// Threads: user-interface thread only. Ownership: whoever shows the box owns the form, which
// owns its controls.
#pragma once
#include <cstdint>
#include <string>

#include "Button.h"
#include "Form.h"
#include "Label.h"

// A 32 x 32 error sign: a red disc with a white cross.
class TErrorIcon : public TGraphicControl {
 public:
  explicit TErrorIcon(TComponent* owner);
  static constexpr int32_t kSize = 32;

 protected:
  void Paint(TCanvas& canvas) override;
};

class TMessageForm : public TForm {
 public:
  // `flags` are the message box's (MB_ICONERROR adds the icon).
  TMessageForm(const std::string& text, const std::string& caption, uint32_t flags);
  TLabel* Text() const { return FText; }
  TErrorIcon* Icon() const { return FIcon; }  // null without the error flag
  TButton* Ok() const { return FOk; }

 private:
  TLabel* FText;
  TErrorIcon* FIcon = nullptr;
  TButton* FOk;
};
