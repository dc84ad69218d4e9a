// The Withdrawal page as a user meets it: schemes, markers and value rules on
// the Parser tab, the preview of a custom text, Extract into an open dBase
// table, a restart over the same home folder; the message list, the viewer's
// choice of text, local deletion, Get List's binding and the enabling.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "db/Dbf.h"
#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "platform/TextLines.h"
#include "support/FakePop3Server.h"
#include "support/WithdrawalTestSupport.h"
#include "withdrawal/MailView.h"
#include "withdrawal/SchemesFile.h"
#include "withdrawal/ui/GetListBinding.h"
#include "withdrawal/ui/GetListRunner.h"
#include "withdrawal/ui/RespForm.h"
#include "withdrawal/ui/WithdrawalUi.h"
#include "workspace/CharsetTable.h"
#include "workspace/Profile.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/TableUi.h"
#include "workspace/ui/WithdrawalPage.h"

#include "tests/support/QtModal.h"

namespace fs = std::filesystem;

namespace {

// Types a name into the name dialog and accepts it.
void AnswerName(const QString& name) {
  WhenModal([name](QWidget* m) {
    auto* f = qobject_cast<TAddWordForm*>(m);
    QVERIFY(f);
    f->Edit1->clear();
    QTest::keyClicks(f->Edit1, name);
    f->OKBtn->click();
  });
}

void Choose(QComboBox* box, const QString& text) {
  const int i = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  QVERIFY2(i >= 0, qPrintable(text));
  box->setCurrentIndex(i);
  emit box->activated(i);
}

void TypeInto(QComboBox* box, const QString& text) {
  box->lineEdit()->selectAll();
  QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
  QTest::keyClicks(box->lineEdit(), text);
}

QStringList Items(const QComboBox* box) {
  QStringList l;
  for (int i = 0; i < box->count(); ++i) l << box->itemText(i);
  return l;
}

QStringList Items(const QListWidget* list) {
  QStringList l;
  for (int i = 0; i < list->count(); ++i) l << list->item(i)->text();
  return l;
}

QString Memo(const QPlainTextEdit* memo) { return memo->toPlainText(); }

class TFakeRunner : public IGetListRunner {
public:
  std::function<void()> Run;
  int Calls = 0;
  void GetMailList() override {
    ++Calls;
    if (Run) Run();
  }
};

// The texts a label shows each time it is painted.
class TPaintSpy : public QObject {
public:
  explicit TPaintSpy(QLabel* label) : label_(label) { label->installEventFilter(this); }
  QStringList Texts;

protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == label_ && e->type() == QEvent::Paint) Texts << label_->text();
    return QObject::eventFilter(watched, e);
  }

private:
  QLabel* label_;
};

class TFakeMailing : public IMailingWindow {
public:
  TSendState State = ssIdle;
  TSendState SendState() const override { return State; }
  void ShowMailing() override {}
  void SendCurrent1Click() override {}
};

}  // namespace

class WithdrawalPageQTest : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TTempFolder> home_;
  std::unique_ptr<TWorkspaceState> state_;
  TLPMain* w_ = nullptr;
  TWithdrawalUi* ui_ = nullptr;
  TWithdrawalPage* p_ = nullptr;
  double clock_ = 46000.5;

  std::string Home() const { return home_->Path().string() + "/"; }

  // The main window as the program creates it, over the test's home folder.
  void Start() {
    state_ = std::make_unique<TWorkspaceState>(SettingsRegistry());
    w_ = new TLPMain(*state_);
    ui_ = new TWithdrawalUi(*w_, *state_, w_->Tables());
    ui_->SetNameDialog(new TAddWordForm(w_));
    ui_->SetRespForm(new TRespForm(w_));
    ui_->Data.Clock = [this] { return clock_ += 0.001; };
    p_ = &w_->WithdrawalPage();
    w_->resize(1000, 700);
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_));
  }

  void Stop() {
    delete ui_;
    delete w_;
    state_.reset();
    ui_ = nullptr;
    w_ = nullptr;
    p_ = nullptr;
  }

  TSchemes StoredSchemes() const { return DecodeSchemes(ReadFileBytes(Home() + SchemesFileName)); }

  // A dBase table with the fields a scheme fills, and a memo for the content.
  std::string MakeTable(const std::string& name) {
    const std::string path = Home() + name + ".dbf";
    TDbfHeader h;
    h.Version = 0x83;
    std::ofstream out(path, std::ios::binary);
    out << DbfEncodeTableHead(h, {{"NAME", 'C', 40, 0},
                                  {"CITY", 'C', 30, 0},
                                  {"AMOUNT", 'N', 10, 2},
                                  {"CONTENT", 'M', 10, 0},
                                  {"RECEIVED", 'D', 8, 0},
                                  {"SENDER", 'C', 60, 0}})
        << '\x1A';
    out.close();
    TDbfMemoFile::Create(Home() + name + ".dbt");
    return path;
  }

  std::string Store(const std::string& subject, double date, const std::function<void(TIdMessage&)>& fill) {
    TIdMessage m;
    m.Subject = subject;
    m.Date = date;
    m.From.Address = "ann@example.com";
    m.From.Name = "Ann";
    fill(m);
    return ui_->Data.StoreMessage(m, InboxFolderName);
  }

  // What Get List does with a message it has stored: it joins the list in its place, then the page hears of it.
  void Received(const std::string& entry) {
    ui_->MessageInserted(InsertMailNewestFirst(ui_->Data.MailList, {entry, ui_->Data.ReadStoredMessage(entry, true)}));
  }

  QTreeWidgetItem* Row(int i) const { return p_->ListView1->topLevelItem(i); }

  void ClickRow(int i) {
    QTreeWidget* v = p_->ListView1;
    const QRect r = v->visualItemRect(Row(i));
    QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
  }

  QStringList Subjects() const {
    QStringList l;
    for (int i = 0; i < p_->ListView1->topLevelItemCount(); ++i) l << Row(i)->text(0);
    return l;
  }

  bool On(const char* action) const { return w_->Action(action)->isEnabled(); }

  // A scheme that reads "Name:" and "City:" up to the end of the line into
  // NAME and CITY.
  void MakeNameCityScheme() {
    AnswerName("replies");
    w_->Action("AddScheme1")->trigger();
    AnswerName("Name:");
    p_->Button1->click();
    AnswerName("City:");
    p_->Button1->click();
    p_->Button3->click();
    p_->Button3->click();
    p_->ListBox4->setCurrentRow(0);
    Choose(p_->ComboBox6, "Name:");
    TypeInto(p_->ComboBox11, "NAME");
    p_->ListBox4->setCurrentRow(1);
    Choose(p_->ComboBox6, "City:");
    TypeInto(p_->ComboBox11, "CITY");
  }

  TProfile Account(int port) const {
    TProfile account;
    account.AccountName = "Replies";
    account.Pop3Server = "127.0.0.1";
    account.Pop3Port = std::to_string(port);
    account.UserId = "me";
    account.Password = "secret";
    return account;
  }

