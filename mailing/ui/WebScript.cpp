#include "mailing/ui/WebScript.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <memory>

QString JsString(const QString& text) {
  const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  // "[...]" without the brackets.
  return QString::fromUtf8(json.mid(1, json.size() - 2));
}

namespace {

struct TScriptAnswer {
  QVariant value;
  bool done = false;
  QEventLoop* loop = nullptr;
};

}  // namespace

QVariant RunScriptSync(QWebEnginePage& page, const QString& script, int timeoutMs) {
  auto answer = std::make_shared<TScriptAnswer>();
  page.runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant& v) {
    answer->value = v;
    answer->done = true;
    if (answer->loop) answer->loop->quit();
  });
  if (!answer->done) {
    QEventLoop loop;
    answer->loop = &loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    answer->loop = nullptr;
  }
  return answer->done ? answer->value : QVariant();
}

bool LoadAndWait(QWebEnginePage& page, const std::function<void()>& startLoad, int timeoutMs) {
  QEventLoop loop;
  bool finished = false, ok = false;
  auto c = QObject::connect(&page, &QWebEnginePage::loadFinished, &loop, [&](bool success) {
    finished = true;
    ok = success;
    loop.quit();
  });
  startLoad();
  if (!finished) {
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  QObject::disconnect(c);
  return finished && ok;
}
