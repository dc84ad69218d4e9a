#include "workspace/ui/LPMain.h"

#include <algorithm>
#include <filesystem>

#include <QAction>
#include <QTimer>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

#include "platform/MessageBox.h"
#include "workspace/FirstRun.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"
#include "platform/CommandLine.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/PageKit.h"
#include "workspace/AppSettings.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/CalcFieldsPage.h"
#include <QCheckBox>
#include "workspace/ui/DatabasePage.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/TableUi.h"
#include "workspace/ui/TableWiring.h"
#include "workspace/ui/WithdrawalPage.h"

namespace {

QString Q(const std::string& s) { return ToQString(s); }

}  // namespace

// ---------------------------------------------------------------- creation

TLPMain::TLPMain(TWorkspaceState& state, QWidget* parent) : QMainWindow(parent), state_(state) {
  setObjectName("LPMain");
  FormCreate();
}

TLPMain::~TLPMain() {
  // Children handing the focus on while they are destroyed must not reach the pages already gone.
  disconnect(focusWatch_);
  // Newest first: a later helper may lean on an earlier one.
  while (!boundChildren_.empty()) {
    QObject* c = boundChildren_.back();
    boundChildren_.pop_back();
    delete c;
  }
  // The rules outlive the frame: their errors no longer reach its pages.
  state_.RowRules.SetView(nullptr);
  // The editor command object belongs to the HTML editor, which frees it with the window.
  // Window code still bound to the pages lets go of them now.
  emit PagesClosing();
}

void TLPMain::AdoptBoundChild(QObject* child) {
  child->setParent(this);
  boundChildren_.push_back(child);
  // Deleted elsewhere: forget it.
  connect(child, &QObject::destroyed, this, [this, child] {
    boundChildren_.erase(std::remove(boundChildren_.begin(), boundChildren_.end(), child), boundChildren_.end());
  });
}

QAction* TLPMain::Action(const std::string& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

QAction* TLPMain::AddAction(QMenu* menu, const std::string& name, const QString& caption, const QKeySequence& key) {
  auto* a = new QAction(caption, this);
  a->setObjectName(Q(name));
  if (!key.isEmpty()) a->setShortcut(key);
  menu->addAction(a);
  actions_[name] = a;
  return a;
}

QAction* TLPMain::AddToolAction(QToolBar* bar, const std::string& name, const QString& caption) {
  auto* a = new QAction(caption, this);
  a->setObjectName(Q(name));
  a->setToolTip(caption);
  bar->addAction(a);
  if (QWidget* w = bar->widgetForAction(a)) w->setObjectName(Q(name));
  actions_[name] = a;
  return a;
}

void TLPMain::FormCreate() {
  setWindowTitle("Larkpost");
  resize(900, 640);

  BuildPages();
  // The main tool bar: the project commands and the edit commands.
  auto* bar = Named(new QToolBar(this), "SpeedBar5");
  AddToolAction(bar, "NewMail5", "New Project");
  AddToolAction(bar, "OpenMail6", "Open Project");
  AddToolAction(bar, "SaveMail5", "Save Project");
  bar->addSeparator();
  AddToolAction(bar, "Cut5", "Cut");
  AddToolAction(bar, "Copy5", "Copy");
  AddToolAction(bar, "Paste5", "Paste");
  AddToolAction(bar, "Undo5", "Undo");
  AddToolAction(bar, "Redo5", "Redo");
  addToolBar(bar);
  IndexPageActions();
  BuildMenus();
  tables_ = WireTableWorkspace(*this);
  // The grid's colours call the row rules.
  AdoptBoundChild(tables_);
  services_.Table = tables_;

  // The pages shown first; the grid waits for a table (the pages start so).
  PageControl1->setCurrentWidget(databasePage_);

  // No table, no sort.
  Action("Descend0")->setChecked(false);

  // The program's folder.
  appDir_ = ResolveAppDir();

  // The folder settings. A first run is one that finds no settings key yet.
  firstRun_ = !state_.Settings.Stored();
  LoadSettings();

  state_.RowRules.SetView(this);
  filterPage_->Bind(&state_);
  calcPage_->GetModified = [this] { return Modified(); };
  calcPage_->PutModified = [this](bool on) { SetModified(on); };
  connect(filterPage_, &TFilterPage::RepaintGrid, this, [this] { databasePage_->RxDBGrid1->viewport()->update(); });
  connect(filterPage_, &TFilterPage::EditCommandsChanged, this, [this] { UpdateEditCommands(); });
  connect(calcPage_, &TCalcFieldsPage::EditCommandsChanged, this, [this] { UpdateEditCommands(); });
  connect(calcPage_, &TCalcFieldsPage::CalcFieldsChanged, this, [this] {
    state_.RowRules.InvalidateRowColors();
    databasePage_->RxDBGrid1->viewport()->update();
  });
  for (QScrollBar* bar :
       {databasePage_->RxDBGrid1->horizontalScrollBar(), databasePage_->RxDBGrid1->verticalScrollBar()})
    connect(bar, &QScrollBar::valueChanged, this, [this] { RxDBGrid1TopLeftChanged(); });

  connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
  focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget*) { UpdateEditCommands(); });

  UpdateCaption();
  UpdateControls();
  UpdateEditCommands();
  UpdateHtmlMenus();
  SnapshotProject();
}

