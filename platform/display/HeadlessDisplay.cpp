// The headless backend: windows exist only as the forms' own surfaces. Presenting costs
// nothing; the clipboard is a string held here. Input comes from tests as posted messages.
#include "Display.h"
#include "Graphics.h"

namespace {

class THeadlessWindow : public TNativeWindow {
 public:
  void SetTitle(const std::string&) override {}
  void SetIcon(const TSurface&) override {}
  void SetClientSize(int32_t, int32_t) override {}
  void SetDialogOwner(TNativeWindow&) override {}
  void Show(bool) override {}
  void Hide() override {}
  void Present(const TSurface&, const TRect&) override {}
};

class THeadlessDisplay : public TDisplay {
 public:
  THeadlessDisplay(int32_t w, int32_t h) : FScreen{w, h} {}
  std::unique_ptr<TNativeWindow> CreateNativeWindow(HWND, int32_t, int32_t, const std::string&) override {
    return std::make_unique<THeadlessWindow>();
  }
  TSize ScreenSize() const override { return FScreen; }
  void SetClipboardText(const std::string& text) override { FClipboard = text; }
  std::string ClipboardText() override { return FClipboard; }
  bool IsHeadless() const override { return true; }

 private:
  TSize FScreen;
  std::string FClipboard;
};

}  // namespace

std::unique_ptr<TDisplay> CreateHeadlessDisplay(int32_t screenW, int32_t screenH) {
  return std::make_unique<THeadlessDisplay>(screenW, screenH);
}
