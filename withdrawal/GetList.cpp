#include "withdrawal/GetList.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <thread>

#include "platform/SysUtils.h"
#include "withdrawal/MailView.h"

namespace {

constexpr const char* SelectAccountText = "Please, Select an Account";
constexpr const char* EnterSettingsText = "Please, enter POP3 settings";
constexpr const char* NoCredentialsText = "The POP3 Username or Password is absent, do you want to continue?";

// The run's flags go back however it ends, so a later Run starts afresh.
class TRunFlags {
public:
  TRunFlags(bool& running, bool& stop) : running_(running), stop_(stop) {
    running_ = true;
    stop_ = false;
  }
  ~TRunFlags() {
    running_ = false;
    stop_ = false;
  }
  TRunFlags(const TRunFlags&) = delete;
  TRunFlags& operator=(const TRunFlags&) = delete;

private:
  bool& running_;
  bool& stop_;
};

// At the run's end, however it ends: commands and cursor back, the connection
// closed (QUIT: the server then removes what was marked, which is only what
// was stored).
class TCleanUp {
public:
  TCleanUp(IGetListView& view, TIdPOP3& pop3) : view_(view), pop3_(pop3) { view_.SetRunning(true); }
  ~TCleanUp() {
    // The client outlives the run: it must not call back into it.
    pop3_.OnWait = nullptr;
    try {
      view_.SetRunning(false);
    } catch (...) {
    }
    try {
      if (pop3_.Connected()) pop3_.Disconnect();
    } catch (...) {
    }
  }
  TCleanUp(const TCleanUp&) = delete;
  TCleanUp& operator=(const TCleanUp&) = delete;

private:
  IGetListView& view_;
  TIdPOP3& pop3_;
};

// " Messsage %d of %d"
std::string CounterText(int received, int count) {
  return " Messsage " + std::to_string(received) + " of " + std::to_string(count);
}

std::string FinalText(int received) {
  return received == 0 ? std::string(" No messages") : " " + std::to_string(received) + " Message(s) received";
}

// The whole message; one the MIME layer cannot take apart is kept as its raw
// text, so it is stored and shown rather than lost. One the server says is
// over the limit is refused without crossing the link (a slow one would hold
// the window for the whole transfer); a server that says nothing, or too
// little, meets the limit while the message arrives.
void FetchMessage(TIdPOP3& pop3, int number, TIdMessage& msg) {
  const int64_t stated = pop3.RetrieveMsgSize(number);
  if (stated > 0 && static_cast<uint64_t>(stated) > pop3.MaxMessageSize) throw EIdMessageTooLarge(pop3.MaxMessageSize);
  std::string raw = pop3.RetrieveRaw(number);
  try {
    msg.LoadFromString(raw, false);
  } catch (const std::exception&) {
    const bool noDecode = msg.NoDecode;
    msg.NoDecode = true;
    msg.LoadFromString(raw, false);
    msg.NoDecode = noDecode;
  }
}

// What the list holds of a stored message: everything but the bodies, as the
// store's listing reads it.
std::unique_ptr<TIdMessage> ListCopy(TIdMessage& msg) {
  auto copy = std::make_unique<TIdMessage>(std::move(msg));
  copy->Body.clear();
  for (int i = 0; i < copy->MessageParts.Count(); ++i)
    if (auto* text = dynamic_cast<TIdText*>(&copy->MessageParts[i])) text->Body.clear();
  return copy;
}

}  // namespace

