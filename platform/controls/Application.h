// The application object: title, the main loop (which keeps going after an exception escapes
// a handler, showing the standard error report), termination, ProcessMessages, the modal
// message box, the help request, and the start-up failure report ("Application Error").
//
// Threads: user-interface thread only. Ownership: `Application` is created by
// InitializeApplication and lives until the process ends; it owns the forms it creates.
#pragma once
#include <exception>
#include <functional>
#include <string>

#include "Classes.h"
#include "Form.h"
#include "Messages.h"

class TCustomForm;

enum : uint32_t {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ICONHAND = 0x10,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_ICONMASK = 0xF0,
  MB_TASKMODAL = 0x2000
};
enum : int { IDOK = 1, IDCANCEL = 2 };

// What the headless backend remembers of each modal box it was shown, and how tests answer.
struct TMessageBoxRecord {
  std::string Text;
  std::string Caption;
  uint32_t Flags = 0;
};

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // The program file's name without its directory, cut at its first full stop, first letter
  // unchanged and the rest in lower case.
  static std::string TitleFromFileName(const std::string& path);
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& t) { FTitle = t; }

  void Initialize();
  // Creates a form owned by the application; the first one becomes the main form.
  template <class F>
  F* CreateForm() {
    F* f = new F(this);
    if (!FMainForm) FMainForm = f;
    return f;
  }
  TCustomForm* MainForm() const { return FMainForm; }
  void SetMainForm(TCustomForm* f) { FMainForm = f; }

  // Shows the main form and dispatches messages until Terminate or a quit message.
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Dispatches every message waiting now, then returns.
  void ProcessMessages();
  // Waits for one message and dispatches it (exceptions go to HandleException).
  void HandleMessage();
  // The standard error report: a modal error box with the message (a full stop appended when
  // its last character sorts after '.'), captioned with the title. The loop then goes on.
  void HandleException(const std::exception& e);
  static std::string ErrorReportText(const std::string& message);
  // The start-up failure box: "Application Error", naming the exception's class and message.
  void ShowStartupError(const std::exception& e);

  // A modal box with an OK button; returns the button pressed.
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags = MB_OK);
  // The help system by context number. There is none here: the request is only recorded.
  void HelpContext(int32_t context);
  int32_t LastHelpContext() const { return FLastHelpContext; }

  // Headless answering: when set, called instead of showing a box; returns the button.
  std::function<int(const TMessageBoxRecord&)> OnMessageBox;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool DispatchOne(TMsg& msg);
  std::string FTitle;
  TCustomForm* FMainForm = nullptr;
  bool FTerminated = false;
  int32_t FLastHelpContext = 0;
};

extern TApplication* Application;
// Creates `Application` (once) with the title taken from the running program's file name.
void InitializeApplication();
