#include "platform/ui/HelpWindow.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

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
  AttachToModalDialog();
  if (!window_->ShowPage(HelpPageFor(command, data))) window_->ShowPage("index.html");
  window_->show();
  KeepOnScreen();
  window_->raise();
  window_->activateWindow();
}

void TQtHelpService::AttachToModalDialog() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == window_->parentWidget()) return;
  const QPoint place = window_->pos();
  // A modal window blocks every window but its own children.
  window_->setParent(modal, Qt::Window);
  window_->move(place);
}

void TQtHelpService::KeepOnScreen() {
  QScreen* screen = window_->screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  QRect frame = window_->frameGeometry();
  const QSize margins = frame.size() - window_->size();
  // Shrink what cannot fit, then slide it inside.
  const QSize inner(std::min(window_->width(), area.width() - margins.width()),
                    std::min(window_->height(), area.height() - margins.height()));
  if (inner != window_->size()) window_->resize(inner);
  frame = window_->frameGeometry();
  QPoint topLeft = frame.topLeft();
  topLeft.setX(std::clamp(topLeft.x(), area.left(), area.right() - frame.width() + 1));
  topLeft.setY(std::clamp(topLeft.y(), area.top(), area.bottom() - frame.height() + 1));
  if (topLeft != frame.topLeft()) window_->move(topLeft);
}
