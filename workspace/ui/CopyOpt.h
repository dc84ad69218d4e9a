#pragma once
// The "Data" options of a restructuring copy: copy the rows at all, only the
// filtered ones, in the grid's order. It has no system menu and closes only
// through "Ok"; the boxes keep their states from one copy to the next.

#include <QDialog>

#include "workspace/TableStructure.h"

class QCheckBox;
class QPushButton;

class TCopyOptForm : public QDialog {
  Q_OBJECT
public:
  explicit TCopyOptForm(QWidget* parent = nullptr);
  ~TCopyOptForm() override;

  QCheckBox* CheckBox1;  // "Copy Data"
  QCheckBox* CheckBox2;  // "Copy Only Filtered Records"
  QCheckBox* CheckBox3;  // "Copy by Sorted Sequence"
  QPushButton* OKBtn;

  // Modal; the choices that cannot apply to this table start unchecked.
  TCopyOptions Execute(bool tableFiltered, bool gridSorted);
  TCopyOptions Options() const;
  void CheckBox1Click();

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void reject() override;

private:
  bool tableFiltered_ = false;
  bool gridSorted_ = false;
  bool leaving_ = false;
};
