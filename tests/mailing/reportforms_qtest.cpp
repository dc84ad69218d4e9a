// The report windows: "Report Configuration" over the open table's fields,
// and the report of a prepared list with its lines, the selected item's body
// in a viewer that runs no scripts and loads nothing else, and Save As.

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTcpServer>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWindow>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "db/DataSet.h"
#include "mailing/PreparedMailing.h"
#include "mailing/Report.h"
#include "mailing/ui/LogForm.h"
#include "mailing/ui/RepForm.h"
#include "mailing/ui/Reports.h"
#include "mailing/ui/SendForm.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "support/MailTestSupport.h"
#include "tests/support/QtModal.h"
#include "workspace/AppSettings.h"

namespace fs = std::filesystem;

namespace {

QStringList Items(const QListWidget* l) {
  QStringList s;
  for (int i = 0; i < l->count(); ++i) s << l->item(i)->text();
  return s;
}

QStringList Lines(const std::vector<std::string>& v) {
  QStringList s;
  for (const auto& l : v) s << QString::fromStdString(l);
  return s;
}

QString PageHtml(QWebEnginePage* page) {
  QString html;
  bool done = false;
  page->toHtml([&](const QString& h) {
    html = h;
    done = true;
  });
  if (!QTest::qWaitFor([&] { return done; }, 10000)) return "(no answer)";
  return html;
}

}  // namespace

class ReportFormsQTest : public QObject {
  Q_OBJECT

  std::string dir_;
  std::unique_ptr<TAppSettings> settings_;
  std::unique_ptr<QWidget> main_;  // the main window the forms belong to, as composed
  std::unique_ptr<TRepForm> rep_;  // the one browser view of this binary
  std::unique_ptr<TPreparedMailing> mailing_;

  void FillList() {
    mailing_ = std::make_unique<TPreparedMailing>(dir_, "utf-8");
    TMailList& l = mailing_->MailList;
    l.Prepared = EncodeDate(2026, 12, 10) + EncodeTime(14, 5, 9, 0);
    l.Description = "\"letter\" Using \"clients\"";
    l.ContentType = "text/html";
    l.Attachments = {"/tmp/price.pdf"};
    l.Items.resize(7);
    for (size_t i = 0; i < l.Items.size(); ++i) {
      l.Items[i].To = "r" + std::to_string(i + 1) + "@example.com";
      l.Items[i].Subject = "Subject " + std::to_string(i + 1);
      l.Items[i].Body = "<p>Body number " + std::to_string(i + 1) + "</p>";
      l.Items[i].ReportText = " | City" + std::to_string(i + 1);
    }
    l.Items[6].Sent = true;
    l.Items[6].SentTime = l.Prepared;
    l.Items[2].Failed = true;
    l.Items[2].SentTime = l.Prepared;
    l.Items[2].ErrorText = "Timeout";
    mailing_->SentCount = 1;
    mailing_->FailedCount = 1;
  }

private slots:
  void initTestCase() {
    dir_ = FreshDir("reportforms");
    // The viewer's numbered files in a temporary folder of this test's own: another test
    // process may take a freed number in the shared one at once.
    const std::string tmp = dir_ + "/tmp";
    fs::create_directories(tmp);
    qputenv("TMPDIR", QByteArray::fromStdString(tmp));
    settings_ = std::make_unique<TAppSettings>(SettingsRegistry());
    main_ = std::make_unique<QWidget>();
    main_->resize(800, 600);
    main_->show();
    rep_ = std::make_unique<TRepForm>(*settings_, main_.get());
  }
  void cleanupTestCase() {
    rep_->RemoveTempFile();
    rep_.reset();
    main_.reset();
    settings_.reset();
    fs::remove_all(dir_);
  }
  void cleanup() { rep_->hide(); }

