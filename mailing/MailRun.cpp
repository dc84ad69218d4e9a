#include "mailing/MailRun.h"

#include <algorithm>

#include "mailing/Internet.h"
#include "mailing/MailClient.h"
#include "mailing/MailSender.h"
#include "workspace/AppSettings.h"

namespace {

class TSystemRunClock : public IRunClock {
public:
  TDateTime Now() const override { return ::Now(); }
};

constexpr double SecondsPerDay = 86400.0;

std::string WithoutControlChars(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (static_cast<unsigned char>(c) > 13) out += c;
  return out;
}

}  // namespace

const IRunClock& SystemRunClock() {
  static const TSystemRunClock clock;
  return clock;
}

TMailRun::TMailRun(TPreparedMailing& mailing, TSendStateOwner& state, ISendView& view, const IRunClock& clock)
    : InternetCheck([] { return IsInternetReachable(ConnectionCheckHost()); }),
      mailing_(mailing),
      state_(state),
      view_(view),
      clock_(clock),
      self_(std::make_shared<TMailRun*>(this)),
      relay_([weak = std::weak_ptr<TMailRun*>(self_)] {
        if (auto run = weak.lock()) (*run)->FlushDisplay();
      }) {}

TMailRun::~TMailRun() {
  self_.reset();  // display calls still queued find nothing
  aborting_ = true;
  connector_.reset();
  for (auto& s : senders_)
    if (s) s->SMTP.Disconnect();  // a sender blocked in a transfer returns at once
  FreeSenders();
  files_.Close();
}

// ---- window state

TSendCounters TMailRun::Counters() const {
  std::lock_guard<std::mutex> g(state_.Lock());
  return SendCounters(mailing_.SentCount, mailing_.FailedCount, static_cast<int>(mailing_.MailList.Items.size()),
                      activeThreads_);
}

int TMailRun::SentCount() const {
  std::lock_guard<std::mutex> g(state_.Lock());
  return mailing_.SentCount;
}

int TMailRun::FailedCount() const {
  std::lock_guard<std::mutex> g(state_.Lock());
  return mailing_.FailedCount;
}

void TMailRun::ShowCounters() { view_.ShowCounters(Counters()); }

void TMailRun::ResetProgress() {
  progress_.Reset();
  view_.ShowProgress(progress_.Position(), progress_.Caption());
}

void TMailRun::ShowProgress(int done, int total) {
  progress_.Apply(done, total);
  view_.ShowProgress(progress_.Position(), progress_.Caption());
}

// Counters and progress as the list stands.
void TMailRun::DisplayRunState() {
  ShowCounters();
  int done = 0, items = 0;
  {
    std::lock_guard<std::mutex> g(state_.Lock());
    done = mailing_.SentCount + mailing_.FailedCount;
    items = static_cast<int>(mailing_.MailList.Items.size());
  }
  ShowProgress(done, items);
}

void TMailRun::FlushDisplay(bool force) {
  std::optional<std::string> status;
  bool counters = false;
  if (relay_.Take(status, counters, force)) {
    if (status) view_.ShowStatus(*status);
    if (counters) DisplayRunState();
  }
  std::string error;
  {
    std::lock_guard<std::mutex> g(state_.Lock());
    if (!fileError_.empty() && !fileErrorShown_) {
      fileErrorShown_ = true;
      error = fileError_;
    }
  }
  if (!error.empty()) ShowError(error);
}

void TMailRun::SetTimer3(bool on) {
  if (timer3_ == on) return;
  timer3_ = on;
  view_.SetTimer3(on);
}

// ---- Start and Stop

void TMailRun::Button2Click(const TProfile* account, int threads) {
  if (state_.State() == ssSending) {
    Stop();
    return;
  }
  if (!account) {
    ShowError("Account is not selected");
    return;
  }
  Start(*account, threads);
}

bool TMailRun::Start(const TProfile& account, int threads) {
  if (state_.State() != ssIdle) return false;
  const int items = static_cast<int>(mailing_.MailList.Items.size());
  const int pending = items - mailing_.SentCount - mailing_.FailedCount;
  if (pending <= 0) return false;
  int port = 0;
  std::string error;
  if (!SmtpPortOf(account, port, error)) {
    ShowError(error);
    return false;
  }
  if (!files_.Open(mailing_.Dir())) {
    ShowError(files_.Error());
    return false;
  }
  account_ = account;
  port_ = port;
  fileError_.clear();
  fileErrorShown_ = false;

  SetSendState(ssSending);
  aborting_ = false;
  ResetProgress();
  ShowProgress(mailing_.SentCount + mailing_.FailedCount, items);
  itemCursor_ = 0;
  FreeSenders();
  const int n = std::min(pending, std::clamp(threads, MinThreads, MaxThreads));
  for (int i = 0; i < n; ++i) senders_.push_back(std::make_unique<TMailSender>(*this));
  activeThreads_ = n;
  if (account_.DirectDelivery) {
    SetTimer3(true);
  } else {
    connectedCount_ = 0;
    ShowStatus("Connecting to SMTP Server...");
    connector_.reset();
    connector_ = std::make_unique<TConnector>(*this);
    connector_->Start();
  }
  return true;
}

void TMailRun::Stop() {
  aborting_ = true;
  view_.DisableStartButton();
}

void TMailRun::FreeSenders() {
  senders_.clear();
  activeThreads_ = 0;
}

void TMailRun::CloseRunFiles() { files_.Close(); }

