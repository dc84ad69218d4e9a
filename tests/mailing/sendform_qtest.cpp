// The mailing window: which controls each state allows (here and in the main
// window), Prepare over the first run's example table through a merge with a
// stand-in tag source, Clear List, the one-shot load on the first show, the
// progress bar, and the main window's Mailing command.

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QComboBox>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "mailing/MailList.h"
#include "mailing/MailRunControl.h"
#include "mailing/MailingProject.h"
#include "mailing/Merge.h"
#include "mailing/ReportFieldList.h"
#include "mailing/ui/SendForm.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "support/MailTestSupport.h"
#include "support/MergeFakes.h"
#include "support/QtModal.h"
#include "workspace/FirstRun.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/TableUi.h"

namespace fs = std::filesystem;

namespace {

// The real merge over the open table's record; calculated fields from a script.
class TTableMerge {
public:
  TTableMerge() : merger_(reader_, tags_, sign_) { SetUpMergeReader(reader_); }
  TMerger& Merger() { return merger_; }

  TFakeTableTagSource tags_;

private:
  TReader reader_;
  TFakeSign sign_;
  TMerger merger_;
};

class TFakeProject : public IMailingProject {
public:
  TPrepareProject project;
  TPrepareProject PrepareProject() const override { return project; }
  std::string CharsetName() const override { return "utf-8"; }
};

class TFakeReportFields : public IReportFieldList {
public:
  std::vector<std::string> fields;
  std::vector<std::string> ReportFields() const override { return fields; }
  std::string ReportEntry() const override { return {}; }
  void SetReportEntry(const std::string&) override {}
};

class TFakeRun : public IMailRun {
public:
  int starts = 0, stops = 0, resets = 0;
  void Start() override { ++starts; }
  void Stop() override { ++stops; }
  void ResetFailedItems() override { ++resets; }
  int ActiveThreads() const override { return 3; }
};

}  // namespace

class SendFormQTest : public QObject {
  Q_OBJECT

  std::string dir_;
  TLPMain* w_ = nullptr;
  TTableMerge merge_;
  TFakeProject project_;
  TFakeReportFields reports_;
  TFakeRun run_;

  std::unique_ptr<TSendForm> NewForm(bool withRun = true) {
    w_->Services().Mailing = nullptr;
    auto f = std::make_unique<TSendForm>(AppDir, w_, OptForm);
    f->Project = &project_;
    f->Merge = &merge_.Merger();
    f->ReportFields = &reports_;
    f->Run = withRun ? &run_ : nullptr;
    w_->Services().Mailing = f.get();
    return f;
  }

  void RemoveListFiles() {
    for (const char* n : {MailListFileName, MailIndexFileName, FailedListFileName}) fs::remove(AppDir + n);
  }

