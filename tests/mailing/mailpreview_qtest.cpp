// The Preview tab: the merged page written to "$lpprev_.html" and shown in
// the preview browser, the labels and the record navigator. One window (one
// editor and one preview browser) for the whole binary.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>

#include "mailing/ui/HtmlEditor.h"
#include "mailing/ui/MailPreview.h"
#include "mailing/ui/SafeWebPage.h"
#include "mailing/ui/WebScript.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "support/MailTestSupport.h"
#include "support/MergeFakes.h"
#include "workspace/FirstRun.h"
#include "workspace/ui/CharsetForm.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/TableUi.h"

namespace {

constexpr int kWait = 30000;
constexpr int kWindows1251 = 7;
constexpr int kUtf8 = 14;

}  // namespace

class MailPreviewQTest : public QObject {
  Q_OBJECT
  std::unique_ptr<TWorkspaceState> state_;
  TLPMain* main_ = nullptr;
  THtmlEditor* editor_ = nullptr;
  TMailPreview* preview_ = nullptr;
  TMailingPage* page_ = nullptr;
  TScopedScriptedMessages* boxes_ = nullptr;
  TFakeTagSource values_;
  std::string dir_;

  QVariant Js(const QString& script) { return RunScriptSync(*preview_->WebBrowser1->page(), script); }

  // Shows the Preview tab (a fresh page) and waits for the browser.
  void ShowPreview() {
    // A request while the last page is still loading would be dropped.
    QTRY_VERIFY_WITH_TIMEOUT(preview_->Preview.PreviewReady, kWait);
    page_->PageControl2->setCurrentWidget(page_->TabSheet3);
    page_->PageControl2->setCurrentWidget(page_->TabSheet5);
    QTRY_VERIFY_WITH_TIMEOUT(preview_->Preview.PreviewReady, kWait);
  }
  QString BoxTexts() {
    QStringList t;
    for (const auto& b : boxes_->shown) t << ToQString(b.text);
    return t.join(" | ");
  }

private slots:
  void initTestCase() {
    boxes_ = new TScopedScriptedMessages;
    state_ = std::make_unique<TWorkspaceState>(SettingsRegistry());
    main_ = new TLPMain(*state_);
    auto* charsets = new TCharSetForm(main_);
    editor_ = new THtmlEditor(*main_, *state_);
    editor_->CharsetDialog = charsets;
    preview_ = new TMailPreview(*main_, *state_, *editor_);
    main_->Services().Editor = editor_;
    main_->Services().Preview = preview_;
    page_ = &main_->MailingPage();
    main_->show();
    main_->ShowPage(page_);
    QTRY_VERIFY_WITH_TIMEOUT(!editor_->Sync.EditorLoading, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!editor_->Timer1->isActive(), kWait);

    dir_ = FreshDir("preview");
    PutFileBytes(dir_ + "example.dbf", ExampleTableBytes());
    main_->Tables().OpenDBFFile(dir_ + "example.dbf");
    QVERIFY(main_->Tables().TableOpen());
    values_.record = &main_->State().Table.ADOQuery1;
    values_.calc["CITY_RU"] = {true, "Москва"};
  }
  void cleanupTestCase() {
    const std::string file = preview_->PreviewFileName();
    delete main_;
    state_.reset();
    delete boxes_;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    if (!file.empty()) std::filesystem::remove(file, ec);
  }
  void init() {
    boxes_->shown.clear();
    preview_->TagValues = &values_;
    main_->State().Table.ADOQuery1.First();
    editor_->SetEditorMode(mmHtml);
    editor_->CharsetIndex = kUtf8;
    page_->Edit2->clear();
    QTRY_VERIFY_WITH_TIMEOUT(preview_->Preview.PreviewReady, kWait);
    boxes_->shown.clear();
  }

