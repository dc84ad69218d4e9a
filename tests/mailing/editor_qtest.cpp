// The HTML editor through its document: one window (one editor browser) for
// the whole binary, the document reloaded per test and read back through
// scripts in the application world.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QWebEngineSettings>
#include <QtTest>
#include <filesystem>

#include "mailing/DomCommands.h"
#include "mailing/TableMarkup.h"
#include "mailing/ui/DomWork.h"
#include "mailing/ui/HtmlEditor.h"
#include "mailing/ui/MailPreview.h"
#include "mailing/ui/TabForm.h"
#include "mailing/ui/WebScript.h"
#include "platform/MessageBox.h"
#include "platform/Routines.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/CharsetForm.h"
#include "workspace/ui/DatabasePage.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"

namespace {

constexpr int kWait = 30000;

}  // namespace

class EditorQTest : public QObject {
  Q_OBJECT
  std::unique_ptr<TWorkspaceState> state_;
  TLPMain* main_ = nullptr;
  THtmlEditor* editor_ = nullptr;
  TMailingPage* page_ = nullptr;
  TScopedScriptedMessages* boxes_ = nullptr;

  QVariant Js(const QString& script) { return RunScriptSync(*editor_->EmbeddedWB1->page(), script); }
  QString Body() { return Js("document.body.innerHTML").toString(); }

  // A new document from the Source text, with the selection over the element #t.
  void Load(const QString& body) {
    editor_->SetSourceText(ToStdString("<html><head></head><body>" + body + "</body></html>"));
    editor_->AssignHTML();
    QVERIFY(editor_->Sync.DocumentReady);
    Select();
  }
  void Select() {
    editor_->DomWork().FocusDocument();
    Js("(function() { var t = document.getElementById('t'); if (!t) return;"
       " var r = document.createRange(); r.selectNodeContents(t);"
       " var s = getSelection(); s.removeAllRanges(); s.addRange(r); })()");
  }
  QAction* A(const char* name) { return main_->Action(name); }
  // Runs a modal dialog's exec from inside: act while it shows.
  template <class D>
  void WhileShown(D* dialog, const std::function<void()>& act) {
    QTimer::singleShot(0, dialog, [dialog, act] {
      if (dialog->isVisible()) act();
      if (dialog->isVisible()) dialog->reject();
    });
  }

private slots:
  void initTestCase() {
    boxes_ = new TScopedScriptedMessages;
    state_ = std::make_unique<TWorkspaceState>(SettingsRegistry());
    main_ = new TLPMain(*state_);
    auto* charsets = new TCharSetForm(main_);
    editor_ = new THtmlEditor(*main_, *state_);
    editor_->CharsetDialog = charsets;
    main_->Services().Editor = editor_;
    page_ = &main_->MailingPage();
    // The first document comes while the Mailing page is behind another one,
    // as at the program's start: the view has never been shown.
    main_->ShowPage(&main_->DatabasePage());
    main_->show();
    QTRY_VERIFY_WITH_TIMEOUT(!editor_->Sync.EditorLoading, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!editor_->Timer1->isActive(), kWait);
    QVERIFY(!editor_->EmbeddedWB1->isVisible());
    QCOMPARE(boxes_->shown.size(), size_t(0));
    QVERIFY(editor_->Sync.DocumentReady);
    QVERIFY(A("Source1")->isEnabled());
    QVERIFY(A("Preview1")->isEnabled());
  }
  void cleanupTestCase() {
    delete main_;
    state_.reset();
    delete boxes_;
  }
  void init() {
    if (QTest::currentTestFunction() != QByteArray("projectDocumentBeforeTheViewIsShown")) main_->ShowPage(page_);
    boxes_->shown.clear();
    editor_->CharsetIndex = 14;
    page_->PageControl2->setCurrentWidget(page_->TabSheet3);
    main_->UpdateHtmlMenus();  // the Mailing page shows the Edit tab in HTML mode
  }

