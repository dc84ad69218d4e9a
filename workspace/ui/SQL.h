#pragma once
// "Execute SQL": the statement, its database (an Access file or a dBase
// folder), Load and Save As of ".sql" files.

#include <QDialog>
#include <functional>
#include <string>

#include "workspace/SqlRules.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class TAppSettings;
class TSeldirForm;

class TSQLForm : public QDialog {
  Q_OBJECT
public:
  // settings: the remembered database and statement folder; it outlives this window.
  explicit TSQLForm(TAppSettings& settings, QWidget* parent = nullptr);
  ~TSQLForm() override;

  static constexpr int HelpContext = 2;

  std::string SQLText() const;
  std::string DatabasePath() const;
  int DatabaseType() const;  // 0 Access file, 1 dBase folder

  void FormShow();
  void FormResize();
  void LoadClick();
  void SaveAsClick();
  void BrowseClick();

  // The file and folder choosers (file dialogs by default; tests replace them).
  // Each returns "" when cancelled.
  std::function<std::string(const std::string& caption, const std::string& filter, const std::string& dir)>
      GetOpenFileName;
  std::function<std::string(const std::string& caption, const std::string& filter, const std::string& dir)>
      GetSaveFileName;
  std::function<std::string(const std::string& start)> SelectDirectory;
  // The folder chooser Browse opens; it must outlive this window.
  void SetFolderDialog(TSeldirForm& dialog);
  // Writes SQLFileDir to the settings.
  std::function<void()> OnSQLFileDirChanged;

  QWidget* Panel1;
  QComboBox* ComboBox1;   // database type
  QLineEdit* Edit1;       // path
  QPushButton* Button5;   // "Browse"
  QPlainTextEdit* Memo1;  // the statement
  QPushButton* Button1;   // "Execute"
  QPushButton* Button2;   // "Cancel"
  QPushButton* Button3;   // "Load..."
  QPushButton* Button4;   // "Save As.."
  QPushButton* Button6;   // "Help"

protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

private:
  TAppSettings& settings_;
};
