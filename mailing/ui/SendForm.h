#pragma once
// The "Mailing" window: holds the prepared mailing, prepares, clears and
// loads it, and sends it. It owns the state that the run, Prepare and Send
// Current share (mailing/SendStateOwner.h); the rules are theirs, and the
// window is their view: it shows what they tell it, drives the run's
// supervision from its 100 ms timer, and hands the buttons to them.
// Its state tells the rest of the program whether a mailing is in progress.

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "mailing/MailRun.h"
#include "mailing/OneMail.h"
#include "mailing/PreparedMailing.h"
#include "workspace/FrameInterfaces.h"
#include "workspace/Profile.h"
#include "workspace/ui/Options.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class IMailingProject;
class TMerger;
class IReportFieldList;
class TDataSet;
class TLPMain;
class TRepForm;

class TSendForm : public QDialog,
                  public IMailingWindow,
                  public IOptionsHost,
                  public ISendView,
                  public ISendCurrentView {
  Q_OBJECT
public:
  // frame: the main window (its controls, caption, table and help), null in
  // tests; settings: the active account and the thread count.
  // clock: where the run reads the time.
  TSendForm(const std::string& appDir, TLPMain* frame, const TAppSettings& settings, QWidget* parent = nullptr,
            const IRunClock& clock = SystemRunClock());
  ~TSendForm() override;

  // What app/ gives; each may stay null (Prepare and Send Current then say
  // what is missing, Start finds no account).
  IMailingProject* Project = nullptr;
  TMerger* Merge = nullptr;
  IReportFieldList* ReportFields = nullptr;
  const TProfiles* Accounts = nullptr;               // what the Options account choice indexes
  std::function<void()> OnUpdateWithdrawalControls;  // the withdrawal page's Get List
  TRepForm* ReportForm = nullptr;                    // "Report...", modal
  // The table Prepare and Send Current read; the frame's open table unless set.
  std::function<TDataSet*()> TableSource;

  TPreparedMailing& Mailing() { return mailing_; }
  TSendStateOwner& State() { return state_; }
  TMailRun& Run() { return *run_; }
  // Send Current's thread, kept until the next one.
  const TOneMail* CurrentMail() const { return sendCurrent_->Mail(); }
  // The account chosen in Options, none when no choice or no accounts.
  const TProfile* ActiveAccount() const;

  // IMailingWindow and IOptionsHost.
  TSendState SendState() const override { return state_.State(); }
  void ShowMailing() override { exec(); }
  // The main window's "Send Current Mail" and the Mailing page's button.
  void SendCurrent1Click() override;

  // ISendView: what the run shows.
  void SendStateChanged(TSendState state, const TSendControls& controls) override;
  void SetWaitCursor(bool on) override;
  void ShowDescription(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void ShowCounters(const TSendCounters& counters) override;
  void ShowProgress(int position, const std::string& caption) override;
  void UpdateCaption() override;
  void DisableStartButton() override;
  void SetTimer3(bool on) override;
  void BringToFront() override;
  void ShowError(const std::string& text) override;
  bool Confirm(const std::string& question) override;
  bool AskRetry(const std::string& text) override;
  // ISendCurrentView.
  void ShowSendResult(const std::string& text) override;

  // Handlers under their designed names.
  void FormShow();
  void FormClose();
  void Button1Click();  // Prepare
  void Button3Click();  // Clear List
  void Button2Click();  // Start / Continue / Stop
  void Button5Click();  // Reset Failed Items
  void Button6Click();  // Report...
  void Button4Click();  // Help
  void Timer1Timer();
  void Timer3Timer();

  QLabel* Panel6;  // active account
  QLabel* Panel4;  // description of the list
  QLabel* Panel1;  // status
  QProgressBar* ProgressBar1;
  QLabel* Panel2;  // sent
  QLabel* Panel3;  // failed
  QLabel* Panel5;  // active threads
  QPushButton* Button1;
  QPushButton* Button3;
  QPushButton* Button2;
  QPushButton* Button6;
  QPushButton* Button5;
  QPushButton* CancelBtn;  // Hide
  QPushButton* Button4;
  QTimer* Timer1;
  QTimer* Timer3;  // the run's supervision

  static constexpr int HelpContext = 13;
  static constexpr int Timer3Interval = 100;  // ms

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void done(int r) override;

private:
  void RefreshFrame();
  std::string ProjectCharset() const;
  TDataSet* Table() const;
  int Threads() const;
  // Prepare and Send Current need the project and the merge; false (and said) without them.
  bool HaveProject(const char* what) const;

  TPreparedMailing mailing_;
  TLPMain* frame_;
  const TAppSettings& settings_;
  bool waiting_ = false;
  TSendStateOwner state_;          // after mailing_: it reads the list
  std::unique_ptr<TMailRun> run_;  // after mailing_: it works on it
  TListOperationsView listView_;
  std::unique_ptr<TSendCurrent> sendCurrent_;
};
