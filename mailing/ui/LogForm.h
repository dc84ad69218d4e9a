#pragma once
// "Report Configuration": chooses the table fields whose values every
// prepared item carries in its report text. The window holds the list; the
// project stores it as its "Report" entry through IReportFieldList.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "mailing/ReportFieldList.h"

class QComboBox;
class QListWidget;
class QPushButton;
class TDataSet;

class TLogForm : public QDialog, public IReportFieldList {
  Q_OBJECT
public:
  // table: the open table whose fields may be chosen (null or closed: none).
  explicit TLogForm(std::function<const TDataSet*()> table, QWidget* parent = nullptr);

  // IReportFieldList
  std::vector<std::string> ReportFields() const override { return fields_; }
  std::string ReportEntry() const override;
  void SetReportEntry(const std::string& text) override;

  // Handlers under their designed names.
  void FormShow();
  void UpdateLogButtons();
  void Button1Click();  // Add Field
  void Button2Click();  // Delete
  void Button4Click();  // Help

  QComboBox* ComboBox1;   // Fields
  QListWidget* ListBox1;  // Report Fields
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;  // Close
  QPushButton* Button4;

  static constexpr int HelpContext = 7;

protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  void ShowFields(int selected);

  std::function<const TDataSet*()> table_;
  std::vector<std::string> fields_;
};
