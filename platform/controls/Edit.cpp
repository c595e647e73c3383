#include "Edit.h"

#include <algorithm>

#include "Display.h"

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

std::string TEdit::SelText() const {
  int32_t a = std::min(FSelStart, FSelStart + FSelLength);
  int32_t n = std::abs(FSelLength);
  return Text().substr(static_cast<size_t>(a), static_cast<size_t>(n));
}

void TEdit::SetSelection(int32_t start, int32_t length) {
  int32_t len = static_cast<int32_t>(Text().size());
  start = std::clamp(start, 0, len);
  length = std::clamp(length, -start, len - start);
  FSelStart = start;
  FSelLength = length;
  Invalidate();
}

void TEdit::TextChanged() {
  int32_t len = static_cast<int32_t>(Text().size());
  if (!FEditing) {
    FSelStart = std::min(FSelStart, len);
    FSelLength = 0;
    FScroll = 0;
  }
  TWinControl::TextChanged();
  if (OnChange) OnChange(this);
}

void TEdit::ReplaceSelection(const std::string& s) {
  if (FReadOnly) return;
  std::string t = Text();
  int32_t a = std::min(FSelStart, FSelStart + FSelLength);
  int32_t n = std::abs(FSelLength);
  std::string ins = CutAtNul(s);
  if (FMaxLength > 0) {
    int32_t room = FMaxLength - (static_cast<int32_t>(t.size()) - n);
    if (room < static_cast<int32_t>(ins.size())) ins.resize(static_cast<size_t>(std::max(room, 0)));
  }
  t.replace(static_cast<size_t>(a), static_cast<size_t>(n), ins);
  FSelStart = a + static_cast<int32_t>(ins.size());
  FSelLength = 0;
  FEditing = true;
  SetText(t);
  FEditing = false;
  Invalidate();
}

void TEdit::MoveCaret(int32_t to, bool extend) {
  // The selection runs from an anchor (FSelStart) to the caret (FSelStart + FSelLength).
  to = std::clamp(to, 0, static_cast<int32_t>(Text().size()));
  if (extend) {
    FSelLength = to - FSelStart;
  } else {
    FSelStart = to;
    FSelLength = 0;
  }
  Invalidate();
}

void TEdit::KeyDown(uint16_t& key, TShiftState shift) {
  int32_t caret = FSelStart + FSelLength;
  bool ext = (shift & ssShift) != 0;
  bool ctrl = (shift & ssCtrl) != 0;
  switch (key) {
    case VK_LEFT: MoveCaret(ext || FSelLength == 0 ? caret - 1 : std::min(caret, FSelStart), ext); break;
    case VK_RIGHT: MoveCaret(ext || FSelLength == 0 ? caret + 1 : std::max(caret, FSelStart), ext); break;
    case VK_HOME: MoveCaret(0, ext); break;
    case VK_END: MoveCaret(static_cast<int32_t>(Text().size()), ext); break;
    case VK_DELETE:
      if (FSelLength == 0) SetSelection(FSelStart, 1);
      ReplaceSelection("");
      break;
    default:
      if (ctrl && (key == 'A' || key == 'a'))
        SelectAll();
      else if (ctrl && (key == 'C' || key == 'c' || key == VK_INSERT)) {
        if (FSelLength) Display().SetClipboardText(SelText());
      } else if (ctrl && (key == 'X' || key == 'x')) {
        if (FSelLength && !FReadOnly) {
          Display().SetClipboardText(SelText());
          ReplaceSelection("");
        }
      } else if ((ctrl && (key == 'V' || key == 'v')) || ((shift & ssShift) && key == VK_INSERT)) {
        // A pasted text ends at its first line break, as a single-line field keeps it.
        std::string clip = Display().ClipboardText();
        size_t cut = clip.find_first_of("\r\n");
        ReplaceSelection(cut == std::string::npos ? clip : clip.substr(0, cut));
      } else {
        return;
      }
  }
  key = 0;
}

void TEdit::KeyPress(char& key) {
  auto u = static_cast<unsigned char>(key);
  if (u == VK_BACK) {
    if (FSelLength == 0) {
      if (FSelStart == 0) return;
      SetSelection(FSelStart - 1, 1);
    }
    ReplaceSelection("");
    return;
  }
  if (u < 0x20 || u == 0x7F) return;
  ReplaceSelection(std::string(1, key));
}

int32_t TEdit::CaretFromX(int32_t x) {
  TCanvas measure;
  measure.Font().Assign(&Font());
  const std::string& t = Text();
  int32_t best = 0;
  for (size_t i = 1; i <= t.size(); ++i) {
    int32_t w = measure.TextWidth(t.substr(0, i)) - FScroll + 3;
    int32_t prev = measure.TextWidth(t.substr(0, i - 1)) - FScroll + 3;
    if (x >= (w + prev) / 2) best = static_cast<int32_t>(i);
  }
  return best;
}

void TEdit::MouseDown(TMouseButton, TShiftState shift, int32_t x, int32_t) {
  MoveCaret(CaretFromX(x), (shift & ssShift) != 0);
}

void TEdit::DoEnter() {
  SelectAll();
  TWinControl::DoEnter();
}

void TEdit::DoExit() {
  FSelLength = 0;
  Invalidate();
  TWinControl::DoExit();
}

void TEdit::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  canvas.Brush.Color = Enabled() ? Color() : clBtnFace;
  canvas.FillRect(r);
  DrawEdge3D(canvas, r, esSunken);
  TRect inner = InflateRect(r, -2, -2);
  canvas.SetClipRect(IntersectRect(canvas.ClipRect(), inner));
  const std::string& t = Text();
  int32_t th = canvas.TextHeight("Ag");
  int32_t y = inner.Top + (inner.Height() - th) / 2;
  int32_t caret = FSelStart + FSelLength;
  // Scroll so that the caret stays inside the field.
  int32_t caretX = canvas.TextWidth(t.substr(0, static_cast<size_t>(caret)));
  if (caretX - FScroll > inner.Width() - 3) FScroll = caretX - inner.Width() + 3;
  if (caretX - FScroll < 0) FScroll = caretX;
  int32_t x0 = inner.Left + 1 - FScroll;
  canvas.Brush.Style = bsClear;
  canvas.Font().SetColor(Enabled() ? clWindowText : clGrayText);
  canvas.TextOut(x0, y, t);
  bool focused = Focused();
  if (focused && FSelLength != 0) {
    int32_t a = std::min(FSelStart, caret), b = std::max(FSelStart, caret);
    int32_t xa = x0 + canvas.TextWidth(t.substr(0, static_cast<size_t>(a)));
    int32_t xb = x0 + canvas.TextWidth(t.substr(0, static_cast<size_t>(b)));
    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = clHighlight;
    canvas.FillRect(Rect(xa, y, xb, y + th));
    canvas.Brush.Style = bsClear;
    canvas.Font().SetColor(clHighlightText);
    canvas.TextOut(xa, y, t.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)));
  }
  if (focused) {
    canvas.Pen.Color = clWindowText;
    canvas.MoveTo(x0 + caretX, y);
    canvas.LineTo(x0 + caretX, y + th);
  }
  canvas.Brush.Style = bsSolid;
}