void TLPMain::LoadSettings() {
  state_.Settings.LoadSettings();
  state_.Settings.ReplaceEmptyFolders(appDir_);
}

void TLPMain::RunFirstRunSetup() {
  TAppSettings& settings = state_.Settings;
  std::string dataBaseDir = settings.Values().DataBaseDir;
  std::string mailDir = settings.Values().MailDir;
  CreateFirstRunFiles(
      appDir_, dataBaseDir, mailDir, [&] { settings.SetAndSave(stDataBaseDir, dataBaseDir); },
      [&] { settings.SetAndSave(stMailDir, mailDir); }, services_.WriteExampleProject);
}

void TLPMain::BuildPages() {
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  setCentralWidget(PageControl1);
  databasePage_ = new TDatabasePage;
  filterPage_ = new TFilterPage;
  calcPage_ = new TCalcFieldsPage;
  mailingPage_ = new TMailingPage;
  withdrawalPage_ = new TWithdrawalPage;
  PageControl1->addTab(databasePage_, "Database");
  PageControl1->addTab(filterPage_, "Filter");
  PageControl1->addTab(calcPage_, "Calculated Fields");
  PageControl1->addTab(mailingPage_, "Mailing");
  PageControl1->addTab(withdrawalPage_, "Withdrawal");

  connect(filterPage_, &TFilterPage::Modified, this, [this] { SetModified(true); });
  connect(mailingPage_, &TMailingPage::Modified, this, [this] { SetModified(true); });
  // The edit commands follow these editors.
  for (QWidget* w : {static_cast<QWidget*>(filterPage_->Memo1), static_cast<QWidget*>(filterPage_->Memo5),
                     static_cast<QWidget*>(calcPage_->Memo2), static_cast<QWidget*>(mailingPage_->Edit2),
                     static_cast<QWidget*>(mailingPage_->RxRichEdit1), static_cast<QWidget*>(mailingPage_->RxRichEdit2),
                     static_cast<QWidget*>(withdrawalPage_->Memo6)})
    WatchEditor(w);
}

void TLPMain::IndexPageActions() {
  // The pages' tool-bar commands are found by their designer names like the frame's own.
  for (QAction* a : findChildren<QAction*>())
    if (!a->objectName().isEmpty()) actions_.emplace(ToStdString(a->objectName()), a);
}

