#pragma once
// The "Select Charset" dialog: one line per row of CharsetTable.

#include <QDialog>

class QListWidget;
class QPushButton;

class TCharSetForm : public QDialog {
  Q_OBJECT
public:
  explicit TCharSetForm(QWidget* parent = nullptr);

  // The selected row, -1 when none.
  int ItemIndex() const;
  void SetItemIndex(int index);

  void FormCreate();
  void FormShow();
  void ListBox1Click();
  void ListBox1DblClick();

  QListWidget* ListBox1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* HelpBtn;

  static constexpr int HelpContext = 9;

protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};
