// The program's entry: initialise the application, create the main window (a failure there
// is reported as "Application Error" and ends the program with exit code 1), run the loop.
#include "Display.h"
#include "Unit1.h"

int main() {
  InitializeApplication();
  Application->Initialize();
  try {
    Display();  // without a display there is no window to show: a start-up failure like any other
    Form1 = Application->CreateForm<TForm1>();
  } catch (const std::exception& e) {
    Application->ShowStartupError(e);
    return 1;
  }
  Application->Run();
  return 0;
}
