#pragma once
// The web page of the editor and the preview: the document's own scripts
// never run, a click never navigates away, no window opens, and only the
// loads the program starts itself reach the main frame. Content the
// document names (images, frames) loads as the document says.

#include <QWebEnginePage>

class TSafeWebPage : public QWebEnginePage {
  Q_OBJECT
public:
  // clipboard: the editor's Cut, Copy and Paste work through the document.
  explicit TSafeWebPage(QObject* parent, bool clipboard = false);

  // Our own loads: the only main-frame navigations accepted.
  void LoadHtml(const QString& html, const QUrl& baseUrl);
  void LoadFile(const QString& fileName);

protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

private:
  bool ownLoad_ = false;
};
