// Test support: the headless display and the application object, set up once per test
// executable; helpers to run the queue until a condition holds, with a deadline so that a test
// fails instead of hanging.
#pragma once
#include <gtest/gtest.h>

#include <functional>

#include "Application.h"
#include "Display.h"
#include "Form.h"
#include "LoopWatch.h"
#include "Messages.h"

inline void EnsureHeadlessApplication() {
  if (!HasDisplay()) SetDisplay(CreateHeadlessDisplay());
  InitializeApplication();
}

// Dispatches everything waiting now, painting included.
inline void Pump() {
  TMsg m;
  while (PeekMessage(m)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return;
    }
    TranslateMessage(m);
    DispatchMessage(m);
  }
}

// Pumps until cond() holds or timeoutMs passes; returns cond().
inline bool PumpUntil(const std::function<bool()>& cond, uint32_t timeoutMs = 5000) {
  uint32_t t0 = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - t0 > timeoutMs) return false;
    Pump();
    if (cond()) break;
    WaitMessage(20);
  }
  return true;
}

// Takes a pending quit message out of the queue, so one test's quit cannot end the next's loop.
inline void DropQuit() {
  TMsg m;
  std::vector<TMsg> keep;
  while (PeekMessage(m)) {
    if (m.message == WM_PAINT)
      DispatchMessage(m);  // a paint request stays until it is served
    else if (m.message != WM_QUIT)
      keep.push_back(m);
  }
  for (auto& k : keep) PostMessage(k.hwnd, k.message, k.wParam, k.lParam);
}

// A fresh application object for one test, so that a test which terminates the application
// leaves the next one a live loop. The previous global object comes back afterwards.
class TScopedApplication {
 public:
  TScopedApplication() {
    EnsureHeadlessApplication();
    FSaved = Application;
    FApp = new TApplication();
    FApp->SetTitle(FSaved->Title());
    Application = FApp;
  }
  ~TScopedApplication() {
    delete FApp;
    Application = FSaved;
    DropQuit();
  }
  TScopedApplication(const TScopedApplication&) = delete;
  TScopedApplication& operator=(const TScopedApplication&) = delete;

 private:
  TApplication* FSaved = nullptr;
  TApplication* FApp = nullptr;
};
