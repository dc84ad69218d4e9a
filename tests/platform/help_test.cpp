#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <set>

#include "platform/Help.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/QtMessageService.h"
#include "platform/ui/QtText.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "help_test";
  static char* argv[] = {name, nullptr};
  // Run as a plain binary or under ctest alike: never ask for a display.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: the input devices the key test creates must not outlive it at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Every help context number the windows use.
constexpr int UsedContexts[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};

TEST(Help, CommandsReachTheInstalledService) {
  TScopedRecordingHelp help;
  ShowHelpContents();
  ShowHelpContext(8);
  ASSERT_EQ(help.calls.size(), 2u);
  EXPECT_EQ(help.calls[0].command, 1);
  EXPECT_EQ(help.calls[0].data, 0);
  EXPECT_EQ(help.calls[1].command, 15);
  EXPECT_EQ(help.calls[1].data, 8);
  EXPECT_EQ(HelpFileName, "Larkpost 3_2.chm");
}

TEST(Help, EveryContextHasItsOwnPageAndEveryLinkResolves) {
  App();
  THelpWindow window;  // registers the built-in pages
  std::set<std::string> pages;
  for (int c : UsedContexts) {
    const std::string page = HelpPageFor(HH_HELP_CONTEXT, c);
    EXPECT_NE(page, "index.html") << c;
    EXPECT_TRUE(pages.insert(page).second) << "shared page " << page;
  }
  pages.insert("index.html");
  EXPECT_EQ(HelpPageFor(HH_DISPLAY_TOC, 0), "index.html");
  EXPECT_EQ(HelpPageFor(HH_HELP_CONTEXT, 999), "index.html");
  const QRegularExpression link("href=\"([^\"]+)\"");
  for (const auto& page : pages) {
    QFile f(":/help/" + ToQString(page));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << page;
    const QString html = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(html.contains("<h1>")) << page;
    for (auto it = link.globalMatch(html); it.hasNext();) {
      const QString target = it.next().captured(1);
      if (target.startsWith("http")) continue;
      EXPECT_TRUE(QFile::exists(":/help/" + target)) << page << " -> " << ToStdString(target);
    }
  }
}

TEST(Help, WindowShowsTheContextPage) {
  App();
  TQtHelpService service;
  service.HtmlHelp(HH_HELP_CONTEXT, 9);
  ASSERT_NE(service.Window(), nullptr);
  EXPECT_EQ(service.Window()->CurrentPage(), "charset.html");
  EXPECT_TRUE(service.Window()->isVisible());
  EXPECT_TRUE(service.Window()->Browser()->toPlainText().contains("Select Charset"));
  service.HtmlHelp(HH_DISPLAY_TOC, 0);
  EXPECT_EQ(service.Window()->CurrentPage(), "index.html");
  service.HtmlHelp(HH_HELP_CONTEXT, 4242);
  EXPECT_EQ(service.Window()->CurrentPage(), "index.html");
  EXPECT_FALSE(service.Window()->ShowPage("missing.html"));
}

// Help asked for from a modal dialog answers keys while the dialog stays open,
// and lies wholly on the screen however it was left.
TEST(Help, WindowWorksWhileAModalDialogIsOpen) {
  App();
  TQtHelpService service;
  service.HtmlHelp(HH_DISPLAY_TOC, 0);
  ASSERT_NE(service.Window(), nullptr);
  const QRect area = service.Window()->screen()->availableGeometry();
  service.Window()->move(area.right() - 20, area.bottom() - 20);
  service.Window()->hide();

  QDialog dialog;
  dialog.setModal(true);
  int scrolledTo = -1;
  bool inside = false;
  QTimer::singleShot(0, [&] {
    service.HtmlHelp(HH_HELP_CONTEXT, 9);
    THelpWindow* w = service.Window();
    QTextBrowser* b = w->Browser();
    b->setPlainText(QString("line\n").repeated(2000));
    b->setFocus();
    QTest::qWait(50);
    inside = area.contains(w->frameGeometry());
    w->activateWindow();
    QTest::keyClick(w->windowHandle(), Qt::Key_PageDown);
    QTest::qWait(50);
    scrolledTo = b->verticalScrollBar()->value();
    dialog.accept();
  });
  dialog.exec();
  EXPECT_TRUE(inside);
  EXPECT_GT(scrolledTo, 0);
}

// Presses the button with the given text on the next message box.
void PressOnNextBox(const QString& text, QString* seenText, QString* seenTitle) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return PressOnNextBox(text, seenText, seenTitle);
    *seenText = box->text();
    *seenTitle = box->windowTitle();
    for (QAbstractButton* b : box->buttons())
      if (b->text().remove('&') == text) return b->click();
    box->reject();
  });
}

TEST(QtMessageService, ButtonSetsAndAnswers) {
  App();
  TQtMessageService service;
  struct TCase {
    TMsgButtons buttons;
    QString press;
    TMsgResult expected;
  };
  const TCase cases[] = {
      {TMsgButtons::OK, "OK", TMsgResult::OK},
      {TMsgButtons::YesNo, "Yes", TMsgResult::Yes},
      {TMsgButtons::YesNo, "No", TMsgResult::No},
      {TMsgButtons::YesNoCancel, "Cancel", TMsgResult::Cancel},
      {TMsgButtons::AbortRetry, "Retry", TMsgResult::Retry},
      {TMsgButtons::AbortRetry, "Abort", TMsgResult::Abort},
      {TMsgButtons::OKCancel, "Cancel", TMsgResult::Cancel},
  };
  for (const auto& c : cases) {
    QString text, title;
    PressOnNextBox(c.press, &text, &title);
    EXPECT_EQ(service.Show(TMsgKind::Confirmation, "Save Project?", "Confirm", c.buttons), c.expected)
        << ToStdString(c.press);
    EXPECT_EQ(text, "Save Project?");
    EXPECT_EQ(title, "Confirm");
  }
  // Markup in a text is shown as it is.
  QString text, title;
  PressOnNextBox("OK", &text, &title);
  service.Show(TMsgKind::Error, "<b>x</b> \xC3\xA9", "Error", TMsgButtons::OK);
  EXPECT_EQ(text, QString::fromUtf8("<b>x</b> \xC3\xA9"));
}

TEST(QtText, RoundTripAndInvalidInput) {
  const std::string s = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";
  EXPECT_EQ(ToStdString(ToQString(s)), s);
  EXPECT_EQ(ToQString(s).size(), 7);
  EXPECT_EQ(ToStdString(ToQString(std::string("a\0b", 3))), std::string("a\0b", 3));
  EXPECT_EQ(ToQString("\xFF"), QString(QChar(0xFFFD)));
}

}  // namespace
