// Idle costs nothing: a shown form left in the loop uses (almost) no CPU.
#include <cstdio>

#include "Button.h"
#include "CpuTime.h"
#include "Edit.h"
#include "Headless.h"
#include "Label.h"

// Catches a loop that polls, spins or repaints while nothing happens.
TEST(Idle, ShownFormInTheLoopUsesNoCpu) {
  TScopedApplication app;
  TForm* f = Application->CreateForm<TForm>();
  f->SetClientSize(534, 570);
  auto* l = new TLabel(f);
  l->SetParent(f);
  l->SetCaption("Idle");
  auto* e = new TEdit(f);
  e->SetParent(f);
  e->SetTop(40);
  auto* b = new TButton(f);
  b->SetParent(f);
  b->SetTop(80);
  f->Show();
  Pump();
  double cpu0 = ProcessCpuMs();
  uint32_t t0 = GetTickCount();
  // The application's own loop, ended from outside by a timer after 5 s.
  TLoopHandle stop = AddTimer(5000, [] { Application->Terminate(); });
  Application->Run();
  uint32_t elapsed = GetTickCount() - t0;
  double cpu = ProcessCpuMs() - cpu0;
  EXPECT_GE(elapsed, 4990u);
  // At most one tick of the coarsest process clock a host has (Wine counts in 10 ms ticks).
  EXPECT_LE(cpu, 10.0) << "CPU used in " << elapsed << " ms of idling";
  std::printf("idle: %.2f ms of CPU in %u ms\n", cpu, elapsed);
}
