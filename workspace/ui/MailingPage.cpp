#include "workspace/ui/MailingPage.h"

#include <QAction>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/ui/QtText.h"
#include "workspace/FrameRules.h"
#include "workspace/ui/PageKit.h"

namespace {

const char* const kHtmlOnlyCommands[] = {"Bold5",         "Italic5",        "Underline5",      "Color5",
                                         "AlignLeft5",    "Center5",        "AlignRight5",     "NumberedList5",
                                         "BulletedList5", "DecreaseIndent5", "IncreaseIndent5", "Details5"};

}  // namespace

TMailingPage::TMailingPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheet2");
  auto* layout = new QVBoxLayout(this);

  auto* head = Named(new QWidget(this), "Panel2");
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

  PageControl2 = Named(new QTabWidget(this), "PageControl2");
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
  std::vector<std::string> families;
  for (const QString& f : QFontDatabase::families()) families.push_back(ToStdString(f));
  for (const std::string& name : EditorFontNames(families)) fontName->addItem(ToQString(name));
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
  for (auto& f : fmt) {
    QAction* a = ToolAction(FormatBar, f[0], f[1]);
    for (const char* t : {"Bold5", "Italic5", "Underline5", "AlignLeft5", "Center5", "AlignRight5",
                          "NumberedList5", "BulletedList5"})
      if (qstrcmp(t, f[0]) == 0) a->setCheckable(true);
  }
  FormatBar->addSeparator();
  ToolAction(FormatBar, "HtmlMode5", "HTML")->setCheckable(true);
  ToolAction(FormatBar, "PlainMode5", "Plain Text")->setCheckable(true);
  FormatBar->findChild<QAction*>("HtmlMode5")->setChecked(true);
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

  PageControl2->setCurrentWidget(TabSheet3);
  connect(Edit2, &QLineEdit::textEdited, this, &TMailingPage::Modified);
}

void TMailingPage::ShowEditorFor(bool html) {
  EditorStack->setCurrentWidget(html ? EmbeddedWB1 : static_cast<QWidget*>(RxRichEdit2));
  for (const char* n : {"ComboBox5", "ComboBox8", "ComboBox9"})
    if (auto* w = FormatBar->findChild<QWidget*>(n)) w->setEnabled(html);
  for (const char* n : kHtmlOnlyCommands)
    if (auto* a = FormatBar->findChild<QAction*>(n)) a->setEnabled(html);
}

bool TMailingPage::HtmlEditorShown() const { return EditorStack->currentWidget() == EmbeddedWB1; }
