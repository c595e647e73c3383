// Radio buttons and the radio group. A group has an item index (-1 for none) and one radio
// button per item. Checking a button, by the user or by code, unchecks its siblings, and in a
// group records the new index and then runs the group's OnClick; clearing (index -1, or a
// button unchecked by code) runs no handler; clicking an item that is already checked runs
// nothing. Arrow keys move the check within the group; Tab enters the group on its checked
// button (or its first).
#pragma once
#include <string>
#include <vector>

#include "Controls.h"

class TRadioGroup;

class TRadioButton : public TWinControl {
 public:
  explicit TRadioButton(TComponent* owner);
  bool Checked() const { return FChecked; }
  void SetChecked(bool v);
  void Click() override;
  bool WantsKey(uint16_t key, TShiftState) const override;
  bool DialogChar(char c) override;

 protected:
  void Paint(TCanvas& canvas) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void MouseUp(TMouseButton, TShiftState, int32_t x, int32_t y) override;
  void MouseDown(TMouseButton, TShiftState, int32_t, int32_t) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  bool FChecked = false;
  bool FPressed = false;
};

class TRadioGroup : public TWinControl {
 public:
  explicit TRadioGroup(TComponent* owner);
  const std::vector<std::string>& Items() const { return FItems; }
  void SetItems(const std::vector<std::string>& items);
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int v);
  int Columns() const { return FColumns; }
  void SetColumns(int v);
  // The radio button of item i.
  TRadioButton* Buttons(int i) const;
  int ButtonCount() const { return static_cast<int>(FButtons.size()); }

 protected:
  void Paint(TCanvas& canvas) override;
  void DoEnter() override;
  void BoundsChanged() override;
  void FontChanged() override;
  void TextChanged() override;

 private:
  friend class TRadioButton;
  void ButtonChecked(TRadioButton* b);
  void ArrangeButtons();
  std::vector<std::string> FItems;
  std::vector<TRadioButton*> FButtons;
  int FItemIndex = -1;
  int FColumns = 1;
  bool FUpdating = false;
};
