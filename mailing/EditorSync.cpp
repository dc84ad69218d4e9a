#include "mailing/EditorSync.h"

void TEditorSync::AssignHTML() {
  DocumentReady = false;
  DocumentHoldsSource = false;
  try {
    host_.LoadSourceIntoBrowser();
  } catch (...) {
    SourceEdited = false;
    throw;
  }
  SourceEdited = false;
  DocumentHoldsSource = true;
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
  DocumentHoldsSource = false;
  HtmlEdited = false;
  host_.RefreshEditCommands();
}

void TEditorSync::SourceReplaced() {
  // The document's edits belonged to the text that was replaced.
  DocumentHoldsSource = false;
  HtmlEdited = false;
}

void TEditorSync::EnsureDocument() {
  if (EditorLoading || DocumentHoldsSource) return;
  AssignHTML();
  HtmlEdited = false;
}

void TEditorSync::BeforeUserChange() {
  EnsureDocument();
  if (DocumentReady && DocumentHoldsSource && host_.HtmlSnapshotEmpty()) host_.SetHtmlSnapshot(host_.GetHtmlStr());
}

bool TEditorSync::CopyDocumentIfItHoldsSource() {
  // A document that never held this Source text would replace it with another text.
  if (!DocumentHoldsSource) return false;
  host_.SetSourceText(host_.GetHtmlStr());
  DocumentHoldsSource = true;
  return true;
}

void TEditorSync::CopyDocumentToSource() {
  CopyDocumentIfItHoldsSource();
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
  if (!CopyDocumentIfItHoldsSource()) AssignHTML();
  host_.TakeProjectSnapshot();
}

void TEditorSync::Timer2Fired() { CopyDocumentIfItHoldsSource(); }

void TEditorSync::SyncEditedHtml() {
  if (HtmlEdited) CopyDocumentToSource();
}
