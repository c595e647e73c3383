// The progress bar's redraw as the firmware transfer drives it: a full redraw of the 369 x 33
// bar with its settings on the upgrade page (picture drawn and presented on the headless
// backend), and a position change that alters nothing on screen. Goal: a full redraw under
// 50 microseconds.
#include <benchmark/benchmark.h>

#include "Application.h"
#include "Display.h"
#include "UiSpecialProgress.h"

namespace {

struct TBarOnForm {
  TForm* Form;
  TUiSpecialProgress* Bar;
  TBarOnForm() {
    if (!HasDisplay()) SetDisplay(CreateHeadlessDisplay());
    InitializeApplication();
    Form = new TForm(nullptr);
    Form->SetClientSize(534, 570);
    Bar = new TUiSpecialProgress(Form);
    Bar->SetParent(Form);
    Bar->SetBounds(80, 280, 369, 33);
    Bar->SetBorderStyle(bsSingle);
    Bar->SetSolid(true);
    Bar->SetGradientBlocks(true);
    Bar->SetEndColor(clBlue);
    Bar->SetTextOption(toPercent);
    Bar->SetTextCentered(true);
    Bar->SetMaximum(10'000'000);  // a firmware file of about 10 MB
    Form->Show();
    Application->ProcessMessages();
  }
  ~TBarOnForm() { delete Form; }
};

void BM_ProgressFullRedraw(benchmark::State& state) {
  TBarOnForm f;
  const bool blocks = state.range(0) != 0;
  f.Bar->SetSolid(!blocks);
  int32_t pos = 0;
  for (auto _ : state) {
    // Every step moves the fill and the percent: each one is a full redraw and present.
    pos = pos >= 9'000'000 ? 500'000 : pos + 500'000;
    f.Bar->SetPosition(pos);
  }
  state.SetLabel(blocks ? "gradient blocks" : "solid");
}
BENCHMARK(BM_ProgressFullRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ProgressUnchangedPicture(benchmark::State& state) {
  TBarOnForm f;
  f.Bar->SetPosition(5'000'000);
  int32_t pos = 5'000'000;
  for (auto _ : state) {
    // One block of 1024 bytes moves neither the 367-column fill nor the percent.
    pos = pos == 5'000'000 ? 5'001'024 : 5'000'000;
    f.Bar->SetPosition(pos);
  }
}
BENCHMARK(BM_ProgressUnchangedPicture)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
