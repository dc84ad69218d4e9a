#pragma once
// The delete confirmation: Yes accepts, No rejects.

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

class TDelForm : public QDialog {
  Q_OBJECT
public:
  explicit TDelForm(QWidget* parent = nullptr);

  QLabel* Label1;        // the question, set by the caller
  QCheckBox* CheckBox1;  // "Do not perform this confirmation"
  QPushButton* YesBtn;
  QPushButton* NoBtn;

protected:
  void showEvent(QShowEvent* e) override;
};