  // A project's body while the view was never shown: the document is loaded
  // from it, and the older document never replaces it.
  void projectDocumentBeforeTheViewIsShown() {
    QVERIFY(!editor_->EmbeddedWB1->isVisible());
    const QString body = "<html><head></head><body><p id=t>project body</p></body></html>";
    editor_->SetSourceText(ToStdString(body));  // as a project's values are shown
    QVERIFY(!editor_->Sync.DocumentHoldsSource);
    editor_->Sync.HtmlEdited = true;
    editor_->SyncEditedHtml();  // saving now keeps the project's body
    QCOMPARE(page_->RxRichEdit1->toPlainText(), body);
    editor_->Timer1->start();  // the first document's timer, still pending
    QTRY_VERIFY_WITH_TIMEOUT(!editor_->Timer1->isActive(), kWait);
    QVERIFY(editor_->Sync.DocumentHoldsSource);
    QVERIFY(editor_->Sync.DocumentReady);
    QVERIFY(!editor_->EmbeddedWB1->isVisible());
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("project body"));
    QCOMPARE(Js("document.designMode").toString(), QString("on"));
    QVERIFY(page_->RxRichEdit1->toPlainText().contains("<p id=t>project body</p>"));
    main_->ShowPage(page_);
    QTRY_VERIFY_WITH_TIMEOUT(editor_->EmbeddedWB1->isVisible(), kWait);
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("project body"));
    editor_->Timer1->start();
    QTRY_VERIFY_WITH_TIMEOUT(!editor_->Timer1->isActive(), kWait);
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("project body"));
    QVERIFY(page_->RxRichEdit1->toPlainText().contains("project body"));
    QCOMPARE(boxes_->shown.size(), size_t(0));
  }

  void viewTakesThePlaceInDesignMode() {
    QCOMPARE(page_->EmbeddedWB1, static_cast<QWidget*>(editor_->EmbeddedWB1));
    QCOMPARE(page_->findChild<QWidget*>("EmbeddedWB1"), static_cast<QWidget*>(editor_->EmbeddedWB1));
    QCOMPARE(page_->EditorStack->currentWidget(), static_cast<QWidget*>(editor_->EmbeddedWB1));
    Load("<p id=t>x</p>");
    QCOMPARE(Js("document.designMode").toString(), QString("on"));
    QVERIFY(page_->RxRichEdit1->lineWrapMode() == QPlainTextEdit::NoWrap);
    QVERIFY(QFontInfo(page_->RxRichEdit1->font()).fixedPitch());
  }

  void documentScriptsNeverRun() {
    QVERIFY(!editor_->EmbeddedWB1->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    Load(
        "<p id=t>x</p><script>document.body.setAttribute('data-ran', '1');</script>"
        "<img src=none.png onerror=\"document.body.setAttribute('data-err', '1')\">");
    QCOMPARE(Js("document.body.hasAttribute('data-ran') || document.body.hasAttribute('data-err')").toBool(), false);
  }

  void toolBarCommandsChangeTheDocument_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("command");  // action, or "combo:NAME:item"
    QTest::addColumn<QString>("check");    // true afterwards
    QTest::newRow("bold") << "<p id=t>word</p>"
                          << "Bold5"
                          << "!!document.querySelector('b, strong')";
    QTest::newRow("italic") << "<p id=t>word</p>"
                            << "Italic5"
                            << "!!document.querySelector('i, em')";
    QTest::newRow("underline") << "<p id=t>word</p>"
                               << "Underline5"
                               << "!!document.querySelector('u')";
    QTest::newRow("center") << "<p id=t>word</p>"
                            << "Center5"
                            << "getComputedStyle(document.querySelector('p')).textAlign == 'center'";
    QTest::newRow("right") << "<p id=t>word</p>"
                           << "AlignRight5"
                           << "getComputedStyle(document.querySelector('p')).textAlign == 'right'";
    QTest::newRow("left") << "<p id=t style='text-align: right'>word</p>"
                          << "AlignLeft5"
                          << "getComputedStyle(document.querySelector('p')).textAlign == 'left'";
    QTest::newRow("numbered") << "<p id=t>word</p>"
                              << "NumberedList5"
                              << "!!document.querySelector('ol > li')";
    QTest::newRow("bulleted") << "<p id=t>word</p>"
                              << "BulletedList5"
                              << "!!document.querySelector('ul > li')";
    QTest::newRow("numbered menu") << "<p id=t>word</p>"
                                   << "NumberedList1"
                                   << "!!document.querySelector('ol > li')";
    QTest::newRow("indent") << "<p id=t>word</p>"
                            << "IncreaseIndent5"
                            << "!!document.querySelector('blockquote')";
    QTest::newRow("outdent") << "<blockquote><p id=t>word</p></blockquote>"
                             << "DecreaseIndent5"
                             << "!document.querySelector('blockquote')";
    QTest::newRow("horizontal line") << "<p id=t>word</p>"
                                     << "HorizontalLine1"
                                     << "!!document.querySelector('hr')";
    QTest::newRow("heading") << "<p id=t>word</p>"
                             << "combo:ComboBox5:Heading 2"
                             << "!!document.querySelector('h2')";
    QTest::newRow("formatted") << "<p id=t>word</p>"
                               << "combo:ComboBox5:Formatted"
                               << "!!document.querySelector('pre')";
    QTest::newRow("address") << "<p id=t>word</p>"
                             << "combo:ComboBox5:Address"
                             << "!!document.querySelector('address')";
    QTest::newRow("definition") << "<p id=t>word</p>"
                                << "combo:ComboBox5:Definition"
                                << "!!document.querySelector('dd')";
    QTest::newRow("normal") << "<h1 id=t>word</h1>"
                            << "combo:ComboBox5:Normal"
                            << "!document.querySelector('h1') && !!document.querySelector('p')";
    QTest::newRow("list from combo") << "<p id=t>word</p>"
                                     << "combo:ComboBox5:Bulleted List"
                                     << "!!document.querySelector('ul > li')";
    QTest::newRow("size")
        << "<p id=t>word</p>"
        << "combo:ComboBox9:6"
        << "!!document.querySelector('font[size=\"6\"]') || /font-size/.test(document.body.innerHTML)";
    QTest::newRow("font") << "<p id=t>word</p>"
                          << "combo:ComboBox8:"
                          << "!!document.querySelector('font[face]') || /font-family/.test(document.body.innerHTML)";
  }
  void toolBarCommandsChangeTheDocument() {
    QFETCH(QString, body);
    QFETCH(QString, command);
    QFETCH(QString, check);
    Load(body);
    editor_->UpdateEditCommands();  // as the document's updates do
    editor_->Sync.HtmlEdited = false;
    if (command.startsWith("combo:")) {
      const QStringList parts = command.split(':');
      auto* combo = page_->FormatBar->findChild<QComboBox*>(parts[1]);
      QVERIFY(combo);
      const int index = parts[2].isEmpty() ? combo->count() - 1 : combo->findText(parts[2]);
      QVERIFY(index >= 0);
      combo->setCurrentIndex(index);
      emit combo->activated(index);
    } else {
      QVERIFY(A(command.toUtf8().constData()));
      A(command.toUtf8().constData())->trigger();
    }
    QVERIFY2(Js(check).toBool(), qPrintable(Body()));
    QVERIFY(editor_->Sync.HtmlEdited);
    QVERIFY(!editor_->Sync.SourceEdited);
  }

  void colourAndPromptingCommandsUseOurDialogs() {
    Load("<p id=t>word</p>");
    editor_->AskColor = [](QColor& c) {
      c = QColor(255, 0, 0);
      return true;
    };
    A("Color5")->trigger();
    QVERIFY2(Js("/ff0000|rgb\\(255, 0, 0\\)/i.test(document.body.innerHTML)").toBool(), qPrintable(Body()));

    QStringList captions;
    editor_->DomWork().AskUrl = [&captions](const QString& caption, QString& url) {
      captions << caption;
      url = caption == "Image" ? "file:///tmp/x.png" : "https://example.org/";
      return true;
    };
    Load("<p id=t>word</p>");
    A("Hyperlink1")->trigger();
    QCOMPARE(Js("document.querySelector('a').getAttribute('href')").toString(), QString("https://example.org/"));
    Load("<p id=t>word</p>");
    A("Image1")->trigger();
    QCOMPARE(Js("document.querySelector('img').getAttribute('src')").toString(), QString("file:///tmp/x.png"));
    QCOMPARE(captions, QStringList({"Hyperlink", "Image"}));

    // A cancelled dialog changes nothing.
    editor_->DomWork().AskUrl = [](const QString&, QString&) { return false; };
    Load("<p id=t>word</p>");
    A("Hyperlink1")->trigger();
    QVERIFY(!Js("!!document.querySelector('a')").toBool());

    editor_->DomWork().AskFont = [](TFontChoice& f) {
      f.Name = "Courier New";
      f.Size = "5";
      f.Color = QColor(0, 0, 255);
      return true;
    };
    Load("<p id=t>word</p>");
    A("Font1")->trigger();
    const QString b = Body();
    QVERIFY2(b.contains("Courier New") && (b.contains("size=\"5\"") || b.contains("font-size")) &&
                 (b.contains("0000ff", Qt::CaseInsensitive) || b.contains("rgb(0, 0, 255)")),
             qPrintable(b));
  }

  void toggleCommandsFollowTheButtonState() {
    // Bold with the button already up on plain text does nothing: the value does not differ.
    Load("<p id=t>word</p>");
    editor_->DomWork().ExecCommand("Bold", "false");
    QVERIFY(!Js("!!document.querySelector('b, strong')").toBool());
    editor_->DomWork().ExecCommand("Bold", "true");
    QVERIFY(Js("!!document.querySelector('b, strong')").toBool());
    QCOMPARE(QString::fromStdString(editor_->DomWork().QueryCommandValue("Bold")), QString("true"));
  }

  void listStatesAreLatched() {
    Load("<ol><li id=t>one</li></ol>");
    bool enabled = false, latched = false;
    editor_->DomWork().QueryCommandState(hcOrderedList, enabled, latched);
    QVERIFY(enabled);
    QVERIFY(latched);
    editor_->DomWork().QueryCommandState(hcUnorderedList, enabled, latched);
    QVERIFY(!latched);
    editor_->UpdateEditCommands();
    QVERIFY(A("NumberedList1")->isChecked());
    QVERIFY(A("NumberedList5")->isChecked());
    QVERIFY(!A("BulletedList1")->isChecked());
    QVERIFY(A("SelectAll1")->isEnabled());
    QVERIFY(A("Copy1")->isEnabled());  // a selection
    QVERIFY(A("Hyperlink1")->isEnabled());

    Load("<ul><li id=t>one</li></ul>");
    editor_->UpdateEditCommands();
    QVERIFY(!A("NumberedList1")->isChecked());
    QVERIFY(A("BulletedList1")->isChecked());
    QVERIFY(A("BulletedList5")->isChecked());

    // The buttons: own one down, the other up.
    Load("<p id=t>word</p>");
    A("NumberedList5")->setChecked(false);
    A("BulletedList5")->setChecked(true);
    A("NumberedList5")->trigger();
    QVERIFY(A("NumberedList5")->isChecked());
    QVERIFY(A("NumberedList1")->isChecked());
    QVERIFY(!A("BulletedList5")->isChecked());
    QVERIFY(!A("BulletedList1")->isChecked());
  }

  void editCommandsByNumber() {
    Load("<p id=t>word</p>");
    editor_->ExecEditCommand(ecSelectAll);
    QCOMPARE(Js("String(getSelection())").toString(), QString("word"));
    editor_->DomWork().ExecCommandById(dcDelete);
    QCOMPARE(Js("document.body.textContent").toString(), QString(""));
    editor_->ExecEditCommand(ecUndo);
    QCOMPARE(Js("document.body.textContent").toString(), QString("word"));
    editor_->ExecEditCommand(ecRedo);
    QCOMPARE(Js("document.body.textContent").toString(), QString(""));
    editor_->DomWork().ExecCommandById(4999);  // not in the table: nothing
  }

  void leavingEditCopiesToSource() {
    Load("<p id=t>word</p>");
    editor_->UpdateEditCommands();
    QVERIFY(!A("Bold5")->isChecked());
    A("Bold5")->trigger();
    QVERIFY(editor_->Sync.HtmlEdited);
    editor_->UpdateEditCommands();
    QVERIFY(A("Bold5")->isChecked());
    page_->PageControl2->setCurrentWidget(page_->TabSheet8);
    const QString source = page_->RxRichEdit1->toPlainText();
    QVERIFY2(source.contains("<b>word</b>") || source.contains("<strong>word</strong>"), qPrintable(source));
    QVERIFY(source.contains("<html>"));
    QVERIFY(!editor_->Sync.HtmlEdited);
    QVERIFY(!editor_->Sync.SourceEdited);
  }

  void leavingSourceReloads() {
    page_->PageControl2->setCurrentWidget(page_->TabSheet8);
    page_->RxRichEdit1->setFocus();
    page_->RxRichEdit1->setPlainText("<html><body><p id=t>typed</p></body></html>");
    QVERIFY(editor_->Sync.SourceEdited);
    QVERIFY(!editor_->Sync.HtmlEdited);
    page_->PageControl2->setCurrentWidget(page_->TabSheet5);  // any other tab
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("typed"));
    QVERIFY(!editor_->Sync.SourceEdited);
    QCOMPARE(Js("document.designMode").toString(), QString("on"));
    boxes_->shown.clear();  // the preview without a tag source
  }

  void sourceUnchangedWithoutEdits() {
    page_->PageControl2->setCurrentWidget(page_->TabSheet8);
    editor_->SetSourceText("<P ID=t>kept as typed</P>");
    QVERIFY(!editor_->Sync.SourceEdited);
    page_->PageControl2->setCurrentWidget(page_->TabSheet3);
    QVERIFY(!editor_->Sync.HtmlEdited);
    page_->PageControl2->setCurrentWidget(page_->TabSheet8);
    QCOMPARE(page_->RxRichEdit1->toPlainText(), QString("<P ID=t>kept as typed</P>"));
  }

  void typingMarksTheDocumentEdited() {
    Load("<p id=t>word</p>");
    QVERIFY(!editor_->Sync.HtmlEdited);
    main_->activateWindow();
    QWidget* input = editor_->EmbeddedWB1->focusProxy();
    QVERIFY(input);
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(20, 12));
    QTest::keyClicks(input, "abc");
    QTRY_VERIFY_WITH_TIMEOUT(Js("document.body.textContent").toString().contains("abc"), kWait);
    QVERIFY(editor_->Sync.HtmlEdited);
    // The frame's Edit commands go to the document while it has the focus.
    QTRY_VERIFY_WITH_TIMEOUT(editor_->HasFocus(), kWait);
    main_->ExecEditCommand(ecSelectAll);
    QCOMPARE(Js("String(getSelection())").toString(), Js("document.body.innerText").toString());
    main_->UpdateEditCommands();
    QVERIFY(A("Cut1")->isEnabled());
    QVERIFY(A("Cut5")->isEnabled());
    QVERIFY(A("Undo1")->isEnabled());
    main_->ExecEditCommand(ecUndo);
    QTRY_VERIFY_WITH_TIMEOUT(!Js("document.body.textContent").toString().contains("abc"), kWait);
    main_->ExecEditCommand(ecRedo);
    QTRY_VERIFY_WITH_TIMEOUT(Js("document.body.textContent").toString().contains("abc"), kWait);
    page_->PageControl2->setCurrentWidget(page_->TabSheet8);
    QVERIFY(page_->RxRichEdit1->toPlainText().contains("abc"));
    // From the document to the Source view: the Source view's commands, not none.
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget*>(page_->RxRichEdit1), kWait);
    QVERIFY(!editor_->HasFocus());
    QVERIFY(A("Paste1")->isEnabled());
    QVERIFY(A("SelectAll1")->isEnabled());
  }

  // With the caret in the document the menus' shortcuts run the menu items,
  // never the engine's own bindings for the same keys: Ctrl+K asks for the
  // link (and keeps the text), Ctrl+U undoes (and does not underline).
  void menuShortcutsInTheDocument() {
    Load("<p id=t>word</p>");
    main_->activateWindow();
    QWidget* input = editor_->EmbeddedWB1->focusProxy();
    QVERIFY(input);
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(20, 12));
    QTRY_VERIFY_WITH_TIMEOUT(editor_->HasFocus(), kWait);
    QTest::keyClick(input, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(input, "abc");
    QTRY_VERIFY_WITH_TIMEOUT(Body().contains("abc"), kWait);
    QTest::keyClick(input, Qt::Key_U, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!Body().contains("abc"), kWait);
    QVERIFY2(!Body().contains("<u>"), qPrintable(Body()));
    QVERIFY(Body().contains("word"));

    QStringList asked;
    const auto ownDialog = editor_->DomWork().AskUrl;
    editor_->DomWork().AskUrl = [&asked](const QString& caption, QString& url) {
      asked << caption;
      url = "https://example.org/k";
      return true;
    };
    Select();
    QTest::keyClick(input, Qt::Key_K, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(asked, QStringList{"Hyperlink"}, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(Body().contains("<a href=\"https://example.org/k\">word</a>"), kWait);
    QVERIFY(editor_->Sync.HtmlEdited);
    editor_->DomWork().AskUrl = ownDialog;
  }

  void toolBarWorkLandsInTheSource() {
    Load("<p id=t>word</p>");
    editor_->UpdateEditCommands();
    A("Bold5")->trigger();
    editor_->DomWork().AskUrl = [](const QString& caption, QString& url) {
      url = caption == "Image" ? "file:///tmp/pic.png" : "https://example.org/x";
      return true;
    };
    A("Hyperlink1")->trigger();
    Js("(function() { var r = document.createRange(); r.selectNodeContents(document.body); r.collapse(false);"
       " var s = getSelection(); s.removeAllRanges(); s.addRange(r); })()");
    A("Image1")->trigger();
    TTabForm* form = editor_->TabForm;
    WhileShown(form, [form] {
      form->Rows->setValue(2);
      form->Columns->setValue(3);
      form->accept();
    });
    A("Table5")->trigger();
    A("NumberedList5")->trigger();
    page_->PageControl2->setCurrentWidget(page_->TabSheet8);
    const QString src = page_->RxRichEdit1->toPlainText();
    for (const char* piece :
         {"<b>", "<a href=\"https://example.org/x\">", "<img src=\"file:///tmp/pic.png\">",
          "<table border=\"1\" cellpadding=\"1\" cellspacing=\"1\" width=\"100%\">", "<td width=\"34%\">", "<ol>"})
      QVERIFY2(src.contains(piece), qPrintable(QString(piece) + " in " + src));
  }

  void metaRewrite_data() {
    QTest::addColumn<QString>("head");
    QTest::addColumn<int>("metas");     // rewritten tags expected
    QTest::addColumn<QString>("kept");  // text that stays
    QTest::newRow("none") << "<title>t</title>" << 0 << "<title>t</title>";
    QTest::newRow("upper case") << "<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">" << 1 << "";
    QTest::newRow("lower case") << "<meta http-equiv=\"content-type\" content=\"text/html; charset=koi8-r\">" << 1
                                << "";
    QTest::newRow("second stays")
        << "<meta http-equiv=\"Content-Type\" content=\"a\"><meta http-equiv=\"refresh\" content=\"5\">" << 1
        << "<meta http-equiv=\"refresh\" content=\"5\">";
  }
  void metaRewrite() {
    QFETCH(QString, head);
    QFETCH(int, metas);
    QFETCH(QString, kept);
    editor_->CharsetIndex = 7;
    editor_->SetSourceText(ToStdString("<html><head>" + head + "</head><body><p id=t>x</p></body></html>"));
    editor_->AssignHTML();
    const QString html = ToQString(editor_->GetHtmlStr());
    const QString tag = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">";
    QCOMPARE(html.count(tag), metas);
    QVERIFY2(html.contains(kept), qPrintable(html));
    if (metas == 0) QCOMPARE(html.count("<meta", Qt::CaseInsensitive), 0);
    QVERIFY(html.startsWith("<html>"));
  }

  void doctypeComesFirst() {
    editor_->SetSourceText("<!DOCTYPE html><html><head></head><body><p>x</p></body></html>");
    editor_->AssignHTML();
    QVERIFY(ToQString(editor_->GetHtmlStr()).startsWith("<!DOCTYPE html>\n<html>"));
  }

  void encodingReloadsAndRewritesMeta() {
    editor_->CharsetIndex = 14;
    editor_->SetSourceText(
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
        "</head><body><p>x</p></body></html>");
    editor_->AssignHTML();
    main_->SetModified(false);
    auto* form = main_->findChild<TCharSetForm*>();
    QVERIFY(form);
    WhileShown(form, [form] {
      QCOMPARE(form->ItemIndex(), 14);
      form->SetItemIndex(18);
      form->accept();
    });
    A("Encoding0")->trigger();
    QCOMPARE(editor_->CharsetIndex, 18);
    QVERIFY(main_->Modified());
    QTRY_VERIFY_WITH_TIMEOUT(page_->RxRichEdit1->toPlainText().contains("charset=windows-1252\">"), kWait);
    // Cancel changes nothing.
    WhileShown(form, [form] { form->reject(); });
    A("Encoding0")->trigger();
    QCOMPARE(editor_->CharsetIndex, 18);
  }

  void insertTable_data() {
    QTest::addColumn<int>("cols");
    QTest::addColumn<bool>("pixels");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<bool>("invalid");
    QTest::newRow("percent") << 3 << false << "100" << QStringList{"33%", "33%", "34%"} << false;
    QTest::newRow("pixels") << 3 << true << "7" << QStringList{"2", "2", "3"} << false;
    QTest::newRow("empty percent") << 2 << false << "" << QStringList{"", ""} << true;
  }
  void insertTable() {
    QFETCH(int, cols);
    QFETCH(bool, pixels);
    QFETCH(QString, width);
    QFETCH(QStringList, cells);
    QFETCH(bool, invalid);
    Load("<p>before</p><p id=t>x</p>");
    Js("(function() { var r = document.createRange(); r.selectNodeContents(document.getElementById('t'));"
       " r.collapse(false); var s = getSelection(); s.removeAllRanges(); s.addRange(r); })()");
    TTabForm* form = editor_->TabForm;
    WhileShown(form, [form, cols, pixels, width] {
      QCOMPARE(form->focusWidget(), static_cast<QWidget*>(form->Rows));
      QCOMPARE(form->windowTitle(), QString("Insert Table"));
      form->Columns->setValue(cols);
      (pixels ? form->RadioButton1 : form->RadioButton2)->setChecked(true);
      form->Edit6->setText(width);
      form->accept();
    });
    A("Table5")->trigger();
    QCOMPARE(boxes_->shown.size(), size_t(invalid ? 1 : 0));
    if (invalid) QCOMPARE(QString::fromStdString(boxes_->shown[0].text), QString("Invalid Width"));
    // The document holds exactly the built markup.
    const std::string markup = BuildTableMarkup(2, cols, "1", "1", "1", form->WidthText()).Html;
    const QString expected = Js("(function(h) { var t = document.createElement('template'); t.innerHTML = h;"
                                " return t.content.firstChild.outerHTML; })(" +
                                JsString(ToQString(markup)) + ")")
                                 .toString();
    QCOMPARE(Js("document.querySelector('table').outerHTML").toString(), expected);
    QCOMPARE(Js("document.querySelectorAll('table tr').length").toInt(), 2);
    QCOMPARE(Js("document.querySelector('table').getAttribute('width')").toString(), ToQString(form->WidthText()));
    const QStringList got = Js("Array.prototype.map.call(document.querySelectorAll('tr:first-child td'),"
                               " function(c) { return c.getAttribute('width') || ''; })")
                                .toStringList();
    QCOMPARE(got, cells);
    QVERIFY(editor_->Sync.HtmlEdited);
    // The table went in where the caret was.
    QVERIFY(Js("document.getElementById('t').nextSibling == document.querySelector('table') ||"
               " document.getElementById('t').contains(document.querySelector('table'))")
                .toBool());
  }

  void cancelledTableInsertsNothing() {
    Load("<p id=t>x</p>");
    WhileShown(editor_->TabForm, [this] { editor_->TabForm->reject(); });
    A("Table5")->trigger();
    QVERIFY(!Js("!!document.querySelector('table')").toBool());
  }

  void plainTextAndBackKeepsBothBodies() {
    editor_->SetSourceText("<html><head></head><body><p id=t>html body</p></body></html>");
    editor_->AssignHTML();
    page_->RxRichEdit2->setPlainText("plain body");
    main_->SetModified(false);
    A("PlainText1")->trigger();
    QCOMPARE(main_->State().MailMode, mmPlainText);
    QVERIFY(main_->Modified());
    QVERIFY(A("PlainMode5")->isChecked());
    QVERIFY(!A("HtmlMode5")->isChecked());
    QVERIFY(!A("HTML1")->isChecked());
    QCOMPARE(page_->EditorStack->currentWidget(), static_cast<QWidget*>(page_->RxRichEdit2));
    A("HtmlMode5")->trigger();
    QCOMPARE(main_->State().MailMode, mmHtml);
    QVERIFY(A("HTML1")->isChecked());
    QVERIFY(!A("PlainText1")->isChecked());
    QCOMPARE(page_->EditorStack->currentWidget(), static_cast<QWidget*>(editor_->EmbeddedWB1));
    QCOMPARE(page_->RxRichEdit2->toPlainText(), QString("plain body"));
    QVERIFY(page_->RxRichEdit1->toPlainText().contains("html body"));
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("html body"));
  }

  void rightClickShowsTheProgramMenu() {
    Load("<p id=t>x</p>");
    QWidget* input = editor_->EmbeddedWB1->focusProxy();
    QVERIFY(input);
    QTest::mouseClick(input, Qt::RightButton, {}, QPoint(10, 10));
    QTRY_VERIFY_WITH_TIMEOUT(editor_->PopupMenu1->isVisible(), kWait);
    QStringList items;
    for (QAction* a : editor_->PopupMenu1->actions()) items << a->text();
    QCOMPARE(items, QStringList({"Undo", "Cut", "Copy", "Paste", "Select All"}));
    editor_->PopupMenu1->close();
    emit page_->RxRichEdit1->customContextMenuRequested(QPoint(2, 2));
    QTRY_VERIFY_WITH_TIMEOUT(editor_->PopupMenu1->isVisible(), kWait);
    editor_->PopupMenu1->close();
  }

  void largeDocumentLoads() {
    // Beyond what the engine takes as a string; the declared charset must not garble it.
    QString body = "<p id=t>Привет</p>";
    body += "<p>" + QString("0123456789").repeated(300 * 1024) + "</p>";
    editor_->SetSourceText(
        ToStdString("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html;"
                    " charset=windows-1251\"></head><body>" +
                    body + "</body></html>"));
    editor_->AssignHTML();
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("Привет"));
    QCOMPARE(Js("document.designMode").toString(), QString("on"));
    QVERIFY(editor_->GetHtmlStr().size() > 3000000u);
    QVERIFY(!std::filesystem::exists(MakeTempFileName("", "$lpedit_", "html")));
    Load("<p id=t>small again</p>");
  }

  void emptySourceGivesAnEmptyDocument() {
    editor_->SetSourceText("");
    editor_->AssignHTML();
    QVERIFY(editor_->Sync.DocumentReady);
    QCOMPARE(ToQString(editor_->GetHtmlStr()), QString("<html><head></head><body></body></html>"));
    QCOMPARE(Js("document.designMode").toString(), QString("on"));
  }

  void commandsWhileLoadingAreDropped() {
    Load("<p id=t>word</p>");
    editor_->Sync.DocumentReady = false;
    editor_->DomWork().ExecCommand("Bold", "true");
    QCOMPARE(editor_->DomWork().QueryCommandValue("Bold"), std::string());
    editor_->Sync.DocumentReady = true;
    QVERIFY(!Js("!!document.querySelector('b, strong')").toBool());
  }

  void snapshotMakesTheProjectModified() {
    Load("<p id=t>word</p>");
    main_->SnapshotProject();
    QVERIFY(main_->ProjectSnapshot().HtmlSnapshot.empty());
    editor_->EmbeddedWB1UpdateUI();
    QVERIFY(!main_->ProjectSnapshot().HtmlSnapshot.empty());
    main_->SetModified(false);
    QVERIFY(!main_->IsProjectModified());
    editor_->UpdateEditCommands();
    A("Bold5")->trigger();
    QVERIFY(main_->IsProjectModified());
  }
};

QTEST_MAIN(EditorQTest)
#include "editor_qtest.moc"
