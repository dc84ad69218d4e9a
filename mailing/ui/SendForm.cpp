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
#include <cmath>

#include "mailing/MailRunControl.h"
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

// The window as the prepared mailing drives it.
class TSendForm::TView : public IMailingView {
public:
  explicit TView(TSendForm& form) : form_(form) {}
  ~TView() override { SetWaitCursor(false); }

  TSendState SendState() const override { return form_.state_; }
  void SetSendState(TSendState state) override { form_.SetSendState(state); }
  void SetWaitCursor(bool on) override {
    if (on == waiting_) return;
    waiting_ = on;
    if (on)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  }
  void ShowDescription(const std::string& text) override { form_.Panel4->setText(ToQString(text)); }
  void ShowStatus(const std::string& text) override { form_.ShowStatus(text); }
  void ShowCounters() override { form_.ShowCounters(); }
  void ResetProgress() override { form_.ResetProgress(); }
  void ShowProgress(int done, int total) override { form_.ShowProgress(done, total); }
  void UpdateCaption() override {
    if (form_.frame_) form_.frame_->UpdateCaption();
  }

private:
  TSendForm& form_;
  bool waiting_ = false;
};

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

TSendForm::TSendForm(const std::string& appDir, TLPMain* frame, TOptForm* options, QWidget* parent)
    : QDialog(parent), mailing_(appDir), view_(std::make_unique<TView>(*this)), frame_(frame), options_(options) {
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

  mailing_.Reset(ProjectCharset());
  ShowCounters();
  SetSendState(ssIdle);
}

TSendForm::~TSendForm() = default;

IMailingView& TSendForm::View() { return *view_; }

std::string TSendForm::ProjectCharset() const { return Project ? Project->CharsetName() : std::string(); }

TDataSet* TSendForm::Table() const {
  if (TableSource) return TableSource();
  return frame_ ? &frame_->Tables().Workspace.ADOQuery1 : nullptr;
}

void TSendForm::RefreshFrame() {
  if (frame_) frame_->UpdateControls();
  if (OnUpdateWithdrawalControls) OnUpdateWithdrawalControls();
}

void TSendForm::SetSendState(TSendState state) {
  state_ = state;
  RefreshFrame();
  const int items = static_cast<int>(mailing_.MailList.Items.size());
  const int done = mailing_.SentCount + mailing_.FailedCount;
  const bool idle = state == ssIdle, sending = state == ssSending;
  Button1->setEnabled(idle);
  switch (state) {
    case ssIdle:
      Button2->setEnabled(Run && items > done);
      Button2->setText(Run && items > done && done > 0 ? "Continue" : "Start");
      break;
    case ssPreparing:
      Button2->setEnabled(false);
      Button2->setText("Start");
      break;
    case ssSending:
      Button2->setEnabled(Run != nullptr);
      Button2->setText("Stop");
      break;
  }
  Button3->setEnabled(idle && items > 0);
  Button4->setEnabled(state != ssPreparing);
  Button5->setEnabled(idle && Run && mailing_.FailedCount >= 1);
  Button6->setEnabled(idle && items > 0);
  CancelBtn->setEnabled(idle || sending);
}

void TSendForm::ShowStatus(const std::string& text) {
  Panel1->setText(ToQString(text));
  ProcessPendingMessages();
}

void TSendForm::ShowCounters() {
  const size_t items = mailing_.MailList.Items.size();
  Panel2->setText(QString("%1 Sent of %2").arg(mailing_.SentCount).arg(items));
  Panel3->setText(QString("%1 Failed").arg(mailing_.FailedCount));
  Panel5->setText(QString("%1 Active Threads").arg(Run ? Run->ActiveThreads() : 0));
  ProcessPendingMessages();
}

void TSendForm::ResetProgress() { ProgressBar1->setValue(0); }

void TSendForm::ShowProgress(int done, int total) {
  if (total == 0) {
    ProgressBar1->setValue(0);
  } else {
    // Halves go to the even neighbour, as the default rounding mode does.
    const int position = static_cast<int>(std::nearbyint(100.0 * done / total));
    if (position > ProgressBar1->value()) ProgressBar1->setValue(position);
  }
  setWindowTitle(QString("%1% Completed").arg(ProgressBar1->value()));
}

void TSendForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TSendForm::FormShow() {
  const std::string account = options_ ? options_->ActiveProfile() : std::string();
  Panel6->setText(ToQString("Active Account - \"" + account + "\""));
  if (!mailing_.ListLoaded) Timer1->start();
}

void TSendForm::done(int r) {
  QDialog::done(r);
  FormClose();
}

void TSendForm::closeEvent(QCloseEvent* event) {
  // Closing while the list is prepared or loaded would leave that half done.
  if (state_ == ssPreparing) {
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
  mailing_.LoadList(*view_);
}

void TSendForm::Button1Click() {
  if (state_ != ssIdle) return;
  if (!Project || !Merge) {
    ErrorBox(std::string("The list cannot be prepared: ") +
             (!Project ? "no project is available to take the subject and body from"
                       : "the merge of the project's tags is not available"));
    return;
  }
  TPrepareProject project = Project->PrepareProject();
  project.ReportFields = ReportFields ? ReportFields->ReportFields() : std::vector<std::string>();
  if (frame_)
    if (const ITableAccess* t = frame_->Services().Table) {
      project.TableName = t->TableName();
      project.SqlQueryMode = t->SQLQueryMode();
    }
  mailing_.Prepare(Table(), project, *Merge, *view_);
}

void TSendForm::Button3Click() { mailing_.ClearList(ProjectCharset(), *view_); }

void TSendForm::Button2Click() {
  if (!Run) return;
  if (state_ == ssSending) {
    Button2->setEnabled(false);
    Run->Stop();
  } else {
    Run->Start();
  }
}

void TSendForm::Button5Click() {
  if (Run && state_ == ssIdle) Run->ResetFailedItems();
}

void TSendForm::Button6Click() {
  if (ReportForm && state_ == ssIdle) ReportForm->ShowReport(mailing_);
}

void TSendForm::Button4Click() {
  if (frame_)
    frame_->ShowHelpContext(HelpContext);
  else
    ShowHelpContext(HelpContext);
}
