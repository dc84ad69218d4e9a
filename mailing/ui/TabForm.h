#pragma once
// The "Insert Table" dialog: size, layout and width of a new table.

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QPushButton;

class TTabForm : public QDialog {
  Q_OBJECT
public:
  explicit TTabForm(QWidget* parent = nullptr);

  QSpinBox* Rows;        // "Edit1" with its up-down, 0 to 25
  QSpinBox* Columns;     // "Edit2"
  QSpinBox* Border;      // "Edit3", 0 to 100
  QSpinBox* Padding;     // "Edit4"
  QSpinBox* Spacing;     // "Edit5"
  QCheckBox* CheckBox1;  // "Specify Width"
  QLineEdit* Edit6;      // the width, at most 7 characters
  QRadioButton* RadioButton1;  // "in Pixels"
  QRadioButton* RadioButton2;  // "in Percent"
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  // What "Ok" hands to the table insertion.
  std::string WidthText() const;

protected:
  void showEvent(QShowEvent* e) override;
};
