#include "platform/ui/HelpWindow.h"

#include <QFile>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/ui/QtText.h"

// The pages are built into the library; a static library needs its
// resources registered by hand.
static void InitHelpResources() { Q_INIT_RESOURCE(help); }

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
  InitHelpResources();
  setObjectName("HelpWindow");
  // An open help window must not keep the program running after its main window closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  setWindowTitle("Larkpost Help");
  resize(640, 520);
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({":/help"});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
}

bool THelpWindow::ShowPage(const std::string& page) {
  const QString path = ":/help/" + ToQString(page);
  if (!QFile::exists(path)) return false;
  browser_->setSource(QUrl("qrc" + path));
  return true;
}

std::string THelpWindow::CurrentPage() const {
  return ToStdString(browser_->source().fileName());
}

TQtHelpService::TQtHelpService() = default;

TQtHelpService::~TQtHelpService() { delete window_; }

void TQtHelpService::HtmlHelp(int command, int data) {
  if (command != HH_DISPLAY_TOC && command != HH_HELP_CONTEXT) return;
  if (!window_) window_ = new THelpWindow();
  if (!window_->ShowPage(HelpPageFor(command, data))) window_->ShowPage("index.html");
  window_->show();
  window_->raise();
  window_->activateWindow();
}
