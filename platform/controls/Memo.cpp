#include "Memo.h"

TMemo::TMemo(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 185, 89);
  SetTabStop(true);
  SetColor(clWindow);
}

void TMemo::SetScrollBars(TScrollStyle v) {
  if (FScrollBars == v) return;
  FScrollBars = v;
  Invalidate();
}

int TMemo::LineCount() const {
  if (Text().empty()) return 0;
  int n = 1;
  for (size_t p = Text().find("\r\n"); p != std::string::npos; p = Text().find("\r\n", p + 2)) ++n;
  return n;
}

std::string TMemo::Line(int i) const {
  size_t start = 0;
  for (int k = 0; k < i; ++k) {
    size_t p = Text().find("\r\n", start);
    if (p == std::string::npos) return "";
    start = p + 2;
  }
  size_t end = Text().find("\r\n", start);
  return Text().substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void TMemo::TextChanged() {
  TWinControl::TextChanged();
  if (OnChange) OnChange(this);
}

void TMemo::KeyDown(uint16_t& key, TShiftState) {
  if (key == VK_RETURN && !FReadOnly) {
    SetText(Text() + "\r\n");
    key = 0;
  }
}

void TMemo::KeyPress(char& key) {
  if (FReadOnly) return;
  auto u = static_cast<unsigned char>(key);
  if (u == VK_BACK) {
    std::string t = Text();
    if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0)
      t.resize(t.size() - 2);
    else if (!t.empty())
      t.pop_back();
    SetText(t);
    return;
  }
  if (u >= 0x20 && u != 0x7F) SetText(Text() + std::string(1, key));
}

void TMemo::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  canvas.Brush.Color = Color();
  canvas.FillRect(r);
  DrawEdge3D(canvas, r, esSunken);
  TRect inner = InflateRect(r, -2, -2);
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) {
    TRect bar = Rect(inner.Right - 16, inner.Top, inner.Right, inner.Bottom);
    canvas.Brush.Color = clScrollBar;
    canvas.FillRect(bar);
    inner.Right = bar.Left;
  }
  TRect text = InflateRect(inner, -2, -1);
  canvas.DrawText(Text(), text, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
}
