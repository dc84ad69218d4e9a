#include "mailing/ui/HtmlEditor.h"

#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <stdexcept>

#include "mailing/DomCommands.h"
#include "mailing/MetaCharset.h"
#include "mailing/ui/DomWork.h"
#include "mailing/ui/SafeWebPage.h"
#include "mailing/ui/TabForm.h"
#include "mailing/ui/WebScript.h"
#include "platform/MessageBox.h"
#include "platform/Routines.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/CharsetForm.h"
#include "workspace/WorkspaceState.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"

namespace {

// The document as the engine holds it: its type, then the root element.
const char* const kSerialize =
    "(function() { var d = document, t = d.doctype, s = '';"
    " if (t) { s = '<!DOCTYPE ' + t.name + (t.publicId ? ' PUBLIC \"' + t.publicId + '\"' : '')"
    " + (!t.publicId && t.systemId ? ' SYSTEM' : '') + (t.systemId ? ' \"' + t.systemId + '\"' : '') + '>\\n'; }"
    " return s + (d.documentElement ? d.documentElement.outerHTML : ''); })()";

// The engine loads strings up to 2 MB; larger documents go through a file.
constexpr qsizetype kMaxInlineHtml = 1536 * 1024;
constexpr const char* kLargeDocumentPrefix = "$lpedit_";

// The editor's edit commands by TEditCommand.
const int kEditCommands[] = {dcCut, dcCopy, dcPaste, dcUndo, dcRedo, dcSelectAll};

bool IsInside(const QWidget* w, const QWidget* view) { return w && (w == view || view->isAncestorOf(w)); }

}  // namespace

// ---------------------------------------------------------------- the view

TEditorView::TEditorView(QWidget* parent) : QWebEngineView(parent) {
  page_ = new TSafeWebPage(this, true);
  setPage(page_);
}

void TEditorView::contextMenuEvent(QContextMenuEvent* e) {
  emit ContextMenuAt(e->globalPos());
  e->accept();
}

bool TEditorView::event(QEvent* e) {
  // The engine draws into a child widget that receives the input.
  if (e->type() == QEvent::ChildAdded || e->type() == QEvent::ChildPolished)
    if (auto* w = qobject_cast<QWidget*>(static_cast<QChildEvent*>(e)->child())) {
      w->removeEventFilter(this);
      w->installEventFilter(this);
    }
  return QWebEngineView::event(e);
}

bool TEditorView::eventFilter(QObject* watched, QEvent* e) {
  // The engine has bindings of its own for keys the menus use (Ctrl+K deletes,
  // Ctrl+U underlines): it is told the key is its own, and then never gets it.
  if (e->type() == QEvent::ShortcutOverride || e->type() == QEvent::KeyPress)
    if (QAction* a = MenuShortcut ? MenuShortcut(*static_cast<QKeyEvent*>(e)) : nullptr) {
      e->accept();
      if (e->type() == QEvent::KeyPress) emit MenuShortcutPressed(a);
      return true;
    }
  switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::DragEnter: emit InputStarting(); break;
    case QEvent::InputMethod:
    case QEvent::Drop:
      // No key release follows composed text or a drop.
      emit InputStarting();
      emit UserInput();
      break;
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease: emit UserInput(); break;
    default: break;
  }
  return QWebEngineView::eventFilter(watched, e);
}

// ---------------------------------------------------------------- creation

