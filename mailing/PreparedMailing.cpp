#include "mailing/PreparedMailing.h"

#include <exception>

#include "db/DataSet.h"
#include "db/FieldKind.h"
#include "mailing/MailListFiles.h"
#include "mailing/Merge.h"
#include "platform/SysUtils.h"
#include "workspace/FrameRules.h"

namespace {

constexpr size_t ItemGrowth = 1000;

// The report fields' values, each after " | "; Boolean and memo fields add nothing.
std::string ReportTextOf(TDataSet& table, const std::vector<std::string>& fields) {
  std::string text;
  for (const auto& name : fields) {
    TField* f = table.FindField(name);
    if (!f) continue;
    const TFieldKind kind = FieldKind(f->DataType());
    if (kind == fkBoolean || kind == fkMemo) continue;
    text += " | " + FieldValueText(f->DataSet(), f->Index());
  }
  return text;
}

}  // namespace

std::string ListDescription(const TPrepareProject& project) {
  const std::string caption = BuildCaption(project.ProjectFileName, project.TableName, project.SqlQueryMode);
  const std::string prefix = "Larkpost - ";
  return caption.compare(0, prefix.size(), prefix) == 0 ? caption.substr(prefix.size()) : caption;
}

TPreparedMailing::TPreparedMailing(std::string appDir, std::string charset) : dir_(std::move(appDir)) {
  Reset(charset);
}

void TPreparedMailing::Reset(const std::string& charset) {
  MailList = TMailList{};
  MailList.Charset = charset;
  SentCount = FailedCount = 0;
}

void TPreparedMailing::SaveEmptyList() {
  try {
    SaveListFiles(dir_, MailList);
  } catch (const EMailFileError&) {
    // The empty list stands in memory; the files are written again by the next save.
  }
  ListLoaded = true;
}

bool TPreparedMailing::Walk(TDataSet& table, const TPrepareProject& project, TMerger& merge, IMailingView& view) {
  auto& items = MailList.Items;
  size_t k = 0;
  bool first = true;
  std::string merged;
  while (true) {
    ++k;
    if (k > items.size()) items.resize(items.size() + ItemGrowth);
    TMailItem& item = items[k - 1];
    const int r = table.RecNo();
    if (project.ToAddr.empty()) {
      view.ShowError("Email address not found");
      return false;
    }
    std::string value;
    if (merge.GetTagValue(project.ToAddr, value, first)) item.To = value;
    if (merge.Values().EvalStopFlag()) return false;
    item.Subject = merge.ExpandTags(project.Subject, first);
    if (merge.Values().EvalStopFlag()) return false;
    // Merged into one reused buffer, then copied at its exact size: a body
    // grown in place keeps up to twice its length for the whole list.
    merge.ExpandTags(project.MailMode == mmHtml ? project.HtmlSource : project.PlainText, first, merged);
    item.Body.assign(merged);
    if (merge.Values().EvalStopFlag()) return false;
    first = false;
    item.ReportText = ReportTextOf(table, project.ReportFields);
    item.ErrorText.clear();
    item.SentTime = 0;
    item.Sent = item.Failed = false;
    table.Next();
    view.ShowProgress(table.RecNo(), table.RecordCount());
    if (table.RecNo() == r || table.Eof()) break;
  }
  items.resize(k);
  items.shrink_to_fit();
  return true;
}