private slots:
  void initTestCase() { SetFormatSettings(TFormatSettings::Default()); }

  void init() {
    home_ = std::make_unique<TTempFolder>();
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(home_->Path().string()));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(Home() + "registry.reg"));
    Start();
  }

  void cleanup() {
    Stop();
    home_.reset();
  }

  void newUserBuildsASchemeExtractsAndFindsItAfterARestart() {
    TScopedScriptedMessages boxes;
    QCOMPARE(p_->PageControl3->currentWidget()->objectName(), QString("TabSheet11"));  // Custom Text first

    AnswerName("orders");
    w_->Action("SpeedItem43")->trigger();
    QCOMPARE(Items(p_->ComboBox3), QStringList({"ORDERS"}));
    QCOMPARE(p_->ComboBox3->currentText(), QString("ORDERS"));
    QCOMPARE(StoredSchemes().size(), size_t(1));

    w_->Action("Parser1")->trigger();
    QCOMPARE(p_->PageControl3->currentWidget()->objectName(), QString("TabSheet13"));
    AnswerName("Name:");
    p_->Button1->click();
    AnswerName("City:");
    p_->Button1->click();
    QCOMPARE(Items(p_->TextListBox1), QStringList({"Name:", "City:"}));
    QCOMPARE(p_->TextListBox1->currentRow(), 1);

    for (int i = 0; i < 3; ++i) p_->Button3->click();
    QCOMPARE(Items(p_->ListBox4), QStringList({"Value-1", "Value-2", "Value-3"}));
    QCOMPARE(p_->ListBox4->currentRow(), 2);
    QCOMPARE(Items(p_->ComboBox6), QStringList({"--Beginning of Text--", "Name:", "City:"}));
    QCOMPARE(Items(p_->ComboBox7),
             QStringList({"--End of Line--", "--Any Marker--", "Name:", "City:", "--End of Text--"}));

    p_->ListBox4->setCurrentRow(0);
    Choose(p_->ComboBox6, "Name:");
    TypeInto(p_->ComboBox11, "NAME");
    p_->ListBox4->setCurrentRow(1);
    QCOMPARE(p_->ComboBox11->currentText(), QString());
    Choose(p_->ComboBox6, "City:");
    Choose(p_->ComboBox7, "--End of Text--");
    TypeInto(p_->ComboBox11, "CITY");
    p_->ListBox4->setCurrentRow(2);
    Choose(p_->ComboBox6, "Name:");
    Choose(p_->ComboBox7, "--Any Marker--");

    // The field combos save keystroke by keystroke.
    QTest::keyClicks(p_->ComboBox13->lineEdit(), "REC");
    QCOMPARE(StoredSchemes()[0].TimeField, std::string("REC"));
    QTest::keyClicks(p_->ComboBox13->lineEdit(), "EIVED");
    TypeInto(p_->ComboBox10, "CONTENT");
    TypeInto(p_->ComboBox14, "SENDER");
    {
      const TScheme s = StoredSchemes()[0];
      QCOMPARE(s.Markers, std::vector<std::string>({"Name:", "City:"}));
      QCOMPARE(s.Values.size(), size_t(3));
      QCOMPARE(s.Values[0].AfterMarker, std::string("Name:"));
      QCOMPARE(s.Values[0].UpToMarker, std::string("--End of Line--"));
      QCOMPARE(s.Values[0].Field, std::string("NAME"));
      QCOMPARE(s.Values[1].UpToMarker, std::string("--End of Text--"));
      QCOMPARE(s.Values[1].Field, std::string("CITY"));
      QCOMPARE(s.Values[2].UpToMarker, std::string("--Any Marker--"));
      QCOMPARE(s.Values[2].Field, std::string());
      QCOMPARE(s.TimeField, std::string("RECEIVED"));
      QCOMPARE(s.ContentField, std::string("CONTENT"));
      QCOMPARE(s.FromNameField, std::string("SENDER"));
    }

    // A two-line custom text.
    w_->Action("CustomText1")->trigger();
    p_->CheckBox4->setChecked(true);
    p_->Memo6->setFocus();
    QTest::keyClicks(p_->Memo6, "Name: John Smith");
    QTest::keyClick(p_->Memo6, Qt::Key_Return);
    QTest::keyClicks(p_->Memo6, "City: Paris");

    // The values on the Preview tab, with the navigation.
    w_->Action("Preview2")->trigger();
    QCOMPARE(Items(p_->ComboBox4), QStringList({"Value-1", "Value-2", "Value-3"}));
    QCOMPARE(Memo(p_->Memo4), QString("John Smith"));
    QCOMPARE(p_->Label13->text(), QString("Name:"));
    QCOMPARE(w_->focusWidget(), static_cast<QWidget*>(p_->ComboBox4));
    p_->SpeedButton2->click();
    QCOMPARE(p_->ComboBox4->currentIndex(), 1);
    QCOMPARE(Memo(p_->Memo4), QString("Paris"));
    QCOMPARE(p_->Label13->text(), QString("City:"));
    p_->SpeedButton2->click();
    p_->SpeedButton2->click();  // stays on the last
    QCOMPARE(p_->ComboBox4->currentIndex(), 2);
    QCOMPARE(Memo(p_->Memo4), QString("John Smith"));
    p_->SpeedButton1->click();
    QCOMPARE(Memo(p_->Memo4), QString("Paris"));
    p_->SpeedButton3->click();
    QCOMPARE(p_->ComboBox4->currentIndex(), 0);
    p_->SpeedButton1->click();  // stays on the first
    QCOMPARE(p_->ComboBox4->currentIndex(), 0);
    p_->SpeedButton4->click();
    QCOMPARE(p_->ComboBox4->currentIndex(), 2);
    p_->ComboBox4->setCurrentIndex(1);
    emit p_->ComboBox4->activated(1);
    QCOMPARE(Memo(p_->Memo4), QString("Paris"));

    // Extract with no table open: the "Open Table" dialog gives the table.
    const std::string table = MakeTable("Orders");
    w_->Tables().GetOpenFileName = [&](const std::string&, const std::string&, const std::string&) { return table; };
    const TDateTime before = Now();
    w_->Action("SpeedItem46")->trigger();
    QVERIFY(w_->Tables().TableOpen());
    QCOMPARE(boxes.shown.size(), size_t(0));
    TDataSet& q = w_->State().Table.ADOQuery1;
    QCOMPARE(q.RecordCount(), 1);
    QCOMPARE(w_->findChild<QTabWidget*>("PageControl1")->currentWidget()->objectName(), QString("TabSheet1"));
    // The open table's fields are offered now.
    QCOMPARE(Items(p_->ComboBox10), QStringList({"CONTENT"}));
    QCOMPARE(Items(p_->ComboBox13), QStringList({"NAME", "CITY", "RECEIVED", "SENDER"}));
    QCOMPARE(Items(p_->ComboBox14), QStringList({"NAME", "CITY", "SENDER"}));
    QCOMPARE(Items(p_->ComboBox11), QStringList({"NAME", "CITY", "AMOUNT", "CONTENT", "RECEIVED", "SENDER"}));
    QCOMPARE(p_->ComboBox13->currentText(), QString("RECEIVED"));

    // What reached the file: read it again after closing the table.
    w_->Tables().CloseTable0Click();
    w_->Tables().OpenDBFFile(table);
    QVERIFY(w_->Tables().TableOpen());
    QCOMPARE(q.RecordCount(), 1);
    q.First();
    QCOMPARE(q.FieldByName("NAME").AsString(), std::string("John Smith"));
    QCOMPARE(q.FieldByName("CITY").AsString(), std::string("Paris"));
    QCOMPARE(q.FieldByName("CONTENT").AsString(), std::string("Name: John Smith\r\nCity: Paris"));
    QCOMPARE(q.FieldByName("SENDER").AsString(), std::string());
    QVERIFY(q.FieldByName("AMOUNT").IsNull());
    QCOMPARE(q.FieldByName("RECEIVED").AsDateTime(), static_cast<double>(static_cast<int>(before)));
    w_->Tables().CloseTable0Click();

    // A restart over the same home finds the scheme as it was left.
    Stop();
    Start();
    QCOMPARE(p_->ComboBox3->currentText(), QString("ORDERS"));
    QCOMPARE(Items(p_->TextListBox1), QStringList({"Name:", "City:"}));
    QCOMPARE(Items(p_->ListBox4), QStringList({"Value-1", "Value-2", "Value-3"}));
    QCOMPARE(p_->ComboBox13->currentText(), QString("RECEIVED"));
    QCOMPARE(p_->ComboBox10->currentText(), QString("CONTENT"));
    QCOMPARE(p_->ComboBox14->currentText(), QString("SENDER"));
    p_->ListBox4->setCurrentRow(1);
    QCOMPARE(p_->ComboBox6->currentText(), QString("City:"));
    QCOMPARE(p_->ComboBox7->currentText(), QString("--End of Text--"));
    QCOMPARE(p_->ComboBox11->currentText(), QString("CITY"));
  }

  void activeSchemeIsSelectedAtStartUp() {
    TScopedScriptedMessages boxes;
    for (const char* name : {"ALPHA", "BETA", "GAMMA"}) {
      AnswerName(name);
      w_->Action("AddScheme1")->trigger();
    }
    p_->ComboBox3->setCurrentIndex(1);
    emit p_->ComboBox3->activated(1);
    Stop();
    Start();
    QCOMPARE(p_->ComboBox3->currentText(), QString("BETA"));
    // A scheme name that no longer exists: the first is selected.
    boxes.Answer(TMsgResult::Yes);
    w_->Action("DeleteScheme1")->trigger();
    QCOMPARE(boxes.shown.back().text, std::string("Are You Sure to Delete the Scheme \"BETA\""));
    QCOMPARE(p_->ComboBox3->currentText(), QString("GAMMA"));
    Stop();
    Start();
    QCOMPARE(p_->ComboBox3->currentText(), QString("GAMMA"));
  }

  void responseDialogEditsAllEightValues() {
    TScopedScriptedMessages boxes;
    AnswerName("R");
    w_->Action("AddScheme1")->trigger();
    WhenModal([](QWidget* m) {
      auto* f = qobject_cast<TRespForm*>(m);
      QVERIFY(f);
      QCOMPARE(f->windowTitle(), QString("Response"));
      QCOMPARE(f->ComboBox1->count(), int(CharsetTable.size()));
      QCOMPARE(f->ComboBox1->itemText(0), QString("Arabic (Windows), windows-1256"));
      QCOMPARE(f->ComboBox1->currentIndex(), 15);
      QVERIFY(f->CheckBox1->isChecked());
      QVERIFY(f->CheckBox2->isChecked());
      QCOMPARE(f->focusWidget(), static_cast<QWidget*>(f->Memo1));
      f->CheckBox1->setChecked(false);
      f->Edit1->setText("reply@example.com");
      f->Edit2->setText("Re: order");
      f->Edit3->setText("boss@example.com");
      f->Edit4->setText("Fwd: order");
      f->Memo1->setPlainText("Thank you\nfor the order");
      f->ComboBox1->setCurrentIndex(14);
      f->OkBtn->click();
    });
    ui_->SpeedItem45Click();
    TResponseOptions expected{
        false, true, "reply@example.com", "Re: order", "boss@example.com", "Fwd: order", "Thank you\r\nfor the order",
        14};
    QCOMPARE(StoredSchemes()[0].Response, expected);
    // Cancel changes nothing.
    WhenModal([](QWidget* m) {
      auto* f = qobject_cast<TRespForm*>(m);
      QVERIFY(f);
      QCOMPARE(f->Edit2->text(), QString("Re: order"));
      f->Edit2->setText("changed");
      f->CancelBtn->click();
    });
    ui_->SpeedItem45Click();
    QCOMPARE(StoredSchemes()[0].Response, expected);
  }

  // The Response dialog is reached as a user expects: "Response..." in the
  // Withdrawal menu and the tool bar's "Response", both under the page's rule.
  void responseOpensFromTheMenuAndTheToolBar() {
    TScopedScriptedMessages boxes;
    QAction* item = w_->Action("Response1");
    QVERIFY(item);
    QCOMPARE(item->text(), QString("Response..."));
    auto* menu = w_->findChild<QMenu*>("Withdrawal1");
    QVERIFY(menu);
    QVERIFY(menu->actions().contains(item));
    w_->Action("Body1")->trigger();
    QAction* bar = w_->Action("SpeedItem45");
    QVERIFY(bar->isVisible());
    auto* button = qobject_cast<QToolButton*>(p_->SpeedBar2->widgetForAction(bar));
    QVERIFY(button);
    QVERIFY(button->isVisible());
    QCOMPARE(button->text(), QString("Response"));

    QVERIFY(!item->isEnabled());  // no scheme
    QVERIFY(!bar->isEnabled());
    AnswerName("R");
    w_->Action("AddScheme1")->trigger();
    QVERIFY(item->isEnabled());
    QVERIFY(bar->isEnabled());
    ui_->SetGetListRunning(true);
    QVERIFY(!item->isEnabled());
    QVERIFY(!bar->isEnabled());
    ui_->SetGetListRunning(false);
    QVERIFY(item->isEnabled());

    int opened = 0;
    WhenModal([&](QWidget* m) {
      auto* f = qobject_cast<TRespForm*>(m);
      QVERIFY(f);
      ++opened;
      f->Edit2->setText("from the menu");
      f->OkBtn->click();
    });
    item->trigger();
    QCOMPARE(opened, 1);
    QCOMPARE(StoredSchemes()[0].Response.ResponseSubject, std::string("from the menu"));
    WhenModal([&](QWidget* m) {
      auto* f = qobject_cast<TRespForm*>(m);
      QVERIFY(f);
      ++opened;
      QCOMPARE(f->Edit2->text(), QString("from the menu"));
      f->Edit2->setText("from the tool bar");
      f->OkBtn->click();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(opened, 2);
    QCOMPARE(StoredSchemes()[0].Response.ResponseSubject, std::string("from the tool bar"));
    QVERIFY(boxes.shown.empty());
  }

  // A reply whose only body is HTML (single-part text/html, as web mail sends
  // it) is shown as text and extracted as text; the table's record counter
  // then names the new record.
  void htmlOnlyReplyIsShownAndExtractedAsText() {
    TScopedScriptedMessages boxes;
    MakeNameCityScheme();
    TIdMessage reply;
    reply.LoadFromString(
        "From: Jane Doe <jane@example.com>\r\nSubject: Re: your order\r\nDate: Tue, 8 Dec 2026 10:00:00 +0000\r\n"
        "MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
        "<html><body><p>Name: Jane Doe<br>\r\nCity: Lyon</p>\r\n<p>Thanks</p></body></html>\r\n");
    QCOMPARE(reply.MessageParts.Count(), 0);
    QVERIFY(!ui_->Data.StoreMessage(reply, InboxFolderName).empty());
    w_->Action("Body1")->trigger();
    ClickRow(0);
    const QString shown = Memo(p_->Memo3);
    QVERIFY2(!shown.contains('<'), qPrintable(shown));
    QVERIFY2(shown.contains("Name: Jane Doe"), qPrintable(shown));
    QVERIFY2(shown.contains("City: Lyon"), qPrintable(shown));
    QVERIFY2(shown.contains("Thanks"), qPrintable(shown));

    const std::string table = MakeTable("Replies");
    w_->Tables().GetOpenFileName = [&](const std::string&, const std::string&, const std::string&) { return table; };
    auto* counter = w_->findChild<QLabel*>("StatusBar2Panel0");
    QVERIFY(counter);
    TDataSet& q = w_->State().Table.ADOQuery1;
    for (int n = 1; n <= 2; ++n) {
      w_->Action("Body1")->trigger();
      ClickRow(0);
      w_->Action("Extract1")->trigger();
      QVERIFY(boxes.shown.empty());
      QCOMPARE(q.RecordCount(), n);
      QCOMPARE(counter->text(), QString("Record %1 of %1").arg(n));
      QCOMPARE(q.FieldByName("NAME").AsString(), std::string("Jane Doe"));
      QCOMPARE(q.FieldByName("CITY").AsString(), std::string("Lyon"));
    }
    w_->Tables().CloseTable0Click();
    w_->Tables().OpenDBFFile(table);
    QCOMPARE(q.RecordCount(), 2);
    q.First();
    QCOMPARE(q.FieldByName("NAME").AsString(), std::string("Jane Doe"));
    QCOMPARE(q.FieldByName("CITY").AsString(), std::string("Lyon"));
  }

  // A greeting that is not POP3's fails at once with a clear message; a
  // silent server leaves " Connecting...." painted and the window alive (a
  // close during the wait ends it without a box).
  void getListOnAServerThatIsNotPop3() {
    TScopedScriptedMessages boxes;
    w_->Action("Body1")->trigger();
    TPaintSpy spy(p_->StatusPanel3a);
    {
      TFakePop3Server garbage;
      QVERIFY(garbage.Ok());
      garbage.SetGreetingFault(TFakePop3Server::TFault::Garbage);
      const TProfile account = Account(garbage.Port());
      TGetListBinding binding(*ui_, *w_, [&](int) -> const TProfile* { return &account; });
      binding.Run().ReplyTimeoutMs = 5000;
      w_->Action("SpeedItem39")->trigger();
      QCOMPARE(boxes.shown.size(), size_t(1));
      QVERIFY2(QString::fromStdString(boxes.shown[0].text).contains("Not a POP3 server"), boxes.shown[0].text.c_str());
      QCOMPARE(p_->StatusPanel3a->text(), QString(" Not connected"));
      QVERIFY(spy.Texts.contains(" Connecting...."));
      QVERIFY(On("SpeedItem39"));
    }
    boxes.shown.clear();
    spy.Texts.clear();
    TFakePop3Server silent;
    QVERIFY(silent.Ok());
    silent.SetGreetingFault(TFakePop3Server::TFault::Silent);
    const TProfile account = Account(silent.Port());
    TGetListBinding binding(*ui_, *w_, [&](int) -> const TProfile* { return &account; });
    binding.Run().ReplyTimeoutMs = 20000;
    QString statusWhileWaiting;
    bool runningWhileWaiting = false;
    QTimer::singleShot(300, [&] {
      runningWhileWaiting = binding.Run().Running();
      statusWhileWaiting = p_->StatusPanel3a->text();
      w_->close();
    });
    w_->Action("SpeedItem39")->trigger();
    QVERIFY(runningWhileWaiting);
    QCOMPARE(statusWhileWaiting, QString(" Connecting...."));
    QVERIFY(spy.Texts.contains(" Connecting...."));
    QVERIFY2(boxes.shown.empty(), boxes.shown.empty() ? "" : boxes.shown[0].text.c_str());
    QVERIFY(!binding.Run().Running());
    QTRY_VERIFY(!w_->isVisible());
    QCOMPARE(silent.Sessions(), 1);
  }

  void viewerChoosesThePartToShow() {
    Store("plain then html", 46001, [](TIdMessage& m) {
      m.MessageParts.AddText({"Plain body"});
      m.MessageParts.AddText({"<html><body><p>Html body</p></body></html>"});
    });
    Store("html only", 46002, [](TIdMessage& m) {
      m.MessageParts.AddText({"<html><body><p>Only</p><p>html</p><script>alert(1)</script></body></html>"});
    });
    Store("no parts", 46003, [](TIdMessage& m) { m.SetBodyText("Body line 1\r\nBody line 2"); });
    Store("blank then <", 46004, [](TIdMessage& m) {
      m.MessageParts.AddText({"", "   ", "<body><b>Bold</b></body>"});
      m.MessageParts.AddAttachment("x.txt");
    });
    w_->Action("Body1")->trigger();
    QCOMPARE(Subjects(), QStringList({"blank then <", "no parts", "html only", "plain then html"}));
    QCOMPARE(Row(0)->text(1), QString("Ann <ann@example.com>"));
    QCOMPARE(Row(0)->text(2), QString::fromStdString(DateToStr(46004)));
    QCOMPARE(p_->StatusPanel3b->text(), QString(" 4 message(s)"));
    QVERIFY(Row(0)->isSelected());
    QCOMPARE(Memo(p_->Memo3), QString("Bold\n"));
    QCOMPARE(w_->focusWidget(), static_cast<QWidget*>(p_->ListView1));

    ClickRow(1);
    QCOMPARE(Memo(p_->Memo3), QString("Body line 1\nBody line 2"));
    QCOMPARE(ui_->ViewerText(), std::string("Body line 1\r\nBody line 2"));
    QTest::keyClick(p_->ListView1, Qt::Key_Down);
    QVERIFY(Row(2)->isSelected());
    QCOMPARE(Memo(p_->Memo3), QString("Only\nhtml\nalert(1)\n"));
    QTest::keyClick(p_->ListView1, Qt::Key_End);
    QCOMPARE(Memo(p_->Memo3), QString("Plain body"));
    QTest::keyClick(p_->ListView1, Qt::Key_Home);
    QCOMPARE(Memo(p_->Memo3), QString("Bold\n"));
  }

  void deleteTheLastRowThenAllRows() {
    TScopedScriptedMessages boxes;
    // Without a store, Delete does nothing.
    w_->Action("Body1")->trigger();
    QCOMPARE(p_->StatusPanel3b->text(), QString(" 0 message(s)"));
    w_->Action("DeleteMail1")->trigger();
    QCOMPARE(boxes.shown.size(), size_t(0));

    for (int i = 0; i < 3; ++i) Store("m" + std::to_string(i), 46001 + i, [](TIdMessage& m) { m.SetBodyText("text"); });
    w_->Action("Body1")->trigger();
    QCOMPARE(Subjects(), QStringList({"m2", "m1", "m0"}));
    ClickRow(2);
    boxes.Answer(TMsgResult::No);
    w_->Action("SpeedItem41")->trigger();
    QCOMPARE(boxes.shown.back().text, std::string("Delete Selected Mail(s)?"));
    QCOMPARE(boxes.shown.back().kind, TMsgKind::Confirmation);
    QCOMPARE(Subjects().size(), 3);

    boxes.Answer(TMsgResult::Yes);
    w_->Action("DeleteMail1")->trigger();
    QCOMPARE(Subjects(), QStringList({"m2", "m1"}));
    QVERIFY(Row(1)->isSelected());
    QVERIFY(!Row(0)->isSelected());
    QCOMPARE(p_->StatusPanel3b->text(), QString(" 2 message(s)"));
    QCOMPARE(Memo(p_->Memo3), QString("text"));
    // Nothing but the store changes: the known ids stay.
    ui_->RefreshMailList();
    QCOMPARE(ui_->Data.MailList.size(), size_t(2));

    p_->ListView1->setFocus();
    p_->ListView1->selectAll();
    boxes.Answer(TMsgResult::Yes);
    QTest::keyClick(p_->ListView1, Qt::Key_Delete);
    QCOMPARE(Subjects(), QStringList());
    QCOMPARE(Memo(p_->Memo3), QString());
    QCOMPARE(p_->StatusPanel3b->text(), QString(" 0 message(s)"));
    QCOMPARE(boxes.shown.size(), size_t(3));
  }

  void getListBindsThroughItsRunnerAndAppendsInPlace() {
    TScopedScriptedMessages boxes;
    QVERIFY(!On("SpeedItem39"));
    QVERIFY(!On("GetMailList1"));
    Store("old", 46001, [](TIdMessage& m) { m.SetBodyText("old text"); });
    Store("older", 46000, [](TIdMessage& m) { m.SetBodyText("older text"); });
    w_->Action("Body1")->trigger();
    ClickRow(1);
    QCOMPARE(Memo(p_->Memo3), QString("older text"));

    TFakeRunner runner;
    QStringList seenWhileRunning;
    runner.Run = [&] {
      ui_->SetGetListRunning(true);
      seenWhileRunning << (On("SpeedItem39") ? "get" : "") << (On("SpeedItem41") ? "delete" : "")
                       << (On("Extract1") ? "extract" : "") << (On("DeleteMail1") ? "deletemenu" : "");
      ui_->SetGetListStatus(" Connecting....");
      Received(Store("newest", 46005, [](TIdMessage& m) { m.SetBodyText("new"); }));
      Received(Store("middle", 46000.5, [](TIdMessage& m) { m.SetBodyText("mid"); }));
      ui_->MessageInserted(-1);  // no such row: the list is read again
      ui_->SetGetListStatus(" 2 Message(s) received");
      ui_->SetGetListRunning(false);
    };
    ui_->SetGetListRunner(&runner);
    QVERIFY(On("SpeedItem39"));
    QVERIFY(On("GetMailList1"));
    w_->Action("SpeedItem39")->trigger();
    QCOMPARE(runner.Calls, 1);
    QCOMPARE(seenWhileRunning, QStringList({"", "", "", ""}));
    QCOMPARE(Subjects(), QStringList({"newest", "old", "middle", "older"}));
    QVERIFY(Row(3)->isSelected());
    QCOMPARE(Memo(p_->Memo3), QString("older text"));
    QCOMPARE(p_->StatusPanel3b->text(), QString(" 4 message(s)"));
    QCOMPARE(p_->StatusPanel3a->text(), QString(" 2 Message(s) received"));
    QVERIFY(On("SpeedItem39"));
    QVERIFY(On("SpeedItem41"));
    QVERIFY(!On("Extract1"));  // no scheme
    // The order matches what reading the whole store gives.
    ui_->RefreshMailList();
    ui_->RefreshMailControl();
    QCOMPARE(Subjects(), QStringList({"newest", "old", "middle", "older"}));

    // The mailing window's state decides while it exists.
    TFakeMailing mailing;
    w_->Services().Mailing = &mailing;
    mailing.State = ssSending;
    w_->UpdateWithdrawalControls();
    QVERIFY(!On("SpeedItem39"));
    QVERIFY(!On("GetMailList1"));
    mailing.State = ssIdle;
    w_->UpdateWithdrawalControls();
    QVERIFY(On("SpeedItem39"));
    QVERIFY(On("GetMailList1"));
    w_->Services().Mailing = nullptr;
    ui_->SetGetListRunner(nullptr);
    QVERIFY(!On("GetMailList1"));
  }

  // Get List through the real run: the messages appear in the list newest
  // first, and a close asked for during the run waits for its end.
  void getListFetchesIntoTheListAndAClosePausesForIt() {
    TScopedScriptedMessages boxes;
    TFakePop3Server server;
    QVERIFY(server.Ok());
    auto mail = [](const char* subject, const char* date) {
      return std::string("From: Sender <sender@x.test>\r\nSubject: ") + subject + "\r\nDate: " + date +
             "\r\nMessage-Id: <" + subject + "@x.test>\r\n\r\nbody\r\n";
    };
    server.AddMessage(mail("older", "Mon, 7 Dec 2026 10:00:00 +0000"));
    server.AddMessage(mail("newer", "Tue, 8 Dec 2026 10:00:00 +0000"));
    TProfile account;
    account.AccountName = "Replies";
    account.Pop3Server = "127.0.0.1";
    account.Pop3Port = std::to_string(server.Port());
    account.UserId = "me";
    account.Password = "secret";
    bool closeSeenDuringRun = false;
    TGetListBinding binding(*ui_, *w_, [&](int) -> const TProfile* { return &account; });
    ui_->RefreshMailList();
    // The second message's pause is where the user closes the window.
    QTimer::singleShot(0, [&] {
      if (binding.Run().Running()) {
        w_->close();
        closeSeenDuringRun = w_->isVisible();
      }
    });
    w_->Action("SpeedItem39")->trigger();
    QVERIFY(closeSeenDuringRun);
    QVERIFY(!binding.Run().Running());
    // Once the run has ended, the close goes through.
    QTRY_VERIFY(!w_->isVisible());
    w_->show();
    w_->Action("SpeedItem39")->trigger();
    QStringList subjects;
    for (int i = 0; i < p_->ListView1->topLevelItemCount(); ++i) subjects << p_->ListView1->topLevelItem(i)->text(0);
    QCOMPARE(subjects, QStringList({"newer", "older"}));
    QVERIFY(server.Mailbox().empty());
    QVERIFY(boxes.shown.empty());
  }

  void aMessageStoredBeforeThePageWasShownBringsTheWholeStore() {
    Store("a", 46001, [](TIdMessage& m) { m.SetBodyText("a"); });
    Store("b", 46002, [](TIdMessage& m) { m.SetBodyText("b"); });
    Received(Store("c", 46003, [](TIdMessage& m) { m.SetBodyText("c"); }));
    QCOMPARE(Subjects(), QStringList({"c", "b", "a"}));
    QVERIFY(Row(0)->isSelected());
    QCOMPARE(Memo(p_->Memo3), QString("c"));
    QCOMPARE(p_->StatusPanel3b->text(), QString(" 3 message(s)"));
  }

  void enablingFollowsSchemesMarkersAndRules() {
    TScopedScriptedMessages boxes;
    auto schemeCommands = [&](bool on) {
      QCOMPARE(On("DeleteScheme1"), on);
      QCOMPARE(On("SpeedItem44"), on);
      QCOMPARE(On("SpeedItem45"), on);
      QCOMPARE(On("Response1"), on);
      QCOMPARE(On("SpeedItem46"), on);
      QCOMPARE(On("Extract1"), on);
      QCOMPARE(p_->ComboBox12->isEnabled(), on);
      QCOMPARE(p_->Button1->isEnabled(), on);
      QCOMPARE(p_->Button3->isEnabled(), on);
    };
    QVERIFY(!p_->ComboBox3->isEnabled());
    schemeCommands(false);
    QVERIFY(On("AddScheme1"));
    QVERIFY(On("SpeedItem43"));
    QVERIFY(On("DeleteMail1"));

    AnswerName("ONE");
    w_->Action("AddScheme1")->trigger();
    QVERIFY(p_->ComboBox3->isEnabled());
    schemeCommands(true);
    QVERIFY(!p_->TextListBox1->isEnabled());
    QVERIFY(!p_->Button2->isEnabled());
    QVERIFY(!p_->ListBox4->isEnabled());
    QVERIFY(!p_->ComboBox4->isEnabled());
    for (QWidget* c : {static_cast<QWidget*>(p_->ComboBox6), static_cast<QWidget*>(p_->ComboBox7),
                       static_cast<QWidget*>(p_->ComboBox11), static_cast<QWidget*>(p_->Button4)})
      QVERIFY(!c->isEnabled());

    AnswerName("m:");
    p_->Button1->click();
    AnswerName("M:");  // differs only in case: a second marker
    p_->Button1->click();
    QCOMPARE(Items(p_->TextListBox1), QStringList({"m:", "M:"}));
    QVERIFY(p_->TextListBox1->isEnabled());
    QVERIFY(p_->Button2->isEnabled());
    p_->Button3->click();
    QVERIFY(p_->ListBox4->isEnabled());
    QVERIFY(p_->ComboBox4->isEnabled());
    for (QWidget* c : {static_cast<QWidget*>(p_->ComboBox6), static_cast<QWidget*>(p_->ComboBox7),
                       static_cast<QWidget*>(p_->ComboBox11), static_cast<QWidget*>(p_->Button4)})
      QVERIFY(c->isEnabled());

    // Deleting the last marker and the last rule selects the new last.
    boxes.Answer(TMsgResult::Yes);
    p_->Button2->click();
    QCOMPARE(boxes.shown.back().text, std::string("Are You Sure to Delete the Marker \"M:\""));
    QCOMPARE(Items(p_->TextListBox1), QStringList({"m:"}));
    QCOMPARE(p_->TextListBox1->currentRow(), 0);
    p_->Button3->click();
    boxes.Answer(TMsgResult::Yes);
    p_->Button4->click();
    QCOMPARE(boxes.shown.back().text, std::string("Are You Sure to Delete \"Value-2\""));
    QCOMPARE(p_->ListBox4->currentRow(), 0);
    boxes.Answer(TMsgResult::Yes);
    p_->Button4->click();
    QCOMPARE(p_->ListBox4->count(), 0);
    QVERIFY(!p_->ListBox4->isEnabled());
    QVERIFY(!p_->Button4->isEnabled());
    QVERIFY(!p_->ComboBox6->isEnabled());

    // Deleting the only scheme leaves the combo empty and the commands off.
    boxes.Answer(TMsgResult::No);
    w_->Action("SpeedItem44")->trigger();
    QCOMPARE(p_->ComboBox3->count(), 1);
    boxes.Answer(TMsgResult::Yes);
    w_->Action("SpeedItem44")->trigger();
    QCOMPARE(p_->ComboBox3->count(), 0);
    QVERIFY(!p_->ComboBox3->isEnabled());
    schemeCommands(false);
    QCOMPARE(p_->TextListBox1->count(), 0);
    QVERIFY(StoredSchemes().empty());
  }

  void extractSelectedMessagesThenAFieldTheTableLacks() {
    TScopedScriptedMessages boxes;
    AnswerName("REPLIES");
    w_->Action("AddScheme1")->trigger();
    w_->Action("Parser1")->trigger();
    AnswerName("Name:");
    p_->Button1->click();
    p_->Button3->click();
    Choose(p_->ComboBox6, "Name:");
    TypeInto(p_->ComboBox11, "NAME");
    TypeInto(p_->ComboBox10, "CONTENT");
    TypeInto(p_->ComboBox13, "RECEIVED");
    TypeInto(p_->ComboBox15, "SENDER");

    auto to = [](TIdMessage& m) { m.Recipients.Add().Address = "orders@example.com"; };
    Store("first", 46001, [&](TIdMessage& m) {
      to(m);
      m.MessageParts.AddText({"Name: Ann", "thanks"});
    });
    Store("second", 46002, [&](TIdMessage& m) {
      to(m);
      m.MessageParts.AddText({"<html><body><p>Name: Bob</p></body></html>"});
    });
    Store("third", 46003, [&](TIdMessage& m) {
      to(m);
      m.SetBodyText("Name: Cy");
    });
    w_->Action("Body1")->trigger();
    QCOMPARE(Subjects(), QStringList({"third", "second", "first"}));
    Row(0)->setSelected(false);
    Row(1)->setSelected(true);
    Row(2)->setSelected(true);
    ui_->ListView1Click();
    QCOMPARE(Memo(p_->Memo3), QString("Name: Bob\n"));

    const std::string table = MakeTable("Replies");
    int dialogs = 0;
    w_->Tables().GetOpenFileName = [&](const std::string&, const std::string&, const std::string&) {
      ++dialogs;
      return table;
    };
    w_->Action("Extract1")->trigger();
    QCOMPARE(dialogs, 1);
    QCOMPARE(boxes.shown.size(), size_t(0));
    TDataSet& q = w_->State().Table.ADOQuery1;
    QCOMPARE(q.RecordCount(), 2);
    // The viewer shows the selected message again.
    QCOMPARE(Memo(p_->Memo3), QString("Name: Bob\n"));
    q.First();
    QCOMPARE(q.FieldByName("NAME").AsString(), std::string("Bob"));
    QCOMPARE(q.FieldByName("SENDER").AsString(), std::string("ann@example.com"));
    QCOMPARE(q.FieldByName("RECEIVED").AsDateTime(), 46002.0);
    QCOMPARE(q.FieldByName("CONTENT").AsString(),
             std::string("From: Ann <ann@example.com> \r\nTo: orders@example.com\r\nSubject: second\r\n\r\n"
                         "Name: Bob\r\n"));
    q.Next();
    QCOMPARE(q.FieldByName("NAME").AsString(), std::string("Ann"));
    QCOMPARE(q.FieldByName("CONTENT").AsString(),
             std::string("From: Ann <ann@example.com> \r\nTo: orders@example.com\r\nSubject: first\r\n\r\n"
                         "Name: Ann\r\nthanks"));

    // A field the table lacks: the message, and nothing appended.
    w_->Action("Parser1")->trigger();
    TypeInto(p_->ComboBox16, "NOPE");
    w_->Action("Extract1")->trigger();
    QCOMPARE(dialogs, 1);
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Field 'NOPE' not found"));
    QCOMPARE(q.RecordCount(), 2);
    QCOMPARE(Memo(p_->Memo3), QString("Name: Bob\n"));

    // Free-text mode writes the free text with an empty sender.
    TypeInto(p_->ComboBox16, "");
    p_->CheckBox4->setChecked(true);
    p_->Memo6->setPlainText("Name: Dee");
    w_->Action("SpeedItem46")->trigger();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(q.RecordCount(), 3);
    q.Last();
    QCOMPARE(q.FieldByName("NAME").AsString(), std::string("Dee"));
    QCOMPARE(q.FieldByName("SENDER").AsString(), std::string());
    QCOMPARE(q.FieldByName("CONTENT").AsString(), std::string("Name: Dee"));
    w_->Tables().CloseTable0Click();
    // With no table and the dialog cancelled: nothing, and no message.
    w_->Tables().GetOpenFileName = [](const std::string&, const std::string&, const std::string&) {
      return std::string();
    };
    w_->Action("Extract1")->trigger();
    QVERIFY(!w_->Tables().TableOpen());
    QCOMPARE(boxes.shown.size(), size_t(1));
  }

  void choosingAnotherSchemeRefillsTheParserPage() {
    TScopedScriptedMessages boxes;
    AnswerName("A");
    w_->Action("AddScheme1")->trigger();
    AnswerName("a:");
    p_->Button1->click();
    p_->Button3->click();
    Choose(p_->ComboBox6, "a:");
    AnswerName("B");
    w_->Action("AddScheme1")->trigger();
    QCOMPARE(p_->TextListBox1->count(), 0);
    QCOMPARE(p_->ListBox4->count(), 0);
    p_->CheckBox4->setChecked(true);
    p_->Memo6->setPlainText("a: one");
    Choose(p_->ComboBox3, "A");
    QCOMPARE(Items(p_->TextListBox1), QStringList({"a:"}));
    QCOMPARE(Items(p_->ListBox4), QStringList({"Value-1"}));
    QCOMPARE(p_->ComboBox6->currentText(), QString("a:"));
    QCOMPARE(Memo(p_->Memo4), QString("one"));
    QCOMPARE(p_->Label13->text(), QString("a:"));
    Choose(p_->ComboBox3, "B");
    QCOMPARE(p_->TextListBox1->count(), 0);
    QCOMPARE(Memo(p_->Memo4), QString());
    QCOMPARE(p_->Label13->text(), QString());
    // Two names differing only in case are one scheme.
    AnswerName("b");
    w_->Action("AddScheme1")->trigger();
    QCOMPARE(p_->ComboBox3->count(), 2);
    QCOMPARE(boxes.shown.back().text, std::string("Scheme \"b\" already exists"));
  }

  void fieldCombosWithNoTableOpen() {
    TScopedScriptedMessages boxes;
    AnswerName("F");
    w_->Action("AddScheme1")->trigger();
    p_->Button3->click();
    QVERIFY(!w_->Tables().TableOpen());
    for (QComboBox* box :
         {p_->ComboBox10, p_->ComboBox13, p_->ComboBox14, p_->ComboBox15, p_->ComboBox16, p_->ComboBox11})
      TypeInto(box, "STORED_" + box->objectName().toUpper());
    const TScheme s = StoredSchemes()[0];
    QCOMPARE(s.ContentField, std::string("STORED_COMBOBOX10"));
    QCOMPARE(s.TimeField, std::string("STORED_COMBOBOX13"));
    QCOMPARE(s.FromNameField, std::string("STORED_COMBOBOX14"));
    QCOMPARE(s.FromEmailField, std::string("STORED_COMBOBOX15"));
    QCOMPARE(s.SubjectField, std::string("STORED_COMBOBOX16"));
    QCOMPARE(s.Values[0].Field, std::string("STORED_COMBOBOX11"));

    ui_->ClearParserLists();
    ui_->RefreshParserPage();
    for (QComboBox* box :
         {p_->ComboBox10, p_->ComboBox13, p_->ComboBox14, p_->ComboBox15, p_->ComboBox16, p_->ComboBox11}) {
      QCOMPARE(box->count(), 0);
      QCOMPARE(box->currentText(), "STORED_" + box->objectName().toUpper());
    }
    // A refill saves nothing of its own.
    QCOMPARE(StoredSchemes()[0], s);
  }
};

QTEST_MAIN(WithdrawalPageQTest)
#include "withdrawalpage_qtest.moc"
