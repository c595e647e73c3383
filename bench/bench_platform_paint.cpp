// Painting costs: a full repaint of a wizard-sized form holding about twenty controls on the
// headless backend, and presenting a progress-bar-sized area through X11 (when a display is
// available, e.g. DISPLAY=:99 under Xvfb).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "Application.h"
#include "Button.h"
#include "Display.h"
#include "Edit.h"
#include "Label.h"
#include "RadioGroup.h"

namespace {

TForm* BuildForm() {
  auto* f = new TForm(nullptr);
  f->SetClientSize(534, 570);
  for (int i = 0; i < 10; ++i) {
    auto* l = new TLabel(f);
    l->SetParent(f);
    l->SetBounds(16, 10 + i * 30, 0, 0);
    l->Font().SetHeight(i % 2 ? 13 : 16);
    l->Font().SetStyle(i % 3 ? 0 : fsBold);
    l->SetCaption("Please make sure you selected the correct cable that connects the modem.");
  }
  auto* wrap = new TLabel(f);
  wrap->SetParent(f);
  wrap->SetAutoSize(false);
  wrap->SetWordWrap(true);
  wrap->SetBounds(40, 320, 455, 120);
  wrap->SetCaption(
      "1. Please turn off your modem for 20 seconds and turn it on again.\r\n\r\nThen check the "
      "lights on the modem and make sure NOT ALL of them are flashing.");
  for (int i = 0; i < 3; ++i) {
    auto* g = new TRadioGroup(f);
    g->SetParent(f);
    g->SetBounds(16, 440 + i * 20, 240, 57);
    g->SetItems({"Ethernet  (Blue Cable)", "USB        (Silver Cable)"});
  }
  auto* e = new TEdit(f);
  e->SetParent(f);
  e->SetBounds(300, 440, 121, 21);
  e->SetText("10.1.1.1");
  for (int i = 0; i < 3; ++i) {
    auto* b = new TButton(f);
    b->SetParent(f);
    b->SetBounds(289 + i * 80, 538, 75, 25);
    b->SetCaption(i == 0 ? "< &Back" : i == 1 ? "&Next >" : "Cancel");
  }
  return f;
}

void BM_FullRepaintHeadless(benchmark::State& state) {
  SetDisplay(CreateHeadlessDisplay());
  InitializeApplication();
  TForm* f = BuildForm();
  f->Show();
  Application->ProcessMessages();
  for (auto _ : state) {
    f->PaintNow(f->ClientRect());
    benchmark::DoNotOptimize(f->Surface().Pixel(10, 10));
  }
  delete f;
}
BENCHMARK(BM_FullRepaintHeadless)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_PresentProgressAreaX11(benchmark::State& state) {
  std::unique_ptr<TDisplay> x11 = std::getenv("DISPLAY") ? CreateHostDisplay() : nullptr;
  if (!x11) {
    state.SkipWithError("no X display (set DISPLAY)");
    return;
  }
  TSurface surface(534, 570);
  surface.Fill(0x336699);
  auto w = x11->CreateNativeWindow(AllocateHWnd(nullptr), 534, 570, "bench");
  w->Show(true);
  TRect area = Bounds(80, 350, 369, 33);
  for (auto _ : state) w->Present(surface, area);
}
BENCHMARK(BM_PresentProgressAreaX11)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
