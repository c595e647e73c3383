// Sections: construction of the window and its pages; connection choice; modem detection;
// transfer and completion.
#include "Unit1.h"

#include <algorithm>
#include <climits>

#include "Shell.h"
#include "Streams.h"
#include "UiGIF.h"

extern const unsigned char kLogoGif[];
extern const std::size_t kLogoGifSize;

TForm1* Form1 = nullptr;

namespace {
constexpr int32_t kLogoLeft = 448, kLogoTop = 16, kLogoWidth = 65, kLogoHeight = 33;
const char* const kSubtitle = "Norvane 302 Firmware Upgrade Software";
const char* const kTargetVersion = "R2.01M.B06.PK_021206a_T93.3.44";
const char* const kGreeting = "Welcome to Titanium";
const char* const kUpgradeFailed =
    "There was a problem upgrading your modem. Press Ok to try again. For any assistance please call the Pelko "
    "Broadband Helpdesk on 0800 CALL PELKO (0800 11 22 33)";

// The logo as a stored picture holds it: a 32-bit little-endian count, then the GIF file.
std::string StoredLogo() {
  const auto n = static_cast<uint32_t>(kLogoGifSize);
  std::string s{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF), static_cast<char>((n >> 16) & 0xFF),
                static_cast<char>(n >> 24)};
  return s.append(reinterpret_cast<const char*>(kLogoGif), kLogoGifSize);
}
// The window's icon: the modem from the logo, scaled to 32 x 32 on the logo's own background.
std::unique_ptr<TBitmap> ProgramIcon() {
  TUiGIFImage logo;
  TMemoryStream bytes(std::string(reinterpret_cast<const char*>(kLogoGif), kLogoGifSize));
  logo.LoadFromStream(bytes);
  auto icon = std::make_unique<TBitmap>(32, 32);
  TCanvas& c = icon->Canvas();
  c.Draw(0, 0, &logo);
  c.Brush.Color = c.GetPixel(0, 0);
  c.FillRect(Rect(0, 0, 32, 32));
  // The modem spans x 4..40 of the logo; 55 x 28 keeps the logo's proportions.
  c.StretchDraw(Rect(-3, 2, 52, 30), &logo);
  return icon;
}

}  // namespace

// ---- construction ----

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  SetName("Form1");
  BeginLoading();
  SetCaption("Pelko Norvane Firmware Upgrade Software");
  SetClientSize(534, 570);
  SetPosition(poScreenCenter);
  SetColor(clBtnFace);
  SetIcon(*ProgramIcon());
  Font().SetName("MS Sans Serif");
  Font().SetHeight(11);

  UiWizard1 = new TUiWizard(this);
  UiWizard1->SetName("UiWizard1");
  UiWizard1->SetParent(this);
  UiWizard1->SetShowRouteMap(false);
  UiWizard1->SetOnCancelButtonClick([this](TObject* s) { UiWizard1CancelButtonClick(s); });

  BuildWelcomePage();
  BuildConnectionPage();
  BuildFlashingLightsPage();
  BuildImportantPage();
  BuildUpgradePage();
  BuildRecoveryCompletePage();
  BuildCompletePage();

  tnTelnet1 = new TTnTelnet(this);
  tnTelnet1->SetName("tnTelnet1");
  tnTelnet1->SetFirewallPort(80);
  tnTelnet1->OnDataIn = [this](TObject* s, const std::string& text) { tnTelnet1DataIn(s, text); };

  NetTFTP = new TNetTrivialFTP(this);
  NetTFTP->SetName("NetTFTP");
  NetTFTP->SetPort(69);
  NetTFTP->SetReceiveTimeout(4000);
  NetTFTP->SetRequestedBlockSize(1024);
  NetTFTP->SetBroadcastEnabled(true);
  NetTFTP->SetActive(true);  // recorded while loading; the endpoint opens when loading ends
  NetTFTP->OnWork = [this](TObject* s, TWorkMode m, int32_t c) { NetTFTPWork(s, m, c); };
  NetTFTP->OnStatus = [this](TObject* s, TNetStatus st, const std::string& t) { NetTFTPStatus(s, st, t); };

  EndLoading();
}

