#include "workspace/ui/LPMain.h"

#include <filesystem>

#include <QAction>
#include <QTimer>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/MessageBox.h"
#include "workspace/FirstRun.h"
#include "workspace/ui/Pictures.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"
#include "platform/Registry.h"
#include "platform/CommandLine.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/About.h"
#include "workspace/AppSettings.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/TableUi.h"
#include "workspace/ui/TableWiring.h"

TLPMain* LPMain = nullptr;
TOptForm* OptForm = nullptr;
std::string AppDir;
std::vector<std::string> ParamList;
bool FirstRun = false;
std::string ProjectFileName;
std::string TableName;
bool SQLQueryMode = false;

namespace {

QString Q(const std::string& s) { return ToQString(s); }

template <class W>
W* Named(W* w, const char* name) {
  w->setObjectName(name);
  return w;
}

const char* kColorNames[16] = {"Black", "Maroon", "Green", "Olive", "Navy", "Purple", "Teal", "Gray",
                               "Silver", "Red", "Lime", "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
const QColor kColors[16] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},   {128, 128, 0},
                            {0, 0, 128},     {128, 0, 128},   {0, 128, 128}, {128, 128, 128},
                            {192, 192, 192}, {255, 0, 0},     {0, 255, 0},   {255, 255, 0},
                            {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};

QComboBox* ColorCombo(QWidget* parent, const char* name) {
  auto* c = Named(new QComboBox(parent), name);
  for (int i = 0; i < 16; ++i) {
    QPixmap swatch(16, 12);
    swatch.fill(kColors[i]);
    c->addItem(QIcon(swatch), kColorNames[i]);
  }
  return c;
}

QComboBox* Combo(QWidget* parent, const char* name, bool editable) {
  auto* c = Named(new QComboBox(parent), name);
  c->setEditable(editable);
  return c;
}

QPlainTextEdit* MemoBox(QWidget* parent, const char* name, bool wrap = true, bool readOnly = false) {
  auto* m = Named(new QPlainTextEdit(parent), name);
  m->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  m->setReadOnly(readOnly);
  return m;
}

QToolButton* ToolBtn(QWidget* parent, const char* name, const QString& caption) {
  auto* b = Named(new QToolButton(parent), name);
  b->setText(caption);
  b->setToolTip(caption);
  return b;
}

}  // namespace

// ---------------------------------------------------------------- background

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) { setAutoFillBackground(false); }

void TPaintBox::paintEvent(QPaintEvent*) {
  static const QPixmap tile = BackgroundPicture();
  QPainter p(this);
  if (tile.isNull()) return;
  for (int y = 0; y < height(); y += tile.height())
    for (int x = 0; x < width(); x += tile.width()) p.drawPixmap(x, y, tile);
}

// ---------------------------------------------------------------- creation

TLPMain::TLPMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("LPMain");
  LPMain = this;
  FormCreate();
}

TLPMain::~TLPMain() {
  FormDestroy();
  if (LPMain == this) LPMain = nullptr;
}

QAction* TLPMain::Action(const std::string& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

QAction* TLPMain::AddAction(QMenu* menu, const std::string& name, const QString& caption,
                            const QKeySequence& key) {
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

  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  setCentralWidget(PageControl1);
  BuildDatabasePage();
  BuildFilterPage();
  BuildCalcPage();
  BuildMailingPage();
  BuildWithdrawalPage();
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
  BuildMenus();
  WireTableWorkspace(*this);

  // Step 3: the pages shown first; the grid waits for a table.
  PageControl1->setCurrentWidget(TabSheet1);
  PageControl2->setCurrentWidget(TabSheet3);
  PageControl3->setCurrentIndex(0);
  RxDBGrid1->hide();
  SpeedButton5->hide();
  PaintBox1->show();

  // Step 4: no table, no sort.
  SQLQueryMode = false;
  TableName.clear();
  Action("Descend0")->setChecked(false);

  // Step 5: the program's folder.
  AppDir = ResolveAppDir();

  // Step 7: the folder settings. A first run is one that finds no settings key yet.
  FirstRun = !SettingsRegistry().KeyExists(RegKeyPath);
  LoadSettings();
  ProjectFileName.clear();

  // Step 9: the merge tokenizer. Line ends are delimiters, "_" belongs to names.
  Reader1.SetDefaultBlanks();
  Reader1.RemoveBlankChar('\n');
  Reader1.RemoveBlankChar('\r');
  Reader1.SetStandardDelimiters();
  Reader1.DeleteWord("_");
  Reader1.AddDelimiter("\n", 0, -1, nullptr);
  Reader1.AddDelimiter("\r", 0, -1, nullptr);

  // Step 10: the editor's font list.
  if (auto* fonts = FormatBar->findChild<QComboBox*>("ComboBox8")) fonts->addItems(QFontDatabase::families());

  // Step 11: the host function "Now".
  FastEval1.OnGetDateTimeFunct = [this](TFastEval*, const std::string& name, bool, const TFunctParamValues&,
                                        bool& found, TDateTime& value, int) {
    FastEval1GetDateTimeFunct(name, found, value);
  };
  FastEval1.AddFunction("Now", true, etDateTime, {});

  connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget*) { UpdateEditCommands(); });

  UpdateCaption();
  UpdateControls();
  UpdateEditCommands();
  UpdateHtmlMenus();
  SnapshotProject();
}

