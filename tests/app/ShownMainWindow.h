// Test support: the real main window, made on a fresh application object and shown headless
// for the life of this object (one test), then freed together with that application object.
#pragma once
#include "Headless.h"
#include "Unit1.h"

struct TShownMainWindow {
  TShownMainWindow() : F(Application->CreateForm<TForm1>()) {
    Form1 = F;
    F->Show();
    Pump();
  }
  ~TShownMainWindow() {
    delete F;
    Form1 = nullptr;
  }
  TShownMainWindow(const TShownMainWindow&) = delete;
  TShownMainWindow& operator=(const TShownMainWindow&) = delete;

  TScopedApplication App;  // made before the window and freed after it
  TForm1* F;
};
