#pragma once
// "Edit Field": the name, type and size of one field of the Restructure Table
// window's layout. OK checks the input against the layout's grid rows and keeps
// the dialog open with an error box until it is accepted.

#include <QDialog>
#include <vector>

#include "workspace/TableStructure.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class TEditForm : public QDialog {
  Q_OBJECT
public:
  explicit TEditForm(QWidget* parent = nullptr);
  ~TEditForm() override;

  QLineEdit* Edit1;      // name
  QComboBox* ComboBox1;  // type, items in kind order
  QLineEdit* Edit2;      // size
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  // Set by the caller before showing: the grid's rows, the selected row, and
  // whether the field is new (the caption is set by the caller too).
  std::vector<TStructureGridRow> Rows;
  int SelectedRow = -1;
  bool NewField = false;

  TEditFieldInput Input() const;
  void OKBtnClick();

protected:
  void showEvent(QShowEvent* e) override;
};
