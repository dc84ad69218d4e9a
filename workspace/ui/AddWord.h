#pragma once
// The one name dialog for accounts, calculated fields, markers and schemes.

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class TReader;

class TAddWordForm : public QDialog {
  Q_OBJECT
public:
  explicit TAddWordForm(QWidget* parent = nullptr);

  // Shows the dialog with Caption and returns the accepted name in Name, or
  // an empty Name when nothing was accepted. With Check on, the name must be
  // an identifier of Reader's alphabet and comes back upper-cased.
  void InputName(const std::string& Caption, const std::string& ExistsFmt, std::string& Name, bool Check,
                 const std::vector<std::string>& Names, const TReader& Reader);

  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

protected:
  void showEvent(QShowEvent* e) override;
};
