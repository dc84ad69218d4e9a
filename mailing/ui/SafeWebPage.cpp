#include "mailing/ui/SafeWebPage.h"

#include <QMutex>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

class TSafeWebPage::TOneFileFilter : public QWebEngineUrlRequestInterceptor {
public:
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QMutexLocker lock(&mutex_);
    if (info.requestUrl().adjusted(QUrl::RemoveFragment) != allowed_) info.block(true);
  }
  void Allow(const QUrl& url) {
    const QMutexLocker lock(&mutex_);
    allowed_ = url;
  }

private:
  QMutex mutex_;  // requests are intercepted on the engine's own thread
  QUrl allowed_;
};

namespace {

void SetCommonAttributes(QWebEngineSettings* s) {
  // Governs the page's own scripts only; ours run in the application world.
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
}

}  // namespace

TSafeWebPage::TSafeWebPage(QObject* parent, bool clipboard) : QWebEnginePage(parent) {
  QWebEngineSettings* s = settings();
  SetCommonAttributes(s);
  s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
  // The page is a local file or string: the images a mail names are remote.
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, clipboard);
  s->setAttribute(QWebEngineSettings::JavascriptCanPaste, clipboard);
  connect(this, &QWebEnginePage::loadFinished, this, [this] { ownLoad_ = false; });
}

TSafeWebPage::TSafeWebPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
  QWebEngineSettings* s = settings();
  SetCommonAttributes(s);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  filter_ = new TOneFileFilter;
  filter_->setParent(profile);
  profile->setUrlRequestInterceptor(filter_);
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

void TSafeWebPage::Open(const QUrl& url) {
  allowed_ = url;
  if (filter_) filter_->Allow(url);
  load(url);
}

bool TSafeWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  if (filter_) return isMainFrame && url.adjusted(QUrl::RemoveFragment) == allowed_;
  if (type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted) return false;
  if (!isMainFrame) return true;
  if (!ownLoad_) return false;
  ownLoad_ = false;
  return true;
}

QWebEnginePage* TSafeWebPage::createWindow(WebWindowType) { return nullptr; }