void TForm1::SetUpHeader(TUiWizardCustomPage* page, const char* title, const char* subtitle) {
  page->Header().Title().SetText(title);
  page->Header().Title().Font().SetHeight(16);
  page->Header().Title().Font().SetStyle(fsBold);
  page->Header().Subtitle().SetText(subtitle);
  page->Header().Subtitle().Font().SetHeight(11);
  page->Header().Subtitle().Font().SetStyle(0);
}

TUiWizardInteriorPage* TForm1::NewInteriorPage(const char* name, const char* title, const char* subtitle) {
  auto* page = new TUiWizardInteriorPage(this);
  page->SetName(name);
  page->SetParent(UiWizard1);
  SetUpHeader(page, title, subtitle);
  return page;
}

TLabel* TForm1::NewLabel(TWinControl* parent, const char* name, int32_t left, int32_t top, int32_t height,
                         const std::string& caption) {
  auto* l = new TLabel(this);
  l->SetName(name);
  l->SetParent(parent);
  l->SetLeft(left);
  l->SetTop(top);
  l->SetParentFont(false);
  l->Font().SetHeight(height);
  l->SetCaption(caption);
  return l;
}

TLabel* TForm1::NewFixedLabel(TWinControl* parent, const char* name, int32_t left, int32_t top, int32_t width,
                              int32_t h, int32_t height, const std::string& caption) {
  TLabel* l = NewLabel(parent, name, left, top, height, "");
  l->SetAutoSize(false);
  l->SetBounds(left, top, width, h);
  l->SetCaption(caption);
  return l;
}

TRadioGroup* TForm1::NewRadioGroup(TWinControl* parent, const char* name, TRect bounds,
                                   const std::vector<std::string>& items) {
  auto* g = new TRadioGroup(this);
  g->SetName(name);
  g->SetParent(parent);
  g->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  g->SetParentFont(false);
  g->Font().SetHeight(13);
  g->SetItems(items);
  return g;
}

TImage* TForm1::NewLogo(TWinControl* parent, const char* name) {
  auto* img = new TImage(this);
  img->SetName(name);
  img->SetParent(parent);
  img->SetBounds(kLogoLeft, kLogoTop, kLogoWidth, kLogoHeight);
  img->Picture().LoadStored("TUiGIFImage", StoredLogo());
  return img;
}

void TForm1::BuildWelcomePage() {
  UiWizardWelcomePage1 = new TUiWizardWelcomePage(this);
  auto* p = UiWizardWelcomePage1;
  p->SetName("UiWizardWelcomePage1");
  p->SetParent(UiWizard1);
  SetUpHeader(p, "Welcome", kSubtitle);
  p->SetEnabledButtons({bkStart, bkLast, bkNext, bkFinish, bkCancel, bkHelp});
  p->SetVisibleButtons({bkNext, bkCancel});
  p->OnNextButtonClick = [this](TObject* s, bool& stop) { UiWizardWelcomePage1NextButtonClick(s, stop); };
  UiLabel3 = NewLabel(p, "UiLabel3", 192, 168, 13,
                      std::string("This Program will update your modem ") + "\r\n" +
                          "so it has the latest version of firmware." + "\r\n" + "\r\n" +
                          "Please note: You should ONLY install" + "\r\n" + "the software on a Norvane 302 modem." +
                          "\r\n" + "Pelko will not be responsible for any " + "\r\n" +
                          "damage that is caused by installing the" + "\r\n" + "software on any incompatible modems." +
                          "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n" + "Please press 'Next' to continue.");
  Image2 = NewLogo(p, "Image2");
  p->SetWizard(UiWizard1);
}

