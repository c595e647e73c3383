// TMemo: a multi-line text box. Its text keeps "\r\n" line breaks and, like every control,
// ends at the first NUL of what it is given. It shows its lines and can be typed into.
#pragma once
#include "Controls.h"

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* owner);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle v);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v) { FReadOnly = v; }
  int LineCount() const;
  std::string Line(int i) const;
  void Clear() { SetText(""); }
  TNotifyEvent OnChange;

 protected:
  void Paint(TCanvas& canvas) override;
  void KeyPress(char& key) override;
  void TextChanged() override;
  bool WantsKey(uint16_t key, TShiftState) const override { return key == VK_RETURN; }
  void KeyDown(uint16_t& key, TShiftState shift) override;

 private:
  TScrollStyle FScrollBars = ssNone;
  bool FReadOnly = false;
};
