#pragma once
// Get List on the Withdrawal page: the page's command runs the POP3 retrieval
// with the account chosen on Server Options, and the run reports back to the
// page. A close of the main window asked for during a run stops the run at its
// next pause and closes once it has cleaned up.

#include <QObject>
#include <QPointer>
#include <functional>

#include "withdrawal/GetList.h"
#include "withdrawal/ui/GetListRunner.h"
#include "withdrawal/ui/WithdrawalUi.h"

struct TProfile;
class QMainWindow;

class TGetListBinding : public QObject, public IGetListRunner, public IGetListView {
  Q_OBJECT
public:
  // account: the account at an index of the accounts array (null when none).
  TGetListBinding(TWithdrawalUi& page, QMainWindow& mainWindow, std::function<const TProfile*(int)> account);
  ~TGetListBinding() override;

  // IGetListRunner
  void GetMailList() override;
  // IGetListView
  void ShowStatus(const std::string& text) override;
  void SetRunning(bool running) override;
  void ProcessPendingEvents() override;
  void MessageStored(int index) override;
  void ShowError(const std::string& text) override;
  bool GoOnWithoutCredentials(const std::string& question) override;

  TGetList& Run() { return getList_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // The page may go first at shut-down.
  QPointer<TWithdrawalUi> page_;
  QMainWindow& main_;
  std::function<const TProfile*(int)> account_;
  TGetList getList_;
  bool closeWhenDone_ = false;
};