void TLPMain::BuildMenus() {
  QMenuBar* mb = menuBar();
  mb->setObjectName("MainMenu1");

  QMenu* file = Named(mb->addMenu("File"), "File1");
  AddAction(file, "NewDatabase1", "Create DBF...");
  AddAction(file, "OpenDB0", "Open Table...");
  AddAction(file, "ExecSQL0", "Execute SQL...");
  AddAction(file, "Restructure0", "Restructure/Save As DBF...");
  AddAction(file, "AddDBF1", "Add Table...");
  file->addSeparator();
  AddAction(file, "NewMail0", "New Project", QKeySequence("Ctrl+N"));
  AddAction(file, "OpenMail0", "Open Project...", QKeySequence("Ctrl+O"));
  AddAction(file, "SaveMail0", "Save Project", QKeySequence("Ctrl+S"));
  AddAction(file, "SaveMailAs0", "Save Project As...");
  file->addSeparator();
  AddAction(file, "Accounts1", "Accounts...");
  AddAction(file, "Mailing1", "Mailing...");
  AddAction(file, "SendCurrent1", "Send Current Mail");
  file->addSeparator();
  AddAction(file, "CloseTable1", "Close Table", QKeySequence("Ctrl+F4"));
  file->addSeparator();
  AddAction(file, "Exit1", "Exit");

  QMenu* table = Named(mb->addMenu("Table"), "Table2");
  AddAction(table, "AddRec0", "Add Record...");
  AddAction(table, "EditRec0", "Edit Record...");
  AddAction(table, "DeleteRec0", "Delete Record");
  table->addSeparator();
  AddAction(table, "Find0", "Find...", QKeySequence("Ctrl+F"));
  AddAction(table, "Unique0", "Find Duplicates", QKeySequence("Ctrl+D"));
  AddAction(table, "SelectDublicates1", "Select Duplicates");
  table->addSeparator();
  AddAction(table, "Reopen0", "Reopen");
  table->addSeparator();
  AddAction(table, "Descend0", "Descended")->setCheckable(true);
  AddAction(table, "Unsort0", "Unsort");

  QMenu* edit = Named(mb->addMenu("Edit"), "Edit1");
  AddAction(edit, "Undo1", "Undo", QKeySequence("Ctrl+U"));
  AddAction(edit, "Redo1", "Redo");
  edit->addSeparator();
  AddAction(edit, "Cut1", "Cut", QKeySequence("Ctrl+X"));
  AddAction(edit, "Copy1", "Copy", QKeySequence("Ctrl+C"));
  AddAction(edit, "Paste1", "Paste", QKeySequence("Ctrl+V"));
  AddAction(edit, "SelectAll1", "Select All", QKeySequence("Ctrl+A"));
  edit->addSeparator();
  AddAction(edit, "ReportConfiguration1", "Report Configuration...");
  AddAction(edit, "Options1", "Options...");
  connect(edit, &QMenu::aboutToShow, this, [this] { UpdateEditCommands(); });

  QMenu* view = Named(mb->addMenu("View"), "View1");
  AddAction(view, "Table1", "Table");
  AddAction(view, "Filter0", "Filter");
  AddAction(view, "CalculatedFields1", "Calculated Fields");
  QMenu* viewMail = Named(view->addMenu("Mailing"), "Mailing2");
  AddAction(viewMail, "Editor1", "Editor");
  AddAction(viewMail, "Source1", "Source");
  AddAction(viewMail, "Preview1", "Preview");
  AddAction(viewMail, "Attachments1", "Attachments");
  QMenu* viewWd = Named(view->addMenu("Withdrawal"), "Withdrawal2");
  AddAction(viewWd, "Body1", "Body");
  AddAction(viewWd, "CustomText1", "Custom Text");
  AddAction(viewWd, "ServerOptions1", "Server Options");
  AddAction(viewWd, "Parser1", "Parser");
  AddAction(viewWd, "Preview2", "Preview");

  QMenu* insert = Named(mb->addMenu("Insert"), "Insert1");
  AddAction(insert, "HorizontalLine1", "Horizontal Line");
  AddAction(insert, "Image1", "Image...");
  AddAction(insert, "Hyperlink1", "Hyperlink...", QKeySequence("Ctrl+K"));

  QMenu* format = Named(mb->addMenu("Format"), "Format1");
  AddAction(format, "Font1", "Font...");
  AddAction(format, "NumberedList1", "Numbered List")->setCheckable(true);
  AddAction(format, "BulletedList1", "Bulleted List")->setCheckable(true);
  AddAction(format, "DecreaseIndent1", "Decrease indent");
  AddAction(format, "IncreaseIndent1", "Increase Indent");
  format->addSeparator();
  AddAction(format, "HTML1", "HTML")->setCheckable(true);
  AddAction(format, "PlainText1", "Plain Text")->setCheckable(true);
  format->addSeparator();
  AddAction(format, "Encoding0", "Encoding...");
  Action("HTML1")->setChecked(true);

  QMenu* wd = Named(mb->addMenu("Withdrawal"), "Withdrawal1");
  AddAction(wd, "AddScheme1", "Add Scheme...");
  AddAction(wd, "DeleteScheme1", "Delete Scheme...");
  wd->addSeparator();
  AddAction(wd, "GetMailList1", "Get Mail List");
  wd->addSeparator();
  AddAction(wd, "DeleteMail1", "Delete Mail");
  AddAction(wd, "Extract1", "Extract");
  AddAction(wd, "Response1", "Response...");

  QMenu* help = Named(mb->addMenu("Help"), "Help2");
  AddAction(help, "Help1", "Help", QKeySequence("F1"));
  AddAction(help, "About1", "About...");

  // The frame's own commands.
  auto on = [this](const char* name, auto fn) { connect(Action(name), &QAction::triggered, this, fn); };
  on("Mailing1", [this] { Mailing1Click(); });
  on("SendCurrent1", [this] { SendCurrent1Click(); });
  on("Accounts1", [this] {
    if (services_.Accounts) services_.Accounts->ShowAccounts();
  });
  on("ReportConfiguration1", [this] {
    if (services_.Reports) services_.Reports->ReportConfiguration1Click();
  });
  on("Options1", [this] { Options1Click(); });
  on("About1", [this] { About1Click(); });
  on("Exit1", [this] { Exit1Click(); });
  on("Help1", [this] { Help1Click(); });
  on("Cut1", [this] { ExecEditCommand(ecCut); });
  on("Copy1", [this] { ExecEditCommand(ecCopy); });
  on("Paste1", [this] { ExecEditCommand(ecPaste); });
  on("Undo1", [this] { ExecEditCommand(ecUndo); });
  on("Redo1", [this] { ExecEditCommand(ecRedo); });
  on("SelectAll1", [this] { ExecEditCommand(ecSelectAll); });
  on("Table1", [this] { ShowPage(databasePage_); });
  on("Filter0", [this] { ShowPage(filterPage_); });
  on("CalculatedFields1", [this] { ShowPage(calcPage_); });
  auto mailTab = [this](QWidget* TMailingPage::*tab) {
    mailingPage_->PageControl2->setCurrentWidget(mailingPage_->*tab);
    ShowPage(mailingPage_);
  };
  on("Editor1", [mailTab] { mailTab(&TMailingPage::TabSheet3); });
  on("Source1", [mailTab] { mailTab(&TMailingPage::TabSheet8); });
  on("Preview1", [mailTab] { mailTab(&TMailingPage::TabSheet5); });
  on("Attachments1", [mailTab] { mailTab(&TMailingPage::TabSheet6); });
  const char* wdItems[] = {"Body1", "CustomText1", "ServerOptions1", "Parser1", "Preview2"};
  for (int i = 0; i < 5; ++i)
    on(wdItems[i], [this, i] {
      // The page first: the sub-page shown then (Preview) takes the focus from the message list.
      ShowPage(withdrawalPage_);
      withdrawalPage_->PageControl3->setCurrentIndex(i);
    });
  on("Descend0", [this] { UpdateControls(); });
  // Tool buttons that forward to a menu command.
  auto forward = [this](const char* button, const char* item) {
    connect(Action(button), &QAction::triggered, Action(item), &QAction::trigger);
  };
  forward("SpeedItem47", "Descend0");
  forward("SpeedItem48", "Unsort0");
  forward("SpeedItem22", "Reopen0");
  forward("SpeedItem24", "Reopen0");
  forward("SpeedItem23", "NewDatabase1");
  forward("OpenDB5", "OpenDB0");
  forward("OpenMail5", "OpenMail0");
  forward("AddRec5", "AddRec0");
  forward("EditRec5", "EditRec0");
  forward("FindRec5", "Find0");
  forward("DeleteRec5", "DeleteRec0");
  forward("NewMail5", "NewMail0");
  forward("OpenMail6", "OpenMail0");
  forward("SaveMail5", "SaveMail0");
  forward("SpeedItem39", "GetMailList1");
  forward("SpeedItem41", "DeleteMail1");
  forward("SpeedItem46", "Extract1");
  forward("SpeedItem45", "Response1");
  forward("SpeedItem43", "AddScheme1");
  forward("SpeedItem44", "DeleteScheme1");
  forward("HtmlMode5", "HTML1");
  forward("Cut5", "Cut1");
  forward("Copy5", "Copy1");
  forward("Paste5", "Paste1");
  forward("Undo5", "Undo1");
  forward("Redo5", "Redo1");
  forward("PlainMode5", "PlainText1");
  connect(databasePage_->SpeedButton5, &QToolButton::clicked, Action("CloseTable1"), &QAction::trigger);
  connect(mailingPage_->SpeedButton6, &QToolButton::clicked, this, &TLPMain::SpeedButton6Click);

  auto mode = [this](TMailMode m) {
    SetModified(true);
    if (services_.Editor)
      services_.Editor->SetEditorMode(m);
    else
      SetMailMode(m);
  };
  on("HTML1", [mode] { mode(mmHtml); });
  on("PlainText1", [mode] { mode(mmPlainText); });
}