THtmlEditor::THtmlEditor(TLPMain& main, TWorkspaceState& state)
    : QObject(&main), Sync(*this), main_(main), state_(state), page_(main.MailingPage()) {
  setObjectName("HtmlEditor");
  // The browser takes the place of the page's empty editor.
  QWidget* place = page_.EmbeddedWB1;
  EmbeddedWB1 = new TEditorView(page_.EditorStack);
  EmbeddedWB1->setObjectName("EmbeddedWB1");
  const int index = page_.EditorStack->indexOf(place);
  const bool shown = page_.EditorStack->currentWidget() == place;
  page_.EditorStack->insertWidget(index, EmbeddedWB1);
  page_.EditorStack->removeWidget(place);
  delete place;
  page_.EmbeddedWB1 = EmbeddedWB1;
  if (shown) page_.EditorStack->setCurrentWidget(EmbeddedWB1);

  domWork_ = std::make_unique<TDomWork>(EmbeddedWB1, Sync);
  domWork_->BeforeChange = [this] { BeforeUserChange(); };
  AskColor = [this](QColor& c) {
    const QColor chosen = QColorDialog::getColor(c.isValid() ? c : QColor(Qt::black), &main_);
    if (!chosen.isValid()) return false;
    c = chosen;
    return true;
  };

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  for (QTimer* t : {Timer1, Timer2}) {
    t->setInterval(1);
    t->setSingleShot(true);
  }
  connect(Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Sync.Timer1Fired(); }); });
  connect(Timer2, &QTimer::timeout, this, [this] {
    Guarded([this] { Sync.Timer2Fired(); });
    if (rebuildPreviewAfterTimer2_) {
      rebuildPreviewAfterTimer2_ = false;
      if (PreviewTabShown() && OnRebuildPreview) OnRebuildPreview();
    }
  });

  TabForm = new TTabForm(&main_);

  PopupMenu1 = new QMenu(&main_);
  PopupMenu1->setObjectName("PopupMenu1");
  const char* const popItems[][2] = {{"PopUndo", "Undo"},
                                     {"PopCut", "Cut"},
                                     {"PopCopy", "Copy"},
                                     {"PopPaste", "Paste"},
                                     {"PopSelectAll", "Select All"}};
  const TEditCommand popCommands[] = {ecUndo, ecCut, ecCopy, ecPaste, ecSelectAll};
  for (int i = 0; i < 5; ++i) {
    QAction* a = PopupMenu1->addAction(popItems[i][1]);
    a->setObjectName(popItems[i][0]);
    const TEditCommand command = popCommands[i];
    connect(a, &QAction::triggered, this, [this, command] { main_.ExecEditCommand(command); });
  }
  connect(EmbeddedWB1, &TEditorView::ContextMenuAt, this, [this](const QPoint& p) { ShowPopup(EmbeddedWB1, p); });
  for (QPlainTextEdit* e : {page_.RxRichEdit1, page_.RxRichEdit2}) {
    e->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(e, &QWidget::customContextMenuRequested, this,
            [this, e](const QPoint& p) { ShowPopup(e, e->viewport()->mapToGlobal(p)); });
  }

  // The Source view: fixed pitch, no wrapping.
  QFont fixed("Courier New", 10);
  fixed.setStyleHint(QFont::TypeWriter);
  page_.RxRichEdit1->setFont(fixed);
  page_.RxRichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
  connect(page_.RxRichEdit1, &QPlainTextEdit::textChanged, this, [this] { RxRichEdit1Change(); });

  auto* wb = EmbeddedWB1->Page();
  connect(wb, &QWebEnginePage::loadFinished, this, [this](bool ok) {
    if (ok) EmbeddedWB1DocumentComplete();
  });
  // The user's keys and clicks in the document; a load's own selection changes are none.
  connect(EmbeddedWB1, &TEditorView::UserInput, this, [this] { EmbeddedWB1UpdateUI(); });
  connect(EmbeddedWB1, &TEditorView::InputStarting, this, [this] { BeforeUserChange(); });
  EmbeddedWB1->MenuShortcut = [this](const QKeyEvent& e) { return MenuAction(QKeySequence(e.keyCombination())); };
  connect(EmbeddedWB1, &TEditorView::MenuShortcutPressed, this, [this](QAction* a) {
    // The states as the menu would show them now.
    main_.UpdateEditCommands();
    if (a->isEnabled()) a->trigger();
  });

  const auto focusLink = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    if (IsInside(now, EmbeddedWB1) && state_.MailMode == mmPlainText) {
      // In plain mode the browser passes its focus on.
      page_.RxRichEdit2->setFocus();
      return;
    }
    if (IsInside(old, EmbeddedWB1) && !IsInside(now, EmbeddedWB1)) main_.UpdateHtmlMenus();
  });
  // The frame's own destruction moves the focus too; its pages are going then.
  connect(&main_, &TLPMain::PagesClosing, this, [focusLink] { disconnect(focusLink); });

  currentTab_ = page_.PageControl2->currentWidget();
  connect(page_.PageControl2, &QTabWidget::currentChanged, this, [this] { PageControl2Change(); });
  if (auto* pages = main_.findChild<QTabWidget*>("PageControl1"))
    connect(pages, &QTabWidget::currentChanged, this, [this, pages] {
      if (pages->currentWidget() == &page_) TabSheet2Show();
    });

  WireFormatBar();
  WireMenus();

  // Until the first document the Source, Preview and Attachments views wait.
  for (const char* n : {"Source1", "Preview1", "Attachments1"})
    if (QAction* a = Action(n)) a->setEnabled(false);
  EmbeddedWB1->Page()->LoadHtml(QString(), QUrl::fromLocalFile(QDir::tempPath() + "/"));
}

