// A wizard of 534 x 570 on a headless form, with pages that log what happens to them, so a
// test can assert the order of everything a page change does.
#pragma once
#include <string>
#include <vector>

#include "Headless.h"
#include "Input.h"
#include "UiWizard.h"

using TLog = std::vector<std::string>;

class TLoggingPage : public TUiWizardInteriorPage {
 public:
  TLoggingPage(TComponent* owner, TLog* log) : TUiWizardInteriorPage(owner), Log(log) {}
  TLog* Log;

 protected:
  void VisibleChanged() override {
    TUiWizardInteriorPage::VisibleChanged();
    Log->push_back((Visible() ? "show:" : "hide:") + Name());
  }
  void DoEnter() override {
    Log->push_back("focus:" + Name());
    TUiWizardInteriorPage::DoEnter();
  }
};

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureHeadlessApplication();
    Form = new TForm(nullptr);
    Form->SetClientSize(534, 570);
    Form->BeginLoading();
    Wizard = new TUiWizard(Form);
    Wizard->SetParent(Form);
  }
  void TearDown() override {
    delete Form;
    Pump();
  }
  // Adds n pages named P0.. whose events all log.
  void AddPages(int n) {
    for (int i = 0; i < n; ++i) {
      auto* p = new TLoggingPage(Form, &Log);
      p->SetName("P" + std::to_string(Pages.size()));
      const std::string name = p->Name();
      p->OnEnterPage = [this, name](TObject*, TUiWizardCustomPage* from) {
        Log.push_back("enter:" + name + "<" + (from ? from->Name() : "none"));
      };
      p->OnExitPage = [this, name](TObject*, TUiWizardCustomPage* to) {
        Log.push_back("exit:" + name + ">" + (to ? to->Name() : "none"));
      };
      p->OnPage = [this, name](TObject*) { Log.push_back("page:" + name); };
      p->SetWizard(Wizard);
      Pages.push_back(p);
    }
  }
  void LogWizardEvents() {
    Wizard->OnActivePageChanging = [this](TObject*, TUiWizardCustomPage*& to) {
      Log.push_back("changing>" + (to ? to->Name() : std::string("none")));
    };
    Wizard->OnActivePageChanged = [this](TObject*) {
      Log.push_back("changed=" + (Wizard->ActivePage() ? Wizard->ActivePage()->Name() : std::string("none")));
    };
  }
  // Ends loading (the wizard selects its first page) and shows the form.
  void Load() {
    Form->EndLoading();
    Form->Show();
    Pump();
  }
  TUiWizardButtonControl* Btn(TUiWizardButtonKind k) { return Wizard->Button(k).Control(); }
  void Click(TUiWizardButtonKind k) {
    PostClick(*Btn(k));
    Pump();
  }

  TForm* Form = nullptr;
  TUiWizard* Wizard = nullptr;
  std::vector<TLoggingPage*> Pages;
  TLog Log;
};