void TLPMain::WatchEditor(QWidget* w) { w->installEventFilter(this); }

bool TLPMain::eventFilter(QObject* watched, QEvent* e) {
  switch (e->type()) {
    case QEvent::FocusIn:
      if (watched == mailingPage_->RxRichEdit2 && state_.MailMode == mmHtml && mailingPage_->HtmlEditorShown()) {
        // In HTML mode the plain editor hands its focus to the HTML editor.
        mailingPage_->EmbeddedWB1->setFocus();
        break;
      }
      UpdateEditCommands();
      break;
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease: UpdateEditCommands(); break;
    case QEvent::FocusOut:
      // Opening a menu is no leaving: the Edit menu still works on this control.
      if (static_cast<QFocusEvent*>(e)->reason() == Qt::PopupFocusReason) break;
      if (watched == mailingPage_->RxRichEdit2 || watched == mailingPage_->RxRichEdit1 ||
          watched == filterPage_->Memo1 || watched == filterPage_->Memo5 || watched == calcPage_->Memo2 ||
          watched == mailingPage_->Edit2)
        UpdateHtmlMenus();
      break;
    default: break;
  }
  return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------- caption and commands

void TLPMain::UpdateCaption() {
  const ITableAccess* t = services_.Table;
  const QString caption =
      Q(BuildCaption(state_.ProjectFileName, t ? t->TableName() : std::string(), t && t->SQLQueryMode()));
  // The task bar shows the window's own title; there is no separate application title.
  setWindowTitle(caption);
}

TSendState TLPMain::SendState() const { return services_.Mailing ? services_.Mailing->SendState() : ssIdle; }

void TLPMain::SaveProject() {
  if (services_.Project) services_.Project->SaveMail0Click();
}

TFrameState TLPMain::CurrentFrameState() const {
  TFrameState s;
  if (const ITableAccess* t = services_.Table) {
    s.tableOpen = t->TableOpen();
    s.tableEmpty = t->TableEmpty();
    s.sortOn = t->SortOn();
    s.sortText = t->SortText();
  }
  s.descendedChecked = Action("Descend0")->isChecked();
  s.mailingWindowExists = services_.Mailing != nullptr;
  s.sendState = SendState();
  return s;
}

void TLPMain::UpdateControls() {
  const TCommandStates c = ComputeCommandStates(CurrentFrameState());
  auto en = [this](const char* name, bool on) {
    if (QAction* a = Action(name)) a->setEnabled(on);
  };
  en("Restructure0", c.restructure);
  en("AddDBF1", c.addTable);
  en("AddRec0", c.addRecord);
  en("AddRec5", c.addRecord);
  en("CloseTable1", c.closeTable);
  en("Reopen0", c.reopen);
  en("SpeedItem22", c.reopen);
  en("SpeedItem24", c.reopen);
  databasePage_->RxDBGrid1->horizontalHeader()->setSectionsClickable(c.titleButtons);
  en("EditRec0", c.editRecord);
  en("EditRec5", c.editRecord);
  en("DeleteRec0", c.deleteRecord);
  en("DeleteRec5", c.deleteRecord);
  en("Find0", c.find);
  en("FindRec5", c.find);
  en("SendCurrent1", c.sendCurrent);
  mailingPage_->SpeedButton6->setEnabled(c.sendCurrent);
  en("Accounts1", c.accounts);
  en("Unique0", c.findDuplicates);
  en("SelectDublicates1", c.selectDuplicates);
  en("Unsort0", c.unsort);
  en("SpeedItem48", c.unsort);
  en("Descend0", c.descended);
  en("SpeedItem47", c.descended);
  Action("SpeedItem47")->setText(Q(c.descendedCaption));
  Action("SpeedItem47")->setData(c.descendedImage);

  // The Edit tab shows the editor of the mail mode.
  mailingPage_->ShowEditorFor(state_.MailMode == mmHtml);
}

void TLPMain::SetMailMode(TMailMode mode) {
  state_.MailMode = mode;
  // The two menu items and the two buttons show it, opposite each other.
  Action("HTML1")->setChecked(mode == mmHtml);
  Action("PlainText1")->setChecked(mode == mmPlainText);
  Action("HtmlMode5")->setChecked(mode == mmHtml);
  Action("PlainMode5")->setChecked(mode == mmPlainText);
  UpdateControls();
}

void TLPMain::UpdateWithdrawalControls() {
  if (services_.Withdrawal) services_.Withdrawal->UpdateWithdrawalControls();
}

void TLPMain::ShowPage(QWidget* page) {
  if (PageControl1->currentWidget() == page)
    PageControl1Change();
  else
    PageControl1->setCurrentWidget(page);
}

void TLPMain::PageControl1Change() {
  QWidget* page = PageControl1->currentWidget();
  if (page == databasePage_) {
    if (databasePage_->RxDBGrid1->isVisible()) databasePage_->RxDBGrid1->setFocus();
    UpdateControls();
  } else if (page == filterPage_) {
    TabSheet9Show();
  } else if (page == calcPage_) {
    calcPage_->TabSheet7Show();
    UpdateControls();
  } else if (page == withdrawalPage_) {
    UpdateControls();
    if (services_.Withdrawal) services_.Withdrawal->TabSheet4Show();
  } else if (page == mailingPage_) {
    UpdateControls();
  }
  FormResize();
}

void TLPMain::TabSheet9Show() {
  filterPage_->Memo5->setFocus();
  UpdateControls();
}

// ---------------------------------------------------------------- row rules

void TLPMain::ShowFilterPage() { PageControl1->setCurrentWidget(filterPage_); }

void TLPMain::PlaceFilterCaret(int place) { filterPage_->PlaceFilterCaret(place); }

void TLPMain::ShowHighlightSlot(int slot, int place) { filterPage_->ShowHighlightSlot(slot, place); }

void TLPMain::ShowError(const std::string& text) { ErrorBox(text); }

void TLPMain::RxDBGrid1TopLeftChanged() {
  // The rows now in view are worked out afresh, as when the grid paints a new row.
  state_.RowRules.InvalidateRowColors();
}

// ---------------------------------------------------------------- edit commands

QWidget* TLPMain::FocusedEditControl() const {
  QWidget* f = QApplication::focusWidget();
  for (QWidget* w : {static_cast<QWidget*>(mailingPage_->RxRichEdit1), static_cast<QWidget*>(mailingPage_->RxRichEdit2),
                     static_cast<QWidget*>(mailingPage_->Edit2), static_cast<QWidget*>(filterPage_->Memo1),
                     static_cast<QWidget*>(filterPage_->Memo5), static_cast<QWidget*>(calcPage_->Memo2),
                     static_cast<QWidget*>(withdrawalPage_->Memo6)})
    if (f == w) return w;
  return nullptr;
}

void TLPMain::ExecEditCommand(TEditCommand Command) {
  if (services_.Editor && services_.Editor->HasFocus()) {
    services_.Editor->ExecEditCommand(Command);
    services_.Editor->UpdateEditCommands();
    return;
  }
  QWidget* w = FocusedEditControl();
  if (auto* line = qobject_cast<QLineEdit*>(w)) {
    switch (Command) {
      case ecCut: line->cut(); break;
      case ecCopy: line->copy(); break;
      case ecPaste: line->paste(); break;
      case ecUndo: line->undo(); break;
      case ecSelectAll: line->selectAll(); break;
      default: break;
    }
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
    const bool rich = memo == mailingPage_->RxRichEdit1 || memo == mailingPage_->RxRichEdit2;
    switch (Command) {
      case ecCut: memo->cut(); break;
      case ecCopy: memo->copy(); break;
      case ecPaste: memo->paste(); break;
      case ecUndo: memo->undo(); break;
      case ecRedo:
        if (rich) memo->redo();
        break;
      case ecSelectAll: memo->selectAll(); break;
      default: break;
    }
  }
  UpdateEditCommands();
}

void TLPMain::UpdateEditCommands() {
  if (services_.Editor && services_.Editor->HasFocus()) {
    services_.Editor->UpdateEditCommands();
    return;
  }
  bool cut = false, paste = false, undo = false, redo = false, all = false;
  QWidget* w = FocusedEditControl();
  if (auto* line = qobject_cast<QLineEdit*>(w)) {
    cut = line->hasSelectedText();
    paste = all = true;
    undo = line->isUndoAvailable();
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
    cut = memo->textCursor().hasSelection();
    paste = all = true;
    undo = memo->document()->isUndoAvailable();
    redo =
        (memo == mailingPage_->RxRichEdit1 || memo == mailingPage_->RxRichEdit2) && memo->document()->isRedoAvailable();
  }
  if (!w) return;  // leaving a control: the editor menus take over
  Action("Cut1")->setEnabled(cut);
  Action("Copy1")->setEnabled(cut);
  Action("Paste1")->setEnabled(paste);
  Action("Undo1")->setEnabled(undo);
  Action("Redo1")->setEnabled(redo);
  Action("SelectAll1")->setEnabled(all);
  SyncEditButtons();
}

void TLPMain::SyncEditButtons() {
  for (const char* n : {"Cut", "Copy", "Paste", "Undo", "Redo"})
    Action(std::string(n) + "5")->setEnabled(Action(std::string(n) + "1")->isEnabled());
}

void TLPMain::UpdateHtmlMenus() {
  for (const char* n : {"SelectAll1", "Cut1", "Copy1", "Paste1", "Undo1", "Redo1", "Hyperlink1"})
    Action(n)->setEnabled(false);
  SyncEditButtons();
  const bool htmlEdit = PageControl1->currentWidget() == mailingPage_ &&
                        mailingPage_->PageControl2->currentWidget() == mailingPage_->TabSheet3 &&
                        state_.MailMode == mmHtml;
  for (const char* n : {"Image1", "HorizontalLine1", "Font1", "NumberedList1", "BulletedList1", "DecreaseIndent1",
                        "IncreaseIndent1", "Table5"})
    Action(n)->setEnabled(htmlEdit);
}

// ---------------------------------------------------------------- resizing

void TLPMain::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  FormResize();
}

