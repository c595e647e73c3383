// The main window: a seven-page upgrade wizard with the connection choice, the verdict page,
// the upgrade page and the two completion pages, built in code in the order of its stored
// description, and the handlers bound to the pages' events.
//
// Threads: user-interface thread only. Ownership: the window owns every component it creates,
// all of which live as long as it does.
#pragma once
#include "platform/Application.h"
#include "platform/Edit.h"
#include "platform/Image.h"
#include "platform/Label.h"
#include "platform/Memo.h"
#include "platform/RadioGroup.h"
#include "net/NetTrivialFTP.h"
#include "telnet/TnTelnet.h"
#include "widgets/UiSpecialProgress.h"
#include "wizard/UiWizard.h"

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* AOwner);

  TUiWizard* UiWizard1;
  TUiWizardWelcomePage* UiWizardWelcomePage1;
  TUiWizardInteriorPage* UiWizardInteriorPage1;
  TUiWizardInteriorPage* UiWizardInteriorPage5;
  TUiWizardInteriorPage* UiWizardInteriorPage4;
  TUiWizardInteriorPage* UiWizardInteriorPage2;
  TUiWizardInteriorPage* UiWizardInteriorPage6;
  TUiWizardInteriorPage* UiWizardInteriorPage3;
  // Page 0
  TLabel* UiLabel3;
  TImage* Image2;
  // Page 1
  TLabel* Label7;
  TRadioGroup* RadioGroup1;
  TLabel* Label15;
  TLabel* Label8;
  TRadioGroup* RadioGroup2;
  TEdit* Edit1;
  TLabel* Label13;
  TRadioGroup* RadioGroup3;
  TLabel* Label9;
  TLabel* Label6;
  TImage* Image1;
  // Page 2
  TLabel* UiLabel4;
  TImage* Image3;
  // Page 3
  TLabel* Label5;
  TLabel* Label12;
  TLabel* Label11;
  TLabel* Label18;
  TLabel* Label17;
  TLabel* Label16;
  TMemo* Memo1;
  TImage* Image4;
  // Page 4
  TLabel* Label1;
  TLabel* Label2;
  TUiSpecialProgress* ProgressBar;
  TLabel* UiLabel2;
  TImage* Image5;
  // Page 5
  TLabel* Label14;
  TLabel* Label19;
  TImage* Image6;
  // Page 6
  TLabel* Label3;
  TLabel* Label10;
  TImage* Image7;
  // Non-visual components.
  TTnTelnet* tnTelnet1;
  TNetTrivialFTP* NetTFTP;

  // Connection choice.
  void UiWizardWelcomePage1NextButtonClick(TObject* Sender, bool& Stop);
  void UiWizardInteriorPage1EnterPage(TObject* Sender, TUiWizardCustomPage* FromPage);
  void RadioGroup1Click(TObject* Sender);
  void RadioGroup2Click(TObject* Sender);
  void RadioGroup3Click(TObject* Sender);
  void UiWizardInteriorPage5BackButtonClick(TObject* Sender, bool& Stop);
  void UiWizardInteriorPage1BackButtonClick(TObject* Sender, bool& Stop);
  // Modem detection.
  void UiWizardInteriorPage1NextButtonClick(TObject* Sender, bool& Stop);
  void UiWizardInteriorPage1ExitPage(TObject* Sender, TUiWizardCustomPage* FromPage);
  void UiWizardInteriorPage4BackButtonClick(TObject* Sender, bool& Stop);
  void tnTelnet1DataIn(TObject* Sender, const std::string& Text);
  // Transfer and completion.
  void UiWizardInteriorPage2Page(TObject* Sender);
  void NetTFTPWork(TObject* Sender, TWorkMode AWorkMode, int32_t AWorkCount);
  void NetTFTPStatus(TObject* ASender, TNetStatus AStatus, const std::string& AStatusText);
  void UiWizardInteriorPage5NextButtonClick(TObject* Sender, bool& Stop);
  void UiWizardInteriorPage6BackButtonClick(TObject* Sender, bool& Stop);
  void UiWizardInteriorPage6FinishButtonClick(TObject* Sender, bool& Stop);
  void UiWizardInteriorPage3FinishButtonClick(TObject* Sender, bool& Stop);
  void UiWizardInteriorPage4FinishButtonClick(TObject* Sender, bool& Stop);
  void UiWizard1CancelButtonClick(TObject* Sender);

  // The recovery mode: the flashing-lights choice is checked.
  bool RecoveryMode() const;

 private:
  void BuildWelcomePage();
  void BuildConnectionPage();
  void BuildFlashingLightsPage();
  void BuildImportantPage();
  void BuildUpgradePage();
  void BuildRecoveryCompletePage();
  void BuildCompletePage();
  TUiWizardInteriorPage* NewInteriorPage(const char* name, const char* title, const char* subtitle);
  void SetUpHeader(TUiWizardCustomPage* page, const char* title, const char* subtitle);
  TLabel* NewLabel(TWinControl* parent, const char* name, int32_t left, int32_t top, int32_t height,
                   const std::string& caption);
  TLabel* NewFixedLabel(TWinControl* parent, const char* name, int32_t left, int32_t top, int32_t width,
                        int32_t h, int32_t height, const std::string& caption);
  TRadioGroup* NewRadioGroup(TWinControl* parent, const char* name, TRect bounds,
                             const std::vector<std::string>& items);
  TImage* NewLogo(TWinControl* parent, const char* name);
  void ClearRadioGroups();
  void ShowCannotDetect();
  void ShowUpToDate();
  void ShowReady();
  void ShowWrongModem();
};

extern TForm1* Form1;
