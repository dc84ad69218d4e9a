#pragma once
// The find dialog: field, value and mode; keeps them from one use to the next.

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QGroupBox;

class TFindForm : public QDialog {
  Q_OBJECT
public:
  explicit TFindForm(QWidget* parent = nullptr);

  static constexpr int HelpContext = 6;

  QComboBox* ComboBox1;    // "Field": a fixed list
  QLineEdit* Edit1;        // "Value"
  QGroupBox* RadioGroup1;  // "Mode"
  QRadioButton* ExactlyBtn;
  QRadioButton* IncludingBtn;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* HelpBtn;

  bool Including() const;

protected:
  void keyPressEvent(QKeyEvent* e) override;
  void showEvent(QShowEvent* e) override;
};