void TLPMain::FormResize() {
  // The "Subject" edit, the "To" list and the preview status bar stretch with
  // their panels in the layout, which keeps the right margin of 10 pixels and
  // the minimum widths; only the close-table button is placed by hand.
  databasePage_->PlaceCloseButton(width());
}

// ---------------------------------------------------------------- project state

void TLPMain::SnapshotProject() {
  project_.Take(ToStdString(mailingPage_->RxRichEdit1->toPlainText()),
                ToStdString(mailingPage_->RxRichEdit2->toPlainText()));
}

bool TLPMain::IsProjectModified() {
  return project_.IsModified(services_.Editor, ToStdString(mailingPage_->RxRichEdit1->toPlainText()),
                             ToStdString(mailingPage_->RxRichEdit2->toPlainText()));
}

bool TLPMain::FormCloseQuery() { return RunCloseQuery(*this); }

void TLPMain::RefuseClose(const std::string& why) { ConfirmBox(why, TMsgButtons::OK); }

TSaveChoice TLPMain::AskSaveProject(const std::string& question) {
  switch (ConfirmBox(question, TMsgButtons::YesNoCancel)) {
    case TMsgResult::Yes: return TSaveChoice::Save;
    case TMsgResult::No: return TSaveChoice::Discard;
    default: return TSaveChoice::Cancel;
  }
}