  void toListFollowsTheTable() {
    QStringList items;
    for (int i = 0; i < page_->ComboBox2->count(); ++i) items << page_->ComboBox2->itemText(i);
    QCOMPARE(items, QStringList({"F_NAME", "L_NAME", "E_MAIL"}));
    preview_->ToAddr = "E_MAIL";
    preview_->FillToFieldList();
    QCOMPARE(page_->ComboBox2->currentText(), QString("E_MAIL"));
    main_->SetModified(false);
    page_->ComboBox2->setCurrentIndex(0);
    emit page_->ComboBox2->activated(0);
    QVERIFY(main_->Modified());
    QCOMPARE(preview_->ToAddr, std::string("F_NAME"));
    std::string first;
    QVERIFY(FieldTagValue(main_->State().Table.ADOQuery1, "F_NAME", first));
    QCOMPARE(page_->PreviewTo->text(), ToQString(first));
    preview_->ToAddr = "E_MAIL";
    preview_->FillToFieldList();
  }

  void htmlPreviewMergesTheRecordAndMovesWithTheNavigator() {
    editor_->SetSourceText("<html><head></head><body><p id=t>Dear %F_NAME %L_NAME!</p></body></html>");
    page_->Edit2->setText("Hello %F_NAME");
    ShowPreview();
    TDataSet& data = main_->State().Table.ADOQuery1;
    std::string f, l;
    QVERIFY(FieldTagValue(data, "F_NAME", f) && FieldTagValue(data, "L_NAME", l));
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), ToQString("Dear " + f + " " + l + "!"));
    QCOMPARE(page_->PreviewSubject->text(), ToQString("Hello " + f));
    QVERIFY(boxes_->shown.empty());
    const std::string file = preview_->PreviewFileName();
    QVERIFY(QString::fromStdString(file).endsWith("/$lpprev_.html"));
    QVERIFY(std::filesystem::exists(file));

    auto* next = page_->DBNavigator1->findChild<QToolButton*>("Next");
    QVERIFY(next);
    next->click();
    QTRY_VERIFY_WITH_TIMEOUT(preview_->Preview.PreviewReady, kWait);
    QCOMPARE(data.RecNo(), 2);
    QVERIFY(FieldTagValue(data, "F_NAME", f) && FieldTagValue(data, "L_NAME", l));
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), ToQString("Dear " + f + " " + l + "!"));
    page_->DBNavigator1->findChild<QToolButton*>("First")->click();
    QTRY_VERIFY_WITH_TIMEOUT(preview_->Preview.PreviewReady, kWait);
    QCOMPARE(data.RecNo(), 1);
  }

  void cyrillicInWindows1251() {
    editor_->CharsetIndex = kWindows1251;
    editor_->SetSourceText(
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"></head>"
        "<body><p id=t>Привет из города %CITY_RU!</p></body></html>");
    ShowPreview();
    QCOMPARE(Js("document.characterSet").toString().toLower(), QString("windows-1251"));
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("Привет из города Москва!"));
    const std::string bytes = FileBytes(preview_->PreviewFileName());
    QVERIFY(bytes.find("\xcf\xf0\xe8\xe2\xe5\xf2") != std::string::npos);  // "Привет" in windows-1251
    QVERIFY(bytes.find("Привет") == std::string::npos);
  }

  void encodingChangeOnThePreviewShowsTheNewCharset() {
    editor_->CharsetIndex = kUtf8;
    editor_->SetSourceText(
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head>"
        "<body><p id=t>Ёлка %CITY_RU</p></body></html>");
    ShowPreview();
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("Ёлка Москва"));
    auto* form = main_->findChild<TCharSetForm*>();
    QVERIFY(form);
    QTimer::singleShot(0, form, [form] {
      form->SetItemIndex(kWindows1251);
      form->accept();
    });
    main_->Action("Encoding0")->trigger();
    QCOMPARE(editor_->CharsetIndex, kWindows1251);
    QTRY_COMPARE_WITH_TIMEOUT(Js("document.characterSet").toString().toLower(), QString("windows-1251"), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(preview_->Preview.PreviewReady, kWait);
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("Ёлка Москва"));
    QVERIFY(boxes_->shown.empty());
  }

  void plainPreviewHasTheHead() {
    editor_->SetEditorMode(mmPlainText);
    editor_->CharsetIndex = kWindows1251;
    page_->RxRichEdit2->setPlainText("Город: %CITY_RU");
    ShowPreview();
    QCOMPARE(Js("document.characterSet").toString().toLower(), QString("windows-1251"));
    QCOMPARE(Js("document.body.textContent.trim()").toString(), QString("Город: Москва"));
    const std::string bytes = FileBytes(preview_->PreviewFileName());
    QVERIFY(bytes.rfind("<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/plain; charset=windows-1251\">"
                        "\r\n</HEAD>\r\n",
                        0) == 0);
  }

  void modeChangeOnThePreviewRebuildsIt() {
    editor_->SetSourceText("<html><body><p id=t>html text</p></body></html>");
    page_->RxRichEdit2->setPlainText("plain text");
    ShowPreview();
    QCOMPARE(Js("document.body.textContent.trim()").toString(), QString("html text"));
    editor_->SetEditorMode(mmPlainText);
    QTRY_VERIFY_WITH_TIMEOUT(preview_->Preview.PreviewReady, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(Js("document.body.textContent.trim()").toString(), QString("plain text"), kWait);
  }

  void unknownTagWarnsAndStays() {
    editor_->SetSourceText("<html><body><p id=t>x %NOSUCH y</p></body></html>");
    ShowPreview();
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("x %NOSUCH y"));
    QVERIFY2(BoxTexts().contains("Warning: field %NOSUCH not found"), qPrintable(BoxTexts()));
  }

  void withoutTagValuesThePreviewFails() {
    preview_->TagValues = nullptr;
    page_->PageControl2->setCurrentWidget(page_->TabSheet3);
    page_->PageControl2->setCurrentWidget(page_->TabSheet5);
    QCOMPARE(BoxTexts(), QString("Preview Failed"));
    QVERIFY(preview_->Preview.PreviewReady);
  }

  void documentScriptsAndClicksGoNowhere() {
    editor_->SetSourceText(
        "<html><body><p id=t>x</p><script>document.body.setAttribute('data-ran', '1');</script>"
        "<a id=l href=\"https://example.invalid/\">link</a></body></html>");
    ShowPreview();
    const QUrl shown = preview_->WebBrowser1->url();
    QVERIFY(shown.isLocalFile());
    QVERIFY(!Js("document.body.hasAttribute('data-ran')").toBool());
    Js("document.getElementById('l').click(); location.href = 'https://example.invalid/other';");
    // A refused navigation leaves the document in place.
    QTest::qWait(300);
    QCOMPARE(preview_->WebBrowser1->url(), shown);
    QCOMPARE(Js("document.getElementById('t').textContent").toString(), QString("x"));
  }

  void subjectLeftMergesWithWarnings() {
    page_->Edit2->setText("Hi %F_NAME %WHO");
    page_->Edit2->setFocus();
    preview_->Edit2Exit();
    QVERIFY(page_->PreviewSubject->text().startsWith("Hi "));
    QVERIFY(page_->PreviewSubject->text().endsWith(" %WHO"));
    QVERIFY2(BoxTexts().contains("Warning: field %WHO not found"), qPrintable(BoxTexts()));
  }

  // Last: the frame's close deletes the preview file it is told of.
  void closingDeletesThePreviewFile() {
    ShowPreview();
    const std::string file = preview_->PreviewFileName();
    QVERIFY(std::filesystem::exists(file));
    QCOMPARE(main_->Services().Preview, static_cast<IMailPreview*>(preview_));
    main_->FormClose();
    QVERIFY(!std::filesystem::exists(file));
  }
};

QTEST_MAIN(MailPreviewQTest)
#include "mailpreview_qtest.moc"
