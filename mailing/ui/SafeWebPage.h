#pragma once
// The program's web pages: the document's own scripts never run, no window
// opens and no plugin loads. What else may load depends on how the page is made:
// - the editor's and the preview's page: a click never navigates away, only
//   the loads the program starts itself reach the main frame, and content the
//   document names (images, frames) loads as the document says;
// - the report viewer's page: the one file it was asked to open, and nothing
//   else (no remote or other local resources, no link out of the file).

#include <QUrl>
#include <QWebEnginePage>

class QWebEngineProfile;

class TSafeWebPage : public QWebEnginePage {
  Q_OBJECT
public:
  // clipboard: the editor's Cut, Copy and Paste work through the document.
  explicit TSafeWebPage(QObject* parent, bool clipboard = false);
  // The one-file page. Installs its request filter on the profile, which
  // must outlive the page.
  TSafeWebPage(QWebEngineProfile* profile, QObject* parent);

  // Our own loads: the only main-frame navigations accepted.
  void LoadHtml(const QString& html, const QUrl& baseUrl);
  void LoadFile(const QString& fileName);

  // The one-file page's loads: the file (fragments aside) becomes the only
  // URL let through.
  void Open(const QUrl& url);
  void Clear() { Open(QUrl("about:blank")); }

protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

private:
  class TOneFileFilter;

  bool ownLoad_ = false;
  TOneFileFilter* filter_ = nullptr;  // only on the one-file page
  QUrl allowed_;
};