  TTableWorkspace& Ws() { return w_->Tables().Workspace; }

private slots:
  void initTestCase() {
    dir_ = FreshDir("sendform");
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(dir_ + "home"));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(dir_ + "home/registry.reg"));
    w_ = new TLPMain;
    OptForm = new TOptForm(w_);
    w_->Services().Options = OptForm;
    PutFileBytes(dir_ + "example.dbf", ExampleTableBytes());
    project_.project.Subject = "Test message for %F_NAME %L_NAME";
    project_.project.HtmlSource = "<p>Dear %F_NAME</p>";
    project_.project.ToAddr = "E_MAIL";
    project_.project.Charset = "utf-8";
    project_.project.Attachments = {"/tmp/a.pdf"};
  }
  void cleanupTestCase() {
    w_->Services().Mailing = nullptr;
    delete w_;
    OptForm = nullptr;
    fs::remove_all(dir_);
  }
  void init() {
    RemoveListFiles();
    run_ = TFakeRun();
    reports_.fields.clear();
    w_->Tables().CloseTable0Click();
  }
  void cleanup() { w_->Services().Mailing = nullptr; }

  void sendStateAllowsTheDesignedControls_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("failed");
    QTest::addColumn<bool>("withRun");
    // Prepare, Start, Start caption, Clear, Help, Reset, Report, Hide, Send Current.
    QTest::addColumn<QString>("expected");
    QTest::newRow("idle, empty list") << 0 << 0 << 0 << 0 << true << "1 0 Start 0 1 0 0 1 1";
    QTest::newRow("idle, fresh list") << 0 << 4 << 0 << 0 << true << "1 1 Start 1 1 0 1 1 1";
    QTest::newRow("idle, part sent") << 0 << 4 << 1 << 1 << true << "1 1 Continue 1 1 1 1 1 1";
    QTest::newRow("idle, all done") << 0 << 4 << 3 << 1 << true << "1 0 Start 1 1 1 1 1 1";
    QTest::newRow("idle, no run") << 0 << 4 << 1 << 1 << false << "1 0 Start 1 1 0 1 1 1";
    QTest::newRow("preparing") << 1 << 4 << 1 << 1 << true << "0 0 Start 0 0 0 0 0 0";
    QTest::newRow("sending") << 2 << 4 << 1 << 1 << true << "0 1 Stop 0 1 0 0 1 0";
  }
  void sendStateAllowsTheDesignedControls() {
    QFETCH(int, state);
    QFETCH(int, items);
    QFETCH(int, sent);
    QFETCH(int, failed);
    QFETCH(bool, withRun);
    QFETCH(QString, expected);
    auto form = NewForm(withRun);
    form->Mailing().MailList.Items.resize(static_cast<size_t>(items));
    form->Mailing().SentCount = sent;
    form->Mailing().FailedCount = failed;
    form->SetSendState(static_cast<TSendState>(state));
    QCOMPARE(form->SendState(), state);
    auto b = [&](const char* name) { return form->findChild<QPushButton*>(name); };
    auto on = [](bool e) { return QString(e ? "1" : "0"); };
    const QStringList got = {on(b("Button1")->isEnabled()), on(b("Button2")->isEnabled()), b("Button2")->text(),
                             on(b("Button3")->isEnabled()), on(b("Button4")->isEnabled()),
                             on(b("Button5")->isEnabled()), on(b("Button6")->isEnabled()),
                             on(b("CancelBtn")->isEnabled()), on(w_->Action("SendCurrent1")->isEnabled())};
    QCOMPARE(got.join(' '), expected);
    QCOMPARE(w_->MailingPage().SpeedButton6->isEnabled(), w_->Action("SendCurrent1")->isEnabled());
    form->SetSendState(ssIdle);
  }

  void prepareWalksFromTheCurrentRecordAndLeavesTheTableThere() {
    TScopedScriptedMessages boxes;
    auto form = NewForm();
    reports_.fields = {"L_NAME", "NOSUCH"};
    w_->Tables().OpenDBFFile(dir_ + "example.dbf");
    QVERIFY(Ws().IsOpen());
    Ws().ADOQuery1.SetRecNo(2);
    form->findChild<QPushButton*>("Button1")->click();
    QVERIFY2(boxes.shown.empty(), boxes.shown.empty() ? "" : boxes.shown[0].text.c_str());
    QCOMPARE(Ws().ADOQuery1.RecNo(), 2);
    const TMailList& list = form->Mailing().MailList;
    QCOMPARE(list.Items.size(), size_t(1));
    QCOMPARE(list.Items[0].To, std::string("mary.jones@example.com"));
    QCOMPARE(list.Items[0].Subject, std::string("Test message for Mary Jones"));
    QCOMPARE(list.Items[0].Body, std::string("<p>Dear Mary</p>"));
    QCOMPARE(list.Items[0].ReportText, std::string(" | Jones"));
    QCOMPARE(list.ContentType, std::string("text/html"));
    QCOMPARE(form->Panel1->text(), QString("The list is prepared successfully"));
    QCOMPARE(form->Panel4->text(), QString("(NONAME) Using \"example\""));
    QCOMPARE(form->Panel2->text(), QString("0 Sent of 1"));
    QCOMPARE(form->Panel3->text(), QString("0 Failed"));
    QCOMPARE(form->Panel5->text(), QString("3 Active Threads"));
    QCOMPARE(form->SendState(), 0);
    QVERIFY(form->Button3->isEnabled() && form->Button6->isEnabled() && form->Button2->isEnabled());
    QVERIFY(w_->Action("SendCurrent1")->isEnabled());
    QVERIFY(fs::exists(AppDir + MailListFileName) && fs::exists(AppDir + MailIndexFileName));

    Ws().ADOQuery1.SetRecNo(1);
    form->Button1Click();
    QCOMPARE(form->Mailing().MailList.Items.size(), size_t(2));
    QCOMPARE(form->Mailing().MailList.Items[0].To, std::string("john.smith@example.com"));
    QCOMPARE(Ws().ADOQuery1.RecNo(), 1);
    // Only the first record warns: nothing was missing here.
    QVERIFY(boxes.shown.empty());
  }

  void prepareSaysWhatIsMissing() {
    TScopedScriptedMessages boxes;
    auto form = NewForm();
    form->Merge = nullptr;
    w_->Tables().OpenDBFFile(dir_ + "example.dbf");
    form->Button1Click();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QVERIFY(boxes.shown[0].text.find("merge") != std::string::npos);
    form->Merge = &merge_.Merger();
    form->Project = nullptr;
    form->Button1Click();
    QCOMPARE(boxes.shown.size(), size_t(2));
    QVERIFY(boxes.shown[1].text.find("project") != std::string::npos);
    QCOMPARE(form->SendState(), 0);
    QVERIFY(!fs::exists(AppDir + MailListFileName));

    // And the table's own checks.
    form->Project = &project_;
    w_->Tables().CloseTable0Click();
    form->Button1Click();
    QCOMPARE(boxes.shown.back().text, std::string("Table is Closed"));
  }

  void clearListAsksFirst() {
    TScopedScriptedMessages boxes;
    auto form = NewForm();
    w_->Tables().OpenDBFFile(dir_ + "example.dbf");
    form->Button1Click();
    QCOMPARE(form->Mailing().MailList.Items.size(), size_t(2));

    boxes.Answer(TMsgResult::No);
    form->findChild<QPushButton*>("Button3")->click();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Clear the List?"));
    QCOMPARE(boxes.shown[0].buttons, TMsgButtons::YesNo);
    QCOMPARE(form->Mailing().MailList.Items.size(), size_t(2));

    boxes.Answer(TMsgResult::Yes);
    form->Button3Click();
    QVERIFY(form->Mailing().MailList.Items.empty());
    QCOMPARE(form->Panel1->text(), QString());
    QCOMPARE(form->Panel4->text(), QString());
    QCOMPARE(form->Panel2->text(), QString("0 Sent of 0"));
    QVERIFY(!form->Button3->isEnabled() && !form->Button6->isEnabled() && !form->Button2->isEnabled());
    TMailList onDisk;
    LoadMailList(AppDir + MailListFileName, onDisk);
    QVERIFY(onDisk.Items.empty());
    QCOMPARE(onDisk.Charset, std::string("utf-8"));
  }

  void theFirstShowLoadsTheListOnce() {
    TScopedScriptedMessages boxes;
    {
      auto form = NewForm();
      w_->Tables().OpenDBFFile(dir_ + "example.dbf");
      form->Button1Click();
    }
    auto form = NewForm();
    QVERIFY(form->Mailing().MailList.Items.empty());
    form->show();
    QTRY_COMPARE(form->Mailing().MailList.Items.size(), size_t(2));
    QCOMPARE(form->Panel1->text(), QString("The list is loaded successfully"));
    QCOMPARE(form->Panel4->text(), QString("(NONAME) Using \"example\""));
    QCOMPARE(form->SendState(), 0);
    form->hide();
    RemoveListFiles();
    form->show();
    QTest::qWait(20);
    QCOMPARE(form->Mailing().MailList.Items.size(), size_t(2));  // not loaded again
    form->hide();

    // A damaged list says so.
    PutFileBytes(AppDir + MailListFileName, std::string(20, '\x7f'));
    auto damaged = NewForm();
    damaged->show();
    QTRY_COMPARE(damaged->Panel1->text(), QString("The list is not loaded"));
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Error);
    damaged->hide();
  }

  void progressNeverMovesBackAndRoundsHalvesToEven() {
    auto form = NewForm();
    form->ShowProgress(1, 8);  // 12.5
    QCOMPARE(form->ProgressBar1->value(), 12);
    form->ShowProgress(3, 8);  // 37.5
    QCOMPARE(form->ProgressBar1->value(), 38);
    form->ShowProgress(1, 4);
    QCOMPARE(form->ProgressBar1->value(), 38);
    QCOMPARE(form->windowTitle(), QString("38% Completed"));
    form->ShowProgress(0, 0);
    QCOMPARE(form->ProgressBar1->value(), 0);
  }

  void startStopAndResetGoToTheRun() {
    auto form = NewForm();
    form->Mailing().MailList.Items.resize(3);
    form->Mailing().FailedCount = 1;
    form->SetSendState(ssIdle);
    form->findChild<QPushButton*>("Button5")->click();
    QCOMPARE(run_.resets, 1);
    form->findChild<QPushButton*>("Button2")->click();
    QCOMPARE(run_.starts, 1);
    form->SetSendState(ssSending);
    form->findChild<QPushButton*>("Button2")->click();
    QCOMPARE(run_.stops, 1);
    QVERIFY(!form->Button2->isEnabled());
    form->Button5Click();  // not while sending
    QCOMPARE(run_.resets, 1);
    form->SetSendState(ssIdle);
  }

  void mailingCommandNeedsAnAccountAndShowsTheWindow() {
    TScopedScriptedMessages boxes;
    auto form = NewForm();
    OptForm->SetAccountNames({});
    w_->Action("Mailing1")->trigger();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Account is not selected"));

    OptForm->SetAccountNames({"HOME"});
    OptForm->ComboBox2->setCurrentIndex(0);
    QString account;
    WhenModal([&](QWidget* m) {
      QCOMPARE(m, static_cast<QWidget*>(form.get()));
      account = form->Panel6->text();
      form->CancelBtn->click();
    });
    w_->Action("Mailing1")->trigger();
    QCOMPARE(account, QString("Active Account - \"HOME\""));
    QVERIFY(!form->isVisible());
  }

  void helpAndF1OpenContextThirteen() {
    TRecordingHelpService help;
    SetHelpService(&help);
    auto form = NewForm();
    form->show();
    form->Button4->click();
    QTest::keyClick(form->Button1, Qt::Key_F1);
    SetHelpService(nullptr);
    QCOMPARE(help.calls.size(), size_t(2));
    for (const auto& c : help.calls) QCOMPARE(c.data, 13);
    form->hide();
  }
};

QTEST_MAIN(SendFormQTest)
#include "sendform_qtest.moc"
