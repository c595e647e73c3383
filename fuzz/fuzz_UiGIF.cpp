// libFuzzer target for GIF reading: any bytes must load or fail with an exception, and a
// loaded picture must decode every frame and draw without touching memory outside its buffers.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "UiGIF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TUiGIFImage g;
  try {
    g.LoadFromBytes(data, size);
  } catch (const Exception&) {
    return 0;
  }
  for (int i = 1; i < std::min(g.FrameCount(), 4); ++i) {
    try {
      g.Frames(i).Bitmap();
    } catch (const Exception&) {
    }
  }
  TBitmap canvas(16, 16);
  g.Draw(canvas.Canvas(), Rect(0, 0, 16, 16));
  return 0;
}
