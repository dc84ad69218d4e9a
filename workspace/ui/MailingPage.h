#pragma once
// The "Mailing" page: recipient and subject, and the tabs Edit (the HTML
// editor or the plain-text editor under the formatting bar), Source,
// Preview and Attachments. The HTML editor and the preview are places here;
// the mailing windows put their browser views into them.

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;

class TMailingPage : public QWidget {
  Q_OBJECT
public:
  explicit TMailingPage(QWidget* parent = nullptr);

  // The Edit tab shows the editor of the mail mode; the formatting commands
  // work only on HTML.
  void ShowEditorFor(bool html);
  bool HtmlEditorShown() const;

  // Controls, by designer name.
  QComboBox* ComboBox2;       // "To"
  QLineEdit* Edit2;           // "Subject"
  QToolButton* SpeedButton6;  // "Send Current"
  QTabWidget* PageControl2;
  QWidget* TabSheet3;  // "Edit"
  QWidget* TabSheet8;  // "Source"
  QWidget* TabSheet5;  // "Preview"
  QWidget* TabSheet6;  // "Attachments"
  QToolBar* FormatBar;            // "SpeedBar4"
  QStackedWidget* EditorStack;    // "Panel3"
  QWidget* EmbeddedWB1;           // the HTML editor's place
  QPlainTextEdit* RxRichEdit1;    // Source
  QPlainTextEdit* RxRichEdit2;    // plain text
  QWidget* PreviewPanel;          // "Panel4"
  QLabel* PreviewTo;              // "Label5"
  QLabel* PreviewSubject;         // "Label6"
  QWidget* DBNavigator1;
  QStatusBar* StatusBar1;
  QWidget* WebBrowser1;           // the preview's place
  QListWidget* ListBox3;          // attachments
  QPushButton* Button19;          // "Add..."
  QPushButton* Button24;          // "Remove"

signals:
  // The user changed what the project stores.
  void Modified();
};