// ---- the senders' items

int TMailRun::NextPendingItem() {
  std::lock_guard<std::mutex> g(state_.Lock());
  const auto& items = mailing_.MailList.Items;
  while (itemCursor_ < static_cast<int>(items.size())) {
    const int i = itemCursor_++;
    if (!items[static_cast<size_t>(i)].Sent && !items[static_cast<size_t>(i)].Failed) return i;
  }
  return -1;
}

void TMailRun::RecordSuccess(int index) {
  std::string status;
  {
    std::lock_guard<std::mutex> g(state_.Lock());
    TMailItem& item = mailing_.MailList.Items.at(static_cast<size_t>(index));
    if (item.Sent) return;  // counted once, whatever sent it again
    if (!aborting_) status = "Success: " + item.To;
    ++mailing_.SentCount;
    item.SentTime = clock_.Now();
    item.Sent = true;
    item.Failed = false;
    if (!files_.WriteIndexRecord(index, item)) NoteFileError(index);
  }
  // The relay may run its call at once (no dispatcher): never under the lock.
  if (!status.empty()) relay_.Status(std::move(status));
  relay_.Counters();
}

void TMailRun::RecordFailure(int index, const std::string& message) {
  std::string status;
  {
    std::lock_guard<std::mutex> g(state_.Lock());
    TMailItem& item = mailing_.MailList.Items.at(static_cast<size_t>(index));
    if (!aborting_) status = "Failure: " + item.To;
    ++mailing_.FailedCount;
    item.SentTime = clock_.Now();
    item.ErrorText = WithoutControlChars(message);
    item.Sent = false;
    item.Failed = true;
    if (!files_.WriteIndexRecord(index, item) || !files_.AppendFailed(index, message)) NoteFileError(index);
  }
  if (!status.empty()) relay_.Status(std::move(status));
  relay_.Counters();
  FlushDisplay(true);
}

// Under the state's lock: the first failed write is shown once by the main thread.
void TMailRun::NoteFileError(int index) {
  if (!fileError_.empty()) return;
  fileError_ =
      files_.Error().empty() ? "Cannot record the result of item " + std::to_string(index + 1) : files_.Error();
}

// ---- supervision

void TMailRun::Release(size_t slot) {
  senders_[slot].reset();
  --activeThreads_;
}

void TMailRun::HandleFailure(TMailSender& s) {
  if (s.Retries <= MaxRetries - 1) {
    s.Start();
  } else if (InternetCheck()) {
    s.Retries = 0;
    RecordFailure(s.ItemIndex, s.ErrorText);
    s.Start();
  } else if (view_.AskRetry("No connection to Internet")) {
    // Only the senders stopped on a failure go again. One still in its attempt
    // finishes it; one that has just recorded a success must take its next
    // item, never its last one again.
    for (auto& other : senders_) {
      if (!other) continue;
      if (other.get() != &s && !(other->Idle() && other->Status == asError)) continue;
      other->Retries = 1;
      other->Working = true;
      other->Start();
    }
  } else {
    aborting_ = true;
    view_.DisableStartButton();
    s.Working = false;
  }
  DisplayRunState();
}

void TMailRun::Timer3Timer() {
  SetTimer3(false);
  FlushDisplay();
  if (senders_.empty()) return;
  const TDateTime now = clock_.Now();
  for (size_t i = 0; i < senders_.size(); ++i) {
    TMailSender* s = senders_[i].get();
    if (!s) continue;
    if (s->Working && aborting_ && now > s->StartTime + AbortCutSeconds / SecondsPerDay) {
      s->Stop();
      s->Working = false;
      s->Retries = MaxRetries;
      // Cut in both delivery modes: a transfer stalled at the server would
      // otherwise hold the run until the server's time-out.
      s->SMTP.Disconnect();
    }
    if (!s->Idle()) continue;
    s->Working = true;
    if (s->Status == asError && !aborting_) {
      HandleFailure(*s);
      break;
    }
    DisplayRunState();
    if (aborting_ || s->ItemIndex < 0) {
      const bool aborted = aborting_;
      if (aborted && account_.DirectDelivery) DisconnectQuietly(s->SMTP);
      Release(i);
      if (activeThreads_ == 0) {
        CloseRunFiles();
        FlushDisplay(true);
        ShowStatus(aborted ? "Mailing Aborted" : "Mailing Completed");
        SetSendState(ssIdle);
        view_.BringToFront();
      } else if (aborted) {
        ShowStatus("Aborting...");
      }
      DisplayRunState();
      view_.UpdateCaption();
    } else {
      s->Start();
    }
  }
  if (activeThreads_ >= 1) SetTimer3(true);
}

// ---- Reset Failed Items

void TMailRun::ResetFailedItems() {
  if (state_.State() != ssIdle) return;
  {
    std::lock_guard<std::mutex> g(state_.Lock());
    for (auto& item : mailing_.MailList.Items) {
      if (!item.Failed) continue;
      item.Failed = false;
      item.SentTime = 0;
      item.ErrorText.clear();
      --mailing_.FailedCount;
    }
  }
  DisplayRunState();
  try {
    SaveMailIndex(mailing_.Dir() + MailIndexFileName, mailing_.MailList);
    SaveFailedList(mailing_.Dir() + FailedListFileName, mailing_.MailList);
  } catch (const EMailFileError& e) {
    ShowError(e.what());
  }
  SetSendState(ssIdle);
  DisplayRunState();
  view_.UpdateCaption();
}
