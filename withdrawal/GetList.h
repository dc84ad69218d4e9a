#pragma once
// Get List: logs on to the POP3 server of the chosen account, fetches every
// message the local store does not know yet into the folder "Inbox", and
// deletes the messages on the server unless the account leaves mail there
// (then the known ids keep later runs from fetching them again).
//
// It runs on the UI thread inside the command's handler. The window stays
// responsive because the run asks the view to process pending events between
// its steps and while a POP3 call waits for the server; every POP3 call is
// bounded by the connect and reply time-outs, and a greeting that is not
// POP3's fails at once.
//
// Whatever the user does while events are processed cannot break the run: a
// second Run returns at once, the account is copied at the start, and a stop
// request (the window closing) ends the run at the next such point, cleaning
// up as any other end does.
//
// Binding: the page owns one TGetList for the one TExtractData and calls Run
// from both Get List commands with the account selected in the account combo.
// The view must outlive Run: a window asked to close while Running() calls
// RequestStop, refuses the close, and closes itself once Run has returned.
//
// Safety: a message is deleted on the server only after it was stored (or was
// known from an earlier run); a message without a Message-Id is never taken as
// known. The known ids are replaced only by a run that reached the end of the
// mailbox; a run that ends early adds the ids of what it stored, so the next
// run does not store them again. A message that fails (refused, too large,
// not storable) is reported and the run goes on with the next one, while a
// lost connection ends the run. A message's size is asked before it is
// fetched: one the server says is too large is not fetched at all.

#include <cstddef>
#include <filesystem>
#include <string>

#include "withdrawal/ExtractData.h"
#include "workspace/Profile.h"

// The page's side of Get List. Every call comes on the UI thread from inside
// TGetList::Run.
class IGetListView {
public:
  virtual ~IGetListView() = default;
  // Panel 0 of the status bar, repainted at once.
  virtual void ShowStatus(const std::string& text) = 0;
  // True at the start: the commands Get List, Delete, Response and Extract
  // (tool bar) and Get Mail List, Delete Mail and Extract (menu) disabled, the
  // application-starting cursor. False at the end, however the run ended: the
  // default cursor and the page's enabling rule again (which must keep those
  // commands disabled while TGetList::Running()).
  virtual void SetRunning(bool running) = 0;
  // Processes pending window events; may call TGetList::RequestStop.
  virtual void ProcessPendingEvents() = 0;
  // A message was stored and inserted into TExtractData::MailList at Index
  // (the list stays newest first, bodies not held): show its row and the
  // store's count. An exception is reported like a failure of that message.
  virtual void MessageStored(int index) = 0;
  // A failure that refuses or ends the run, for an error box.
  virtual void ShowError(const std::string& text) = 0;
  // The account lacks its user id or password: the question (an error box
  // with Yes and No) whether to go on; true for Yes.
  virtual bool GoOnWithoutCredentials(const std::string& question) = 0;
};

enum class TGetListOutcome {
  Busy,          // a run was going on: nothing done
  Refused,       // a box before connecting stopped it
  NotConnected,  // connecting or logging on failed
  Failed,        // ended by an error after connecting (stored ids added to the known)
  Stopped,       // ended by RequestStop (stored ids added to the known)
  Completed,     // went through the whole mailbox
};

struct TGetListResult {
  TGetListOutcome Outcome = TGetListOutcome::Refused;
  int Received = 0;  // messages fetched (the counter of the status text)
};

// Waits of a POP3 call on a silent server.
inline constexpr int GetListConnectTimeoutMs = 30000;
inline constexpr int GetListReplyTimeoutMs = 30000;
// The largest message taken. Common providers accept at most 20-50 MB, and a
// message is held several times over while it is parsed and stored (raw
// text, decoded parts and attachments, the record): a larger one is refused
// and left on the server, not fetched when the server states its size, else
// read past on the connection.
inline constexpr size_t GetListMaxMessageSize = size_t(64) << 20;
// Between fetching and storing a message: stored messages are named by the
// time to the millisecond, so two must not be stored within the same one.
inline constexpr int GetListStoreWaitMs = 10;

class TGetList {
public:
  // Account: the entry selected in the account combo, null when none.
  TGetListResult Run(TExtractData& data, const TProfile* account, IGetListView& view);
  bool Running() const { return running_; }
  // Ends a run at its next point of processing events (nothing when idle).
  void RequestStop() {
    if (running_) stopRequested_ = true;
  }

  // Set before a run (tests and the benchmark use smaller values).
  int ConnectTimeoutMs = GetListConnectTimeoutMs;
  int ReplyTimeoutMs = GetListReplyTimeoutMs;
  size_t MaxMessageSize = GetListMaxMessageSize;
  // Where received attachments go; empty: the mail layer's default folder.
  std::filesystem::path AttachmentFolder;

private:
  bool running_ = false;
  bool stopRequested_ = false;
};
