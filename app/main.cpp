// Start-up: one running copy, the splash, every window once in a fixed
// order, the options, the message loop, and the lock released at the end.

#include <QApplication>
#include <QDateTime>
#include <QThread>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "net/IdMessage.h"
#include "platform/Dispatcher.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/QtDispatcher.h"
#include "platform/ui/QtMessageService.h"
#include "platform/ui/QtText.h"
#include "platform/ui/SingleInstance.h"
#include "app/Composition.h"
#include "app/StartupEnvironment.h"
#include "platform/CommandLine.h"
#include "workspace/ui/CapForm.h"
#include "workspace/ui/LPMain.h"

int main(int argc, char** argv) {
  // The engine reads the variable when it starts, so it is set before anything of Qt.
  if (const std::string notice = DisableEngineSandboxForRoot(RunningAsRoot()); !notice.empty())
    std::fprintf(stderr, "%s\n", notice.c_str());

  // The browser views of the mailing windows share the GL contexts of the widgets.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Larkpost");

  std::vector<std::string> params;
  for (const QString& a : QApplication::arguments()) params.push_back(ToStdString(a));
  // Names are made absolute here, where they were given: a running copy that
  // receives them works in another folder.
  std::error_code cwdError;
  const std::string here = std::filesystem::current_path(cwdError).string();
  const std::vector<std::string> arguments = AbsoluteArguments(
      std::vector<std::string>(params.begin() + (params.empty() ? 0 : 1), params.end()), cwdError ? "" : here);
  if (!params.empty()) params.resize(1);
  params.insert(params.end(), arguments.begin(), arguments.end());

  TSingleInstance instance;
  try {
    if (instance.ActivateRunningInstance(arguments)) return 0;
  } catch (...) {
    // Whatever goes wrong in the check, this copy starts as the first one.
  }
  instance.CreateMutex();

  int result = 0;
  try {
    auto splash = std::make_unique<TCapForm>();
    splash->show();
    splash->repaint();
    QApplication::processEvents();
    const qint64 splashStart = QDateTime::currentMSecsSinceEpoch();

    // The mail libraries are set up once here, before any sending thread exists,
    // and worker threads reach the window thread through this dispatcher.
    InitMailLibraries();
    TQtDispatcher dispatcher;
    TScopedDispatcher mainThreadCalls(&dispatcher);

    TQtMessageService messages;
    SetMessageService(&messages);
    TQtHelpService help;
    SetHelpService(&help);

    // Every window is created once and lives until the end.
    const std::unique_ptr<TWindows> windows = CreateWindows();
    TLPMain* mainWindow = windows->Main;
    messages.SetOwner(mainWindow);

    // The splash stays at least one second, without handling messages.
    const qint64 left = splashStart + 1000 - QDateTime::currentMSecsSinceEpoch();
    if (left > 0) QThread::msleep(static_cast<unsigned long>(left));
    splash.reset();

    mainWindow->SetCommandLine(params);
    instance.StartListening(mainWindow);
    mainWindow->show();
    result = app.exec();

    instance.StopListening();
    SetHelpService(nullptr);
    SetMessageService(nullptr);
    DestroyWindows(*windows);
  } catch (...) {
    result = 1;
  }
  try {
    instance.ReleaseMutex();
  } catch (...) {
  }
  return result;
}