THtmlEditor::~THtmlEditor() = default;

QAction* THtmlEditor::Action(const char* name) const { return main_.Action(name); }

QAction* THtmlEditor::MenuAction(const QKeySequence& key) const {
  if (key.isEmpty()) return nullptr;
  const std::function<QAction*(const QList<QAction*>&)> find = [&](const QList<QAction*>& actions) -> QAction* {
    for (QAction* a : actions) {
      if (QMenu* sub = a->menu())
        if (QAction* found = find(sub->actions())) return found;
      if (a->shortcuts().contains(key)) return a;
    }
    return nullptr;
  };
  return find(main_.menuBar()->actions());
}

void THtmlEditor::Guarded(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    ErrorBox(e.what());
  }
}

void THtmlEditor::WireFormatBar() {
  QToolBar* bar = page_.FormatBar;
  if (auto* block = bar->findChild<QComboBox*>("ComboBox5"))
    connect(block, &QComboBox::activated, this, [this, block] {
      domWork_->FormatBlock(ToStdString(block->currentText()));
      Formatted();
    });
  if (auto* font = bar->findChild<QComboBox*>("ComboBox8"))
    connect(font, &QComboBox::activated, this, [this, font] {
      domWork_->ExecCommand("FontName", ToStdString(font->currentText()));
      Formatted();
    });
  if (auto* size = bar->findChild<QComboBox*>("ComboBox9"))
    connect(size, &QComboBox::activated, this, [this, size] {
      domWork_->ExecCommand("FontSize", ToStdString(size->currentText()));
      Formatted();
    });
  const char* const toggles[][2] = {{"Bold5", "Bold"},
                                    {"Italic5", "Italic"},
                                    {"Underline5", "Underline"},
                                    {"AlignLeft5", "JustifyLeft"},
                                    {"Center5", "JustifyCenter"},
                                    {"AlignRight5", "JustifyRight"}};
  for (const auto& t : toggles)
    if (QAction* a = Action(t[0])) {
      const std::string command = t[1];
      connect(a, &QAction::triggered, this, [this, command](bool down) {
        domWork_->ExecCommand(command, down ? "true" : "false");
        Formatted();
      });
    }
  if (QAction* a = Action("Color5")) connect(a, &QAction::triggered, this, [this] { Color5Click(); });
  if (QAction* a = Action("Table5")) connect(a, &QAction::triggered, this, [this] { Table5Click(); });
}

void THtmlEditor::WireMenus() {
  auto on = [this](const char* name, const std::function<void(bool)>& fn) {
    if (QAction* a = Action(name)) connect(a, &QAction::triggered, this, fn);
  };
  auto exec = [this](int id, bool prompt) {
    return [this, id, prompt](bool) {
      if (domWork_->Exec(id, prompt)) Formatted();
    };
  };
  on("NumberedList5", [this](bool c) { ListClick(true, c); });
  on("NumberedList1", [this](bool c) { ListClick(true, c); });
  on("BulletedList5", [this](bool c) { ListClick(false, c); });
  on("BulletedList1", [this](bool c) { ListClick(false, c); });
  on("DecreaseIndent5", exec(hcOutdent, false));
  on("DecreaseIndent1", exec(hcOutdent, false));
  on("IncreaseIndent5", exec(hcIndent, false));
  on("IncreaseIndent1", exec(hcIndent, false));
  on("Image1", exec(hcImage, true));
  on("Hyperlink1", exec(hcHyperlink, true));
  on("HorizontalLine1", exec(hcHorizontalLine, true));
  on("Font1", exec(hcFont, true));
  on("Encoding0", [this](bool) { Encoding0Click(); });
}

