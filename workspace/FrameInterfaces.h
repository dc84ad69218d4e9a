#pragma once
// What the main window frame asks of the subsystems around it. app/ hands
// each one to the frame (TLPMain::Services); one that is not set means that
// part of the program is not there yet, and the frame does nothing for it.

#include <functional>
#include <string>
#include <vector>

#include "workspace/MailMode.h"
#include "workspace/SendState.h"

// The mailing window (TSendForm).
class IMailingWindow {
public:
  virtual ~IMailingWindow() = default;
  virtual TSendState SendState() const = 0;  // preparing also while the list loads
  virtual void ShowMailing() = 0;            // modal
  // "Send Current Mail": the message of the open table's current record, at once.
  virtual void SendCurrent1Click() = 0;
};

// The project file: open, "Save Project", and the recipient list of the open project.
class IProjectFile {
public:
  virtual ~IProjectFile() = default;
  virtual void OpenMailFile(const std::string& FileName) = 0;
  virtual void SaveMail0Click() = 0;  // may be cancelled or fail: the project stays modified then
  virtual void ListToProject() = 0;
};

// The open table, as command enabling and the caption read it, and the table
// commands the frame starts itself (command line, close).
class ITableAccess {
public:
  virtual ~ITableAccess() = default;
  virtual bool TableOpen() const = 0;
  virtual bool TableEmpty() const = 0;
  virtual bool SortOn() const = 0;
  virtual std::string SortText() const = 0;  // the query's sort ("CITY ASC"), empty for none
  virtual std::string TableName() const = 0;
  virtual bool SQLQueryMode() const = 0;
  virtual void OpenDBFFile(const std::string& FileName) = 0;
  virtual void OpenAccessFile(const std::string& FileName) = 0;
  // A changed record is posted, an unchanged one cancelled. False when the post failed.
  virtual bool PostPending() = 0;
  virtual void SaveTableConfig() = 0;
};

// The Accounts dialog.
class IAccounts {
public:
  virtual ~IAccounts() = default;
  virtual void ShowAccounts() = 0;
};

// The Options dialog.
class IOptionsDialog {
public:
  virtual ~IOptionsDialog() = default;
  // Modal; the settings tell their readers what changed.
  virtual void ShowOptions() = 0;
};

// The highlight rules of the Filter page: shows the rule of the chosen colour slot.
class IHighlightSlots {
public:
  virtual ~IHighlightSlots() = default;
  virtual void ColorComboBox1Click() = 0;
};

// The report windows: the configuration dialog and the viewer's temporary file.
class IReports {
public:
  virtual ~IReports() = default;
  virtual void ReportConfiguration1Click() = 0;
  virtual std::string ReportViewerFileName() const = 0;  // "" when none
};

// The Mailing page's preview: its temporary file.
class IMailPreview {
public:
  virtual ~IMailPreview() = default;
  virtual std::string PreviewFileName() const = 0;  // "" when none
};

// The Edit menu's commands, in the order of the editor's command table.
enum TEditCommand { ecCut = 0, ecCopy = 1, ecPaste = 2, ecUndo = 3, ecRedo = 4, ecSelectAll = 5 };

// The Mailing page's HTML editor: the Edit commands while its document has
// the focus, the mail mode, and its document for the project's state.
// The HTML editor's document, as the project's modified state compares it.
class IHtmlDocument {
public:
  virtual ~IHtmlDocument() = default;
  virtual bool DocumentReady() const = 0;
  virtual std::string GetHtmlStr() = 0;
};

class IHtmlEditor : public IHtmlDocument {
public:
  virtual bool HasFocus() const = 0;
  virtual void ExecEditCommand(TEditCommand Command) = 0;
  virtual void UpdateEditCommands() = 0;
  virtual void SetEditorMode(TMailMode Mode) = 0;
  // Pending edits of the document into the Source text (save, preview).
  virtual void SyncEditedHtml() = 0;
};

// The Withdrawal page's commands that the frame and the mailing window start.
class IWithdrawalPage {
public:
  virtual ~IWithdrawalPage() = default;
  virtual void TabSheet4Show() = 0;             // the page was shown
  virtual void UpdateWithdrawalControls() = 0;  // its enabling
  // The account combo refilled with the account names in account order; the
  // selected scheme's account is selected again.
  virtual void FillAccountCombo(const std::vector<std::string>& names) = 0;
};

// Everything the frame is given; each may stay null.
struct TFrameServices {
  IMailingWindow* Mailing = nullptr;
  IProjectFile* Project = nullptr;
  ITableAccess* Table = nullptr;  // the frame's own table commands unless replaced
  IAccounts* Accounts = nullptr;
  IOptionsDialog* Options = nullptr;
  IHighlightSlots* Highlight = nullptr;
  IReports* Reports = nullptr;
  IMailPreview* Preview = nullptr;
  IWithdrawalPage* Withdrawal = nullptr;
  IHtmlEditor* Editor = nullptr;
  // Writes the first run's example project to a path; false when it failed.
  std::function<bool(const std::string& path)> WriteExampleProject;
};
