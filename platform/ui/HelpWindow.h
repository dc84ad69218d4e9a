#pragma once
// The help window: shows the program's HTML help pages (built into the
// program from resources/help/) and follows the links between them.

#include <QPointer>
#include <QWidget>

#include "platform/Help.h"

class QTextBrowser;

class THelpWindow : public QWidget {
  Q_OBJECT
public:
  explicit THelpWindow(QWidget* parent = nullptr);
  // Shows a page by its file name ("options.html"); false when it is missing.
  bool ShowPage(const std::string& page);
  std::string CurrentPage() const;
  QTextBrowser* Browser() const { return browser_; }

private:
  QTextBrowser* browser_;
};

// The program's help service: one help window, created on first use.
class TQtHelpService : public IHelpService {
public:
  TQtHelpService();
  ~TQtHelpService() override;
  void HtmlHelp(int command, int data) override;
  THelpWindow* Window() const { return window_; }

private:
  // Hangs the window under an open modal dialog, which would otherwise block
  // it, and hands it back to the desktop once no dialog is modal.
  void AttachToModalDialog();
  void KeepOnScreen();

  // A dialog that owns the window deletes it with itself.
  QPointer<THelpWindow> window_;
};
