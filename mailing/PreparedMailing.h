#pragma once
// The prepared mailing held by the mailing window: the list with its send
// counters, and the window's Prepare, Clear List and first-show loading as
// plain code, which tell and ask the user through their IMailingView.

#include <string>
#include <vector>

#include "mailing/MailList.h"
#include "mailing/SendState.h"
#include "workspace/MailMode.h"

class TDataSet;
class TMerger;

// What Prepare takes from the project and the main window.
struct TPrepareProject {
  std::string ProjectFileName;  // empty for a project never saved
  std::string TableName;        // the open table's name, empty for an SQL result
  bool SqlQueryMode = false;
  std::string Charset;  // MIME name of the project's character set
  TMailMode MailMode = mmHtml;
  std::string Subject;
  std::string HtmlSource;
  std::string PlainText;
  std::string ToAddr;  // the name of the address field
  std::vector<std::string> Attachments;
  std::vector<std::string> ReportFields;  // the report configuration, in order
};

// The mailing window's side.
class IMailingView {
public:
  virtual ~IMailingView() = default;
  virtual TSendState SendState() const = 0;
  virtual void SetSendState(TSendState state) = 0;
  virtual void SetWaitCursor(bool on) = 0;
  virtual void ShowDescription(const std::string& text) = 0;  // the description line
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void ShowCounters() = 0;   // reads SentCount, FailedCount, the item count
  virtual void ResetProgress() = 0;  // the bar to 0
  virtual void ShowProgress(int done, int total) = 0;
  virtual void UpdateCaption() = 0;                     // the main window's caption
  virtual void ShowError(const std::string& text) = 0;  // an error box
  // A Yes/No question: true for Yes.
  virtual bool Confirm(const std::string& question) = 0;
};

// "Project" Using "Table", as the main window's caption names them.
std::string ListDescription(const TPrepareProject& project);

class TPreparedMailing {
public:
  // appDir ends with "/": where the three files live.
  explicit TPreparedMailing(std::string appDir, std::string charset = {});

  TMailList MailList;
  int SentCount = 0;
  int FailedCount = 0;
  bool ListLoaded = false;

  const std::string& Dir() const { return dir_; }

  // The empty list: Prepared and Reserved 0, no description, content type,
  // attachments or items, the given charset; counters 0.
  void Reset(const std::string& charset);

  // The Prepare button: from the table's current record to the end, through
  // its filter. Only when idle. True when a new list was prepared and saved.
  bool Prepare(TDataSet* table, const TPrepareProject& project, TMerger& merge, IMailingView& view);
  // The Clear List button: only when idle, after "Clear the List?" is answered Yes.
  void ClearList(const std::string& charset, IMailingView& view);
  // The one-shot load when the window is first shown. Busy (1) while it
  // loads, unless the window is not idle: that state is left as it is.
  void LoadList(IMailingView& view);

private:
  bool Walk(TDataSet& table, const TPrepareProject& project, TMerger& merge, IMailingView& view);
  void SaveEmptyList();
  std::string dir_;
};