void TForm1::BuildConnectionPage() {
  auto* p = UiWizardInteriorPage1 = NewInteriorPage("UiWizardInteriorPage1", "Select your connection", kSubtitle);
  p->OnEnterPage = [this](TObject* s, TUiWizardCustomPage* from) { UiWizardInteriorPage1EnterPage(s, from); };
  p->OnExitPage = [this](TObject* s, TUiWizardCustomPage* to) { UiWizardInteriorPage1ExitPage(s, to); };
  p->OnNextButtonClick = [this](TObject* s, bool& stop) { UiWizardInteriorPage1NextButtonClick(s, stop); };
  p->OnBackButtonClick = [this](TObject* s, bool& stop) { UiWizardInteriorPage1BackButtonClick(s, stop); };
  Label7 = NewFixedLabel(p, "Label7", 104, 80, 321, 25, 13, "Please select your modem connection type");
  Label7->Font().SetStyle(fsBold);
  Label7->SetAlignment(taCenter);
  RadioGroup1 = NewRadioGroup(p, "RadioGroup1", Bounds(16, 112, 497, 73),
                              {"Ethernet  (Blue Cable)", "USB        (Silver Cable)"});
  RadioGroup1->OnClick = [this](TObject* s) { RadioGroup1Click(s); };
  Label15 = NewLabel(p, "Label15", 24, 192, 13, "Or");
  Label8 =
      NewFixedLabel(p, "Label8", 24, 224, 401, 32, 13,
                    "For advanced users who have changed the default network \r\naddress settings of their modem.");
  RadioGroup2 = NewRadioGroup(p, "RadioGroup2", Bounds(16, 264, 497, 57), {"Custom IP Address:"});
  RadioGroup2->OnClick = [this](TObject* s) { RadioGroup2Click(s); };
  Edit1 = new TEdit(this);
  Edit1->SetName("Edit1");
  Edit1->SetParent(p);
  Edit1->SetBounds(168, 288, 121, 21);
  Edit1->SetText("10.1.1.1");
  Edit1->SetVisible(false);
  Label13 = NewLabel(p, "Label13", 24, 336, 13, "Or");
  RadioGroup3 = NewRadioGroup(p, "RadioGroup3", Bounds(16, 360, 497, 57),
                              {"If all the lights on your modem are flashing (ADSL, Status and USB or Ethernet)."});
  RadioGroup3->OnClick = [this](TObject* s) { RadioGroup3Click(s); };
  RadioGroup1->SetTabOrder(0);
  RadioGroup2->SetTabOrder(1);
  Edit1->SetTabOrder(2);
  RadioGroup3->SetTabOrder(3);
  Label9 = NewFixedLabel(
      p, "Label9", 48, 432, 441, 65, 13,
      "Click 'Next' to check if the firmware on your modem needs to be updated.\r\n \r\nThis may take a few seconds.");
  Label9->SetAlignment(taCenter);
  Label9->SetWordWrap(true);
  Label6 = NewLabel(p, "Label6", 144, 448, 16, "Please wait while connecting...");
  Label6->Font().SetStyle(fsBold);
  Label6->SetVisible(false);
  Image1 = NewLogo(p, "Image1");
  p->SetWizard(UiWizard1);
}

void TForm1::BuildFlashingLightsPage() {
  auto* p = UiWizardInteriorPage5 = NewInteriorPage("UiWizardInteriorPage5", "Flashing modem lights", "Network setup");
  p->OnNextButtonClick = [this](TObject* s, bool& stop) { UiWizardInteriorPage5NextButtonClick(s, stop); };
  p->OnBackButtonClick = [this](TObject* s, bool& stop) { UiWizardInteriorPage5BackButtonClick(s, stop); };
  UiLabel4 = NewFixedLabel(
      p, "UiLabel4", 32, 80, 441, 449, 13,
      "The lights on your modem are flashing because its settings were corrupted while the firmware was being "
      "upgraded.\r\n\r\nTo fix the problem, you will need to re-enter the settings on your modem before you can "
      "install the firmware.\r\n\r\nIf you are confident that you can do this yourself, then please read the "
      "information below.\r\n\r\nIf you would like some help, please call 0800 11 22 33 and we will talk you through "
      "what you need to do.\r\n\r\nThis will only work if you use an Ethernet (Blue cable) connection.\r\n\r\n1. You "
      "will need to specify the following IP address settings on your computers TCP/IP Ethernet network connection "
      "before continuing\r\n\r\nBefore you change the TCP/IP settings to those listed below, please make a note of the "
      "settings that are already in use. Once the firmware upgrade is complete, you will need to re-enter these "
      "original settings so your computer can connect to our network.\r\n\r\nIP address:           "
      "192.168.1.10\r\nSubnet mask:       255.0.0.0\r\nGateway:               192.168.1.1\r\n\r\n2. Click on Next to "
      "begin the firmware upgrade.");
  UiLabel4->SetWordWrap(true);
  Image3 = NewLogo(p, "Image3");
  p->SetWizard(UiWizard1);
}