// ---------------------------------------------------------------- document and Source text

void THtmlEditor::AssignHTML() { Sync.AssignHTML(); }

void THtmlEditor::LoadSourceIntoBrowser() {
  TSafeWebPage& wb = *EmbeddedWB1->Page();
  const QString html = page_.RxRichEdit1->toPlainText();
  // Relative names in the document are the project folder's.
  const std::string& project = state_.ProjectFileName;
  const QString base = project.empty() ? QDir::tempPath() : QFileInfo(ToQString(project)).absolutePath();
  const QByteArray utf8 = html.toUtf8();
  // A page whose view was never shown (the Mailing page behind another one)
  // is hidden to the engine, and a hidden page's load never reports finished.
  struct TShownWhileLoading {
    QWebEnginePage& page;
    const QWidget& view;
    const bool hidden;
    TShownWhileLoading(QWebEnginePage& p, const QWidget& v) : page(p), view(v), hidden(!p.isVisible()) {
      if (hidden) page.setVisible(true);
    }
    ~TShownWhileLoading() {
      if (hidden && !view.isVisible()) page.setVisible(false);
    }
  } shown(wb, *EmbeddedWB1);
  bool loaded = false;
  if (utf8.size() <= kMaxInlineHtml) {
    loaded = LoadAndWait(wb, [&] { wb.LoadHtml(html, QUrl::fromLocalFile(base + "/")); });
  } else {
    // The engine takes no larger strings: such a document goes through a file,
    // whose byte-order mark outweighs any charset the document declares.
    const QString file = ToQString(MakeTempFileName("", kLargeDocumentPrefix, "html"));
    QFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write("\xEF\xBB\xBF", 3) == 3 &&
        out.write(utf8) == utf8.size()) {
      out.close();
      loaded = LoadAndWait(wb, [&] { wb.LoadFile(file); });
    }
    QFile::remove(file);
  }
  if (!loaded) throw std::runtime_error("The editor could not load the document");
  const QVariant mode = RunScriptSync(wb, "document.designMode = 'on'; document.designMode");
  if (mode.toString() != "on") throw std::runtime_error("The editor could not switch to design mode");
}

std::string THtmlEditor::GetHtmlStr() {
  const QVariant html = RunScriptSync(*EmbeddedWB1->Page(), kSerialize);
  return RewriteMetaCharset(ToStdString(html.toString()), CharsetMimeName(CharsetIndex));
}

void THtmlEditor::SetSourceText(const std::string& text) {
  Sync.SourceReplaced();
  settingSource_ = true;
  page_.RxRichEdit1->setPlainText(ToQString(text));
  settingSource_ = false;
}

std::string THtmlEditor::SourceText() const { return ToStdString(page_.RxRichEdit1->toPlainText()); }

void THtmlEditor::SyncEditedHtml() {
  Guarded([this] { Sync.SyncEditedHtml(); });
}

// ---------------------------------------------------------------- events

void THtmlEditor::EmbeddedWB1UpdateUI() {
  if (inUpdateUI_ || Sync.EditorLoading) return;
  inUpdateUI_ = true;
  Sync.UpdateUI();
  inUpdateUI_ = false;
}

void THtmlEditor::BeforeUserChange() {
  if (inBeforeChange_) return;
  inBeforeChange_ = true;
  Guarded([this] { Sync.BeforeUserChange(); });
  inBeforeChange_ = false;
}

void THtmlEditor::EnsureDocument() {
  Guarded([this] { Sync.EnsureDocument(); });
}

void THtmlEditor::EmbeddedWB1DocumentComplete() {
  Guarded([this] { Sync.DocumentComplete(); });
}

