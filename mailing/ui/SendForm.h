#pragma once
// The "Mailing" window: holds the prepared mailing, prepares, clears and
// loads it, and shows the state of a run. Its state tells the rest of the
// program whether a mailing is in progress. The run itself (Start / Stop,
// Reset Failed Items, the senders) is given as an IMailRun.

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "mailing/PreparedMailing.h"
#include "workspace/FrameInterfaces.h"
#include "workspace/ui/Options.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class IMailRun;
class IMailingProject;
class TMerger;
class IReportFieldList;
class TDataSet;
class TLPMain;
class TRepForm;

class TSendForm : public QDialog, public IMailingWindow, public IOptionsHost {
  Q_OBJECT
public:
  // frame: the main window (its controls, caption, table and help); options:
  // the active account. Either may be null in tests.
  TSendForm(const std::string& appDir, TLPMain* frame, TOptForm* options, QWidget* parent = nullptr);
  ~TSendForm() override;

  // What app/ gives; each may stay null (Prepare then says what is missing,
  // the run's buttons stay disabled).
  IMailingProject* Project = nullptr;
  TMerger* Merge = nullptr;
  IReportFieldList* ReportFields = nullptr;
  IMailRun* Run = nullptr;
  std::function<void()> OnUpdateWithdrawalControls;  // the withdrawal page's Get List
  TRepForm* ReportForm = nullptr;                    // "Report...", modal
  // The table Prepare walks; the frame's open table unless set.
  std::function<TDataSet*()> TableSource;

  TPreparedMailing& Mailing() { return mailing_; }
  IMailingView& View();

  // IMailingWindow and IOptionsHost.
  int SendState() const override { return state_; }
  void ShowMailing() override { exec(); }

  void SetSendState(TSendState state);
  void ShowStatus(const std::string& text);
  void ShowCounters();
  void ShowProgress(int done, int total);
  void ResetProgress();

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

  static constexpr int HelpContext = 13;

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void done(int r) override;

private:
  class TView;
  void RefreshFrame();
  std::string ProjectCharset() const;
  TDataSet* Table() const;

  TPreparedMailing mailing_;
  std::unique_ptr<TView> view_;
  TLPMain* frame_;
  TOptForm* options_;
  TSendState state_ = ssIdle;
};