void TForm1::BuildImportantPage() {
  auto* p = UiWizardInteriorPage4 = NewInteriorPage("UiWizardInteriorPage4", "Important", kSubtitle);
  p->OnBackButtonClick = [this](TObject* s, bool& stop) { UiWizardInteriorPage4BackButtonClick(s, stop); };
  p->OnFinishButtonClick = [this](TObject* s, bool& stop) { UiWizardInteriorPage4FinishButtonClick(s, stop); };
  Label5 = NewFixedLabel(p, "Label5", 8, 80, 521, 57, 13, "");
  Label5->Font().SetStyle(fsBold);
  Label5->SetAlignment(taCenter);
  Label5->SetWordWrap(true);
  Label12 = NewFixedLabel(p, "Label12", 50, 88, 441, 49, 16, "Sorry - the software connot detect your modem");
  Label12->Font().SetStyle(fsBold);
  Label12->SetAlignment(taCenter);
  Label12->SetVisible(false);
  Label11 = NewFixedLabel(
      p, "Label11", 72, 152, 377, 289, 13,
      "Please make sure you selected the correct cable that connects the modem to your computer.\r\n\r\nIf you have a "
      "customised IP address, check that you entered it in the 'Custom IP address' box.\r\n\r\nIf all the lights on "
      "your modem are flashing, then you will need to change the modem settings.\r\n\r\nThe software will only work on "
      "a Norvane NV-302 modem, so please DO NOT use any other make or model.\r\n\r\nClick the 'Back' button to check "
      "the details that you entered.");
  Label11->SetWordWrap(true);
  Label11->SetVisible(false);
  Label18 = NewFixedLabel(p, "Label18", 224, 192, 79, 20, 16, "Important");
  Label18->Font().SetStyle(fsBold);
  Label18->SetVisible(false);
  // 364 px wide rather than 351: the notice does not wrap, and its longest line ("Installing
  // the software ... to complete.") takes 364 px in the 13-px face.
  Label17 = NewFixedLabel(p, "Label17", 96, 232, 364, 121, 13,
                          "While the software is being installed, please do not unplug\r\nany modem cables or switch "
                          "off the power.\r\n\r\nInstalling the software should take about a minute to "
                          "complete.\r\n\r\nPress the 'Next' button to begin.");
  Label17->SetVisible(false);
  Label16 = NewLabel(p, "Label16", 112, 416, 13, "Press the Finish button to exit this program.");
  Label16->Font().SetStyle(fsBold);
  Label16->SetVisible(false);
  Memo1 = new TMemo(this);
  Memo1->SetName("Memo1");
  Memo1->SetParent(p);
  Memo1->SetBounds(56, 568, 305, 33);
  Memo1->SetScrollBars(ssVertical);
  Memo1->SetVisible(false);
  Image4 = NewLogo(p, "Image4");
  p->SetWizard(UiWizard1);
}

