#pragma once
// The mailing run of the mailing window without the window: several sender
// threads take the prepared list's pending items one at a time and deliver
// them through the account's SMTP server (a kept connection per sender) or
// straight to the recipient domain's mail exchangers; the window's 100 ms
// timer calls Timer3Timer, which supervises them: it starts them, retries a
// failed attempt up to six times, checks the Internet connection before an
// item is given up, and ends the run.
//
// Every result is written at once to "Maillist.ind" (and a failure's text to
// "Failed.dat"), so the index is the point a later Continue resumes from: an
// item the server accepted but that was not yet recorded when the program
// died (at most one per sender) is the only one sent twice.
//
// Threads: Start, Stop, Timer3Timer, RecordFailure, ResetFailedItems and every
// view call run on the main thread. Senders run NextPendingItem and
// RecordSuccess; their display updates go through a TDisplayRelay.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mailing/DisplayRelay.h"
#include "mailing/MailRunFiles.h"
#include "mailing/PreparedMailing.h"
#include "mailing/RunClock.h"
#include "mailing/SendState.h"
#include "mailing/SendStateOwner.h"
#include "workspace/Profile.h"

class TMailSender;
class TConnector;

// The mailing window's side of the run (and, through it, the main window's).
class ISendView : public ISendStateListener {
public:
  virtual void SetWaitCursor(bool on) = 0;
  virtual void ShowDescription(const std::string& text) = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void ShowCounters(const TSendCounters& counters) = 0;
  // The bar's position, and Caption for the window and the application title.
  virtual void ShowProgress(int position, const std::string& caption) = 0;
  virtual void UpdateCaption() = 0;       // the main window's caption
  virtual void DisableStartButton() = 0;  // Stop pressed or Abort chosen
  virtual void SetTimer3(bool on) = 0;    // the 100 ms supervision timer
  virtual void BringToFront() = 0;        // the application restored and in front
  // An error box.
  virtual void ShowError(const std::string& text) = 0;
  // A Yes/No question: true for Yes.
  virtual bool Confirm(const std::string& question) = 0;
  // An Abort/Retry error box: true for Retry.
  virtual bool AskRetry(const std::string& text) = 0;
};

// Seconds a sender may stay on one item once the run is aborting.
inline constexpr double AbortCutSeconds = 15;
// Failed attempts after which an item is given up.
inline constexpr int MaxRetries = 6;

class TMailRun {
public:
  // state: shared with the window, Prepare and Send Current; its lock guards
  // the list's items and counters.
  TMailRun(TPreparedMailing& mailing, TSendStateOwner& state, ISendView& view,
           const IRunClock& clock = SystemRunClock());
  // Cuts what is still running and waits for every thread.
  ~TMailRun();
  TMailRun(const TMailRun&) = delete;
  TMailRun& operator=(const TMailRun&) = delete;

  // The counters and the bar, which Prepare and the loading show too: the
  // bar never moves back until one of them resets it.
  void ShowCounters();
  void ResetProgress();
  void ShowProgress(int done, int total);

  TSendCounters Counters() const;
  // The list's counters, read under the lock (senders change them).
  int SentCount() const;
  int FailedCount() const;

  // Button2: Start (or Continue) while not sending, else Stop. Account: the
  // one chosen in Options; threads: the Options thread count.
  void Button2Click(const TProfile* account, int threads);
  // False when the run did not start (nothing pending, an SMTP port that is
  // not a number, the run files cannot be opened: the last two say so).
  bool Start(const TProfile& account, int threads);
  void Stop();
  // One pass of the supervision timer (the timer is on while Timer3Enabled).
  void Timer3Timer();
  bool Timer3Enabled() const { return timer3_; }
  // Button5, idle only.
  void ResetFailedItems();
  // Shows what worker threads left for the window, at most about twenty
  // times a second unless forced.
  void FlushDisplay(bool force = false);

  // The look-up made before an item is given up; IsInternetReachable on
  // ConnectionCheckHost() unless replaced.
  std::function<bool()> InternetCheck;

  // Under the state's lock: the next item neither sent nor failed, -1 at the end.
  int NextPendingItem();
  void RecordSuccess(int index);
  // The text goes to "Failed.dat" as it is; in memory without characters 0..13.
  void RecordFailure(int index, const std::string& message);

  bool Aborting() const { return aborting_.load(); }
  int ActiveThreads() const { return activeThreads_; }
  int SenderSlots() const { return static_cast<int>(senders_.size()); }
  TMailSender* Sender(int slot) const { return senders_.at(static_cast<size_t>(slot)).get(); }
  const TProfile& Account() const { return account_; }
  int Port() const { return port_; }
  TPreparedMailing& Mailing() { return mailing_; }
  const IRunClock& Clock() const { return clock_; }

private:
  friend class TConnector;
  void SetSendState(TSendState state) { state_.Set(state); }
  void ShowStatus(const std::string& text) { view_.ShowStatus(text); }
  void ShowError(const std::string& text) { view_.ShowError(text); }
  void FreeSenders();
  void SetTimer3(bool on);
  void CloseRunFiles();
  void HandleFailure(TMailSender& s);
  void Release(size_t slot);
  void DisplayRunState();
  void NoteFileError(int index);

  TPreparedMailing& mailing_;
  TSendStateOwner& state_;
  ISendView& view_;
  const IRunClock& clock_;
  TProfile account_;
  int port_ = 0;

  std::unique_ptr<TConnector> connector_;
  std::vector<std::unique_ptr<TMailSender>> senders_;
  std::atomic<bool> aborting_{false};
  int activeThreads_ = 0;
  std::atomic<int> connectedCount_{0};
  int itemCursor_ = 0;
  TMailRunFiles files_;
  std::string fileError_;  // a failed record write, shown once by the main thread
  bool fileErrorShown_ = false;
  TSendProgress progress_;
  bool timer3_ = false;
  std::shared_ptr<TMailRun*> self_;  // posted display calls find the run through it
  TDisplayRelay relay_;
};

// Prepare's, Clear List's and the loading's view: the shared state, the
// window's controls, and the counters and bar they share with the run.
class TListOperationsView final : public IMailingView {
public:
  TListOperationsView(TSendStateOwner& state, TMailRun& run, ISendView& view) : state_(state), run_(run), view_(view) {}

  TSendState SendState() const override { return state_.State(); }
  void SetSendState(TSendState state) override { state_.Set(state); }
  void SetWaitCursor(bool on) override { view_.SetWaitCursor(on); }
  void ShowDescription(const std::string& text) override { view_.ShowDescription(text); }
  void ShowStatus(const std::string& text) override { view_.ShowStatus(text); }
  void ShowCounters() override { run_.ShowCounters(); }
  void ResetProgress() override { run_.ResetProgress(); }
  void ShowProgress(int done, int total) override { run_.ShowProgress(done, total); }
  void UpdateCaption() override { view_.UpdateCaption(); }
  void ShowError(const std::string& text) override { view_.ShowError(text); }
  bool Confirm(const std::string& question) override { return view_.Confirm(question); }

private:
  TSendStateOwner& state_;
  TMailRun& run_;
  ISendView& view_;
};