void TLPMain::closeEvent(QCloseEvent* e) {
  if (!FormCloseQuery()) {
    e->ignore();
    return;
  }
  FormClose();
  e->accept();
}

void TLPMain::FormClose() {
  if (closed_) return;
  closed_ = true;
  if (ITableAccess* t = services_.Table) {
    t->PostPending();
    if (t->TableOpen()) t->SaveTableConfig();
  }
  std::error_code ec;
  if (services_.Preview)
    if (const std::string p = services_.Preview->PreviewFileName(); !p.empty()) std::filesystem::remove(p, ec);
  if (services_.Reports)
    if (const std::string r = services_.Reports->ReportViewerFileName(); !r.empty()) std::filesystem::remove(r, ec);
}

// ---------------------------------------------------------------- start-up

void TLPMain::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TLPMain::SetCommandLine(const std::vector<std::string>& args) { paramList_ = args; }

void TLPMain::FormShow() {
  if (firstRun_) {
    if (services_.Accounts) services_.Accounts->ShowAccounts();
    Options1Click();
    RunFirstRunSetup();  // folders and example files
  }
  if (paramList_.empty()) paramList_.push_back(ToStdString(QApplication::applicationFilePath()));
  OpenCommandLineFiles();
  if (services_.Project) services_.Project->ListToProject();
  UpdateCaption();
  UpdateHtmlMenus();
  SnapshotProject();
}

