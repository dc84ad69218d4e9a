#include "withdrawal/ui/GetListBinding.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QTimer>

#include "platform/MessageBox.h"
#include "withdrawal/ui/WithdrawalUi.h"
#include "workspace/Profile.h"

TGetListBinding::TGetListBinding(TWithdrawalUi& page, QMainWindow& mainWindow,
                                 std::function<const TProfile*(int)> account)
    : QObject(&mainWindow), page_(&page), main_(mainWindow), account_(std::move(account)) {
  // The end of the withdrawal set-up: the one POP3 client for the program's life.
  page_->Data.CreatePop3Client();
  page_->SetGetListRunner(this);
  main_.installEventFilter(this);
}

TGetListBinding::~TGetListBinding() {
  main_.removeEventFilter(this);
  if (page_) page_->SetGetListRunner(nullptr);
}

void TGetListBinding::GetMailList() {
  if (getList_.Running() || !page_) return;
  const TProfile* account = account_ ? account_(page_->SelectedAccount()) : nullptr;
  getList_.Run(page_->Data, account, *this);
  if (closeWhenDone_) {
    closeWhenDone_ = false;
    // Outside the run's own call chain, so the window is not closed under it.
    QTimer::singleShot(0, &main_, [this] { main_.close(); });
  }
}

void TGetListBinding::ShowStatus(const std::string& text) { page_->SetGetListStatus(text); }

void TGetListBinding::SetRunning(bool running) {
  if (running)
    QApplication::setOverrideCursor(Qt::BusyCursor);
  else
    QApplication::restoreOverrideCursor();
  page_->SetGetListRunning(running);
}

void TGetListBinding::ProcessPendingEvents() { QApplication::processEvents(); }

void TGetListBinding::MessageStored(int index) { page_->MessageInserted(index); }

void TGetListBinding::ShowError(const std::string& text) { ErrorBox(text); }

bool TGetListBinding::GoOnWithoutCredentials(const std::string& question) {
  return MessageService().Show(TMsgKind::Error, question, "Error", TMsgButtons::YesNo) == TMsgResult::Yes;
}

bool TGetListBinding::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &main_ && event->type() == QEvent::Close && getList_.Running()) {
    getList_.RequestStop();
    closeWhenDone_ = true;
    event->ignore();
    return true;
  }
  return QObject::eventFilter(watched, event);
}
