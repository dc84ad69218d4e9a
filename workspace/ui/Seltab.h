#pragma once
// The table chooser: the caller fills ListBox1 and reads the selection after OK.

#include <QDialog>

class QListWidget;
class QPushButton;

class TSelTabForm : public QDialog {
  Q_OBJECT
public:
  explicit TSelTabForm(QWidget* parent = nullptr);

  QListWidget* ListBox1;
  QPushButton* SelectBtn;
  QPushButton* CancelBtn;

  // The selected table name, empty when none.
  QString SelectedTable() const;
  void ListBox1Click();

protected:
  void showEvent(QShowEvent* e) override;
};
