#pragma once
// "Report - ...": the prepared list held by the mailing window with its
// header, one line per item, and the recipient, subject and body of the
// selected item. The body is received from the table and the project, so
// the viewer shows it without scripts, remote loads or navigation.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "mailing/Report.h"

class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;
class QVBoxLayout;
class QWebEngineView;
class TPreparedMailing;
class TAppSettings;
class TSafeWebPage;

class TRepForm : public QDialog {
  Q_OBJECT
public:
  // settings: the folder of saved reports; it outlives this window.
  explicit TRepForm(TAppSettings& settings, QWidget* parent = nullptr);
  ~TRepForm() override;

  // Modal, over the window it is opened from (the mailing window).
  void ShowReport(const TPreparedMailing& mailing, QWidget* over = nullptr);
  // The list the window shows when it is shown next.
  void SetList(const TPreparedMailing& mailing) { mailing_ = &mailing; }
  // The last body file written for the viewer; "" when none.
  std::string TempFile() const { return viewer_.TempFile(); }
  void RemoveTempFile() { viewer_.Remove(); }

  // The save dialog: the chosen name, "" when cancelled. Tests replace it.
  std::function<std::string(const std::string& startDir)> ChooseSaveFile;

  // Handlers under their designed names.
  void FormShow();
  void TextListBox1Click();
  void Button2Click();  // Save As...

  QLabel* PreparedValue;
  QLabel* EncodingValue;
  QLabel* MailTypeValue;
  QLabel* AmountValue;
  QLabel* SentValue;
  QLabel* FailedValue;
  QListWidget* ListBox1;      // attachments
  QListWidget* TextListBox1;  // the item lines
  QLabel* ToValue;
  QLabel* SubjectValue;
  QWebEngineView* WebBrowser1 = nullptr;  // made when the first body is shown
  QStatusBar* StatusBar1;
  QPushButton* Button1;  // Close
  QPushButton* Button2;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void CreateViewer();

  TAppSettings& settings_;
  const TPreparedMailing* mailing_ = nullptr;
  TReportHeader header_;
  std::vector<std::string> lines_;
  TReportViewerFile viewer_;
  TSafeWebPage* page_ = nullptr;
  QVBoxLayout* bodyLayout_ = nullptr;
};