void TForm1::BuildUpgradePage() {
  auto* p = UiWizardInteriorPage2 = NewInteriorPage("UiWizardInteriorPage2", "Performing Upgrade", kSubtitle);
  p->SetEnabledButtons(TUiWizardButtonSet{});
  p->SetVisibleButtons(TUiWizardButtonSet{});
  p->OnPage = [this](TObject* s) { UiWizardInteriorPage2Page(s); };
  Label1 = NewLabel(p, "Label1", 56, 120, 19, "Your new modem firmware is now being installed.");
  Label2 = NewLabel(p, "Label2", 224, 224, 13, "Please Wait");
  ProgressBar = new TUiSpecialProgress(this);
  ProgressBar->SetName("ProgressBar");
  ProgressBar->SetParent(p);
  ProgressBar->SetBounds(80, 280, 369, 33);
  ProgressBar->SetBorderStyle(bsSingle);
  ProgressBar->SetSolid(true);
  ProgressBar->SetGradientBlocks(true);
  ProgressBar->SetStartColor(clWhite);
  ProgressBar->SetEndColor(clBlue);
  ProgressBar->SetMinimum(0);
  ProgressBar->SetMaximum(100);
  ProgressBar->SetPosition(10);
  ProgressBar->SetTextOption(toPercent);
  ProgressBar->SetTextCentered(true);
  ProgressBar->SetCaption("ProgressBar");
  UiLabel2 = NewFixedLabel(p, "UiLabel2", 96, 384, 345, 41, 13,
                           "Please do not unplug any cables or turn off the modem while this is happening.");
  UiLabel2->Font().SetStyle(fsBold);
  UiLabel2->SetAlignment(taCenter);
  UiLabel2->SetWordWrap(true);
  Image5 = NewLogo(p, "Image5");
  p->SetWizard(UiWizard1);
}

void TForm1::BuildRecoveryCompletePage() {
  auto* p = UiWizardInteriorPage6 = NewInteriorPage("UiWizardInteriorPage6", "Upgrade Complete", kSubtitle);
  p->SetVisibleButtons({bkBack, bkFinish});
  p->OnBackButtonClick = [this](TObject* s, bool& stop) { UiWizardInteriorPage6BackButtonClick(s, stop); };
  p->OnFinishButtonClick = [this](TObject* s, bool& stop) { UiWizardInteriorPage6FinishButtonClick(s, stop); };
  Label14 = NewLabel(p, "Label14", 80, 96, 13,
                     "Your modem has been updated\r\n\r\nTo complete the upgrade, follow the instructions below:");
  Label14->Font().SetStyle(fsBold);
  Label14->SetAlignment(taCenter);
  Label19 = NewFixedLabel(
      p, "Label19", 40, 168, 455, 224, 13,
      "1. Please turn off your modem for 20 seconds and turn it on again.\r\n \r\nThen check the lights on the modem "
      "and make sure NOT ALL of them are flashing. If all the lights are still flashing, please click the 'Back' "
      "button below and install the new software again..\r\n\r\n2. Next, will need to change your computer's TCP/IP "
      "settings. They should be the same settings you used when you first installed your modem.\r\n\r\n3. Finally, you "
      "will need to re-enter your Pelko User Name and Password. You can do this by using the Installation CD that came "
      "with your modem or using your web browser.\r\n\r\nPress the 'Finish' button to exit this program.");
  Label19->SetWordWrap(true);
  Image6 = NewLogo(p, "Image6");
  p->SetWizard(UiWizard1);
}

void TForm1::BuildCompletePage() {
  auto* p = UiWizardInteriorPage3 = NewInteriorPage("UiWizardInteriorPage3", "Upgrade Complete.", kSubtitle);
  p->SetEnabledButtons({bkFinish});
  p->SetVisibleButtons({bkFinish});
  p->OnFinishButtonClick = [this](TObject* s, bool& stop) { UiWizardInteriorPage3FinishButtonClick(s, stop); };
  Label3 = NewFixedLabel(p, "Label3", 120, 104, 297, 24, 19, "Firmware successfully installed");
  Label3->Font().SetStyle(fsBold);
  Label10 = NewFixedLabel(p, "Label10", 32, 208, 465, 105, 13,
                          "To complete the upgrade you need to restart your computer.\r\n\r\nClick on the 'Finish' "
                          "button to restart your computer.");
  Label10->Font().SetStyle(fsBold);
  Label10->SetAlignment(taCenter);
  Image7 = NewLogo(p, "Image7");
  p->SetWizard(UiWizard1);
}

// ---- connection choice ----

bool TForm1::RecoveryMode() const { return RadioGroup3->Buttons(0)->Checked(); }

