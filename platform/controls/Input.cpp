#include "Input.h"

void PostMouseDown(TCustomForm& form, int32_t x, int32_t y, TShiftState shift) {
  PostMessage(form.Handle(), WM_LBUTTONDOWN, MouseWParam(shift), MakeLParam(x, y));
}

void PostMouseUp(TCustomForm& form, int32_t x, int32_t y, TShiftState shift) {
  PostMessage(form.Handle(), WM_LBUTTONUP, MouseWParam(shift), MakeLParam(x, y));
}

void PostClick(TCustomForm& form, int32_t x, int32_t y) {
  PostMouseDown(form, x, y);
  PostMouseUp(form, x, y);
}

void PostClick(TControl& control) {
  TCustomForm* f = control.ParentForm();
  if (!f) return;
  TPoint o = control.FormOrigin();
  PostClick(*f, o.X + control.Width() / 2, o.Y + control.Height() / 2);
}

void PostKey(TCustomForm& form, uint16_t vk, TShiftState shift) {
  PostMessage(form.Handle(), (shift & ssAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, KeyLParam(shift));
}

void PostChar(TCustomForm& form, char c, TShiftState shift) {
  PostMessage(form.Handle(), (shift & ssAlt) ? WM_SYSCHAR : WM_CHAR, static_cast<uint8_t>(c), KeyLParam(shift));
}

void PostText(TCustomForm& form, const std::string& text) {
  for (char c : text) PostChar(form, c);
}

void PostAltChar(TCustomForm& form, char c) { PostChar(form, c, ssAlt); }