  // The first "Report..." of the run, from the mailing window shown over the
  // main window: the report comes up over the mailing window, and its own
  // buttons, clicked as a person clicks them, work at once.
  void theReportOverTheMailingWindowTheFirstTime() {
    TScopedScriptedMessages boxes;
    FillList();
    QVERIFY(!rep_->findChild<QWebEngineView*>("WebBrowser1"));  // never shown before
    TSendForm send(dir_, nullptr, *settings_, main_.get());
    send.ReportForm = rep_.get();
    send.Mailing().MailList = mailing_->MailList;
    send.State().Set(ssIdle);
    // A click at the middle of a button, through the window it is in.
    auto click = [](QPushButton* b) {
      QTest::mouseClick(b->window()->windowHandle(), Qt::LeftButton, {}, b->mapTo(b->window(), b->rect().center()));
    };
    bool over = false, active = false, saveAsked = false, closed = false;
    rep_->ChooseSaveFile = [&](const std::string&) {
      saveAsked = true;
      return dir_ + "first.txt";
    };
    WhenModal([&](QWidget* m) {
      QCOMPARE(m, static_cast<QWidget*>(&send));
      WhenModal([&](QWidget* r) {
        QCOMPARE(r, static_cast<QWidget*>(rep_.get()));
        QVERIFY(rep_->findChild<QWebEngineView*>("WebBrowser1"));
        QWindow* w = rep_->windowHandle();
        over = w && w->transientParent() == send.windowHandle();
        active = QTest::qWaitForWindowActive(rep_.get());
        click(rep_->Button2);
        click(rep_->Button1);
        closed = !rep_->isVisible();
      });
      send.Button6->click();
      send.reject();
    });
    send.exec();
    QVERIFY(over);
    QVERIFY(active);
    QVERIFY(saveAsked);
    QVERIFY(fs::exists(dir_ + "first.txt"));
    QVERIFY(closed);
    QVERIFY(boxes.shown.empty());
  }

  void reportShowsHeaderLinesAndTheSelectedItem() {
    TScopedScriptedMessages boxes;
    FillList();
    rep_->SetList(*mailing_);
    rep_->show();
    QCOMPARE(rep_->windowTitle(), QString("Report - \"letter\" Using \"clients\""));
    QCOMPARE(rep_->findChild<QLabel*>("Label1")->text(), QString("Prepared -"));
    QCOMPARE(rep_->findChild<QLabel*>("Label7")->text(),
             QString::fromStdString(DateTimeToStr(mailing_->MailList.Prepared)));
    QCOMPARE(rep_->findChild<QLabel*>("Label8")->text(), QString("utf-8"));
    QCOMPARE(rep_->findChild<QLabel*>("Label9")->text(), QString("text/html"));
    QCOMPARE(rep_->findChild<QLabel*>("Label10")->text(), QString("7"));
    QCOMPARE(rep_->findChild<QLabel*>("Label11")->text(), QString("1"));
    QCOMPARE(rep_->findChild<QLabel*>("Label12")->text(), QString("1"));
    QCOMPARE(Items(rep_->findChild<QListWidget*>("ListBox1")), QStringList{"/tmp/price.pdf"});
    auto* lines = rep_->findChild<QListWidget*>("TextListBox1");
    QCOMPARE(Items(lines), Lines(ReportItemLines(mailing_->MailList)));
    const QString time = QString::fromStdString(DateTimeToStr(mailing_->MailList.Prepared));
    QCOMPARE(lines->item(6)->text(), "7      Sent     " + time + "  | City7");
    QCOMPARE(lines->item(2)->text(), "3      Failed   " + time + "  | City3 - \"Timeout\"");
    QCOMPARE(lines->item(0)->text(), QString("1      Not Sent                    | City1"));
    QCOMPARE(lines->currentRow(), 0);
    QCOMPARE(rep_->findChild<QLabel*>("Label15")->text(), QString("r1@example.com"));
    QCOMPARE(rep_->findChild<QLabel*>("Label17")->text(), QString("Subject 1"));

    // The body goes to a numbered file in the temporary folder, and the viewer shows it.
    const std::string first = rep_->TempFile();
    QVERIFY(fs::path(first).filename().string().rfind("$repv_", 0) == 0);
    QCOMPARE(fs::path(first).extension().string(), std::string(".html"));
    auto* view = rep_->findChild<QWebEngineView*>("WebBrowser1");
    QTRY_VERIFY_WITH_TIMEOUT(PageHtml(view->page()).contains("Body number 1"), 10000);
    lines->setCurrentRow(3);
    QCOMPARE(rep_->findChild<QLabel*>("Label15")->text(), QString("r4@example.com"));
    QTRY_VERIFY_WITH_TIMEOUT(PageHtml(view->page()).contains("Body number 4"), 10000);
    QVERIFY(rep_->TempFile() != first);
    QVERIFY(!fs::exists(first));  // the viewer left it
    QVERIFY(fs::exists(rep_->TempFile()));
    QVERIFY(boxes.shown.empty());

    // The main window's exit finds the last file through the report windows.
    TLogForm log(nullptr);
    TReports reports(log, *rep_, nullptr);
    QCOMPARE(reports.ReportViewerFileName(), rep_->TempFile());
  }

