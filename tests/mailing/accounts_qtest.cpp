// The Accounts dialog: add, edit and delete through its controls, the three
// account lists it fills, the enabling, and the file written at Close.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "mailing/ui/ProForm.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "support/MailTestSupport.h"
#include "support/MergeFakes.h"
#include "tests/support/QtModal.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/WithdrawalPage.h"

namespace {

QStringList Items(const QListWidget* l) {
  QStringList s;
  for (int i = 0; i < l->count(); ++i) s << l->item(i)->text();
  return s;
}

QStringList Items(const QComboBox* c) {
  QStringList s;
  for (int i = 0; i < c->count(); ++i) s << c->itemText(i);
  return s;
}

template <class W>
W* Find(QWidget* form, const char* name) {
  W* w = form->findChild<W*>(name);
  if (!w) qFatal("no control %s", name);
  return w;
}

}  // namespace

class AccountsQTest : public QObject {
  Q_OBJECT

  TReader reader_;
  std::unique_ptr<TAppSettings> settings_;
  std::unique_ptr<TOptForm> options_;
  std::unique_ptr<TWithdrawalPage> withdrawal_;
  std::unique_ptr<TAddWordForm> nameDialog_;
  std::string dir_;

  std::unique_ptr<TProForm> NewForm() {
    auto form = std::make_unique<TProForm>(dir_, *settings_, options_.get(), withdrawal_.get(), reader_);
    form->NameDialog = nameDialog_.get();
    return form;
  }

  // The name dialog answered with text.
  void Add(TProForm& form, const QString& text) {
    TAddWordForm* names = nameDialog_.get();
    WhenModal([text, names](QWidget* m) {
      QCOMPARE(m, static_cast<QWidget*>(names));
      QCOMPARE(m->windowTitle(), QString("Add Account"));
      names->Edit1->setText(text);
      names->OKBtn->click();
    });
    Find<QPushButton>(&form, "Button1")->click();
  }

  void ExpectLists(TProForm& form, const QStringList& names) {
    QCOMPARE(Items(Find<QListWidget>(&form, "ListBox1")), names);
    QCOMPARE(Items(options_->ComboBox2), names);
    QCOMPARE(Items(withdrawal_->ComboBox12), names);
  }

private slots:
  void initTestCase() {
    SetUpMergeReader(reader_);
    nameDialog_ = std::make_unique<TAddWordForm>();
  }
  void cleanupTestCase() { nameDialog_.reset(); }
  void init() {
    dir_ = FreshDir("proform");
    settings_ = std::make_unique<TAppSettings>(SettingsRegistry());
    options_ = std::make_unique<TOptForm>(*settings_);
    withdrawal_ = std::make_unique<TWithdrawalPage>();
  }
  void cleanup() {
    options_.reset();
    withdrawal_.reset();
    settings_.reset();
    std::filesystem::remove_all(dir_);
  }