void TForm1::ClearRadioGroups() {
  RadioGroup1->SetItemIndex(-1);
  RadioGroup2->SetItemIndex(-1);
  RadioGroup3->SetItemIndex(-1);
}

void TForm1::UiWizardWelcomePage1NextButtonClick(TObject*, bool&) { ClearRadioGroups(); }

void TForm1::UiWizardInteriorPage5BackButtonClick(TObject*, bool&) { ClearRadioGroups(); }

void TForm1::UiWizardInteriorPage1BackButtonClick(TObject*, bool&) {}

void TForm1::UiWizardInteriorPage1EnterPage(TObject*, TUiWizardCustomPage*) {
  RadioGroup1->SetItemIndex(-1);
  RadioGroup1->Buttons(0)->SetChecked(false);
  RadioGroup1->Buttons(1)->SetChecked(false);
  RadioGroup2->SetItemIndex(-1);
  RadioGroup2->Buttons(0)->SetChecked(false);
  RadioGroup3->SetItemIndex(-1);
  RadioGroup3->Buttons(0)->SetChecked(false);
  Label6->SetVisible(false);
  Label9->SetVisible(true);
}

void TForm1::RadioGroup1Click(TObject*) {
  if (RadioGroup1->Buttons(0)->Checked()) {
    Edit1->SetText("10.1.1.1");
    Edit1->SetVisible(false);
    RadioGroup2->SetItemIndex(-1);
    RadioGroup3->SetItemIndex(-1);
  }
  if (RadioGroup1->Buttons(1)->Checked()) {
    Edit1->SetText("10.1.1.2");
    Edit1->SetVisible(false);
    RadioGroup2->SetItemIndex(-1);
    RadioGroup3->SetItemIndex(-1);
  }
}

void TForm1::RadioGroup2Click(TObject*) {
  if (!RadioGroup2->Buttons(0)->Checked()) return;
  RadioGroup1->SetItemIndex(-1);
  RadioGroup3->SetItemIndex(-1);
  Edit1->SetText("");
  Edit1->SetVisible(true);
  Edit1->SetFocus();
}

void TForm1::RadioGroup3Click(TObject*) {
  if (!RadioGroup3->Buttons(0)->Checked()) return;
  RadioGroup1->SetItemIndex(-1);
  RadioGroup2->SetItemIndex(-1);
  Edit1->SetText("192.168.1.1");
  Edit1->SetVisible(false);
}

// ---- modem detection ----

void TForm1::UiWizardInteriorPage1NextButtonClick(TObject*, bool&) {
  if (RecoveryMode()) return;
  Label9->SetVisible(false);
  Label6->SetVisible(true);
  // Leaving the page runs the probe; the button's own step then moves on from the page after.
  UiWizard1->SelectNextPage();
}

void TForm1::UiWizardInteriorPage1ExitPage(TObject*, TUiWizardCustomPage*) {
  try {
    if (RecoveryMode()) return;
    tnTelnet1->Connect(Edit1->Text());
    // A plain pause: the greeting collects on the connection and is read when it is closed.
    Sleep(2000);
    tnTelnet1->Disconnect();
  } catch (const Exception&) {
    ShowCannotDetect();
  }
}

void TForm1::tnTelnet1DataIn(TObject*, const std::string& text) {
  Memo1->SetText(text);
  // Judged as the text box holds it: up to its first NUL.
  const std::string& t = Memo1->Text();
  if (t.find(kTargetVersion) != std::string::npos)
    ShowUpToDate();
  else if (t.find(kGreeting) != std::string::npos)
    ShowReady();
  else
    ShowWrongModem();
}

void TForm1::ShowCannotDetect() {
  Label5->SetVisible(false);
  Label12->SetVisible(true);
  Label11->SetVisible(true);
  Label18->SetVisible(false);
  Label17->SetVisible(false);
  UiWizardInteriorPage4->SetVisibleButtons({bkBack, bkCancel});
  Label6->SetVisible(false);
  Label9->SetVisible(true);
}