void TLPMain::OnActivateMessage() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void TLPMain::OnOpenFilesMessage(const std::string& text) {
  if (text.empty()) return;
  const std::string program = paramList_.empty() ? std::string() : paramList_[0];
  paramList_.assign(1, program);
  for (const auto& a : SplitOpenFilesText(text)) paramList_.push_back(a);
  if (IsProjectModified()) {
    switch (AskSaveProject("Save Project?")) {
      case TSaveChoice::Save:
        SaveProject();
        if (!Modified()) OpenCommandLineFiles();
        break;
      case TSaveChoice::Discard: OpenCommandLineFiles(); break;
      case TSaveChoice::Cancel: break;
    }
    return;
  }
  OpenCommandLineFiles();
}

void TLPMain::OpenCommandLineFiles() {
  if (paramList_.size() <= 1) return;
  const TCommandLineFiles files = ClassifyCommandLine(paramList_);
  if (!files.Project.empty()) {
    if (services_.Project) services_.Project->OpenMailFile(files.Project);
    if (services_.Highlight) services_.Highlight->ColorComboBox1Click();
    SnapshotProject();
  }
  if (files.TableIsAccess())
    OpenAccessFile(files.Access);
  else if (!files.DBase.empty())
    OpenDBFFile(files.DBase);
}