  void addEditDeleteFillTheThreeListsAndCloseSaves() {
    TScopedScriptedMessages boxes;
    auto form = NewForm();
    form->show();
    auto* list = Find<QListWidget>(form.get(), "ListBox1");
    ExpectLists(*form, {});
    for (const char* name : {"Button2", "Edit1", "Edit2", "Edit5", "Edit6", "Edit8", "RadioButton1", "CheckBox1"})
      QVERIFY2(!form->findChild<QWidget*>(name)->isEnabled(), name);
    QVERIFY(Find<QCheckBox>(form.get(), "CheckBox2")->isEnabled());

    Add(*form, "home");
    ExpectLists(*form, {"HOME"});
    QCOMPARE(list->currentRow(), 0);
    // A new account: ports 25 and 110, direct delivery with the DNS edit open.
    QCOMPARE(Find<QLineEdit>(form.get(), "Edit7")->text(), QString("25"));
    QCOMPARE(Find<QLineEdit>(form.get(), "Edit10")->text(), QString("110"));
    QVERIFY(Find<QRadioButton>(form.get(), "RadioButton2")->isChecked());
    QVERIFY(Find<QLineEdit>(form.get(), "Edit8")->isEnabled());
    QVERIFY(!Find<QLineEdit>(form.get(), "Edit6")->isEnabled());
    QVERIFY(!Find<QCheckBox>(form.get(), "CheckBox1")->isEnabled());
    QCOMPARE(Find<QLineEdit>(form.get(), "Edit5")->echoMode(), QLineEdit::Password);

    // Edits reach the account at once.
    QTest::keyClicks(Find<QLineEdit>(form.get(), "Edit2"), "me@example.com");
    QTest::keyClicks(Find<QLineEdit>(form.get(), "Edit5"), "abcdnfg");
    QCOMPARE(Find<QLineEdit>(form.get(), "Edit5")->displayText(), QString("*******"));
    Find<QRadioButton>(form.get(), "RadioButton1")->click();
    QVERIFY(Find<QLineEdit>(form.get(), "Edit6")->isEnabled());
    QVERIFY(Find<QCheckBox>(form.get(), "CheckBox1")->isEnabled());
    QVERIFY(!Find<QLineEdit>(form.get(), "Edit8")->isEnabled());
    QTest::keyClicks(Find<QLineEdit>(form.get(), "Edit6"), "smtp.example.com");
    Find<QCheckBox>(form.get(), "CheckBox1")->click();
    Find<QCheckBox>(form.get(), "CheckBox2")->click();
    const TProfile& home = form->Profiles().at(0);
    QCOMPARE(home.Email, std::string("me@example.com"));
    QCOMPARE(home.Password, std::string("abcdnfg"));
    QCOMPARE(home.SmtpServer, std::string("smtp.example.com"));
    QVERIFY(!home.DirectDelivery && home.RequiredAuthentication && home.LeaveCopyOnServer);
    QVERIFY(form->Book().Changed);

    // A taken name is refused with the account's message.
    Add(*form, "Home");
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Account \"Home\" already exists"));
    ExpectLists(*form, {"HOME"});

    Add(*form, "office");
    ExpectLists(*form, {"HOME", "OFFICE"});
    QCOMPARE(list->currentRow(), 1);
    QVERIFY(Find<QRadioButton>(form.get(), "RadioButton2")->isChecked());
    // Selecting shows the account.
    list->setCurrentRow(0);
    QCOMPARE(Find<QLineEdit>(form.get(), "Edit2")->text(), QString("me@example.com"));
    QVERIFY(Find<QRadioButton>(form.get(), "RadioButton1")->isChecked());

    // The Options choice follows its name through a delete.
    settings_->Set(stActiveProfile, options_->ComboBox2->itemText(1).toStdString());
    Find<QPushButton>(form.get(), "Button2")->click();  // deletes HOME, no question
    ExpectLists(*form, {"OFFICE"});
    QCOMPARE(options_->ComboBox2->currentText(), QString("OFFICE"));
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(boxes.shown.size(), size_t(1));

    Add(*form, "last");
    list->setCurrentRow(1);
    Find<QPushButton>(form.get(), "Button2")->click();
    QCOMPARE(list->currentRow(), 0);  // the last one went: the new last is selected

    Find<QPushButton>(form.get(), "Button3")->click();
    QVERIFY(!form->isVisible());
    QVERIFY(std::filesystem::exists(dir_ + "Prof.dat"));
    QCOMPARE(std::filesystem::status(dir_ + "Prof.dat").permissions() & std::filesystem::perms::all,
             std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // A new dialog loads what was saved and selects the first account.
    auto again = NewForm();
    ExpectLists(*again, {"OFFICE"});
    QCOMPARE(Find<QListWidget>(again.get(), "ListBox1")->currentRow(), 0);
    QCOMPARE(Find<QLineEdit>(again.get(), "Edit10")->text(), QString("110"));
  }

  void passwordWithZeroScrambledBytesSurvivesSaveAndLoad() {
    {
      auto form = NewForm();
      form->show();
      Add(*form, "a");
      QTest::keyClicks(Find<QLineEdit>(form.get(), "Edit5"), "abcdnfg");
      form->accept();
    }
    auto form = NewForm();
    QCOMPARE(Find<QLineEdit>(form.get(), "Edit5")->text(), QString("abcdnfg"));
  }

  void deletingTheOnlyAccountEmptiesAndDisablesEverything() {
    auto form = NewForm();
    form->show();
    Add(*form, "only");
    settings_->Set(stActiveProfile, options_->ComboBox2->itemText(0).toStdString());
    QTest::keyClicks(Find<QLineEdit>(form.get(), "Edit1"), "Someone");
    Find<QPushButton>(form.get(), "Button2")->click();
    ExpectLists(*form, {});
    QCOMPARE(options_->ComboBox2->currentIndex(), -1);
    QCOMPARE(options_->ActiveProfileIndex(), -1);
    for (const char* name :
         {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8", "Edit9", "Edit10"}) {
      auto* e = Find<QLineEdit>(form.get(), name);
      QVERIFY2(e->text().isEmpty() && !e->isEnabled(), name);
    }
    QVERIFY(Find<QRadioButton>(form.get(), "RadioButton2")->isChecked());
    QVERIFY(!Find<QCheckBox>(form.get(), "CheckBox1")->isChecked());
    QVERIFY(!Find<QCheckBox>(form.get(), "CheckBox2")->isChecked());
    QVERIFY(!Find<QPushButton>(form.get(), "Button2")->isEnabled());
    // Pressing Delete with nothing left changes nothing.
    form->Button2Click();
    QVERIFY(form->Profiles().empty());
  }

  void withdrawalComboSelectsTheSchemeAccount() {
    auto form = NewForm();
    form->show();
    Add(*form, "one");
    Add(*form, "two");
    QCOMPARE(withdrawal_->ComboBox12->currentIndex(), -1);  // no scheme selected
    form->SchemeAccount = [] { return std::optional<std::string>("TWO"); };
    form->RefreshAccountLists();
    QCOMPARE(withdrawal_->ComboBox12->currentText(), QString("TWO"));
  }

  void aDamagedFileSaysSoAndLoadsNothing() {
    PutFileBytes(dir_ + "Prof.dat", Le32(3003) + Le32(2147483647));
    TScopedScriptedMessages boxes;
    auto form = NewForm();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Error);
    QVERIFY(form->Profiles().empty());
  }

  void helpButtonAndF1OpenContextFour() {
    TRecordingHelpService help;
    SetHelpService(&help);
    auto form = NewForm();
    form->show();
    Find<QPushButton>(form.get(), "Button4")->click();
    QTest::keyClick(Find<QListWidget>(form.get(), "ListBox1"), Qt::Key_F1);
    SetHelpService(nullptr);
    QCOMPARE(help.calls.size(), size_t(2));
    for (const auto& c : help.calls) QCOMPARE(c.data, 4);
  }
};

QTEST_MAIN(AccountsQTest)
#include "accounts_qtest.moc"
