// Sections: title; the loop; error reports; message boxes; help.
#include "Application.h"

#include <cstdio>

#include "Display.h"
#include "Form.h"
#include "HostFile.h"
#include "MessageForm.h"

TApplication* Application = nullptr;

void InitializeApplication() {
  if (Application) return;
  Application = new TApplication();
  const std::string path = ProgramFileName();
  Application->SetTitle(TApplication::TitleFromFileName(path.empty() ? "Project1" : path));
}

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
  if (Application == this) Application = nullptr;
}

// ---- title ----

std::string TApplication::TitleFromFileName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  if (name.size() > 1) name = name.substr(0, 1) + LowerCase(name.substr(1));
  return name;
}

void TApplication::Initialize() {}

// ---- the loop ----

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == FMainForm) FMainForm = nullptr;
}

void TApplication::Terminate() {
  if (FTerminated) return;
  FTerminated = true;
  PostQuitMessage(0);
}

bool TApplication::DispatchOne(TMsg& msg) {
  if (msg.message == WM_QUIT) {
    FTerminated = true;
    return false;
  }
  try {
    TranslateMessage(msg);
    DispatchMessage(msg);
  } catch (const std::exception& e) {
    HandleException(e);
  }
  return true;
}

void TApplication::ProcessMessages() {
  TMsg msg;
  while (PeekMessage(msg))
    if (!DispatchOne(msg)) break;
}

void TApplication::HandleMessage() {
  TMsg msg;
  if (!PeekMessage(msg)) {
    WaitMessage(-1);
    if (!PeekMessage(msg)) return;
  }
  DispatchOne(msg);
}

void TApplication::Run() {
  if (FMainForm && !FTerminated) FMainForm->Show();
  while (!FTerminated) HandleMessage();
}

// ---- error reports ----

std::string TApplication::ErrorReportText(const std::string& message) {
  std::string m = message;
  if (!m.empty() && static_cast<unsigned char>(m.back()) > static_cast<unsigned char>('.')) m += '.';
  return m;
}

void TApplication::HandleException(const std::exception& e) {
  std::string msg = dynamic_cast<const Exception*>(&e) ? static_cast<const Exception&>(e).Message() : e.what();
  MessageBox(ErrorReportText(msg), FTitle, MB_OK | MB_ICONERROR);
}

void TApplication::ShowStartupError(const std::exception& e) {
  std::string msg = dynamic_cast<const Exception*>(&e) ? static_cast<const Exception&>(e).Message() : e.what();
  std::string text = "Exception " + ExceptionClassName(e) + " in module " + FTitle + ".\r\n" + ErrorReportText(msg);
  MessageBox(text, "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

// ---- message boxes ----

int TApplication::MessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  TMessageBoxRecord rec{CutAtNul(text), CutAtNul(caption), flags};
  if (OnMessageBox) return OnMessageBox(rec);
  bool screen = false;
  try {
    screen = !Display().IsHeadless();
  } catch (const Exception&) {
    // No display could be opened (the box may be reporting just that): the log must do.
  }
  if (!screen) {
    // Nobody can press a button: the box is answered with OK, and its text goes to the log.
    std::fprintf(stderr, "[%s] %s\n", rec.Caption.c_str(), rec.Text.c_str());
    return IDOK;
  }
  TMessageForm form(rec.Text, rec.Caption, rec.Flags);
  TModalResult r = form.ShowModal();
  return r == mrCancel ? IDCANCEL : IDOK;
}

// ---- help ----

void TApplication::HelpContext(int32_t context) { FLastHelpContext = context; }