// ---------------------------------------------------------------- commands

void TLPMain::Mailing1Click() {
  if (state_.Settings.Values().ActiveProfile.empty()) {
    ErrorBox("Account is not selected");
    return;
  }
  if (services_.Mailing) services_.Mailing->ShowMailing();
}

// Only while the mailing window is idle; the window's run checks the rest.
void TLPMain::SendCurrent1Click() {
  if (services_.Mailing && services_.Mailing->SendState() == ssIdle) services_.Mailing->SendCurrent1Click();
}

void TLPMain::SpeedButton6Click() { SendCurrent1Click(); }

void TLPMain::Exit1Click() { close(); }

void TLPMain::About1Click() {
  if (aboutDialog_) aboutDialog_->exec();
}

void TLPMain::Help1Click() { ShowHelpContents(); }

void TLPMain::ShowHelpContext(int HelpContext) { ::ShowHelpContext(HelpContext); }

void TLPMain::Options1Click() {
  if (services_.Options) services_.Options->ShowOptions();
}

void TLPMain::OpenDBFFile(const std::string& FileName) {
  QTimer::singleShot(0, this, [this, FileName] {
    if (services_.Table) services_.Table->OpenDBFFile(FileName);
  });
}

void TLPMain::OpenAccessFile(const std::string& FileName) {
  QTimer::singleShot(0, this, [this, FileName] {
    if (services_.Table) services_.Table->OpenAccessFile(FileName);
  });
}
