// The mailing window: which controls each state allows (here and in the main
// window), Prepare over the first run's example table through a merge with a
// stand-in tag source, Clear List, the one-shot load on the first show, the
// progress bar, the main window's Mailing command, and the run through the
// window's buttons and timer against a real SMTP sink on loopback: Start to
// "Mailing Completed", Stop while the senders stall, the connection box,
// Reset Failed Items, and Send Current from the main window.

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QComboBox>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "mailing/MailList.h"
#include "mailing/MailingProject.h"
#include "mailing/OneMail.h"
#include "net/IdMessage.h"
#include "db/DataSet.h"
#include "mailing/Merge.h"
#include "mailing/ReportFieldList.h"
#include "mailing/Report.h"
#include "mailing/ui/SendForm.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtDispatcher.h"
#include "support/MailTestSupport.h"
#include "support/MergeFakes.h"
#include "tests/support/QtModal.h"
#include "support/RunServers.h"
#include "support/RunTestKit.h"
#include "platform/Paths.h"
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
  TTableMerge() : merger_(reader_, tags_, sign_, warnings_) { SetUpMergeReader(reader_); }
  TMerger& Merger() { return merger_; }

  TFakeTableTagSource tags_;

private:
  TReader reader_;
  TFakeSign sign_;
  TBoxedMergeWarnings warnings_;
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

// Keeps every status line the run shows, in order.
class TRecordingSendForm : public TSendForm {
public:
  using TSendForm::TSendForm;
  std::vector<std::string> statuses;
  void ShowStatus(const std::string& text) override {
    statuses.push_back(text);
    TSendForm::ShowStatus(text);
  }
  // The statuses that are not per-item results or connector progress.
  std::vector<std::string> RunStatuses() const {
    std::vector<std::string> out;
    for (const auto& s : statuses)
      if (s.rfind("Success: ", 0) != 0 && s.rfind("Failure: ", 0) != 0 && s.find(" connected") == std::string::npos)
        out.push_back(s);
    return out;
  }
};

// A record flags of "Maillist.ind": {Sent, Failed}.
std::pair<int, int> IndexFlags(int i) {
  const std::string b = FileBytes(ResolveAppDir() + MailIndexFileName);
  const size_t at = 4 + 10 * static_cast<size_t>(i) + 8;
  if (b.size() < at + 2) return {-1, -1};
  return {b[at], b[at + 1]};
}

constexpr int RunTimeoutMs = 60000;

}  // namespace

class SendFormQTest : public QObject {
  Q_OBJECT

  std::string dir_;
  std::unique_ptr<TWorkspaceState> state_;
  TLPMain* w_ = nullptr;
  TOptForm* options_ = nullptr;
  TTableMerge merge_;
  TFakeProject project_;
  TFakeReportFields reports_;
  TProfiles accounts_;
  TFakeRunClock clock_;
  std::unique_ptr<TQtDispatcher> dispatcher_;
  std::unique_ptr<TScopedDispatcher> scopedDispatcher_;

  std::unique_ptr<TRecordingSendForm> NewForm() {
    w_->Services().Mailing = nullptr;
    auto f = std::make_unique<TRecordingSendForm>(w_->AppDir(), w_, state_->Settings, nullptr, clock_);
    f->Project = &project_;
    f->Merge = &merge_.Merger();
    f->ReportFields = &reports_;
    f->Accounts = &accounts_;
    w_->Services().Mailing = f.get();
    return f;
  }

  // The one account "Sink", chosen in Options, and the thread count.
  void UseAccount(const TProfile& account, int threads) {
    accounts_ = {account};
    accounts_[0].AccountName = "Sink";
    options_->SetAccountNames({"Sink"});
    state_->Settings.Set(stActiveProfile, std::string("Sink"));
    state_->Settings.Set(stThreads, threads);
  }

  // The event loop until the window is idle and Send Current's thread is done.
  static bool WaitIdle(TSendForm& form) {
    return QTest::qWaitFor(
        [&] {
          const TOneMail* one = form.CurrentMail();
          return form.SendState() == ssIdle && (!one || !one->Started() || one->Stopped());
        },
        RunTimeoutMs);
  }

