// A demonstration form for the platform layer: labels, a radio group, an edit field and two
// buttons in a real window. OK reports the choice in a message box; Cancel or the title-bar
// close ends the program. With --screenshot FILE it paints once, saves a PNG and exits.
#include <cstring>
#include <string>

#include "Application.h"
#include "Button.h"
#include "Edit.h"
#include "Label.h"
#include "RadioGroup.h"

namespace {

class TDemoForm : public TForm {
 public:
  explicit TDemoForm(TComponent* owner) : TForm(owner) {
    SetCaption("Platform demonstration");
    SetClientSize(420, 260);
    SetPosition(poScreenCenter);
    auto* title = new TLabel(this);
    title->SetParent(this);
    title->SetBounds(16, 12, 0, 0);
    title->Font().SetHeight(16);
    title->Font().SetStyle(fsBold);
    title->SetCaption("Select your connection");
    Group = new TRadioGroup(this);
    Group->SetParent(this);
    Group->SetBounds(16, 44, 388, 73);
    Group->Font().SetHeight(13);
    Group->SetItems({"Ethernet  (Blue Cable)", "USB        (Silver Cable)"});
    Address = new TEdit(this);
    Address->SetParent(this);
    Address->SetBounds(16, 132, 121, 21);
    Address->SetText("10.1.1.1");
    Group->OnClick = [this](TObject*) { Address->SetText(Group->ItemIndex() == 0 ? "10.1.1.1" : "10.1.1.2"); };
    auto* note = new TLabel(this);
    note->SetParent(this);
    note->SetAutoSize(false);
    note->SetWordWrap(true);
    note->SetBounds(150, 132, 254, 60);
    note->SetCaption("Type an address, or pick a cable above.\r\nPress Enter for OK, Escape to leave.");
    auto* ok = new TButton(this);
    ok->SetParent(this);
    ok->SetBounds(240, 220, 75, 25);
    ok->SetCaption("&OK");
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) {
      Application->MessageBox("The modem address is " + Address->Text() + ".", Application->Title());
    };
    auto* cancel = new TButton(this);
    cancel->SetParent(this);
    cancel->SetBounds(329, 220, 75, 25);
    cancel->SetCaption("Cancel");
    cancel->SetCancel(true);
    cancel->OnClick = [](TObject*) { Application->Terminate(); };
  }
  TRadioGroup* Group;
  TEdit* Address;
};

}  // namespace

int main(int argc, char** argv) {
  InitializeApplication();
  try {
    auto* form = Application->CreateForm<TDemoForm>();
    if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0) {
      form->Show();
      Application->ProcessMessages();
      form->SaveScreenshot(argv[2]);
      return 0;
    }
    Application->Run();
  } catch (const std::exception& e) {
    Application->ShowStartupError(e);
    return 1;
  }
  return 0;
}
