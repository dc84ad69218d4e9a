#pragma once
// The "Response" dialog: the response settings of a scheme. They are kept in
// "Schemes.dat" and shown here; nothing in the program sends a response.

#include <QDialog>

#include "withdrawal/Scheme.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

class TRespForm : public QDialog {
  Q_OBJECT
public:
  explicit TRespForm(QWidget* parent = nullptr);

  void ShowResponse(const TResponseOptions& response);
  // The eight values as the controls hold them.
  TResponseOptions Response() const;

  QTabWidget* PageControl1;
  QCheckBox* CheckBox1;   // "Respond To"
  QLineEdit* Edit1;       // its address
  QLineEdit* Edit2;       // "Response Subject"
  QCheckBox* CheckBox2;   // "Forward To"
  QLineEdit* Edit3;       // its address
  QLineEdit* Edit4;       // "Forward Subject"
  QComboBox* ComboBox1;   // "Encoding"
  QPlainTextEdit* Memo1;  // the response text ("Edit" page)
  QPlainTextEdit* Memo2;  // the "Preview" page
  QLabel* Label7;         // "Status"
  QProgressBar* ProgressBar1;
  QPushButton* OkBtn;
  QPushButton* CancelBtn;
  QPushButton* SendBtn;
  QPushButton* HelpBtn;

protected:
  void showEvent(QShowEvent* e) override;
};
