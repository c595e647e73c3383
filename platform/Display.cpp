#include "Display.h"

#include <cstdlib>
#include <cstring>

#include "SysUtils.h"

namespace {
std::unique_ptr<TDisplay>& Current() {
  static std::unique_ptr<TDisplay> d;
  return d;
}
}  // namespace

void SetDisplay(std::unique_ptr<TDisplay> display) { Current() = std::move(display); }

bool HasDisplay() { return Current() != nullptr; }

TDisplay& Display() {
  auto& d = Current();
  if (!d) {
    const char* mode = std::getenv("WIZARD_DISPLAY");
    if (mode && std::strcmp(mode, "headless") == 0) {
      d = CreateHeadlessDisplay();
    } else {
      d = CreateX11Display();
      if (!d) throw Exception("Cannot open the X display (set DISPLAY, or WIZARD_DISPLAY=headless)");
    }
  }
  return *d;
}
