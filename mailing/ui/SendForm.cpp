#include "mailing/ui/SendForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "mailing/MailingProject.h"
#include "mailing/Merge.h"
#include "mailing/ReportFieldList.h"
#include "mailing/ui/RepForm.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/PageKit.h"
#include "workspace/ui/TableUi.h"
#include "workspace/AppSettings.h"

namespace {

QLabel* Panel(QWidget* parent, const char* name) {
  auto* l = Named(new QLabel(parent), name);
  l->setFrameShape(QFrame::StyledPanel);
  l->setFrameShadow(QFrame::Sunken);
  l->setMinimumHeight(22);
  return l;
}

// Keeps the screen current during a long operation without taking the
// user's clicks, which could start a second one.
void ProcessPendingMessages() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace

TSendForm::TSendForm(const std::string& appDir, TLPMain* frame, const TAppSettings& settings, QWidget* parent,
                     const IRunClock& clock)
    : QDialog(parent),
      mailing_(appDir),
      frame_(frame),
      settings_(settings),
      state_(mailing_, *this),
      run_(std::make_unique<TMailRun>(mailing_, state_, *this, clock)),
      listView_(state_, *run_, *this),
      sendCurrent_(std::make_unique<TSendCurrent>(state_, *this)) {
  setObjectName("SendForm");
  setWindowTitle("Mailing");

  Panel6 = Panel(this, "Panel6");
  Panel4 = Panel(this, "Panel4");
  Panel1 = Panel(this, "Panel1");
  ProgressBar1 = Named(new QProgressBar(this), "ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  Panel2 = Panel(this, "Panel2");
  Panel3 = Panel(this, "Panel3");
  Panel5 = Panel(this, "Panel5");
  Button1 = Named(new QPushButton("Prepare", this), "Button1");
  Button3 = Named(new QPushButton("Clear List", this), "Button3");
  Button2 = Named(new QPushButton("Start", this), "Button2");
  Button6 = Named(new QPushButton("Report...", this), "Button6");
  Button5 = Named(new QPushButton("Reset Failed Items", this), "Button5");
  CancelBtn = Named(new QPushButton("Hide", this), "CancelBtn");
  Button4 = Named(new QPushButton("Help", this), "Button4");
  for (QPushButton* b : {Button1, Button3, Button2, Button6, Button5, CancelBtn, Button4}) b->setAutoDefault(false);
  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(1);
  Timer1->setSingleShot(true);
  Timer3 = Named(new QTimer(this), "Timer3");
  Timer3->setInterval(Timer3Interval);

  auto* counters = new QHBoxLayout;
  counters->addWidget(Panel2);
  counters->addWidget(Panel3);
  counters->addWidget(Panel5);
  auto* info = new QVBoxLayout;
  info->addWidget(Panel6);
  info->addWidget(Panel4);
  info->addWidget(Panel1);
  info->addWidget(ProgressBar1);
  info->addLayout(counters);
  info->addStretch();
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {Button1, Button3, Button2, Button6, Button5}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(CancelBtn);
  buttons->addWidget(Button4);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(info, 1);
  layout->addLayout(buttons);
  resize(520, 230);

  connect(Button1, &QPushButton::clicked, this, &TSendForm::Button1Click);
  connect(Button3, &QPushButton::clicked, this, &TSendForm::Button3Click);
  connect(Button2, &QPushButton::clicked, this, &TSendForm::Button2Click);
  connect(Button5, &QPushButton::clicked, this, &TSendForm::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TSendForm::Button6Click);
  connect(Button4, &QPushButton::clicked, this, &TSendForm::Button4Click);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(Timer1, &QTimer::timeout, this, &TSendForm::Timer1Timer);
  connect(Timer3, &QTimer::timeout, this, &TSendForm::Timer3Timer);

  mailing_.Reset(ProjectCharset());
  run_->ShowCounters();
  state_.Set(ssIdle);
}

TSendForm::~TSendForm() {
  // The threads end before the controls they report to go.
  run_.reset();
  sendCurrent_.reset();
  SetWaitCursor(false);
}

const TProfile* TSendForm::ActiveAccount() const {
  const std::string& name = settings_.Values().ActiveProfile;
  if (!Accounts || name.empty()) return nullptr;
  for (const TProfile& p : *Accounts)
    if (p.AccountName == name) return &p;
  return nullptr;
}

int TSendForm::Threads() const { return settings_.Values().Threads; }

std::string TSendForm::ProjectCharset() const { return Project ? Project->CharsetName() : std::string(); }

TDataSet* TSendForm::Table() const {
  if (TableSource) return TableSource();
  return frame_ ? &frame_->State().Table.ADOQuery1 : nullptr;
}

void TSendForm::RefreshFrame() {
  if (frame_) frame_->UpdateControls();
  if (OnUpdateWithdrawalControls) OnUpdateWithdrawalControls();
}

void TSendForm::SendStateChanged(TSendState, const TSendControls& c) {
  RefreshFrame();
  Button1->setEnabled(c.Prepare);
  Button2->setEnabled(c.Start);
  Button2->setText(ToQString(c.StartCaption));
  Button3->setEnabled(c.ClearList);
  Button4->setEnabled(c.Help);
  Button5->setEnabled(c.ResetFailed);
  Button6->setEnabled(c.Report);
  CancelBtn->setEnabled(c.Hide);
}

void TSendForm::SetWaitCursor(bool on) {
  if (on == waiting_) return;
  waiting_ = on;
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void TSendForm::ShowDescription(const std::string& text) { Panel4->setText(ToQString(text)); }

void TSendForm::ShowStatus(const std::string& text) {
  Panel1->setText(ToQString(text));
  ProcessPendingMessages();
}

void TSendForm::ShowCounters(const TSendCounters& c) {
  Panel2->setText(ToQString(c.Sent));
  Panel3->setText(ToQString(c.Failed));
  Panel5->setText(ToQString(c.Active));
  ProcessPendingMessages();
}

void TSendForm::ShowProgress(int position, const std::string& caption) {
  ProgressBar1->setValue(position);
  setWindowTitle(ToQString(caption));
}

void TSendForm::UpdateCaption() {
  if (frame_) frame_->UpdateCaption();
}

void TSendForm::DisableStartButton() { Button2->setEnabled(false); }

void TSendForm::SetTimer3(bool on) {
  if (on)
    Timer3->start();
  else
    Timer3->stop();
}

void TSendForm::BringToFront() {
  QWidget* w = frame_ ? static_cast<QWidget*>(frame_) : this;
  if (!w->isVisible()) return;
  if (w->isMinimized()) w->showNormal();
  w->raise();
  w->activateWindow();
}

void TSendForm::ShowError(const std::string& text) { ErrorBox(text); }

bool TSendForm::Confirm(const std::string& question) { return ConfirmBox(question) == TMsgResult::Yes; }

bool TSendForm::AskRetry(const std::string& text) {
  return MessageService().Show(TMsgKind::Error, text, "Error", TMsgButtons::AbortRetry) == TMsgResult::Retry;
}

void TSendForm::ShowSendResult(const std::string& text) { InfoBox(text); }

void TSendForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TSendForm::FormShow() {
  const std::string& account = settings_.Values().ActiveProfile;
  Panel6->setText(ToQString("Active Account - \"" + account + "\""));
  if (!mailing_.ListLoaded) Timer1->start();
}

void TSendForm::done(int r) {
  QDialog::done(r);
  FormClose();
}

void TSendForm::closeEvent(QCloseEvent* event) {
  // Closing while the list is prepared or loaded would leave that half done.
  if (SendState() == ssPreparing) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TSendForm::FormClose() { RefreshFrame(); }

void TSendForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    Button4Click();
    event->accept();
    return;
  }
  // Escape hides like the Hide button, and only when that is allowed.
  if (event->key() == Qt::Key_Escape && !CancelBtn->isEnabled()) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TSendForm::Timer1Timer() {
  Timer1->stop();
  mailing_.LoadList(listView_);
}

void TSendForm::Timer3Timer() { run_->Timer3Timer(); }

bool TSendForm::HaveProject(const char* what) const {
  if (Project && Merge) return true;
  ErrorBox(std::string(what) + (!Project ? "no project is available to take the subject and body from"
                                         : "the merge of the project's tags is not available"));
  return false;
}

void TSendForm::Button1Click() {
  if (SendState() != ssIdle) return;
  if (!HaveProject("The list cannot be prepared: ")) return;
  TPrepareProject project = Project->PrepareProject();
  project.ReportFields = ReportFields ? ReportFields->ReportFields() : std::vector<std::string>();
  if (frame_)
    if (const ITableAccess* t = frame_->Services().Table) {
      project.TableName = t->TableName();
      project.SqlQueryMode = t->SQLQueryMode();
    }
  mailing_.Prepare(Table(), project, *Merge, listView_);
}

void TSendForm::Button3Click() { mailing_.ClearList(ProjectCharset(), listView_); }

void TSendForm::Button2Click() { run_->Button2Click(ActiveAccount(), Threads()); }

void TSendForm::Button5Click() { run_->ResetFailedItems(); }

void TSendForm::SendCurrent1Click() {
  if (SendState() != ssIdle) return;
  if (!HaveProject("The message cannot be sent: ")) return;
  sendCurrent_->Click(Table(), Project->PrepareProject(), ActiveAccount(), *Merge);
}

void TSendForm::Button6Click() {
  if (ReportForm && SendState() == ssIdle) ReportForm->ShowReport(mailing_, this);
}

void TSendForm::Button4Click() {
  if (frame_)
    frame_->ShowHelpContext(HelpContext);
  else
    ShowHelpContext(HelpContext);
}
