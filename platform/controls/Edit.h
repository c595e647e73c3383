// TEdit: a single-line text field. Typing inserts at the caret, Backspace and Delete remove,
// Left/Right/Home/End move (with Shift they select), Ctrl+A selects all, Ctrl+C/X/V copy, cut
// and paste through the display's clipboard. Entering the field by the keyboard selects all.
#pragma once
#include "Controls.h"

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  int32_t MaxLength() const { return FMaxLength; }
  void SetMaxLength(int32_t v) { FMaxLength = v; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v) { FReadOnly = v; }
  int32_t SelStart() const { return FSelLength < 0 ? FSelStart + FSelLength : FSelStart; }
  int32_t SelLength() const { return FSelLength < 0 ? -FSelLength : FSelLength; }
  void SetSelection(int32_t start, int32_t length);
  void SelectAll() { SetSelection(0, static_cast<int32_t>(Text().size())); }
  std::string SelText() const;
  TNotifyEvent OnChange;

 protected:
  void Paint(TCanvas& canvas) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton, TShiftState, int32_t x, int32_t y) override;
  void TextChanged() override;
  void DoEnter() override;
  void DoExit() override;

 private:
  void ReplaceSelection(const std::string& s);
  void MoveCaret(int32_t to, bool extend);
  int32_t CaretFromX(int32_t x);
  int32_t FMaxLength = 0;
  bool FReadOnly = false;
  int32_t FSelStart = 0;   // the selection's anchor
  int32_t FSelLength = 0;  // caret minus anchor
  int32_t FScroll = 0;
  bool FEditing = false;
};