void THtmlEditor::RxRichEdit1Change() {
  if (!settingSource_) Sync.SourceChanged();
}

void THtmlEditor::RefreshCommands() { main_.UpdateControls(); }

void THtmlEditor::RefreshEditCommands() { main_.UpdateEditCommands(); }

void THtmlEditor::EnableEditorViews() {
  for (const char* n : {"Source1", "Preview1", "Attachments1"})
    if (QAction* a = Action(n)) a->setEnabled(true);
}

void THtmlEditor::StartTimer1() { Timer1->start(); }

void THtmlEditor::TakeProjectSnapshot() { main_.SnapshotProject(); }

bool THtmlEditor::HtmlSnapshotEmpty() { return main_.ProjectSnapshot().HtmlSnapshot.empty(); }

void THtmlEditor::SetHtmlSnapshot(const std::string& html) { main_.ProjectSnapshot().HtmlSnapshot = html; }

void THtmlEditor::Formatted() {
  domWork_->FocusDocument();
  EmbeddedWB1UpdateUI();
}

bool THtmlEditor::PreviewTabShown() const {
  return page_.isVisible() && page_.PageControl2->currentWidget() == page_.TabSheet5;
}

void THtmlEditor::PageControl2Change() {
  QWidget* left = currentTab_;
  QWidget* shown = page_.PageControl2->currentWidget();
  currentTab_ = shown;
  Guarded([&] {
    if (left == page_.TabSheet3) Sync.LeaveEditTab();
    if (left == page_.TabSheet8) Sync.LeaveSourceTab();
  });
  if (shown == page_.TabSheet3) {
    Guarded([this] { AssignHTML(); });
    main_.UpdateControls();
    if (state_.MailMode == mmHtml)
      domWork_->FocusDocument();
    else
      page_.RxRichEdit2->setFocus();
  } else if (shown == page_.TabSheet8) {
    page_.RxRichEdit1->setFocus();
    main_.UpdateControls();
  } else if (shown == page_.TabSheet5) {
    if (OnPreviewTabShown) OnPreviewTabShown();
  }
}

void THtmlEditor::TabSheet2Show() {
  QWidget* tab = page_.PageControl2->currentWidget();
  if (tab == page_.TabSheet5) {
    if (OnPreviewTabShown) OnPreviewTabShown();
  } else if (tab == page_.TabSheet8) {
    page_.RxRichEdit1->setFocus();
  } else if (tab == page_.TabSheet3) {
    if (state_.MailMode == mmHtml) {
      // A project opened while the page was hidden is not in the document yet.
      EnsureDocument();
      domWork_->FocusDocument();
    } else {
      page_.RxRichEdit2->setFocus();
    }
  } else if (tab == page_.TabSheet6) {
    page_.ListBox3->setFocus();
  }
}

// ---------------------------------------------------------------- commands

void THtmlEditor::SetEditorMode(TMailMode Mode) {
  main_.SetMailMode(Mode);
  if (page_.isVisible()) {
    QWidget* tab = page_.PageControl2->currentWidget();
    if (tab == page_.TabSheet5 && OnRebuildPreview) OnRebuildPreview();
    if (tab == page_.TabSheet3) {
      if (Mode == mmHtml) {
        EnsureDocument();
        domWork_->FocusDocument();
      } else {
        page_.RxRichEdit2->setFocus();
      }
    }
  }
  main_.UpdateEditCommands();
}

bool THtmlEditor::HasFocus() const { return IsInside(QApplication::focusWidget(), EmbeddedWB1); }

void THtmlEditor::ExecEditCommand(TEditCommand Command) {
  if (Command < ecCut || Command > ecSelectAll) return;
  domWork_->ExecCommandById(kEditCommands[Command]);
  if (Command != ecCopy && Command != ecSelectAll) EmbeddedWB1UpdateUI();
}

