#pragma once
// The "Accounts" dialog. It lives for the whole run and owns the account
// array: the mailing run and the withdrawal page read an account by its
// position, which is the same in the dialog's list, the Options combo
// "Active Account for Mailing" and the withdrawal page's account combo.

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "workspace/AccountRules.h"
#include "workspace/FrameInterfaces.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class TAddWordForm;
class TAppSettings;
class TOptForm;
class TReader;
class TWithdrawalPage;

class TProForm : public QDialog, public IAccounts {
  Q_OBJECT
public:
  // Loads "Prof.dat" from appDir (ends with "/") and fills the lists of the
  // Options dialog and the withdrawal page given here (either may be null).
  // settings: the selected account; reader: the main window's tokenizer, for
  // the name dialog's checks. Both outlive this window.
  TProForm(const std::string& appDir, TAppSettings& settings, TOptForm* options, TWithdrawalPage* withdrawal,
           const TReader& reader, QWidget* parent = nullptr);

  // The account of the withdrawal page's selected scheme; none (or unset)
  // when no scheme is selected.
  std::function<std::optional<std::string>()> SchemeAccount;
  // The name dialog of "Add"; none: no account can be added.
  TAddWordForm* NameDialog = nullptr;

  TAccountBook& Book() { return book_; }
  const TProfiles& Profiles() const { return book_.Profiles; }

  // IAccounts: the main window's "Accounts..." command, modal.
  void ShowAccounts() override { exec(); }

  // Handlers under their designed names.
  void FormCreate();
  void FormShow();
  void FormClose();
  void RefreshAccountLists();
  void ShowSelectedAccount();
  void UpdateAccountControls();
  void Button1Click();  // Add...
  void Button2Click();  // Delete
  void Button4Click();  // Help
  void ListBox1Click();

  QListWidget* ListBox1;
  QLineEdit* Edit1;            // Name
  QLineEdit* Edit2;            // E-mail Address
  QLineEdit* Edit3;            // Replay Address (optional)
  QLineEdit* Edit4;            // User ID
  QLineEdit* Edit5;            // Password
  QLineEdit* Edit6;            // SMTP server
  QLineEdit* Edit7;            // SMTP port
  QLineEdit* Edit8;            // DNS server
  QLineEdit* Edit9;            // POP3 Server
  QLineEdit* Edit10;           // POP3 port
  QRadioButton* RadioButton1;  // Send Through SMTP Server
  QRadioButton* RadioButton2;  // Direct Delivery (Enter DNS)
  QCheckBox* CheckBox1;        // Required Authentication
  QCheckBox* CheckBox2;        // Leave a copy of messages on server
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;  // Close
  QPushButton* Button4;

  static constexpr int HelpContext = 4;

  void done(int r) override;

protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  int Selected() const;
  void Select(int index);
  void BindEdit(QLineEdit* edit, TAccountField field);

  TAccountBook book_;
  std::string fileName_;
  TAppSettings& settings_;
  TOptForm* options_;
  TWithdrawalPage* withdrawal_;
  const TReader& reader_;
};