  void RemoveListFiles() {
    for (const char* n : {MailListFileName, MailIndexFileName, FailedListFileName}) fs::remove(w_->AppDir() + n);
  }

  TTableWorkspace& Ws() { return w_->State().Table; }

private slots:
  void initTestCase() {
    dir_ = FreshDir("sendform");
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(dir_ + "home"));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(dir_ + "home/registry.reg"));
    dispatcher_ = std::make_unique<TQtDispatcher>();
    scopedDispatcher_ = std::make_unique<TScopedDispatcher>(dispatcher_.get());
    InitMailLibraries();
    state_ = std::make_unique<TWorkspaceState>(SettingsRegistry());
    w_ = new TLPMain(*state_);
    options_ = new TOptForm(state_->Settings, w_);
    w_->Services().Options = options_;
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
    options_ = nullptr;
    state_.reset();
    scopedDispatcher_.reset();
    dispatcher_.reset();
    fs::remove_all(dir_);
  }
  void init() {
    RemoveListFiles();
    accounts_.clear();
    options_->SetAccountNames({});
    reports_.fields.clear();
    w_->Tables().CloseTable0Click();
  }
  void cleanup() { w_->Services().Mailing = nullptr; }

  void sendStateAllowsTheDesignedControls_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("failed");
    // Prepare, Start, Start caption, Clear, Help, Reset, Report, Hide, Send Current.
    QTest::addColumn<QString>("expected");
    QTest::newRow("idle, empty list") << 0 << 0 << 0 << 0 << "1 0 Start 0 1 0 0 1 1";
    QTest::newRow("idle, fresh list") << 0 << 4 << 0 << 0 << "1 1 Start 1 1 0 1 1 1";
    QTest::newRow("idle, part sent") << 0 << 4 << 1 << 1 << "1 1 Continue 1 1 1 1 1 1";
    QTest::newRow("idle, all done") << 0 << 4 << 3 << 1 << "1 0 Start 1 1 1 1 1 1";
    QTest::newRow("preparing") << 1 << 4 << 1 << 1 << "0 0 Start 0 0 0 0 0 0";
    QTest::newRow("sending") << 2 << 4 << 1 << 1 << "0 1 Stop 0 1 0 0 1 0";
  }
  void sendStateAllowsTheDesignedControls() {
    QFETCH(int, state);
    QFETCH(int, items);
    QFETCH(int, sent);
    QFETCH(int, failed);
    QFETCH(QString, expected);
    auto form = NewForm();
    form->Mailing().MailList.Items.resize(static_cast<size_t>(items));
    form->Mailing().SentCount = sent;
    form->Mailing().FailedCount = failed;
    form->State().Set(static_cast<TSendState>(state));
    QCOMPARE(form->SendState(), static_cast<TSendState>(state));
    auto b = [&](const char* name) { return form->findChild<QPushButton*>(name); };
    auto on = [](bool e) { return QString(e ? "1" : "0"); };
    const QStringList got = {
        on(b("Button1")->isEnabled()), on(b("Button2")->isEnabled()),   b("Button2")->text(),
        on(b("Button3")->isEnabled()), on(b("Button4")->isEnabled()),   on(b("Button5")->isEnabled()),
        on(b("Button6")->isEnabled()), on(b("CancelBtn")->isEnabled()), on(w_->Action("SendCurrent1")->isEnabled())};
    QCOMPARE(got.join(' '), expected);
    QCOMPARE(w_->MailingPage().SpeedButton6->isEnabled(), w_->Action("SendCurrent1")->isEnabled());
    form->State().Set(ssIdle);
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
    QCOMPARE(form->Panel5->text(), QString("0 Active Threads"));
    QCOMPARE(form->SendState(), ssIdle);
    QVERIFY(form->Button3->isEnabled() && form->Button6->isEnabled() && form->Button2->isEnabled());
    QVERIFY(w_->Action("SendCurrent1")->isEnabled());
    QVERIFY(fs::exists(w_->AppDir() + MailListFileName) && fs::exists(w_->AppDir() + MailIndexFileName));

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
    QCOMPARE(form->SendState(), ssIdle);
    QVERIFY(!fs::exists(w_->AppDir() + MailListFileName));

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
    LoadMailList(w_->AppDir() + MailListFileName, onDisk);
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
    QCOMPARE(form->SendState(), ssIdle);
    form->hide();
    RemoveListFiles();
    form->show();
    QTest::qWait(20);
    QCOMPARE(form->Mailing().MailList.Items.size(), size_t(2));  // not loaded again
    form->hide();

    // A damaged list says so.
    PutFileBytes(w_->AppDir() + MailListFileName, std::string(20, '\x7f'));
    auto damaged = NewForm();
    damaged->show();
    QTRY_COMPARE(damaged->Panel1->text(), QString("The list is not loaded"));
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Error);
    damaged->hide();
  }

  void progressNeverMovesBackAndRoundsHalvesToEven() {
    auto form = NewForm();
    TMailRun& run = form->Run();
    run.ShowProgress(1, 8);  // 12.5
    QCOMPARE(form->ProgressBar1->value(), 12);
    run.ShowProgress(3, 8);  // 37.5
    QCOMPARE(form->ProgressBar1->value(), 38);
    run.ShowProgress(1, 4);
    QCOMPARE(form->ProgressBar1->value(), 38);
    QCOMPARE(form->windowTitle(), QString("38% Completed"));
    run.ShowProgress(0, 0);
    QCOMPARE(form->ProgressBar1->value(), 0);
    run.ShowProgress(1, 4);
    run.ResetProgress();
    QCOMPARE(form->ProgressBar1->value(), 0);
    QCOMPARE(form->windowTitle(), QString("0% Completed"));
  }

  void startStopAndResetGoToTheRun() {
    TScopedScriptedMessages boxes;
    auto form = NewForm();
    TMailList list = RunList(3);
    list.Items[1].Failed = true;
    list.Items[1].ErrorText = "550 refused";
    PutList(form->Mailing(), list);
    form->State().Set(ssIdle);
    QVERIFY(form->Button5->isEnabled());
    QCOMPARE(form->Button2->text(), QString("Continue"));
    form->findChild<QPushButton*>("Button5")->click();
    QCOMPARE(form->Mailing().FailedCount, 0);
    QVERIFY(!form->Mailing().MailList.Items[1].Failed);
    QCOMPARE(IndexFlags(1), std::make_pair(0, 0));
    QCOMPARE(form->Panel3->text(), QString("0 Failed"));
    QVERIFY(!form->Button5->isEnabled());
    QCOMPARE(form->Button2->text(), QString("Start"));

    // No account chosen: Start says so and nothing starts.
    form->findChild<QPushButton*>("Button2")->click();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Account is not selected"));
    QCOMPARE(form->SendState(), ssIdle);
    // A port that is not a number: said, and nothing starts.
    TProfile badPort = ServerAccount(25);
    badPort.SmtpPort = "2x5";
    UseAccount(badPort, 15);
    form->Button2->click();
    QCOMPARE(boxes.shown.size(), size_t(2));
    QVERIFY2(boxes.shown[1].text.find("\"2x5\"") != std::string::npos, boxes.shown[1].text.c_str());
    QCOMPARE(form->SendState(), ssIdle);
    QVERIFY(!form->Timer3->isActive());

    // While sending the button stops, and Reset waits.
    form->Mailing().MailList.Items[2].Failed = true;
    form->Mailing().FailedCount = 1;
    form->State().Set(ssSending);
    QCOMPARE(form->Button2->text(), QString("Stop"));
    form->findChild<QPushButton*>("Button2")->click();
    QVERIFY(form->Run().Aborting());
    QVERIFY(!form->Button2->isEnabled());
    form->Button5Click();
    QCOMPARE(form->Mailing().FailedCount, 1);
    form->State().Set(ssIdle);
  }

  void startSendsTheListThroughTheWindow() {
    TScopedScriptedMessages boxes;
    TSinkServer::Options o;
    o.store = true;
    TSinkServer sink(o);
    QVERIFY(sink.Ok());
    auto form = NewForm();
    PutList(form->Mailing(), RunList(2));
    form->Mailing().ListLoaded = true;
    UseAccount(ServerAccount(sink.Port()), 15);
    form->State().Set(ssIdle);
    form->show();
    QCOMPARE(form->Button2->text(), QString("Start"));
    form->findChild<QPushButton*>("Button2")->click();
    QCOMPARE(form->SendState(), ssSending);
    QCOMPARE(form->Button2->text(), QString("Stop"));
    QVERIFY(!form->Button1->isEnabled() && !form->Button3->isEnabled() && !form->Button6->isEnabled());
    // Hide: the window goes, the run goes on.
    QVERIFY(form->CancelBtn->isEnabled());
    form->CancelBtn->click();
    QVERIFY(!form->isVisible());
    QVERIFY(!w_->Action("SendCurrent1")->isEnabled());
    // The main window stays while the mailing goes on.
    QVERIFY(!w_->FormCloseQuery());
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Mailing in Progress"));

    QVERIFY(WaitIdle(*form));
    QCOMPARE(form->Panel1->text(), QString("Mailing Completed"));
    QCOMPARE(form->Panel2->text(), QString("2 Sent of 2"));
    QCOMPARE(form->Panel3->text(), QString("0 Failed"));
    QCOMPARE(form->Panel5->text(), QString("0 Active Threads"));
    QCOMPARE(form->ProgressBar1->value(), 100);
    QCOMPARE(form->windowTitle(), QString("100% Completed"));
    QVERIFY(!form->Timer3->isActive());
    QVERIFY(!form->Button2->isEnabled());
    QCOMPARE(form->Button2->text(), QString("Start"));
    QVERIFY(w_->Action("SendCurrent1")->isEnabled());
    QCOMPARE(sink.Counts("delivered"), (std::map<std::string, int>{{"r0@sink.test", 1}, {"r1@sink.test", 1}}));
    for (int i = 0; i < 2; ++i) QCOMPARE(IndexFlags(i), std::make_pair(1, 0));
    QCOMPARE(boxes.shown.size(), size_t(1));
  }

  // Prepare over the example table, then Start: each merged message arrives
  // once, with its subject, body, charset and attachment; the report lists both as Sent.
  void preparedListIsDeliveredMerged() {
    TScopedScriptedMessages boxes;
    TSinkServer::Options o;
    o.store = true;
    TSinkServer sink(o);
    QVERIFY(sink.Ok());
    auto form = NewForm();
    PutFileBytes(dir_ + "terms.txt", "Terms\r\n");
    const auto saved = project_.project;
    project_.project.Attachments = {dir_ + "terms.txt"};
    project_.project.Subject = "Angebot f\xc3\xbcr %F_NAME %L_NAME";
    w_->Tables().OpenDBFFile(dir_ + "example.dbf");
    form->Button1->click();
    project_.project = saved;
    QCOMPARE(form->Mailing().MailList.Items.size(), size_t(2));
    UseAccount(ServerAccount(sink.Port()), 15);
    form->State().Set(ssIdle);
    form->Button2->click();
    QTRY_COMPARE_WITH_TIMEOUT(form->SendState(), ssIdle, RunTimeoutMs);
    QCOMPARE(form->Panel1->text(), QString("Mailing Completed"));
    QCOMPARE(form->Panel2->text(), QString("2 Sent of 2"));

    std::map<std::string, std::pair<std::string, std::string>> got;  // to: subject, body
    for (const std::string& raw : sink.Messages()) {
      TIdMessage m;
      m.AttachmentFolder = dir_ + "received/";
      m.LoadFromString(raw);
      QVERIFY(raw.find("Content-Type: text/html; charset=utf-8\r\n") != std::string::npos);
      std::string body = m.BodyText();
      int attachments = 0;
      for (int i = 0; i < m.MessageParts.Count(); ++i) {
        const TIdMessagePart& part = m.MessageParts[i];
        if (part.Kind() == TIdPartKind::Attachment) {
          ++attachments;
          QCOMPARE(static_cast<const TIdAttachment&>(part).FileName, std::string("terms.txt"));
          QCOMPARE(FileBytes(part.StoredPathName.string()), std::string("Terms\r\n"));
        } else if (part.ContentType == "text/html") {
          body = JoinLines(static_cast<const TIdText&>(part).Body);
        }
      }
      QCOMPARE(attachments, 1);
      QCOMPARE(m.Recipients.Count(), 1);
      got[m.Recipients[0].Address] = {m.Subject, body};
    }
    using P = std::pair<std::string, std::string>;
    const std::map<std::string, P> expected = {
        {"john.smith@example.com", P{"Angebot f\xc3\xbcr John Smith", "<p>Dear John</p>"}},
        {"mary.jones@example.com", P{"Angebot f\xc3\xbcr Mary Jones", "<p>Dear Mary</p>"}}};
    QCOMPARE(got, expected);
    const std::vector<std::string> lines = ReportItemLines(form->Mailing().MailList);
    QCOMPARE(lines.size(), size_t(2));
    for (const auto& l : lines) QVERIFY2(l.substr(7, 9) == "Sent     ", l.c_str());
    QVERIFY(boxes.shown.empty());
  }

  // Both senders stalled inside DATA: Stop waits 15 s on the run's clock,
  // then cuts them; each release but the last says "Aborting...".
  void stopWhileTheSendersStall() {
    TScopedScriptedMessages boxes;
    TSinkServer::Options o;
    o.stall = true;
    TSinkServer sink(o);
    QVERIFY(sink.Ok());
    auto form = NewForm();
    PutList(form->Mailing(), RunList(2));
    form->Mailing().ListLoaded = true;
    UseAccount(ServerAccount(sink.Port()), 15);
    form->State().Set(ssIdle);
    form->show();
    form->Button2->click();
    QTRY_COMPARE_WITH_TIMEOUT(sink.Log("stalled").size(), size_t(2), RunTimeoutMs);
    // Hidden, the run goes on; shown again, it stops.
    form->CancelBtn->click();
    QVERIFY(!form->isVisible());
    QTest::qWait(3 * TSendForm::Timer3Interval);
    QCOMPARE(form->SendState(), ssSending);
    QVERIFY(form->Timer3->isActive());
    form->show();
    form->Button2->click();
    QVERIFY(form->Run().Aborting());
    QVERIFY(!form->Button2->isEnabled());
    clock_.AddSeconds(14);
    QTest::qWait(5 * TSendForm::Timer3Interval);
    QCOMPARE(form->SendState(), ssSending);
    QCOMPARE(form->Panel5->text(), QString("2 Active Threads"));
    clock_.AddSeconds(2);
    QVERIFY(WaitIdle(*form));
    const auto statuses = form->RunStatuses();
    QVERIFY(statuses.size() >= 2);
    QCOMPARE(std::vector<std::string>(statuses.end() - 2, statuses.end()),
             (std::vector<std::string>{"Aborting...", "Mailing Aborted"}));
    QCOMPARE(form->Panel1->text(), QString("Mailing Aborted"));
    QCOMPARE(form->Panel2->text(), QString("0 Sent of 2"));
    QVERIFY(form->Button2->isEnabled());
    QCOMPARE(form->Button2->text(), QString("Start"));
    for (int i = 0; i < 2; ++i) QCOMPARE(IndexFlags(i), std::make_pair(0, 0));
    QVERIFY(boxes.shown.empty());
  }

  // An item the server refuses, while the connection check fails: Retry
  // gives every sender one more round, Abort ends the run; with the
  // connection back the item is recorded failed, and Reset puts it back.
  void noConnectionThenFailedItemThenReset() {
    TScopedScriptedMessages boxes;
    TSinkServer::Options o;
    o.refuseAll = true;
    TSinkServer sink(o);
    QVERIFY(sink.Ok());
    auto form = NewForm();
    PutList(form->Mailing(), RunList(1));
    UseAccount(ServerAccount(sink.Port()), 15);
    bool online = false;
    int checks = 0;
    form->Run().InternetCheck = [&] {
      ++checks;
      return online;
    };
    form->State().Set(ssIdle);
    boxes.Answer(TMsgResult::Retry);
    boxes.Answer(TMsgResult::Abort);
    form->Button2->click();
    QVERIFY(WaitIdle(*form));
    QCOMPARE(checks, 2);
    QCOMPARE(boxes.shown.size(), size_t(2));
    for (const auto& b : boxes.shown) {
      QCOMPARE(b.text, std::string("No connection to Internet"));
      QCOMPARE(b.buttons, TMsgButtons::AbortRetry);
    }
    QCOMPARE(form->Panel1->text(), QString("Mailing Aborted"));
    QCOMPARE(form->Mailing().FailedCount, 0);
    // Six attempts, then five more after Retry.
    QCOMPARE(sink.Log("refused").size(), size_t(11));

    online = true;
    QCOMPARE(form->Button2->text(), QString("Start"));
    form->Button2->click();
    QVERIFY(WaitIdle(*form));
    QCOMPARE(form->Panel1->text(), QString("Mailing Completed"));
    QCOMPARE(form->Panel2->text(), QString("0 Sent of 1"));
    QCOMPARE(form->Panel3->text(), QString("1 Failed"));
    QCOMPARE(IndexFlags(0), std::make_pair(0, 1));
    QVERIFY(!form->Button2->isEnabled());
    QVERIFY(form->Button5->isEnabled());
    QVERIFY(!form->Mailing().MailList.Items[0].ErrorText.empty());

    form->Button5->click();
    QCOMPARE(form->Panel3->text(), QString("0 Failed"));
    QCOMPARE(IndexFlags(0), std::make_pair(0, 0));
    QVERIFY(form->Mailing().MailList.Items[0].ErrorText.empty());
    QVERIFY(form->Button2->isEnabled());
    QVERIFY(!form->Button5->isEnabled());
    QCOMPARE(boxes.shown.size(), size_t(2));
  }

  // Send Current from the main window's menu item and the Mailing page's
  // button: the checks in order, then the result box; idle again every time.
  void sendCurrentFromTheMainWindow() {
    TScopedScriptedMessages boxes;
    TSinkServer::Options o;
    o.store = true;
    TSinkServer sink(o);
    TSinkServer::Options r;
    r.refuseAll = true;
    TSinkServer refusing(r);
    QVERIFY(sink.Ok() && refusing.Ok());
    auto form = NewForm();
    TDataSet* table = nullptr;
    form->TableSource = [&] { return table; };
    TDataSet empty, people;
    {
      TTableData e, d;
      e.Fields = d.Fields = {{"E_MAIL", ftString, 40, 0}, {"F_NAME", ftString, 20, 0}, {"L_NAME", ftString, 20, 0}};
      empty.OpenData(std::move(e));
      d.Rows.push_back(PackRow({std::string("ann@sink.test"), std::string("Ann"), std::string("Lee")}));
      people.OpenData(std::move(d));
    }
    auto sendCurrent = [&](bool button) {
      boxes.shown.clear();
      if (button)
        w_->MailingPage().SpeedButton6->click();
      else
        w_->Action("SendCurrent1")->trigger();
      return WaitIdle(*form);
    };
    auto texts = [&] {
      std::vector<std::string> t;
      for (const auto& b : boxes.shown) t.push_back(b.text);
      return t;
    };
    const TProfile good = ServerAccount(sink.Port());
    struct Case {
      TDataSet* table;
      const TProfile* account;
      std::string toField;
      std::string box;
    };
    const Case checks[] = {{nullptr, &good, "E_MAIL", "Table is Closed"},
                           {&empty, &good, "E_MAIL", "Table is Empty"},
                           {&people, nullptr, "E_MAIL", "Account is not selected"},
                           {&people, &good, "", "Email address not found"}};
    int n = 0;
    for (const auto& c : checks) {
      table = c.table;
      if (c.account)
        UseAccount(*c.account, 15);
      else {
        accounts_.clear();
        options_->SetAccountNames({});
      }
      project_.project.ToAddr = c.toField;
      QVERIFY(sendCurrent(++n % 2 == 0));
      QCOMPARE(texts(), std::vector<std::string>{c.box});
      QCOMPARE(boxes.shown[0].kind, TMsgKind::Error);
      QCOMPARE(form->SendState(), ssIdle);
    }
    project_.project.ToAddr = "E_MAIL";
    QVERIFY(sink.Log("delivered").empty());

    table = &people;
    UseAccount(good, 15);
    const auto attachments = project_.project.Attachments;
    project_.project.Attachments.clear();
    QVERIFY(sendCurrent(true));
    QCOMPARE(texts(), std::vector<std::string>{"Email is Sent Successfully"});
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Information);
    QCOMPARE(sink.Log("delivered"), std::vector<std::string>{"ann@sink.test"});
    QCOMPARE(sink.Messages().size(), size_t(1));
    TIdMessage got;
    got.LoadFromString(sink.Messages()[0]);
    QCOMPARE(got.Subject, std::string("Test message for Ann Lee"));
    QCOMPARE(got.From.Address, std::string("sender@sink.test"));
    QVERIFY(w_->Action("SendCurrent1")->isEnabled());

    UseAccount(ServerAccount(refusing.Port()), 15);
    QVERIFY(sendCurrent(false));
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Information);
    QVERIFY2(boxes.shown[0].text.find("550") != std::string::npos, boxes.shown[0].text.c_str());
    QCOMPARE(form->SendState(), ssIdle);

    // While a run sends, the command does nothing.
    form->State().Set(ssSending);
    boxes.shown.clear();
    form->SendCurrent1Click();
    QVERIFY(boxes.shown.empty());
    form->State().Set(ssIdle);
    form->TableSource = nullptr;
    project_.project.Attachments = attachments;
  }

  // The window shown for the first time while Send Current waits for the
  // server: the list is loaded, and the window stays in Send Current's state
  // until it ends, so no run can start over it.
  void firstShowWhileSendCurrentIsOnItsWay() {
    TScopedScriptedMessages boxes;
    SaveListFiles(w_->AppDir(), RunList(2));
    TDataSet people;
    {
      TTableData d;
      d.Fields = {{"E_MAIL", ftString, 40, 0}, {"F_NAME", ftString, 20, 0}, {"L_NAME", ftString, 20, 0}};
      d.Rows.push_back(PackRow({std::string("ann@sink.test"), std::string("Ann"), std::string("Lee")}));
      people.OpenData(std::move(d));
    }
    auto form = NewForm();
    form->TableSource = [&] { return &people; };
    // Declared after the window: on a failed check it goes first and ends Send Current.
    TSinkServer::Options o;
    o.stall = true;
    auto sink = std::make_unique<TSinkServer>(o);
    QVERIFY(sink->Ok());
    UseAccount(ServerAccount(sink->Port()), 15);
    const auto attachments = project_.project.Attachments;
    project_.project.Attachments.clear();
    w_->Action("SendCurrent1")->trigger();
    QCOMPARE(form->SendState(), ssSending);
    QVERIFY(sink->WaitFor("stalled", 1, RunTimeoutMs));

    form->show();
    QTRY_COMPARE(form->Mailing().MailList.Items.size(), size_t(2));
    QCOMPARE(form->Panel1->text(), QString("The list is loaded successfully"));
    QCOMPARE(form->SendState(), ssSending);
    QVERIFY(!form->Button1->isEnabled());
    QCOMPARE(form->Button2->text(), QString("Stop"));
    QVERIFY(!w_->Action("SendCurrent1")->isEnabled());

    sink.reset();  // the server goes: Send Current ends with its error
    QVERIFY(WaitIdle(*form));
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Information);
    QVERIFY(form->Button2->isEnabled());
    QCOMPARE(form->Button2->text(), QString("Start"));
    QVERIFY(form->Button1->isEnabled());
    form->hide();
    form->TableSource = nullptr;
    project_.project.Attachments = attachments;
  }

  void mailingCommandNeedsAnAccountAndShowsTheWindow() {
    TScopedScriptedMessages boxes;
    auto form = NewForm();
    options_->SetAccountNames({});
    w_->Action("Mailing1")->trigger();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Account is not selected"));

    TProfile home;
    home.AccountName = "HOME";
    accounts_ = {home};
    options_->SetAccountNames({"HOME"});
    state_->Settings.Set(stActiveProfile, std::string("HOME"));
    QCOMPARE(form->ActiveAccount(), &accounts_[0]);
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