TGetListResult TGetList::Run(TExtractData& data, const TProfile* account, IGetListView& view) {
  TGetListResult result;
  if (running_) {
    result.Outcome = TGetListOutcome::Busy;
    return result;
  }
  TRunFlags flags(running_, stopRequested_);
  result.Outcome = TGetListOutcome::Refused;
  if (!account) {
    view.ShowError(SelectAccountText);
    return result;
  }
  // The accounts may be edited while events are processed.
  const TProfile profile = *account;
  if (profile.Pop3Server.empty() || profile.Pop3Port.empty()) {
    view.ShowError(EnterSettingsText);
    return result;
  }
  if ((profile.UserId.empty() || profile.Password.empty()) && !view.GoOnWithoutCredentials(NoCredentialsText))
    return result;
  // Closed while the box was open.
  if (stopRequested_) {
    result.Outcome = TGetListOutcome::Stopped;
    return result;
  }

  TIdPOP3& pop3 = data.CreatePop3Client();
  result.Outcome = TGetListOutcome::Failed;
  // The ids of the messages this run stored. A run that ends early still makes
  // them known: its deletions may never reach the server (a lost connection),
  // and the next run must not store them again.
  TUniqueIds storedIds;
  bool completed = false;
  struct TKeepStored {
    TExtractData& data;
    const TUniqueIds& ids;
    const bool& completed;
    ~TKeepStored() {
      if (completed || ids.empty()) return;
      try {
        data.AddKnownMessageIds(ids);
      } catch (...) {
      }
    }
  } keepStored{data, storedIds, completed};
  TCleanUp cleanUp(view, pop3);
  // A stop asked for while events were processed ends the run there.
  auto pump = [&] {
    view.ProcessPendingEvents();
    if (stopRequested_) result.Outcome = TGetListOutcome::Stopped;
    return !stopRequested_;
  };
  // The window keeps painting while a POP3 call waits; closing it ends the wait.
  pop3.OnWait = pump;
  // A failure that comes of the stop is no news to the user.
  auto report = [&](const std::exception& e) {
    if (stopRequested_)
      result.Outcome = TGetListOutcome::Stopped;
    else
      view.ShowError(e.what());
  };
  try {
    view.ShowStatus(" Connecting....");
    // Shown before the steps that may wait for the server.
    if (!pump()) return result;
    if (pop3.Connected()) pop3.Disconnect();
    pop3.Host = profile.Pop3Server;
    pop3.Port = StrToInt(profile.Pop3Port);
    pop3.Username = profile.UserId;
    pop3.Password = profile.Password;
    pop3.ConnectTimeoutMs = ConnectTimeoutMs;
    pop3.ReadTimeoutMs = ReplyTimeoutMs;
    pop3.MaxMessageSize = MaxMessageSize;
    try {
      pop3.Connect();
    } catch (const std::exception& e) {
      report(e);
      view.ShowStatus(" Not connected");
      if (!stopRequested_) result.Outcome = TGetListOutcome::NotConnected;
      return result;
    }
    view.ShowStatus(" Connected");
    if (!pump()) return result;
    data.MessageCount = pop3.CheckMessages();
    if (!pump()) return result;

    const bool leaveOnServer = profile.LeaveCopyOnServer;
    if (data.MessageCount > 0) {
      TIdMessage msg;
      msg.AttachmentFolder = AttachmentFolder;
      data.SeenIds.clear();
      for (int i = 1; i <= data.MessageCount; ++i) {
        if (!pump()) return result;
        msg.Clear();
        // Outside the message's own handling: a header that cannot be read ends the run.
        pop3.RetrieveHeader(i, msg);
        const std::string id = msg.MsgId;
        // Never true for a message without an id: it is fetched before it may
        // be deleted, and left on the server it is fetched by every run.
        const bool known = data.IsKnownMessageId(id);
        // A new message's id counts as seen once it is stored: one that failed is
        // fetched again by the next run instead of being taken as known.
        if (leaveOnServer && known) data.SeenIds.push_back(id);
        try {
          if (!known) {
            msg.Clear();
            FetchMessage(pop3, i, msg);
            ++result.Received;
            view.ShowStatus(CounterText(result.Received, data.MessageCount));
            view.ProcessPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(GetListStoreWaitMs));
            const std::string entry = data.StoreMessage(msg, InboxFolderName);
            if (entry.empty())
              throw EIdException("The message could not be written to \"" + data.StoreFileName() + "\"");
            if (!id.empty()) storedIds.push_back(id);
            if (leaveOnServer && !id.empty()) data.SeenIds.push_back(id);
            int index = InsertMailNewestFirst(data.MailList, {entry, ListCopy(msg)});
            msg = TIdMessage();
            msg.AttachmentFolder = AttachmentFolder;
            view.MessageStored(index);
          }
          if (!leaveOnServer) pop3.Delete(i);
        } catch (const std::exception& e) {
          report(e);
          // Nothing more can come over a lost connection.
          if (stopRequested_ || !pop3.Connected()) return result;
        }
        if (stopRequested_) {
          result.Outcome = TGetListOutcome::Stopped;
          return result;
        }
      }
      data.CommitMessageIds();
    }
    completed = true;
    view.ShowStatus(FinalText(result.Received));
    result.Outcome = TGetListOutcome::Completed;
  } catch (const std::exception& e) {
    report(e);
  }
  return result;
}
