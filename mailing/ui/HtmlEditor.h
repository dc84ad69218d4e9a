#pragma once
// The HTML editor of the Mailing page: the design-mode browser on the Edit
// tab (EmbeddedWB1), the Source text (RxRichEdit1) and the plain-text editor
// (RxRichEdit2), the formatting bar and the Format and Insert menus, the
// Edit commands while the document has the focus, the right-click menus and
// the Encoding command. When the document and the Source text are copied
// into each other is TEditorSync's rule; this class binds it to the window.

#include <QObject>
#include <QWebEngineView>
#include <functional>
#include <memory>
#include <string>

#include "mailing/EditorSync.h"
#include "workspace/CharsetTable.h"
#include "workspace/FrameInterfaces.h"

class QAction;
class QKeyEvent;
class QMenu;
class QTimer;
class TCharSetForm;
class TDomWork;
class TLPMain;
class TWorkspaceState;
class TMailingPage;
class TSafeWebPage;
class TTabForm;

// The browser view; its right-click shows the program's menu, and it reports
// the user's keys and clicks inside the document.
class TEditorView : public QWebEngineView {
  Q_OBJECT
public:
  explicit TEditorView(QWidget* parent = nullptr);
  TSafeWebPage* Page() const { return page_; }
  // The window's menu command a key stands for (nullptr: the document's key).
  std::function<QAction*(const QKeyEvent&)> MenuShortcut;

signals:
  void ContextMenuAt(const QPoint& globalPos);
  // A key or click is about to reach the document.
  void InputStarting();
  void UserInput();
  // A menu's shortcut pressed in the document; the engine never sees the key.
  void MenuShortcutPressed(QAction* action);

protected:
  void contextMenuEvent(QContextMenuEvent* e) override;
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  TSafeWebPage* page_;
};

class THtmlEditor : public QObject, public IHtmlEditor, private IEditorSyncHost {
  Q_OBJECT
public:
  THtmlEditor(TLPMain& main, TWorkspaceState& state);
  ~THtmlEditor() override;

  TEditorView* EmbeddedWB1;
  TDomWork& DomWork() const { return *domWork_; }
  TEditorSync Sync;
  QTimer* Timer1;
  QTimer* Timer2;
  TTabForm* TabForm;
  // The dialog of "Encoding"; none: the command does nothing.
  TCharSetForm* CharsetDialog = nullptr;
  QMenu* PopupMenu1;
  // The project's character set (a row of CharsetTable).
  int CharsetIndex = UserDefinedCharset;
  // The colour dialog of the Color button; tests replace it.
  std::function<bool(QColor& color)> AskColor;
  // Set by the preview: the Preview tab was shown; the preview is to be rebuilt.
  std::function<void()> OnPreviewTabShown;
  std::function<void()> OnRebuildPreview;

  void AssignHTML();
  std::string GetHtmlStr() override;
  // The Source text as the program sets it (not as typed).
  void SetSourceText(const std::string& text) override;
  std::string SourceText() const;

  // IHtmlEditor
  bool HasFocus() const override;
  void ExecEditCommand(TEditCommand Command) override;
  void UpdateEditCommands() override;
  void SetEditorMode(TMailMode Mode) override;
  bool DocumentReady() const override { return Sync.DocumentReady; }
  void SyncEditedHtml() override;

  // Handlers.
  void EmbeddedWB1UpdateUI();
  void EmbeddedWB1DocumentComplete();
  void RxRichEdit1Change();
  void PageControl2Change();
  void TabSheet2Show();
  void Encoding0Click();
  void Table5Click();
  void Color5Click();
  void ListClick(bool numbered, bool checked);
  void ShowPopup(QWidget* target, const QPoint& globalPos);

  bool PreviewTabShown() const;
  // Before the document is used or changed (EditorSync's rules, errors shown).
  void EnsureDocument();
  void BeforeUserChange();

private:
  // IEditorSyncHost
  void LoadSourceIntoBrowser() override;
  void RefreshCommands() override;
  void EnableEditorViews() override;
  void StartTimer1() override;
  void TakeProjectSnapshot() override;
  bool HtmlSnapshotEmpty() override;
  void SetHtmlSnapshot(const std::string& html) override;
  void RefreshEditCommands() override;

  void WireFormatBar();
  void WireMenus();
  // Runs a rule that may raise the browser's error; the error is shown.
  void Guarded(const std::function<void()>& fn);
  // After a formatting command: the document changed, focus back into it.
  void Formatted();
  QAction* Action(const char* name) const;
  QAction* MenuAction(const QKeySequence& key) const;

  TLPMain& main_;
  TWorkspaceState& state_;
  TMailingPage& page_;
  std::unique_ptr<TDomWork> domWork_;
  QWidget* currentTab_ = nullptr;
  bool settingSource_ = false;
  bool inUpdateUI_ = false;
  bool inBeforeChange_ = false;
  bool rebuildPreviewAfterTimer2_ = false;
};
