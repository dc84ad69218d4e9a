#pragma once
// The mailing run's threads: a sender delivers one item per pass of its Run
// until it stops itself (an error, nothing left, the run aborting); the
// connector connects every sender of an SMTP-server run once, in slot order,
// before the supervision starts.

#include <atomic>
#include <string>
#include <vector>

#include "net/IdMessage.h"
#include "net/IdSMTP.h"
#include "net/IdThread.h"
#include "platform/SysUtils.h"

class TMailRun;

// What the last attempt of a sender gave.
enum TAttemptStatus : int { asNone = 0, asSent = 1, asError = 2 };

class TMailSender : public TIdThread {
public:
  // Created stopped; SMTP client and message set up from the run's account and list.
  explicit TMailSender(TMailRun& run);
  ~TMailSender() override;

  std::atomic<int> ItemIndex{0};        // -1 when nothing is left
  std::atomic<TDateTime> StartTime{0};  // when the current item was taken (the run's clock)
  TIdSMTP SMTP;
  TIdMessage Msg;
  std::vector<std::string> MXList;
  std::atomic<bool> Working{false};  // the supervisor handed it its current attempt
  std::atomic<int> Status{asNone};
  std::string ErrorText;        // read by the supervisor only once the thread has stopped
  std::atomic<int> Retries{0};  // failed attempts on the item; MaxRetries: given up

  // Stopped, out of its Run, and not handed an attempt: the supervisor's turn.
  bool Idle() const { return Stopped() && !Running() && !Working.load(); }

protected:
  void Run() override;
  void HandleRunException(const std::string& message) override;

private:
  void Failed(const std::string& message);
  void SendThroughServer(int index);
  void SendDirect(int index);
  TMailRun& run_;
};

class TConnector : public TIdThread {
public:
  explicit TConnector(TMailRun& run);
  ~TConnector() override;
  std::string ErrorText;

protected:
  void Run() override;

private:
  TMailRun& run_;
};
