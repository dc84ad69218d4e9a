#include "mailing/EditorSync.h"

void TEditorSync::AssignHTML() {
  DocumentReady = false;
  try {
    host_.LoadSourceIntoBrowser();
  } catch (...) {
    SourceEdited = false;
    throw;
  }
  SourceEdited = false;
}

void TEditorSync::UpdateUI() {
  SourceEdited = false;
  HtmlEdited = true;
  host_.RefreshCommands();
  host_.RefreshEditCommands();
  if (DocumentReady && host_.HtmlSnapshotEmpty()) host_.SetHtmlSnapshot(host_.GetHtmlStr());
}

void TEditorSync::DocumentComplete() {
  DocumentReady = true;
  HtmlEdited = false;
  if (!EditorLoading) return;
  EditorLoading = false;
  AssignHTML();
  AssignHTML();
  host_.EnableEditorViews();
  host_.StartTimer1();
}

void TEditorSync::SourceChanged() {
  SourceEdited = true;
  HtmlEdited = false;
  host_.RefreshEditCommands();
}

void TEditorSync::CopyDocumentToSource() {
  host_.SetSourceText(host_.GetHtmlStr());
  HtmlEdited = false;
  SourceEdited = false;
}

void TEditorSync::LeaveEditTab() {
  if (HtmlEdited) CopyDocumentToSource();
}

void TEditorSync::LeaveSourceTab() {
  if (!SourceEdited) return;
  AssignHTML();
  HtmlEdited = false;
  SourceEdited = false;
}

void TEditorSync::Timer1Fired() {
  host_.SetSourceText(host_.GetHtmlStr());
  host_.TakeProjectSnapshot();
}

void TEditorSync::Timer2Fired() { host_.SetSourceText(host_.GetHtmlStr()); }

void TEditorSync::SyncEditedHtml() {
  if (HtmlEdited) CopyDocumentToSource();
}