void TLPMain::FastEval1GetDateTimeFunct(const std::string& FunctName, bool& Found, TDateTime& Value) {
  if (LowerCase(FunctName) == "now") {
    Found = true;
    Value = Now();
  }
}

void TLPMain::LoadSettings() {
  std::string activeScheme;
  AppSettings().LoadSettings(activeScheme);
  TAppSettings::ReplaceEmptyFolders(AppDir);
  ComboBox3->setCurrentIndex(ComboBox3->findText(Q(activeScheme), Qt::MatchExactly));
  if (ComboBox3->count() > 0 && ComboBox3->currentIndex() < 0) ComboBox3->setCurrentIndex(0);
}

void TLPMain::RunFirstRunSetup() {
  CreateFirstRunFiles(AppDir, DataBaseDir, MailDir, [] { SaveDataBaseDir(); }, [] { SaveMailDir(); });
}

void TLPMain::FormDestroy() {
  // The editor command object belongs to the HTML editor, which frees it with the window.
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

  QMenu* help = Named(mb->addMenu("Help"), "Help2");
  AddAction(help, "Help1", "Help", QKeySequence("F1"));
  AddAction(help, "About1", "About...");

  // The frame's own commands.
  auto on = [this](const char* name, auto fn) { connect(Action(name), &QAction::triggered, this, fn); };
  on("Mailing1", [this] { Mailing1Click(); });
  on("Accounts1", [this] { ShowAccounts(); });
  on("ReportConfiguration1", [this] { ReportConfiguration1Click(); });
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
  on("Table1", [this] { ShowPage(TabSheet1); });
  on("Filter0", [this] { ShowPage(TabSheet9); });
  on("CalculatedFields1", [this] { ShowPage(TabSheet7); });
  auto mailTab = [this](QWidget* tab) {
    PageControl2->setCurrentWidget(tab);
    ShowPage(TabSheet2);
  };
  on("Editor1", [this, mailTab] { mailTab(TabSheet3); });
  on("Source1", [this, mailTab] { mailTab(TabSheet8); });
  on("Preview1", [this, mailTab] { mailTab(TabSheet5); });
  on("Attachments1", [this, mailTab] { mailTab(TabSheet6); });
  const char* wdItems[] = {"Body1", "CustomText1", "ServerOptions1", "Parser1", "Preview2"};
  for (int i = 0; i < 5; ++i)
    on(wdItems[i], [this, i] {
      PageControl3->setCurrentIndex(i);
      ShowPage(TabSheet4);
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
  forward("SpeedItem43", "AddScheme1");
  forward("SpeedItem44", "DeleteScheme1");
  forward("HtmlMode5", "HTML1");
  forward("Cut5", "Cut1");
  forward("Copy5", "Copy1");
  forward("Paste5", "Paste1");
  forward("Undo5", "Undo1");
  forward("Redo5", "Redo1");
  forward("PlainMode5", "PlainText1");
  connect(SpeedButton5, &QToolButton::clicked, Action("CloseTable1"), &QAction::trigger);
  connect(SpeedButton6, &QToolButton::clicked, Action("SendCurrent1"), &QAction::trigger);

  // The mode switch keeps the two menu items and buttons opposite.
  auto setMode = [this](int mode) {
    SetModified(true);
    MailMode = mode;
    Action("HTML1")->setChecked(mode == 1);
    Action("PlainText1")->setChecked(mode == 0);
    Action("HtmlMode5")->setChecked(mode == 1);
    Action("PlainMode5")->setChecked(mode == 0);
    UpdateControls();
  };
  on("HTML1", [setMode] { setMode(1); });
  on("PlainText1", [setMode] { setMode(0); });
}

void TLPMain::BuildDatabasePage() {
  TabSheet1 = Named(new QWidget, "TabSheet1");
  PageControl1->addTab(TabSheet1, "Database");
  auto* layout = new QVBoxLayout(TabSheet1);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // The tool bar: sections "Database", "Table" and "Sort".
  SpeedBar1 = Named(new QToolBar(TabSheet1), "SpeedBar1");
  AddToolAction(SpeedBar1, "SpeedItem23", "Create DBF...");
  AddToolAction(SpeedBar1, "OpenDB5", "Open Database");
  AddToolAction(SpeedBar1, "OpenMail5", "Open Project");
  SpeedBar1->addSeparator();
  AddToolAction(SpeedBar1, "EditRec5", "Edit Record");
  AddToolAction(SpeedBar1, "AddRec5", "Add Record");
  AddToolAction(SpeedBar1, "FindRec5", "Find");
  AddToolAction(SpeedBar1, "DeleteRec5", "Delete Record");
  AddToolAction(SpeedBar1, "SpeedItem22", "Refresh");
  SpeedBar1->addSeparator();
  AddToolAction(SpeedBar1, "SpeedItem47", "Descended");
  AddToolAction(SpeedBar1, "SpeedItem48", "Unsort");
  layout->addWidget(SpeedBar1);

  auto* area = new QWidget(TabSheet1);
  area->setObjectName("Panel7");
  auto* areaLayout = new QStackedLayout(area);
  areaLayout->setStackingMode(QStackedLayout::StackAll);
  RxDBGrid1 = Named(new QTableView(area), "RxDBGrid1");
  RxDBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  RxDBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  PaintBox1 = Named(new TPaintBox(area), "PaintBox1");
  areaLayout->addWidget(PaintBox1);
  areaLayout->addWidget(RxDBGrid1);
  layout->addWidget(area, 1);

  StatusBar2 = Named(new QStatusBar(TabSheet1), "StatusBar2");
  StatusBar2->setSizeGripEnabled(false);
  StatusPanel2 = Named(new QLabel(StatusBar2), "StatusBar2Panel0");
  StatusPanel2->setMinimumWidth(200);
  StatusBar2->addWidget(StatusPanel2);
  layout->addWidget(StatusBar2);

  SpeedButton5 = ToolBtn(TabSheet1, "SpeedButton5", "x");
  SpeedButton5->setToolTip("Close Table");
  SpeedButton5->setFixedSize(24, 22);
  SpeedButton5->raise();
}

void TLPMain::BuildFilterPage() {
  TabSheet9 = Named(new QWidget, "TabSheet9");
  PageControl1->addTab(TabSheet9, "Filter");
  auto* layout = new QVBoxLayout(TabSheet9);

  auto* bar = Named(new QToolBar(TabSheet9), "SpeedBar3");
  AddToolAction(bar, "SpeedItem24", "Refresh");
  layout->addWidget(bar);

  auto* filter = Named(new QGroupBox("Filter", TabSheet9), "GroupBox1");
  auto* fl = new QVBoxLayout(filter);
  Memo1 = MemoBox(filter, "Memo1");
  CheckBox1 = Named(new QCheckBox("Use Filter", filter), "CheckBox1");
  fl->addWidget(Memo1);
  fl->addWidget(CheckBox1);

  auto* highlight = Named(new QGroupBox("Highlight", TabSheet9), "GroupBox2");
  auto* hl = new QGridLayout(highlight);
  ColorComboBox1 = ColorCombo(highlight, "ColorComboBox1");
  ColorComboBox1->setCurrentIndex(8);
  CheckBox5 = Named(new QCheckBox("Enabled", highlight), "CheckBox5");
  Memo5 = MemoBox(highlight, "Memo5");
  CheckBox3 = Named(new QCheckBox("Use Filter", highlight), "CheckBox3");
  hl->addWidget(ColorComboBox1, 0, 0);
  hl->addWidget(CheckBox5, 0, 1);
  hl->addWidget(Memo5, 1, 0, 1, 2);
  hl->addWidget(CheckBox3, 2, 0, 1, 2);

  auto* row = new QHBoxLayout;
  row->addWidget(filter, 1);
  row->addWidget(highlight, 1);
  layout->addLayout(row, 1);

  connect(Memo1, &QPlainTextEdit::textChanged, this, [this] { SetModified(true); });
  connect(CheckBox1, &QCheckBox::clicked, this, [this] { SetModified(true); });
  connect(ColorComboBox1, &QComboBox::activated, this, [this] { ColorComboBox1Click(); });
  WatchEditor(Memo1);
  WatchEditor(Memo5);
}

void TLPMain::BuildCalcPage() {
  TabSheet7 = Named(new QWidget, "TabSheet7");
  PageControl1->addTab(TabSheet7, "Calculated Fields");
  auto* layout = new QHBoxLayout(TabSheet7);

  auto* left = new QVBoxLayout;
  ListBox1 = Named(new QListWidget(TabSheet7), "ListBox1");
  Button8 = Named(new QPushButton("Add", TabSheet7), "Button8");
  Button14 = Named(new QPushButton("Delete", TabSheet7), "Button14");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button8);
  buttons->addWidget(Button14);
  left->addWidget(ListBox1, 1);
  left->addLayout(buttons);

  auto* right = new QVBoxLayout;
  ComboBox1 = Combo(TabSheet7, "ComboBox1", false);
  ComboBox1->addItems({"Integer", "Float", "Boolean", "String", "DateTime"});
  ComboBox1->setCurrentIndex(-1);
  Memo2 = MemoBox(TabSheet7, "Memo2");
  right->addWidget(new QLabel("Type of Field", TabSheet7));
  right->addWidget(ComboBox1);
  right->addWidget(new QLabel("Expression", TabSheet7));
  right->addWidget(Memo2, 1);

  layout->addLayout(left, 1);
  layout->addLayout(right, 2);
  Button14->setEnabled(false);
  Memo2->setEnabled(false);
  ComboBox1->setEnabled(false);
  WatchEditor(Memo2);
}

void TLPMain::BuildMailingPage() {
  TabSheet2 = Named(new QWidget, "TabSheet2");
  PageControl1->addTab(TabSheet2, "Mailing");
  auto* layout = new QVBoxLayout(TabSheet2);

  auto* head = Named(new QWidget(TabSheet2), "Panel2");
  auto* hl = new QGridLayout(head);
  hl->setContentsMargins(0, 0, 0, 0);
  ComboBox2 = Combo(head, "ComboBox2", false);
  Edit2 = Named(new QLineEdit(head), "Edit2");
  SpeedButton6 = ToolBtn(head, "SpeedButton6", "Send Current");
  SpeedButton6->setToolButtonStyle(Qt::ToolButtonTextOnly);
  hl->addWidget(new QLabel("To", head), 0, 0);
  hl->addWidget(ComboBox2, 0, 1);
  hl->addWidget(SpeedButton6, 0, 2);
  hl->addWidget(new QLabel("Subject", head), 1, 0);
  hl->addWidget(Edit2, 1, 1, 1, 2);
  hl->setColumnStretch(1, 1);
  hl->setContentsMargins(0, 0, 10, 0);
  Edit2->setMinimumWidth(SubjectEditWidth(0, 0));
  ComboBox2->setMinimumWidth(SubjectEditWidth(0, 0));
  layout->addWidget(head);

  PageControl2 = Named(new QTabWidget(TabSheet2), "PageControl2");
  layout->addWidget(PageControl2, 1);

  // Edit: the formatting bar over the HTML editor or the plain-text editor.
  TabSheet3 = Named(new QWidget, "TabSheet3");
  PageControl2->addTab(TabSheet3, "Edit");
  auto* el = new QVBoxLayout(TabSheet3);
  FormatBar = Named(new QToolBar(TabSheet3), "SpeedBar4");
  auto* blockFormat = Combo(FormatBar, "ComboBox5", false);
  blockFormat->addItems({"Normal", "Formatted", "Address", "Heading 1", "Heading 2", "Heading 3",
                         "Heading 4", "Heading 5", "Heading 6", "Numbered List", "Bulleted List",
                         "Directory List", "Menu List", "Definition Term", "Definition", "Paragraph"});
  auto* fontName = Combo(FormatBar, "ComboBox8", false);
  auto* fontSize = Combo(FormatBar, "ComboBox9", false);
  fontSize->addItems({"1", "2", "3", "4", "5", "6", "7"});
  FormatBar->addWidget(blockFormat);
  FormatBar->addWidget(fontName);
  FormatBar->addWidget(fontSize);
  FormatBar->addSeparator();
  const char* fmt[][2] = {{"Bold5", "Bold"},          {"Italic5", "Italic"},
                          {"Underline5", "Underline"}, {"Color5", "Color"},
                          {"AlignLeft5", "Align Left"}, {"Center5", "Center"},
                          {"AlignRight5", "Align Right"}, {"NumberedList5", "Numbered List"},
                          {"BulletedList5", "Bulleted List"}, {"DecreaseIndent5", "Decrease Indent"},
                          {"IncreaseIndent5", "Increase Indent"}, {"Table5", "Table"},
                          {"Details5", "Details"}};
  for (auto& f : fmt) AddToolAction(FormatBar, f[0], f[1]);
  for (const char* t : {"Bold5", "Italic5", "Underline5", "AlignLeft5", "Center5", "AlignRight5",
                        "NumberedList5", "BulletedList5"})
    Action(t)->setCheckable(true);
  FormatBar->addSeparator();
  AddToolAction(FormatBar, "HtmlMode5", "HTML")->setCheckable(true);
  AddToolAction(FormatBar, "PlainMode5", "Plain Text")->setCheckable(true);
  Action("HtmlMode5")->setChecked(true);
  el->addWidget(FormatBar);
  EditorStack = Named(new QStackedWidget(TabSheet3), "Panel3");
  EmbeddedWB1 = Named(new QWidget(EditorStack), "EmbeddedWB1");
  EmbeddedWB1->setAutoFillBackground(true);
  EmbeddedWB1->setBackgroundRole(QPalette::Base);
  RxRichEdit2 = MemoBox(EditorStack, "RxRichEdit2");
  EditorStack->addWidget(EmbeddedWB1);
  EditorStack->addWidget(RxRichEdit2);
  el->addWidget(EditorStack, 1);

  TabSheet8 = Named(new QWidget, "TabSheet8");
  PageControl2->addTab(TabSheet8, "Source");
  auto* sl = new QVBoxLayout(TabSheet8);
  RxRichEdit1 = MemoBox(TabSheet8, "RxRichEdit1", false);
  RxRichEdit1->setFont(QFont("Courier New", 10));
  sl->addWidget(RxRichEdit1);

  TabSheet5 = Named(new QWidget, "TabSheet5");
  PageControl2->addTab(TabSheet5, "Preview");
  auto* pl = new QVBoxLayout(TabSheet5);
  PreviewPanel = Named(new QWidget(TabSheet5), "Panel4");
  auto* ppl = new QGridLayout(PreviewPanel);
  ppl->setContentsMargins(0, 0, 0, 0);
  PreviewTo = Named(new QLabel(PreviewPanel), "Label5");
  PreviewSubject = Named(new QLabel(PreviewPanel), "Label6");
  ppl->addWidget(new QLabel("To:", PreviewPanel), 0, 0);
  ppl->addWidget(PreviewTo, 0, 1, 1, 2);
  ppl->addWidget(new QLabel("Subject:", PreviewPanel), 1, 0);
  ppl->addWidget(PreviewSubject, 1, 1, 1, 2);
  DBNavigator1 = Named(new QWidget(PreviewPanel), "DBNavigator1");
  auto* nav = new QHBoxLayout(DBNavigator1);
  nav->setContentsMargins(0, 0, 0, 0);
  for (const char* n : {"First", "Prior", "Next", "Last"}) nav->addWidget(ToolBtn(DBNavigator1, n, n));
  StatusBar1 = Named(new QStatusBar(PreviewPanel), "StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  ppl->addWidget(DBNavigator1, 2, 0, 1, 2);
  ppl->addWidget(StatusBar1, 2, 2);
  ppl->setColumnStretch(2, 1);
  StatusBar1->setMinimumWidth(PreviewStatusWidth(0, 0));
  pl->addWidget(PreviewPanel);
  WebBrowser1 = Named(new QWidget(TabSheet5), "WebBrowser1");
  WebBrowser1->setAutoFillBackground(true);
  WebBrowser1->setBackgroundRole(QPalette::Base);
  pl->addWidget(WebBrowser1, 1);

  TabSheet6 = Named(new QWidget, "TabSheet6");
  PageControl2->addTab(TabSheet6, "Attachments");
  auto* al = new QVBoxLayout(TabSheet6);
  ListBox3 = Named(new QListWidget(TabSheet6), "ListBox3");
  Button19 = Named(new QPushButton("Add...", TabSheet6), "Button19");
  Button24 = Named(new QPushButton("Remove", TabSheet6), "Button24");
  Button24->setEnabled(false);
  auto* ab = new QHBoxLayout;
  ab->addWidget(Button19);
  ab->addWidget(Button24);
  ab->addStretch();
  al->addWidget(ListBox3, 1);
  al->addLayout(ab);

  connect(Edit2, &QLineEdit::textEdited, this, [this] { SetModified(true); });
  WatchEditor(Edit2);
  WatchEditor(RxRichEdit1);
  WatchEditor(RxRichEdit2);
}

void TLPMain::BuildWithdrawalPage() {
  TabSheet4 = Named(new QWidget, "TabSheet4");
  PageControl1->addTab(TabSheet4, "Withdrawal");
  auto* layout = new QVBoxLayout(TabSheet4);

  SpeedBar2 = Named(new QToolBar(TabSheet4), "SpeedBar2");
  AddToolAction(SpeedBar2, "SpeedItem39", "Get List");
  AddToolAction(SpeedBar2, "SpeedItem41", "Delete");
  AddToolAction(SpeedBar2, "SpeedItem45", "Response")->setVisible(false);
  AddToolAction(SpeedBar2, "SpeedItem46", "Extract");
  SpeedBar2->addSeparator();
  AddToolAction(SpeedBar2, "SpeedItem43", "Add Scheme");
  AddToolAction(SpeedBar2, "SpeedItem44", "Delete Scheme");
  ComboBox3 = Combo(SpeedBar2, "ComboBox3", false);
  ComboBox3->setToolTip("Scheme");
  ComboBox3->setMinimumWidth(160);
  SpeedBar2->addWidget(ComboBox3);
  layout->addWidget(SpeedBar2);

  ListView1 = Named(new QTreeWidget(TabSheet4), "ListView1");
  ListView1->setHeaderLabels({"Subject", "From", "Date"});
  ListView1->setColumnWidth(0, 250);
  ListView1->setColumnWidth(1, 250);
  ListView1->setColumnWidth(2, 80);
  ListView1->setRootIsDecorated(false);
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

  PageControl3 = Named(new QTabWidget(TabSheet4), "PageControl3");
  auto page = [this](const char* name, const char* caption) {
    auto* w = Named(new QWidget, name);
    PageControl3->addTab(w, caption);
    return w;
  };
  QWidget* body = page("TabSheet10", "Body");
  Memo3 = MemoBox(body, "Memo3", true, true);
  (new QVBoxLayout(body))->addWidget(Memo3);

  QWidget* custom = page("TabSheet11", "Custom Text");
  auto* cl = new QVBoxLayout(custom);
  auto* ch = new QHBoxLayout;
  CheckBox4 = Named(new QCheckBox("Enabled", custom), "CheckBox4");
  Button7 = Named(new QPushButton("Help", custom), "Button7");
  ch->addWidget(CheckBox4);
  ch->addStretch();
  ch->addWidget(Button7);
  Memo6 = MemoBox(custom, "Memo6", false);
  cl->addLayout(ch);
  cl->addWidget(Memo6, 1);

  QWidget* server = page("TabSheet12", "Server Options");
  auto* svl = new QFormLayout(server);
  ComboBox12 = Combo(server, "ComboBox12", false);
  Button9 = Named(new QPushButton("Help", server), "Button9");
  svl->addRow("Account", ComboBox12);
  svl->addRow("", Button9);

  QWidget* parser = page("TabSheet13", "Parser");
  auto* pgl = new QGridLayout(parser);
  auto* markers = Named(new QGroupBox("Markers", parser), "GroupBox3");
  auto* ml = new QVBoxLayout(markers);
  TextListBox1 = Named(new QListWidget(markers), "TextListBox1");
  Button1 = Named(new QPushButton("Add", markers), "Button1");
  Button2 = Named(new QPushButton("Delete", markers), "Button2");
  Button5 = Named(new QPushButton("Help", markers), "Button5");
  ml->addWidget(TextListBox1, 1);
  auto* mb = new QHBoxLayout;
  mb->addWidget(Button1);
  mb->addWidget(Button2);
  mb->addWidget(Button5);
  ml->addLayout(mb);
  auto* values = Named(new QGroupBox("Values", parser), "GroupBox4");
  auto* vl = new QFormLayout(values);
  ListBox4 = Named(new QListWidget(values), "ListBox4");
  ComboBox6 = Combo(values, "ComboBox6", false);
  ComboBox7 = Combo(values, "ComboBox7", false);
  ComboBox11 = Combo(values, "ComboBox11", true);
  Button3 = Named(new QPushButton("Add", values), "Button3");
  Button4 = Named(new QPushButton("Delete", values), "Button4");
  vl->addRow(ListBox4);
  vl->addRow("Read After Marker", ComboBox6);
  vl->addRow("Read Up To Marker", ComboBox7);
  vl->addRow("Assign Value to Field", ComboBox11);
  auto* vb = new QHBoxLayout;
  vb->addWidget(Button3);
  vb->addWidget(Button4);
  vl->addRow(vb);
  auto* fields = Named(new QGroupBox(parser), "GroupBox5");
  auto* fl = new QFormLayout(fields);
  ComboBox13 = Combo(fields, "ComboBox13", true);
  ComboBox14 = Combo(fields, "ComboBox14", true);
  ComboBox15 = Combo(fields, "ComboBox15", true);
  ComboBox16 = Combo(fields, "ComboBox16", true);
  ComboBox10 = Combo(fields, "ComboBox10", true);
  fl->addRow("Assign Time to Field", ComboBox13);
  fl->addRow("Assign From-name to Field", ComboBox14);
  fl->addRow("Assign From-email to Field", ComboBox15);
  fl->addRow("Assign Subject to Field", ComboBox16);
  fl->addRow("Assign Content to Memo Field", ComboBox10);
  pgl->addWidget(markers, 0, 0);
  pgl->addWidget(values, 0, 1);
  pgl->addWidget(fields, 0, 2);

  QWidget* preview = page("TabSheet15", "Preview");
  auto* pvl = new QVBoxLayout(preview);
  auto* pvh = new QHBoxLayout;
  ComboBox4 = Combo(preview, "ComboBox4", false);
  SpeedButton3 = ToolBtn(preview, "SpeedButton3", "|<");
  SpeedButton1 = ToolBtn(preview, "SpeedButton1", "<");
  SpeedButton2 = ToolBtn(preview, "SpeedButton2", ">");
  SpeedButton4 = ToolBtn(preview, "SpeedButton4", ">|");
  Label13 = Named(new QLabel(preview), "Label13");
  pvh->addWidget(new QLabel("Values", preview));
  pvh->addWidget(ComboBox4, 1);
  for (QWidget* w : {static_cast<QWidget*>(SpeedButton3), static_cast<QWidget*>(SpeedButton1),
                     static_cast<QWidget*>(SpeedButton2), static_cast<QWidget*>(SpeedButton4)})
    pvh->addWidget(w);
  pvh->addWidget(new QLabel("Marker:", preview));
  pvh->addWidget(Label13, 1);
  Memo4 = MemoBox(preview, "Memo4", false, true);
  pvl->addLayout(pvh);
  pvl->addWidget(Memo4, 1);

  auto* split = new QVBoxLayout;
  split->addWidget(ListView1, 1);
  split->addWidget(PageControl3, 1);
  layout->addLayout(split, 1);

  StatusBar3 = Named(new QStatusBar(TabSheet4), "StatusBar3");
  StatusBar3->setSizeGripEnabled(false);
  StatusPanel3a = Named(new QLabel(StatusBar3), "StatusBar3Panel0");
  StatusPanel3a->setFixedWidth(200);
  StatusPanel3b = Named(new QLabel(StatusBar3), "StatusBar3Panel1");
  StatusPanel3b->setFixedWidth(50);
  StatusBar3->addWidget(StatusPanel3a);
  StatusBar3->addWidget(StatusPanel3b);
  layout->addWidget(StatusBar3);

  connect(Button7, &QPushButton::clicked, this, [this] { ShowHelpContext(10); });
  connect(Button9, &QPushButton::clicked, this, [this] { ShowHelpContext(11); });
  connect(Button5, &QPushButton::clicked, this, [this] { ShowHelpContext(12); });
  WatchEditor(Memo6);
}

void TLPMain::WatchEditor(QWidget* w) { w->installEventFilter(this); }

bool TLPMain::eventFilter(QObject* watched, QEvent* e) {
  switch (e->type()) {
    case QEvent::FocusIn:
      if (watched == RxRichEdit2 && MailMode == 1 && EditorStack->currentWidget() == EmbeddedWB1) {
        // In HTML mode the plain editor hands its focus to the HTML editor.
        EmbeddedWB1->setFocus();
        break;
      }
      UpdateEditCommands();
      break;
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
      UpdateEditCommands();
      break;
    case QEvent::FocusOut:
      // Opening a menu is no leaving: the Edit menu still works on this control.
      if (static_cast<QFocusEvent*>(e)->reason() == Qt::PopupFocusReason) break;
      if (watched == RxRichEdit2 || watched == RxRichEdit1 || watched == Memo1 || watched == Memo5 ||
          watched == Memo2 || watched == Edit2)
        UpdateHtmlMenus();
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------- caption and commands

void TLPMain::UpdateCaption() {
  const QString caption = Q(BuildCaption(ProjectFileName, TableName, SQLQueryMode));
  // The task bar shows the window's own title; there is no separate application title.
  setWindowTitle(caption);
}

int TLPMain::SendState() const { return MailingWindow ? MailingWindow->SendState() : 0; }

TFrameState TLPMain::CurrentFrameState() const {
  TFrameState s;
  s.tableOpen = TableStandIn.open;
  s.tableEmpty = TableStandIn.empty;
  s.sortOn = TableStandIn.sortOn;
  s.sortText = TableStandIn.sortText;
  s.descendedChecked = Action("Descend0")->isChecked();
  s.mailingWindowExists = MailingWindow != nullptr;
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
  RxDBGrid1->horizontalHeader()->setSectionsClickable(c.titleButtons);
  en("EditRec0", c.editRecord);
  en("EditRec5", c.editRecord);
  en("DeleteRec0", c.deleteRecord);
  en("DeleteRec5", c.deleteRecord);
  en("Find0", c.find);
  en("FindRec5", c.find);
  en("SendCurrent1", c.sendCurrent);
  SpeedButton6->setEnabled(c.sendCurrent);
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
  const bool html = !Action("PlainMode5")->isChecked();
  MailMode = html ? 1 : 0;
  EditorStack->setCurrentWidget(html ? EmbeddedWB1 : RxRichEdit2);
  for (const char* n : {"ComboBox5", "ComboBox8", "ComboBox9"})
    if (auto* w = FormatBar->findChild<QWidget*>(n)) w->setEnabled(html);
  for (const char* n : {"Bold5", "Italic5", "Underline5", "Color5", "AlignLeft5", "Center5", "AlignRight5",
                        "NumberedList5", "BulletedList5", "DecreaseIndent5", "IncreaseIndent5", "Details5"})
    en(n, html);
}

void TLPMain::ShowPage(QWidget* page) {
  if (PageControl1->currentWidget() == page)
    PageControl1Change();
  else
    PageControl1->setCurrentWidget(page);
}

void TLPMain::PageControl1Change() {
  QWidget* page = PageControl1->currentWidget();
  if (page == TabSheet1) {
    if (RxDBGrid1->isVisible()) RxDBGrid1->setFocus();
    UpdateControls();
  } else if (page == TabSheet9) {
    TabSheet9Show();
  } else if (page == TabSheet7 || page == TabSheet4 || page == TabSheet2) {
    UpdateControls();
  }
  FormResize();
}

void TLPMain::TabSheet9Show() {
  Memo5->setFocus();
  UpdateControls();
}

// ---------------------------------------------------------------- edit commands

QWidget* TLPMain::FocusedEditControl() const {
  QWidget* f = QApplication::focusWidget();
  for (QWidget* w : {static_cast<QWidget*>(RxRichEdit1), static_cast<QWidget*>(RxRichEdit2),
                     static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Memo1),
                     static_cast<QWidget*>(Memo5), static_cast<QWidget*>(Memo2),
                     static_cast<QWidget*>(Memo6)})
    if (f == w) return w;
  return nullptr;
}

void TLPMain::ExecEditCommand(int Command) {
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
    const bool rich = memo == RxRichEdit1 || memo == RxRichEdit2;
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
    redo = (memo == RxRichEdit1 || memo == RxRichEdit2) && memo->document()->isRedoAvailable();
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
  const bool htmlEdit = PageControl1->currentWidget() == TabSheet2 &&
                        PageControl2->currentWidget() == TabSheet3 && MailMode == 1;
  for (const char* n : {"Image1", "HorizontalLine1", "Font1", "NumberedList1", "BulletedList1",
                        "DecreaseIndent1", "IncreaseIndent1", "Table5"})
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
  SpeedButton5->move(CloseButtonLeft(width()), 2);
  SpeedButton5->raise();
}

// ---------------------------------------------------------------- project state

void TLPMain::SnapshotProject() {
  project_.Take(ToStdString(RxRichEdit1->toPlainText()), ToStdString(RxRichEdit2->toPlainText()));
}

bool TLPMain::IsProjectModified() {
  // The HTML editor reports no document until it is wired in.
  return project_.IsModified(false, nullptr, ToStdString(RxRichEdit1->toPlainText()),
                             ToStdString(RxRichEdit2->toPlainText()));
}

bool TLPMain::FormCloseQuery() { return RunCloseQuery(*this); }

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
  if (MainTables) MainTables->Workspace.PostPending();
  if (TableStandIn.open) SaveTableConfig();
  std::error_code ec;
  if (const std::string p = PreviewFileName(); !p.empty()) std::filesystem::remove(p, ec);
  if (const std::string r = ReportViewerFileName(); !r.empty()) std::filesystem::remove(r, ec);
}

// ---------------------------------------------------------------- start-up

void TLPMain::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TLPMain::SetCommandLine(const std::vector<std::string>& args) { ParamList = args; }

void TLPMain::FormShow() {
  if (FirstRun) {
    ShowAccounts();
    Options1Click();
    RunFirstRunSetup();  // folders and example files
  }
  if (ParamList.empty()) ParamList.push_back(ToStdString(QApplication::applicationFilePath()));
  OpenCommandLineFiles();
  ListToProject();
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
  const std::string program = ParamList.empty() ? std::string() : ParamList[0];
  ParamList.assign(1, program);
  for (const auto& a : SplitOpenFilesText(text)) ParamList.push_back(a);
  if (IsProjectModified()) {
    switch (ConfirmBox("Save Project?", TMsgButtons::YesNoCancel)) {
      case TMsgResult::Yes:
        SaveMail0Click();
        if (!Modified()) OpenCommandLineFiles();
        break;
      case TMsgResult::No:
        OpenCommandLineFiles();
        break;
      default:
        break;
    }
    return;
  }
  OpenCommandLineFiles();
}

void TLPMain::OpenCommandLineFiles() {
  if (ParamList.size() <= 1) return;
  const TCommandLineFiles files = ClassifyCommandLine(ParamList);
  if (!files.Project.empty()) {
    OpenMailFile(files.Project);
    ColorComboBox1Click();
    SnapshotProject();
  }
  if (files.TableIsAccess())
    OpenAccessFile(files.Access);
  else if (!files.DBase.empty())
    OpenDBFFile(files.DBase);
}

// ---------------------------------------------------------------- commands

void TLPMain::Mailing1Click() {
  if (!OptForm || OptForm->ActiveProfileIndex() < 0) {
    ErrorBox("Account is not selected");
    return;
  }
  if (MailingWindow) MailingWindow->ShowMailing();
}

void TLPMain::Exit1Click() { close(); }

void TLPMain::About1Click() {
  if (AboutBox) AboutBox->exec();
}

void TLPMain::Help1Click() { ShowHelpContents(); }

void TLPMain::ShowHelpContext(int HelpContext) { ::ShowHelpContext(HelpContext); }

// ---------------------------------------------------------------- later subsystems

void TLPMain::OpenMailFile(const std::string&) {}
void TLPMain::OpenDBFFile(const std::string& FileName) {
  // Later, from the event loop: a second copy handing over files waits for this
  // handler, and must not wait on an error box of the open.
  QTimer::singleShot(0, this, [FileName] {
    if (MainTables) MainTables->OpenDBFFile(FileName);
  });
}
void TLPMain::OpenAccessFile(const std::string& FileName) {
  // Later, from the event loop: a second copy handing over files waits for this
  // handler, and must not wait on an error box of the open.
  QTimer::singleShot(0, this, [FileName] {
    if (MainTables) MainTables->OpenAccessFile(FileName);
  });
}
void TLPMain::SaveMail0Click() {}
void TLPMain::ListToProject() { UpdateCaption(); }
void TLPMain::ColorComboBox1Click() {}
void TLPMain::SaveTableConfig() {
  if (MainTables) MainTables->SaveTableConfig();
}
void TLPMain::ShowAccounts() {}
void TLPMain::Options1Click() {
  if (OptForm) OptForm->Options1Click([this] { RxDBGrid1->viewport()->update(); });
}
void TLPMain::ReportConfiguration1Click() {}