void THtmlEditor::UpdateEditCommands() {
  const QVariantList v =
      RunScriptSync(*EmbeddedWB1->Page(),
                    "(function() { var e = function(c) { return document.queryCommandEnabled(c); };"
                    " var q = function(c) { return document.queryCommandState(c); };"
                    " return [e('Cut'), e('Copy'), e('Paste'), e('Undo'), e('Redo'), e('CreateLink'),"
                    " e('FontName'), q('Bold'), q('Italic'), q('Underline'), q('JustifyLeft'),"
                    " q('JustifyCenter'), q('JustifyRight')]; })()")
          .toList();
  auto at = [&v](int i) { return i < v.size() && v[i].toBool(); };
  const char* const items[] = {"Cut", "Copy", "Paste", "Undo", "Redo"};
  for (int i = 0; i < 5; ++i) {
    Action((std::string(items[i]) + "1").c_str())->setEnabled(at(i));
    Action((std::string(items[i]) + "5").c_str())->setEnabled(at(i));
  }
  Action("SelectAll1")->setEnabled(true);
  Action("Hyperlink1")->setEnabled(at(5));
  Action("Font1")->setEnabled(at(6));
  // The toggle buttons show the selection's state, so that their new state is the wanted one.
  const char* const toggles[] = {"Bold5", "Italic5", "Underline5", "AlignLeft5", "Center5", "AlignRight5"};
  for (int i = 0; i < 6; ++i)
    if (QAction* a = Action(toggles[i])) a->setChecked(at(7 + i));
  for (bool numbered : {true, false}) {
    bool enabled = false, latched = false;
    domWork_->QueryCommandState(numbered ? hcOrderedList : hcUnorderedList, enabled, latched);
    const char* const names[] = {numbered ? "NumberedList1" : "BulletedList1",
                                 numbered ? "NumberedList5" : "BulletedList5"};
    for (const char* n : names) {
      Action(n)->setEnabled(enabled);
      Action(n)->setChecked(latched);
    }
  }
}

void THtmlEditor::ListClick(bool numbered, bool checked) {
  const char* own[] = {numbered ? "NumberedList1" : "BulletedList1", numbered ? "NumberedList5" : "BulletedList5"};
  const char* other[] = {numbered ? "BulletedList1" : "NumberedList1", numbered ? "BulletedList5" : "NumberedList5"};
  for (const char* n : own) Action(n)->setChecked(checked);
  for (const char* n : other) Action(n)->setChecked(false);
  domWork_->Exec(numbered ? hcOrderedList : hcUnorderedList, false);
  Formatted();
}

void THtmlEditor::Color5Click() {
  QColor c;
  if (!AskColor || !AskColor(c)) return;
  domWork_->ExecCommand("ForeColor", ToStdString(c.name()));
  Formatted();
}

void THtmlEditor::Table5Click() {
  if (TabForm->exec() != QDialog::Accepted) return;
  domWork_->InsertTable(TabForm->Rows->value(), TabForm->Columns->value(), ToStdString(TabForm->Border->text()),
                        ToStdString(TabForm->Padding->text()), ToStdString(TabForm->Spacing->text()),
                        TabForm->WidthText());
  Formatted();
}

void THtmlEditor::Encoding0Click() {
  TCharSetForm* form = CharsetDialog;
  if (!form) return;
  form->SetItemIndex(CharsetIndex);
  if (form->exec() != QDialog::Accepted || form->ItemIndex() < 0) return;
  main_.SetModified(true);
  CharsetIndex = form->ItemIndex();
  Guarded([this] { AssignHTML(); });
  // The preview is rebuilt once the Source text declares the new charset:
  // a page written in one charset and declaring another would show garbled.
  rebuildPreviewAfterTimer2_ = PreviewTabShown();
  Timer2->start();
}

void THtmlEditor::ShowPopup(QWidget* target, const QPoint& globalPos) {
  target->setFocus();
  main_.UpdateEditCommands();
  const char* const mirror[][2] = {{"PopUndo", "Undo1"},
                                   {"PopCut", "Cut1"},
                                   {"PopCopy", "Copy1"},
                                   {"PopPaste", "Paste1"},
                                   {"PopSelectAll", "SelectAll1"}};
  for (const auto& m : mirror)
    if (auto* a = PopupMenu1->findChild<QAction*>(m[0])) a->setEnabled(Action(m[1])->isEnabled());
  PopupMenu1->popup(globalPos);
}
