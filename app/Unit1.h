// The main window: a seven-page upgrade wizard with the connection choice, the verdict page,
// the upgrade page and the two completion pages, built in code in the order of its stored
// description, and the handlers bound to the pages' events.
//
// Threads: user-interface thread only. Ownership: the window owns every component it creates,
// all of which live as long as it does.
#pragma once
#include "Application.h"
#include "Edit.h"
#include "Image.h"
#include "Label.h"
#include "Memo.h"
#include "NetTrivialFTP.h"
#include "RadioGroup.h"
#include "TnTelnet.h"
#include "UiSpecialProgress.h"
#include "UiWizard.h"

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);

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
  void UiWizardWelcomePage1NextButtonClick(TObject* sender, bool& stop);
  void UiWizardInteriorPage1EnterPage(TObject* sender, TUiWizardCustomPage* fromPage);
  void RadioGroup1Click(TObject* sender);
  void RadioGroup2Click(TObject* sender);
  void RadioGroup3Click(TObject* sender);
  void UiWizardInteriorPage5BackButtonClick(TObject* sender, bool& stop);
  void UiWizardInteriorPage1BackButtonClick(TObject* sender, bool& stop);
  // Modem detection.
  void UiWizardInteriorPage1NextButtonClick(TObject* sender, bool& stop);
  void UiWizardInteriorPage1ExitPage(TObject* sender, TUiWizardCustomPage* fromPage);
  void UiWizardInteriorPage4BackButtonClick(TObject* sender, bool& stop);
  void tnTelnet1DataIn(TObject* sender, const std::string& text);
  // Transfer and completion.
  void UiWizardInteriorPage2Page(TObject* sender);
  void NetTFTPWork(TObject* sender, TWorkMode workMode, int32_t workCount);
  void NetTFTPStatus(TObject* sender, TNetStatus status, const std::string& statusText);
  void UiWizardInteriorPage5NextButtonClick(TObject* sender, bool& stop);
  void UiWizardInteriorPage6BackButtonClick(TObject* sender, bool& stop);
  void UiWizardInteriorPage6FinishButtonClick(TObject* sender, bool& stop);
  void UiWizardInteriorPage3FinishButtonClick(TObject* sender, bool& stop);
  void UiWizardInteriorPage4FinishButtonClick(TObject* sender, bool& stop);
  void UiWizard1CancelButtonClick(TObject* sender);

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
  TLabel* NewFixedLabel(TWinControl* parent, const char* name, int32_t left, int32_t top, int32_t width, int32_t h,
                        int32_t height, const std::string& caption);
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