void TForm1::ShowUpToDate() {
  Label5->SetTop(140);
  Label5->SetVisible(true);
  Label5->SetCaption("Your modem already has the latest version of firmware, so it doesnt need to be updated.");
  UiWizardInteriorPage4->SetVisibleButtons({bkFinish});
  Label17->SetVisible(false);
  Label16->SetVisible(true);
  Label18->SetVisible(false);
  Label12->SetVisible(false);
  Label11->SetVisible(false);
}

void TForm1::ShowReady() {
  Label5->SetVisible(true);
  Label5->SetCaption(" ");
  UiWizardInteriorPage4->SetVisibleButtons({bkBack, bkNext, bkCancel});
  Label17->SetVisible(true);
  Label18->SetVisible(true);
  Label12->SetVisible(false);
  Label11->SetVisible(false);
}

void TForm1::ShowWrongModem() {
  Label5->SetTop(140);
  Label5->SetVisible(true);
  Label5->SetCaption(
      "This will only work on a Norvane NV 302 modem, please make sure you are using the correct modem.");
  UiWizardInteriorPage4->SetVisibleButtons({bkBack, bkCancel});
  Label17->SetVisible(false);
  Label16->SetVisible(false);
  Label18->SetVisible(false);
  Label12->SetVisible(false);
  Label11->SetVisible(false);
}

void TForm1::UiWizardInteriorPage4BackButtonClick(TObject*, bool&) {
  Label11->SetVisible(false);
  Label12->SetVisible(false);
  UiWizardInteriorPage4->SetVisibleButtons({bkBack, bkNext, bkCancel});
  Label9->SetVisible(true);
  Label6->SetVisible(false);
  RadioGroup3->Buttons(0)->SetChecked(true);
  UiWizard1->Pages().Items(2)->Show();
}

// ---- transfer and completion ----

void TForm1::UiWizardInteriorPage2Page(TObject*) {
  std::string name = RecoveryMode() ? "TEImage.bin" : "TEPatch.bin";
  // The size sets the bar's scale; a missing or unreadable file fails here, before any
  // traffic, and reaches the standard error report.
  TBinaryFile file(name);
  file.Reset();
  int64_t size = file.FileSize();
  ProgressBar->SetMaximum(static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX)));
  ProgressBar->SetPosition(0);
  file.Close();
  NetTFTP->SetHost(Edit1->Text());
  NetTFTP->SetActive(true);
  bool failed = false;
  try {
    std::string chosen = RecoveryMode() ? "TEImage.bin" : "TEPatch.bin";
    NetTFTP->PutFile(chosen, chosen);
  } catch (const std::exception&) {
    Application->MessageBox(kUpgradeFailed, Application->Title());
    failed = true;
  }
  if (failed)
    UiWizard1->SelectFirstPage();
  else if (!RecoveryMode())
    UiWizard1->SelectLastPage();
}

void TForm1::NetTFTPWork(TObject*, TWorkMode, int32_t workCount) { ProgressBar->SetPosition(workCount); }

void TForm1::NetTFTPStatus(TObject*, TNetStatus, const std::string& statusText) {
  Application->MessageBox(statusText, Application->Title());
}

void TForm1::UiWizardInteriorPage5NextButtonClick(TObject*, bool&) { UiWizard1->Pages().Items(4)->Show(); }

void TForm1::UiWizardInteriorPage6BackButtonClick(TObject*, bool&) { UiWizard1->Pages().Items(2)->Show(); }

void TForm1::UiWizardInteriorPage6FinishButtonClick(TObject*, bool&) {
  ShellExecute(Handle(), "open", "restart.exe", "", "", SW_SHOW);
  Application->Terminate();
}

void TForm1::UiWizardInteriorPage3FinishButtonClick(TObject*, bool&) {
  ShellExecute(Handle(), "open", "restart.exe", "", "", SW_SHOW);
  Application->Terminate();
}

void TForm1::UiWizardInteriorPage4FinishButtonClick(TObject*, bool&) { Application->Terminate(); }

void TForm1::UiWizard1CancelButtonClick(TObject*) { Application->Terminate(); }
