#include "mailing/ui/SafeWebPage.h"

#include <QUrl>
#include <QWebEngineSettings>

TSafeWebPage::TSafeWebPage(QObject* parent, bool clipboard) : QWebEnginePage(parent) {
  QWebEngineSettings* s = settings();
  // Governs the page's own scripts only; ours run in the application world.
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
  s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
  // The page is a local file or string: the images a mail names are remote.
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, clipboard);
  s->setAttribute(QWebEngineSettings::JavascriptCanPaste, clipboard);
  connect(this, &QWebEnginePage::loadFinished, this, [this] { ownLoad_ = false; });
}

void TSafeWebPage::LoadHtml(const QString& html, const QUrl& baseUrl) {
  ownLoad_ = true;
  // The engine takes seconds to report an empty string loaded; this is the
  // document an empty string parses to.
  setHtml(html.isEmpty() ? QStringLiteral("<html><head></head><body></body></html>") : html, baseUrl);
}

void TSafeWebPage::LoadFile(const QString& fileName) {
  ownLoad_ = true;
  load(QUrl::fromLocalFile(fileName));
}

bool TSafeWebPage::acceptNavigationRequest(const QUrl&, NavigationType type, bool isMainFrame) {
  if (type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted) return false;
  if (!isMainFrame) return true;
  if (!ownLoad_) return false;
  ownLoad_ = false;
  return true;
}

QWebEnginePage* TSafeWebPage::createWindow(WebWindowType) { return nullptr; }