bool TPreparedMailing::Prepare(TDataSet* table, const TPrepareProject& project, TMerger& merge, IMailingView& view) {
  if (view.SendState() != ssIdle) return false;
  if (!table || !table->Active()) {
    view.ShowError("Table is Closed");
    return false;
  }
  if (table->IsEmpty()) {
    view.ShowError("Table is Empty");
    return false;
  }
  view.SetSendState(ssPreparing);
  const int savedRecNo = table->RecNo();
  view.SetWaitCursor(true);
  table->DisableControls();

  MailList.Prepared = Now();
  MailList.Reserved = 0;
  MailList.Description = ListDescription(project);
  MailList.Charset = project.Charset;
  MailList.ContentType = project.MailMode == mmHtml ? "text/html" : "text/plain";
  MailList.Attachments = project.Attachments;
  MailList.Items.clear();
  SentCount = FailedCount = 0;
  merge.Values().SetFieldSource(*table);

  view.ShowDescription("");
  view.ShowStatus("Preparing the list...");
  view.ShowCounters();
  view.ResetProgress();

  bool ok = false;
  try {
    ok = Walk(*table, project, merge, view);
  } catch (const std::exception& e) {
    view.ShowError(e.what());
  }
  if (ok) {
    view.ShowStatus("Saving the List...");
    view.ResetProgress();
    try {
      SaveListFiles(dir_, MailList, [&view](int done, int total) { view.ShowProgress(done, total); });
      ListLoaded = true;
    } catch (const EMailFileError& e) {
      view.ShowError(e.what());
      ok = false;
    }
  }

  view.SetSendState(ssIdle);
  table->SetRecNo(savedRecNo);
  view.SetWaitCursor(false);
  table->EnableControls();
  view.ShowDescription(MailList.Description);
  if (ok) {
    view.ShowStatus("The list is prepared successfully");
  } else {
    Reset(project.Charset);
    view.ShowCounters();
    view.ResetProgress();
    view.ShowDescription("");
    view.ShowStatus("The list is not prepared");
    SaveEmptyList();
  }
  view.ShowCounters();
  view.ResetProgress();
  view.ShowProgress(SentCount + FailedCount, static_cast<int>(MailList.Items.size()));
  view.UpdateCaption();
  return ok;
}

void TPreparedMailing::ClearList(const std::string& charset, IMailingView& view) {
  if (view.SendState() != ssIdle) return;
  if (!view.Confirm("Clear the List?")) return;
  Reset(charset);
  view.ShowDescription("");
  view.ShowStatus("");
  view.ShowCounters();
  view.ResetProgress();
  view.ShowProgress(0, 0);
  view.UpdateCaption();
  SaveEmptyList();
  view.SetSendState(ssIdle);
}

void TPreparedMailing::LoadList(IMailingView& view) {
  ListLoaded = true;
  // Send Current may be on its way when the window is first shown: its state
  // stays, or a run could be started over it.
  const bool idle = view.SendState() == ssIdle;
  if (idle) view.SetSendState(ssPreparing);
  view.SetWaitCursor(true);
  SentCount = FailedCount = 0;
  MailList.Items.clear();
  view.ShowDescription("");
  view.ShowStatus("Loading the list...");
  view.ShowCounters();
  view.ResetProgress();
  try {
    FinishPendingListSave(dir_);
    TMailList list = MailList;
    int sent = 0, failed = 0;
    auto progress = [&view](int done, int total) { view.ShowProgress(done, total); };
    LoadMailList(dir_ + MailListFileName, list, progress);
    LoadFailedList(dir_ + FailedListFileName, list);
    LoadMailIndex(dir_ + MailIndexFileName, list, sent, failed);
    MailList = std::move(list);
    SentCount = sent;
    FailedCount = failed;
    view.ShowDescription(MailList.Description);
    view.ShowStatus(MailList.Items.empty() ? "" : "The list is loaded successfully");
  } catch (const EMailFileError& e) {
    Reset(MailList.Charset);
    view.ShowError(e.what());
    view.ShowStatus("The list is not loaded");
  }
  view.ShowCounters();
  view.ResetProgress();
  view.ShowProgress(SentCount + FailedCount, static_cast<int>(MailList.Items.size()));
  view.UpdateCaption();
  view.SetWaitCursor(false);
  // Not idle: the same state again, so the controls see the loaded list.
  view.SetSendState(idle ? ssIdle : view.SendState());
}