  void theViewerRunsNoScriptAndLoadsNothingElse() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    FillList();
    const QString remote = QString("http://127.0.0.1:%1/").arg(server.serverPort());
    mailing_->MailList.Items[0].Body = ("<html><head><title>kept</title><link rel=stylesheet href=\"" + remote +
                                        "s.css\"></head><body>"
                                        "<script>document.title = 'ran';</script><img src=\"" +
                                        remote +
                                        "i.png\">"
                                        "<iframe src=\"" +
                                        remote + "f.html\"></iframe><p>Marker</p></body></html>")
                                           .toStdString();
    rep_->SetList(*mailing_);
    rep_->show();
    auto* view = rep_->findChild<QWebEngineView*>("WebBrowser1");
    QVERIFY(!view->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    QTRY_VERIFY_WITH_TIMEOUT(PageHtml(view->page()).contains("Marker"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(view->page()->title(), QString("kept"), 10000);
    QVERIFY(!server.waitForNewConnection(300));
    // A navigation the document asks for is refused.
    view->page()->load(QUrl(remote + "elsewhere.html"));
    QVERIFY(!server.waitForNewConnection(300));
    QVERIFY(PageHtml(view->page()).contains("Marker"));
  }

  void saveAsWritesTheReportAndKeepsTheFolder() {
    TScopedScriptedMessages boxes;
    FillList();
    rep_->SetList(*mailing_);
    rep_->show();
    const std::string folder = dir_ + "saved/";
    fs::create_directories(folder);
    std::string startedIn;
    rep_->ChooseSaveFile = [&](const std::string& start) {
      startedIn = start;
      return folder + "report";
    };
    settings_->Set(stReportDir, dir_);
    rep_->findChild<QPushButton*>("Button2")->click();
    QCOMPARE(startedIn, dir_);
    QCOMPARE(settings_->Values().ReportDir, folder);
    const std::string text = FileBytes(folder + "report.txt");
    std::vector<std::string> expected = {"Report - \"letter\" Using \"clients\"",
                                         "",
                                         "Prepared - " + DateTimeToStr(mailing_->MailList.Prepared),
                                         "Encoding - utf-8",
                                         "Mail Type - text/html",
                                         "Amount - 7",
                                         "Sent - 1",
                                         "Failed - 1",
                                         "",
                                         "Attachments",
                                         "/tmp/price.pdf",
                                         "",
                                         "List"};
    for (const auto& l : ReportItemLines(mailing_->MailList)) expected.push_back(l);
    QCOMPARE(Lines(TextToLines(text)), Lines(expected));
    QVERIFY(boxes.shown.empty());

    // Cancelled: nothing written, the folder stays.
    rep_->ChooseSaveFile = [](const std::string&) { return std::string(); };
    rep_->Button2Click();
    QCOMPARE(settings_->Values().ReportDir, folder);

    // A folder that cannot be written to: the error's own box.
    rep_->ChooseSaveFile = [&](const std::string&) { return dir_ + "missing/sub/r.txt"; };
    rep_->Button2Click();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Error);
  }

  void anEmptyListShowsNothingAndSavesUpToList() {
    TScopedScriptedMessages boxes;
    mailing_ = std::make_unique<TPreparedMailing>(dir_, "utf-8");
    rep_->SetList(*mailing_);
    rep_->show();
    QCOMPARE(rep_->findChild<QListWidget*>("TextListBox1")->count(), 0);
    QCOMPARE(rep_->findChild<QLabel*>("Label10")->text(), QString("0"));
    QCOMPARE(rep_->findChild<QLabel*>("Label15")->text(), QString());
    auto* view = rep_->findChild<QWebEngineView*>("WebBrowser1");
    QVERIFY(view);  // made by the tests before
    QTRY_VERIFY_WITH_TIMEOUT(!PageHtml(view->page()).contains("Body number"), 10000);
    rep_->ChooseSaveFile = [&](const std::string&) { return dir_ + "empty.txt"; };
    rep_->Button2Click();
    const std::vector<std::string> lines = TextToLines(FileBytes(dir_ + "empty.txt"));
    QVERIFY(!lines.empty());
    QCOMPARE(lines.back(), std::string("List"));
    QVERIFY(boxes.shown.empty());
  }

  void theMailingWindowOpensTheReportModally() {
    FillList();
    TSendForm send(dir_, nullptr, *settings_);
    send.ReportForm = rep_.get();
    send.Mailing().MailList = mailing_->MailList;
    send.State().Set(ssIdle);
    QVERIFY(send.Button6->isEnabled());
    QString title;
    WhenModal([&](QWidget* m) {
      QCOMPARE(m, static_cast<QWidget*>(rep_.get()));
      title = m->windowTitle();
      rep_->Button1->click();
    });
    send.Button6->click();
    QCOMPARE(title, QString("Report - \"letter\" Using \"clients\""));
  }

  void reportConfigurationOverTheTableFields() {
    TScopedScriptedMessages boxes;
    TDataSet table;
    TTableData d;
    d.Fields = {{"NAME", ftString, 20, 0},
                {"E_MAIL", ftString, 40, 0},
                {"ACTIVE", ftBoolean, 0, 0},
                {"NOTES", ftMemo, 0, 0},
                {"BORN", ftDateTime, 0, 0}};
    d.Rows.push_back(PackRow({std::string("Ann"), std::string("a@example.com"), true, std::string("memo"), 1.0}));
    table.OpenData(std::move(d));
    TLogForm form([&table]() -> const TDataSet* { return &table; });
    form.show();
    auto* fields = form.findChild<QComboBox*>("ComboBox1");
    auto* list = form.findChild<QListWidget*>("ListBox1");
    QStringList names;
    for (int i = 0; i < fields->count(); ++i) names << fields->itemText(i);
    QCOMPARE(names, (QStringList{"NAME", "E_MAIL", "BORN"}));
    QCOMPARE(fields->currentIndex(), 0);
    QVERIFY(form.Button1->isEnabled() && !form.Button2->isEnabled());

    form.Button1->click();
    fields->setCurrentIndex(1);
    form.Button1->click();
    QCOMPARE(Items(list), (QStringList{"NAME", "E_MAIL"}));
    QCOMPARE(list->currentRow(), 1);
    QVERIFY(form.Button2->isEnabled());
    form.SetReportEntry(form.ReportEntry() + "\r\ne_mail");  // as a hand-edited project might hold it
    QCOMPARE(form.ReportFields().size(), size_t(3));
    form.SetReportEntry("NAME\r\nE_MAIL");
    form.Button1Click();  // E_MAIL chosen, already there
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Already Exists"));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Error);
    QCOMPARE(form.ReportEntry(), std::string("NAME\r\nE_MAIL"));

    list->setCurrentRow(1);
    form.Button2->click();
    QCOMPARE(Items(list), QStringList{"NAME"});
    QCOMPARE(list->currentRow(), 0);
    form.Button2->click();
    QVERIFY(form.ReportFields().empty());
    QVERIFY(!form.Button2->isEnabled());

    // No open table: no fields to choose.
    table.Close();
    form.hide();
    form.show();
    QCOMPARE(fields->count(), 0);
    QVERIFY(!form.Button1->isEnabled());

    TRecordingHelpService help;
    SetHelpService(&help);
    QTest::keyClick(list, Qt::Key_F1);
    form.Button4->click();
    SetHelpService(nullptr);
    QCOMPARE(help.calls.size(), size_t(2));
    QCOMPARE(help.calls[0].data, 7);
  }
};

QTEST_MAIN(ReportFormsQTest)
#include "reportforms_qtest.moc"
