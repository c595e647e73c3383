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
  // A display that could not be opened is not tried again: with an unreachable server each
  // try waits out a connection timeout (the error report would wait a second time).
  static bool failed = false;
  if (!d) {
    const char* mode = std::getenv("WIZARD_DISPLAY");
    if (mode && std::strcmp(mode, "headless") == 0) {
      d = CreateHeadlessDisplay();
    } else {
      if (!failed) d = CreateHostDisplay();
      failed = !d;
      if (!d) throw Exception(HostDisplayUnavailable());
    }
  }
  return *d;
}
