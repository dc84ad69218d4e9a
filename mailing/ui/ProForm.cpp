#include "mailing/ui/ProForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/PageKit.h"
#include "workspace/ui/WithdrawalPage.h"
#include "workspace/AppSettings.h"

namespace {

// The password shows as "*", whatever the style's own mask character.
class TStarMaskStyle : public QProxyStyle {
public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

void Fill(QListWidget* list, const std::vector<std::string>& names) {
  list->clear();
  for (const auto& n : names) list->addItem(ToQString(n));
}

}  // namespace

TProForm::TProForm(const std::string& appDir, TAppSettings& settings, TOptForm* options, TWithdrawalPage* withdrawal,
                   const TReader& reader, QWidget* parent)
    : QDialog(parent),
      fileName_(appDir + ProfFileName),
      settings_(settings),
      options_(options),
      withdrawal_(withdrawal),
      reader_(reader) {
  setObjectName("ProForm");
  setWindowTitle("Accounts");

  ListBox1 = Named(new QListWidget(this), "ListBox1");
  auto edit = [this](const char* name) { return Named(new QLineEdit(this), name); };
  Edit1 = edit("Edit1");
  Edit2 = edit("Edit2");
  Edit3 = edit("Edit3");
  Edit4 = edit("Edit4");
  Edit5 = edit("Edit5");
  Edit5->setEchoMode(QLineEdit::Password);
  auto* mask = new TStarMaskStyle;
  mask->setParent(Edit5);
  Edit5->setStyle(mask);
  Edit6 = edit("Edit6");
  Edit7 = edit("Edit7");
  Edit8 = edit("Edit8");
  Edit9 = edit("Edit9");
  Edit10 = edit("Edit10");
  RadioButton1 = Named(new QRadioButton("Send Through SMTP Server", this), "RadioButton1");
  RadioButton2 = Named(new QRadioButton("Direct Delivery (Enter DNS)", this), "RadioButton2");
  CheckBox1 = Named(new QCheckBox("Required Authentication", this), "CheckBox1");
  CheckBox2 = Named(new QCheckBox("Leave a copy of messages on server", this), "CheckBox2");
  Button1 = Named(new QPushButton("Add...", this), "Button1");
  Button2 = Named(new QPushButton("Delete", this), "Button2");
  Button3 = Named(new QPushButton("Close", this), "Button3");
  Button4 = Named(new QPushButton("Help", this), "Button4");
  for (QPushButton* b : {Button1, Button2, Button3, Button4}) b->setAutoDefault(false);

  auto* sender = new QFormLayout;
  sender->addRow("Name", Edit1);
  sender->addRow("E-mail Address", Edit2);
  sender->addRow("Replay Address (optional)", Edit3);
  sender->addRow("User ID", Edit4);
  sender->addRow("Password", Edit5);
  auto* delivery = new QGridLayout;
  delivery->addWidget(RadioButton1, 0, 0);
  delivery->addWidget(Edit6, 0, 1);
  delivery->addWidget(new QLabel("Port", this), 0, 2);
  delivery->addWidget(Edit7, 0, 3);
  delivery->addWidget(CheckBox1, 1, 0, 1, 4);
  delivery->addWidget(RadioButton2, 2, 0);
  delivery->addWidget(Edit8, 2, 1, 1, 3);
  auto* pop = new QGridLayout;
  pop->addWidget(new QLabel("POP3 Server", this), 0, 0);
  pop->addWidget(Edit9, 0, 1);
  pop->addWidget(new QLabel("Port", this), 0, 2);
  pop->addWidget(Edit10, 0, 3);
  pop->addWidget(CheckBox2, 1, 0, 1, 4);
  auto* right = new QVBoxLayout;
  right->addLayout(sender);
  right->addLayout(delivery);
  right->addLayout(pop);
  auto* left = new QVBoxLayout;
  left->addWidget(ListBox1);
  left->addWidget(Button1);
  left->addWidget(Button2);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addLayout(right, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button3);
  buttons->addWidget(Button4);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);

  BindEdit(Edit1, TAccountField::Name);
  BindEdit(Edit2, TAccountField::Email);
  BindEdit(Edit3, TAccountField::ReplyTo);
  BindEdit(Edit4, TAccountField::UserId);
  BindEdit(Edit5, TAccountField::Password);
  BindEdit(Edit6, TAccountField::SmtpServer);
  BindEdit(Edit7, TAccountField::SmtpPort);
  BindEdit(Edit8, TAccountField::DnsServer);
  BindEdit(Edit9, TAccountField::Pop3Server);
  BindEdit(Edit10, TAccountField::Pop3Port);
  // User choices only: what ShowSelectedAccount puts in is no edit.
  connect(RadioButton1, &QRadioButton::clicked, this, [this] {
    book_.SetDirectDelivery(Selected(), false);
    UpdateAccountControls();
  });
  connect(RadioButton2, &QRadioButton::clicked, this, [this] {
    book_.SetDirectDelivery(Selected(), true);
    UpdateAccountControls();
  });
  connect(CheckBox1, &QCheckBox::clicked, this, [this](bool on) { book_.SetRequiredAuthentication(Selected(), on); });
  connect(CheckBox2, &QCheckBox::clicked, this, [this](bool on) { book_.SetLeaveCopyOnServer(Selected(), on); });
  connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
  connect(Button1, &QPushButton::clicked, this, &TProForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TProForm::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button4, &QPushButton::clicked, this, &TProForm::Button4Click);

