// A new user's first mailing, composed as the program: the first start's
// Accounts dialog gets an account for a local SMTP sink and the Options
// choose it; the first run's example project and table, an attachment, then
// Prepare and Start in the mailing window opened from the main window. Both
// merged messages arrive (read back with Python's email package), the
// counters say "2 Sent of 2" and the report lists both as Sent; Send
// Current then sends the current record's message once more.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "app/Composition.h"
#include "mailing/MailList.h"
#include "mailing/OneMail.h"
#include "mailing/ui/ProForm.h"
#include "mailing/ui/ProjectUi.h"
#include "mailing/ui/RepForm.h"
#include "mailing/ui/SendForm.h"
#include "net/IdMessage.h"
#include "platform/Dispatcher.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtDispatcher.h"
#include "tests/support/QtModal.h"
#include "support/RunServers.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/TableUi.h"

namespace fs = std::filesystem;

namespace {

// One line per message: To, Subject, the text part's charset, the
// attachments' names and contents, whether the HTML part holds the salutation.
const char* const ReadBack = R"(
import sys, email
from email import policy
for path in sys.argv[1:]:
    m = email.message_from_bytes(open(path, 'rb').read(), policy=policy.default)
    html = m.get_body(('html',))
    atts = [a.get_filename() + '=' + a.get_payload(decode=True).decode('ascii') for a in m.iter_attachments()]
    print('|'.join([m['To'], m['Subject'], html.get_content_charset(), ','.join(atts),
                    str('<DIV>Dear ' in html.get_content())]))
sys.stdout.flush()
)";

constexpr int RunTimeoutMs = 60000;

// Every box shown, the HTML editor's own included: its document loads while
// the Mailing page has never been shown.
std::vector<std::string> MailingBoxes(const TScriptedMessageService& boxes) {
  std::vector<std::string> texts;
  for (const auto& b : boxes.shown) texts.push_back(b.text);
  return texts;
}

}  // namespace

class FirstMailingQTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  std::string home_;
  std::unique_ptr<TQtDispatcher> dispatcher_;
  std::unique_ptr<TScopedDispatcher> scoped_;

