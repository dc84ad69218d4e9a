#pragma once
// "Add Table": each field of the open table mapped to a field of the source
// table (or to nothing) by a combo, then every source row appended in one
// batch with a progress bar. The source is chosen and opened by the main
// window's "Add Table..." command before the window is shown; hiding the
// window disconnects it.

#include <QDialog>
#include <vector>

#include "workspace/AddTable.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class TTableUi;

class TAddDbfForm : public QDialog {
  Q_OBJECT
public:
  explicit TAddDbfForm(QWidget* parent = nullptr);
  ~TAddDbfForm() override;

  static constexpr int HelpContext = 3;

  QScrollArea* ScrollBox1;  // holds the mapping rows
  QWidget* ScrollInner;
  QProgressBar* ProgressBar1;
  QLabel* Panel1;         // status
  QPushButton* Button3;   // "Add"
  QPushButton* CloseBtn;  // "Cancel"
  QPushButton* Button1;   // "Help"

  // Set by the caller before showing: the open table's commands.
  TTableUi* Tables = nullptr;
  // The source connection and table, and the chosen mapping.
  TAddTableSession Session;

  // One mapping row per field of the open table, while the window is shown.
  struct TFieldRow {
    QLabel* NameLabel = nullptr;
    QLabel* EqualLabel = nullptr;
    QComboBox* Source = nullptr;  // named after the field
  };
  const std::vector<TFieldRow>& FieldArray() const { return fieldArray_; }

  void FormShow();
  void FormHide();
  void Button3Click();

protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

private:
  void FreeMapping();

  std::vector<TFieldRow> fieldArray_;
};