  FormCreate();
}

void TProForm::BindEdit(QLineEdit* edit, TAccountField field) {
  connect(edit, &QLineEdit::textEdited, this,
          [this, field](const QString& text) { book_.SetField(Selected(), field, ToStdString(text)); });
}

int TProForm::Selected() const { return ListBox1->currentRow(); }

void TProForm::Select(int index) {
  const QSignalBlocker block(ListBox1);
  ListBox1->setCurrentRow(index);
}

void TProForm::FormCreate() {
  const std::string error = book_.Load(fileName_);
  if (!error.empty()) ErrorBox(error);
  RefreshAccountLists();
  Select(book_.Profiles.empty() ? -1 : 0);
  ShowSelectedAccount();
}

void TProForm::FormShow() { UpdateAccountControls(); }

void TProForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TProForm::done(int r) {
  FormClose();
  QDialog::done(r);
}

void TProForm::FormClose() {
  // A file that cannot be written stays as it was; the accounts stand in memory.
  book_.SaveIfChanged(fileName_);
}

void TProForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    Button4Click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TProForm::RefreshAccountLists() {
  const std::string optionsText = settings_.Values().ActiveProfile;
  const std::optional<std::string> scheme = SchemeAccount ? SchemeAccount() : std::nullopt;
  const TAccountLists lists = ::RefreshAccountLists(book_.Profiles, optionsText, scheme);
  {
    const QSignalBlocker block(ListBox1);
    Fill(ListBox1, lists.Names);
  }
  if (options_) options_->SetAccountNames(lists.Names);
  if (withdrawal_) {
    // Filling the combo is no choice of the user: the scheme keeps its account.
    QComboBox* combo = withdrawal_->ComboBox12;
    const QSignalBlocker block(combo);
    combo->clear();
    for (const auto& n : lists.Names) combo->addItem(ToQString(n));
    combo->setCurrentIndex(lists.WithdrawalIndex);
  }
}

void TProForm::ShowSelectedAccount() {
  const TAccountView v = ::ShowSelectedAccount(book_.Profiles, Selected());
  const std::pair<QLineEdit*, const std::string*> edits[] = {
      {Edit1, &v.Name},       {Edit2, &v.Email},      {Edit3, &v.ReplyTo},  {Edit4, &v.UserId},
      {Edit5, &v.Password},   {Edit6, &v.SmtpServer}, {Edit7, &v.SmtpPort}, {Edit8, &v.DnsServer},
      {Edit9, &v.Pop3Server}, {Edit10, &v.Pop3Port}};
  for (const auto& [edit, text] : edits) edit->setText(ToQString(*text));
  RadioButton2->setChecked(v.DirectDelivery);
  RadioButton1->setChecked(!v.DirectDelivery);
  CheckBox1->setChecked(v.RequiredAuthentication);
  CheckBox2->setChecked(v.LeaveCopyOnServer);
}

void TProForm::UpdateAccountControls() {
  const TAccountEnabling e =
      ::UpdateAccountControls(Selected() >= 0, RadioButton1->isChecked(), RadioButton2->isChecked());
  Button2->setEnabled(e.DeleteButton);
  Edit1->setEnabled(e.Name);
  Edit2->setEnabled(e.Email);
  Edit3->setEnabled(e.ReplyTo);
  Edit4->setEnabled(e.UserId);
  Edit5->setEnabled(e.Password);
  Edit9->setEnabled(e.Pop3Server);
  Edit10->setEnabled(e.Pop3Port);
  RadioButton1->setEnabled(e.SmtpRadio);
  RadioButton2->setEnabled(e.DirectRadio);
  Edit6->setEnabled(e.SmtpServer);
  Edit7->setEnabled(e.SmtpPort);
  CheckBox1->setEnabled(e.RequiredAuthentication);
  Edit8->setEnabled(e.DnsServer);
  CheckBox2->setEnabled(e.LeaveCopyOnServer);
}

void TProForm::ListBox1Click() {
  ShowSelectedAccount();
  UpdateAccountControls();
}

void TProForm::Button1Click() {
  if (!NameDialog) return;
  std::string name;
  NameDialog->InputName("Add Account", "Account \"%s\" already exists", name, true, book_.Names(), reader_);
  if (name.empty()) return;
  const int index = book_.Add(name);
  RefreshAccountLists();
  Select(index);
  ShowSelectedAccount();
  UpdateAccountControls();
  ListBox1->setFocus();
}

void TProForm::Button2Click() {
  if (Selected() < 0) return;
  const int index = book_.Delete(Selected());
  RefreshAccountLists();
  Select(index);
  ShowSelectedAccount();
  UpdateAccountControls();
  ListBox1->setFocus();
}

void TProForm::Button4Click() { ShowHelpContext(HelpContext); }
