#pragma once
// Send Current: the message of the table's current record sent at once
// through the active account, without a prepared list, on a thread of its
// own. The message is merged on the caller's (main) thread before the
// thread starts; the thread hands its result and the return to the idle
// state back to the main thread.

#include <memory>
#include <string>
#include <vector>

#include "mailing/PreparedMailing.h"
#include "mailing/SendStateOwner.h"
#include "net/IdMessage.h"
#include "net/IdSMTP.h"
#include "net/IdThread.h"
#include "workspace/Profile.h"

class TDataSet;
class TMerger;

// The window's side of Send Current, called on the main thread.
class ISendCurrentView {
public:
  virtual ~ISendCurrentView() = default;
  // "Email is Sent Successfully" or what failed, in an information box.
  virtual void ShowSendResult(const std::string& text) = 0;
  // What stops it before the message goes, in an error box.
  virtual void ShowError(const std::string& text) = 0;
};

class TOneMail final : public TIdThread {
public:
  // Merges the table's current record with warnings on and starts the thread,
  // unless the project names no address field ("Email address not found") or
  // the merge reported an error: Started() then stays false.
  TOneMail(TSendStateOwner& state, ISendCurrentView& view, const TProfile& account, int port,
           const TPrepareProject& project, TMerger& merge, TDataSet& table);
  ~TOneMail() override;

  TIdSMTP SMTP;
  TIdMessage Msg;
  std::vector<std::string> MXList;

  bool Started() const { return started_; }

protected:
  void Run() override;

private:
  void Deliver();
  void DeliverDirect();
  void ShowResult();
  void SetIdle();

  TSendStateOwner& state_;
  ISendCurrentView& view_;
  TProfile account_;
  std::string result_;  // the thread's own: the view is handed a copy
  bool started_ = false;
};

// The main window's "Send Current Mail" (and the Mailing page's button), with
// its thread kept until the next one.
class TSendCurrent {
public:
  TSendCurrent(TSendStateOwner& state, ISendCurrentView& view) : state_(state), view_(view) {}
  // Waits for the thread.
  ~TSendCurrent();
  TSendCurrent(const TSendCurrent&) = delete;
  TSendCurrent& operator=(const TSendCurrent&) = delete;

  // Only while the mailing window is idle; "Table is Closed", "Table is
  // Empty", "Account is not selected" and an SMTP port that is not a number
  // end it before anything starts. The window's state is sending while the
  // message goes and returns to idle in every case.
  void Click(TDataSet* table, const TPrepareProject& project, const TProfile* account, TMerger& merge);

  const TOneMail* Mail() const { return mail_.get(); }

private:
  TSendStateOwner& state_;
  ISendCurrentView& view_;
  std::unique_ptr<TOneMail> mail_;
};
