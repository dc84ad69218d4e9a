#pragma once
// What the mailing-run tests share: a window that records what it is shown,
// a clock the test moves, a prepared list on disk, and the loop that stands
// in for the window's event loop (the dispatcher pumped, the supervision
// timer called while it is on).

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "mailing/MailListFiles.h"
#include "mailing/MailRun.h"
#include "mailing/OneMail.h"
#include "mailing/PreparedMailing.h"
#include "platform/Dispatcher.h"
#include "platform/MessageBox.h"

class TRecordingSendView : public ISendView, public ISendCurrentView {
public:
  void SendStateChanged(TSendState s, const TSendControls& c) override {
    state = s;
    controls = c;
    states.push_back(s);
  }
  void SetWaitCursor(bool) override {}
  void ShowDescription(const std::string& t) override { description = t; }
  void ShowStatus(const std::string& t) override {
    status = t;
    statuses.push_back(t);
  }
  void ShowCounters(const TSendCounters& c) override { counters = c; }
  void ShowProgress(int p, const std::string& c) override {
    position = p;
    caption = c;
  }
  void UpdateCaption() override { ++captions; }
  void DisableStartButton() override { ++startDisabled; }
  void SetTimer3(bool on) override { timer3 = on; }
  void BringToFront() override { ++broughtToFront; }
  // The boxes as the window shows them.
  void ShowSendResult(const std::string& t) override { InfoBox(t); }
  void ShowError(const std::string& t) override { ErrorBox(t); }
  bool Confirm(const std::string& q) override { return ConfirmBox(q) == TMsgResult::Yes; }
  bool AskRetry(const std::string& t) override {
    return MessageService().Show(TMsgKind::Error, t, "Error", TMsgButtons::AbortRetry) == TMsgResult::Retry;
  }

  // The statuses shown that are not per-item results.
  std::vector<std::string> RunStatuses() const {
    std::vector<std::string> out;
    for (const auto& s : statuses)
      if (s.rfind("Success: ", 0) != 0 && s.rfind("Failure: ", 0) != 0 && s.find(" connected") == std::string::npos)
        out.push_back(s);
    return out;
  }

  TSendState state = ssIdle;
  TSendControls controls;
  std::vector<int> states;
  std::string description, status, caption;
  std::vector<std::string> statuses;
  TSendCounters counters;
  int position = 0, captions = 0, startDisabled = 0, broughtToFront = 0;
  bool timer3 = false;
};

// Senders read it while the test moves it.
class TFakeRunClock : public IRunClock {
public:
  TDateTime Now() const override { return now.load(); }
  void AddSeconds(double s) { now = now.load() + s / 86400.0; }
  std::atomic<TDateTime> now{46000.5};
};

// Items "r<i>@<domain>" (i from 0), each with subject "Item <i>" and a small body.
inline TMailList RunList(int count, const std::string& domain = "sink.test") {
  TMailList list;
  list.Prepared = 46000;
  list.Description = "\"Run\" Using \"Clients\"";
  list.Charset = "utf-8";
  list.ContentType = "text/plain";
  for (int i = 0; i < count; ++i) {
    TMailItem item;
    item.To = "r" + std::to_string(i) + "@" + domain;
    item.Subject = "Item " + std::to_string(i);
    item.Body = "Hello number " + std::to_string(i) + "\r\nSecond line";
    list.Items.push_back(item);
  }
  return list;
}

// The list written to Dir's three files and loaded back as the window loads it.
inline void PutList(TPreparedMailing& mailing, const TMailList& list) {
  SaveListFiles(mailing.Dir(), list);
  mailing.MailList = TMailList{};
  mailing.SentCount = mailing.FailedCount = 0;
  LoadMailList(mailing.Dir() + MailListFileName, mailing.MailList);
  LoadFailedList(mailing.Dir() + FailedListFileName, mailing.MailList);
  LoadMailIndex(mailing.Dir() + MailIndexFileName, mailing.MailList, mailing.SentCount, mailing.FailedCount);
}

// The window's event loop until Done or the time-out (false then).
inline bool Drive(TMailRun& run, TDispatcher& d, const std::function<bool()>& done, int timeoutMs = 60000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    d.ProcessPending();
    if (run.Timer3Enabled()) run.Timer3Timer();
    d.WaitForWork(5);
  }
  d.ProcessPending();
  return true;
}

inline TProfile ServerAccount(int port) {
  TProfile p;
  p.AccountName = "Sink";
  p.Name = "Run Sender";
  p.Email = "sender@sink.test";
  p.SmtpServer = "127.0.0.1";
  p.SmtpPort = std::to_string(port);
  p.DirectDelivery = false;
  return p;
}
