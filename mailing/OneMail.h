#pragma once
// Send Current: the message of the table's current record sent at once
// through the active account, without a prepared list, on a thread of its
// own. The message is merged on the caller's (main) thread before the
// thread starts; the thread hands its result box and the return to the idle
// state back to the main thread.

#include <string>
#include <vector>

#include "mailing/PreparedMailing.h"
#include "net/IdMessage.h"
#include "net/IdSMTP.h"
#include "net/IdThread.h"
#include "workspace/Profile.h"

class TDataSet;
class TMailRun;
class TMerger;

class TOneMail final : public TIdThread {
public:
  // Merges the table's current record with warnings on and starts the thread,
  // unless the project names no address field ("Email address not found") or
  // the merge reported an error: Started() then stays false.
  TOneMail(TMailRun& run, const TProfile& account, int port, const TPrepareProject& project, TMerger& merge,
           TDataSet& table);
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

  TMailRun& run_;
  TProfile account_;
  bool started_ = false;
};

// The main window's "Send Current Mail" (and the Mailing page's button): only
// while the mailing window is idle; "Table is Closed", "Table is Empty",
// "Account is not selected" and an SMTP port that is not a number end it
// before anything starts. The window's state is 2 while the message goes and
// returns to 0 in every case.
void SendCurrent1Click(TMailRun& run, TDataSet* table, const TPrepareProject& project, const TProfile* account,
                       TMerger& merge);
