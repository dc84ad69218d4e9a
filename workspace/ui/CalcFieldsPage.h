#pragma once
// The "Calculated Fields" page: the list of calculated fields, the type and
// the expression of the chosen one.

#include <QWidget>

class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class TCalcFieldsPage : public QWidget {
  Q_OBJECT
public:
  explicit TCalcFieldsPage(QWidget* parent = nullptr);

  // Controls, by designer name.
  QListWidget* ListBox1;  // the calculated fields
  QComboBox* ComboBox1;   // "Type of Field"
  QPlainTextEdit* Memo2;  // "Expression"
  QPushButton* Button8;   // "Add"
  QPushButton* Button14;  // "Delete"
};
