#pragma once
// The "Withdrawal" page: the scheme tool bar, the message list, and the tabs
// Body, Custom Text, Server Options, Parser and Preview. The withdrawal
// windows bind to it.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;

class TWithdrawalPage : public QWidget {
  Q_OBJECT
public:
  explicit TWithdrawalPage(QWidget* parent = nullptr);

  // The help buttons of the Custom Text, Server Options and Parser tabs.
  void Button7Click();
  void Button9Click();
  void Button5Click();

  // Controls, by designer name.
  QToolBar* SpeedBar2;
  QComboBox* ComboBox3;       // the scheme
  QTreeWidget* ListView1;     // the messages
  QStatusBar* StatusBar3;
  QLabel* StatusPanel3a;
  QLabel* StatusPanel3b;
  QTabWidget* PageControl3;
  QPlainTextEdit* Memo3;      // Body
  QCheckBox* CheckBox4;       // Custom Text "Enabled"
  QPushButton* Button7;
  QPlainTextEdit* Memo6;      // Custom Text
  QComboBox* ComboBox12;      // the account
  QPushButton* Button9;
  QListWidget* TextListBox1;  // markers
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button5;
  QListWidget* ListBox4;      // values
  QComboBox* ComboBox6;
  QComboBox* ComboBox7;
  QComboBox* ComboBox11;
  QPushButton* Button3;
  QPushButton* Button4;
  QComboBox* ComboBox13;
  QComboBox* ComboBox14;
  QComboBox* ComboBox15;
  QComboBox* ComboBox16;
  QComboBox* ComboBox10;
  QComboBox* ComboBox4;       // Preview values
  QToolButton* SpeedButton1;
  QToolButton* SpeedButton2;
  QToolButton* SpeedButton3;
  QToolButton* SpeedButton4;
  QLabel* Label13;
  QPlainTextEdit* Memo4;
};
