#pragma once
// When the HTML editor's document and the Source text are copied into each
// other. The document is a working copy of the Source text: a change in one
// marks the other stale, and leaving a tab, a timer or a preview copies the
// fresh side over. The window supplies the browser and the controls.

#include <string>

class IEditorSyncHost {
public:
  virtual ~IEditorSyncHost() = default;
  // Loads the Source text into the browser and switches design mode on;
  // returns when the document is complete. May throw.
  virtual void LoadSourceIntoBrowser() = 0;
  // The document's HTML with the META tag declaring the project's charset.
  virtual std::string GetHtmlStr() = 0;
  virtual void SetSourceText(const std::string& text) = 0;
  // The window's command states and the Edit commands.
  virtual void RefreshCommands() = 0;
  virtual void RefreshEditCommands() = 0;
  // The first document is there: the View items Source, Preview and
  // Attachments may be used.
  virtual void EnableEditorViews() = 0;
  virtual void StartTimer1() = 0;
  virtual void TakeProjectSnapshot() = 0;
  // The project's HTML snapshot (empty after each snapshot until the editor
  // has its document).
  virtual bool HtmlSnapshotEmpty() = 0;
  virtual void SetHtmlSnapshot(const std::string& html) = 0;
};

class TEditorSync {
public:
  explicit TEditorSync(IEditorSyncHost& host) : host_(host) {}

  bool HtmlEdited = false;    // the document may differ from the Source text
  bool SourceEdited = false;  // the Source text was typed into; the document is stale
  bool EditorLoading = true;  // until the browser's first document completes
  bool DocumentReady = false; // false while a document loads
  // The document was loaded from the Source text as it is now (or copied into
  // it): only such a document may be copied over the Source text.
  bool DocumentHoldsSource = false;

  // Source text into the browser (SourceEdited is cleared even when it throws).
  void AssignHTML();
  // Caret moved, text typed, selection changed, a command ran.
  void UpdateUI();
  void DocumentComplete();
  void SourceChanged();   // typed into the Source text
  void SourceReplaced();  // the Source text set from elsewhere (a project)
  // The document is about to be shown or used: one that does not hold the
  // Source text (a project replaced it while the view was hidden) is loaded.
  void EnsureDocument();
  // A key, click or command is about to change the document: it first holds
  // the Source text, and the HTML snapshot is taken before the change, so
  // that the change counts as a modification of the project.
  void BeforeUserChange();
  void LeaveEditTab();    // the browser's edits go to the Source text
  void LeaveSourceTab();  // typed Source text goes to the browser
  // Source := the document (or, when the Source text was replaced, the
  // document := the Source), then a project snapshot.
  void Timer1Fired();
  void Timer2Fired();     // Source := the document (the charset changed)
  // Pending browser edits into the Source text (save, preview).
  void SyncEditedHtml();

private:
  void CopyDocumentToSource();
  bool CopyDocumentIfItHoldsSource();
  IEditorSyncHost& host_;
};