private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    home_ = dir_.path().toStdString() + "/home";
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(home_));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(home_ + "/registry.reg"));
    InitMailLibraries();
    dispatcher_ = std::make_unique<TQtDispatcher>();
    scoped_ = std::make_unique<TScopedDispatcher>(dispatcher_.get());
  }
  void cleanupTestCase() {
    scoped_.reset();
    dispatcher_.reset();
  }

  void exampleProjectReachesTheSink() {
    TScopedScriptedMessages boxes;
    TSinkServer::Options o;
    o.store = true;
    TSinkServer sink(o);
    QVERIFY(sink.Ok());

    const std::unique_ptr<TWindows> windows = CreateWindows();
    TLPMain* w = windows->Main;
    QVERIFY(w->FirstRun());
    auto* accounts = w->findChild<TProForm*>("ProForm");
    QVERIFY(accounts);
    // The first start: the account in the Accounts dialog, then chosen in the Options.
    bool accountsShown = false, optionsShown = false;
    WhenModal([&](QWidget* m) {
      accountsShown = m == accounts;
      TProfile a;
      a.AccountName = "Sink";
      a.Name = "First Sender";
      a.Email = "me@sink.test";
      a.SmtpServer = "127.0.0.1";
      a.SmtpPort = std::to_string(sink.Port());
      accounts->Book().Profiles.push_back(a);
      accounts->RefreshAccountLists();
      QTimer::singleShot(0, [&] {
        WhenModal([&](QWidget* m2) {
          optionsShown = m2 == windows->Options;
          windows->Options->ComboBox2->setCurrentIndex(0);
          emit windows->Options->ComboBox2->activated(0);  // as the user's choice does
          windows->Options->OKBtn->click();
        });
      });
    });
    w->show();
    QTRY_VERIFY(accountsShown && optionsShown);
    QCOMPARE(windows->Options->ActiveProfile(), std::string("Sink"));
    // The HTML editor's first page comes up on its own time; the rest waits for it.
    QVERIFY(w->Services().Editor);
    QTRY_VERIFY_WITH_TIMEOUT(w->Services().Editor->DocumentReady(), RunTimeoutMs);

    // The example project and table, and a file to attach.
    TProjectUi& project = ProjectOf(*windows);
    project.OpenDialog = [&](const std::string&, std::string& file) {
      file = home_ + "/Projects/example.lkp";
      return true;
    };
    w->Action("OpenMail0")->trigger();
    const std::string terms = dir_.path().toStdString() + "/terms.txt";
    std::ofstream(terms, std::ios::binary) << "Terms apply";
    project.AttachDialog = [&] { return std::vector<std::string>{terms}; };
    project.Button19Click();
    w->Tables().OpenDBFFile(home_ + "/Database/example.dbf");
    QVERIFY(w->Tables().TableOpen());
    QCOMPARE(MailingBoxes(boxes), std::vector<std::string>{});

    // The mailing window from the main window: Prepare, Start, wait, Hide.
    auto* send = w->findChild<TSendForm*>("SendForm");
    QVERIFY(send);
    QString prepared, completed, sent, failed, account;
    bool shown = false;
    WhenModal([&](QWidget* m) {
      shown = m == send;
      account = send->Panel6->text();
      QVERIFY(QTest::qWaitFor([&] { return send->Mailing().ListLoaded; }, RunTimeoutMs));
      send->Button1->click();
      prepared = send->Panel1->text();
      send->Button2->click();
      QVERIFY(QTest::qWaitFor([&] { return send->SendState() == ssIdle; }, RunTimeoutMs));
      completed = send->Panel1->text();
      sent = send->Panel2->text();
      failed = send->Panel3->text();
      send->CancelBtn->click();
    });
    w->Action("Mailing1")->trigger();
    QVERIFY(shown);
    QCOMPARE(account, QString("Active Account - \"Sink\""));
    QCOMPARE(prepared, QString("The list is prepared successfully"));
    QCOMPARE(completed, QString("Mailing Completed"));
    QCOMPARE(sent, QString("2 Sent of 2"));
    QCOMPARE(failed, QString("0 Failed"));
    QCOMPARE(MailingBoxes(boxes), std::vector<std::string>{});

    // What arrived, as Python's email package reads it.
    std::vector<std::string> argv = {"/usr/bin/python3", "-c", ReadBack};
    const std::vector<std::string> raw = sink.Messages();
    QCOMPARE(raw.size(), size_t(2));
    for (size_t i = 0; i < raw.size(); ++i) {
      const std::string path = dir_.path().toStdString() + "/m" + std::to_string(i) + ".eml";
      std::ofstream(path, std::ios::binary) << raw[i];
      argv.push_back(path);
    }
    TChildProcess python;
    const std::string log = dir_.path().toStdString() + "/python.log";
    QVERIFY(python.Start(argv, 60, true, log));
    std::map<std::string, std::string> got;
    std::string line;
    while (python.ReadLine(line, 30000)) got[line.substr(0, line.find('|'))] = line;
    const std::map<std::string, std::string> expected = {
        {"john.smith@example.com",
         "john.smith@example.com|Test message for John Smith|windows-1252|terms.txt=Terms apply|True"},
        {"mary.jones@example.com",
         "mary.jones@example.com|Test message for Mary Jones|windows-1252|terms.txt=Terms apply|True"}};
    if (got != expected) {
      python.Stop();
      std::ifstream f(log);
      qWarning("%s", std::string(std::istreambuf_iterator<char>(f), {}).c_str());
    }
    QCOMPARE(got, expected);
    // And the merged salutation itself.
    for (const std::string& r : raw) {
      TIdMessage m;
      m.AttachmentFolder = dir_.path().toStdString() + "/received/";
      m.LoadFromString(r);
      const std::string first = m.Recipients[0].Address.substr(0, 4) == "john" ? "John Smith" : "Mary Jones";
      bool found = false;
      for (int i = 0; i < m.MessageParts.Count(); ++i)
        if (m.MessageParts[i].Kind() == TIdPartKind::Text)
          found = found || JoinLines(static_cast<const TIdText&>(m.MessageParts[i]).Body).find("Dear " + first + "!") !=
                               std::string::npos;
      QVERIFY2(found, first.c_str());
    }

    // The report lists both items as Sent.
    auto* report = w->findChild<TRepForm*>("RepForm");
    QVERIFY(report);
    QStringList lines;
    QString sentValue;
    WhenModal([&](QWidget*) {
      sentValue = report->SentValue->text();
      for (int i = 0; i < report->TextListBox1->count(); ++i) lines << report->TextListBox1->item(i)->text();
    });
    send->Button6->click();
    QCOMPARE(sentValue, QString("2"));
    QCOMPARE(lines.size(), 2);
    for (const QString& l : lines) QVERIFY2(l.mid(7, 9) == "Sent     ", qPrintable(l));

    // Send Current from the Mailing page: the current record's message, at once.
    boxes.shown.clear();
    w->MailingPage().SpeedButton6->click();
    QVERIFY(send->CurrentMail() && send->CurrentMail()->Started());
    QTRY_VERIFY_WITH_TIMEOUT(send->SendState() == ssIdle && send->CurrentMail()->Stopped(), RunTimeoutMs);
    QCOMPARE(MailingBoxes(boxes), std::vector<std::string>{"Email is Sent Successfully"});
    QCOMPARE(sink.Counts("delivered")["john.smith@example.com"], 2);
    QCOMPARE(sink.Counts("delivered")["mary.jones@example.com"], 1);
    DestroyWindows(*windows);
  }
};

QTEST_MAIN(FirstMailingQTest)
#include "firstmailing_qtest.moc"
