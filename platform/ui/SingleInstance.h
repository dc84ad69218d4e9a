#pragma once
// One running copy at a time. The running copy holds the lock
// "Larkpost Opening" for its whole life and listens on the local socket
// "TlpMain" in the user's runtime folder. A second copy sends message 1025
// (bring to front), then one message 1026 per command-line argument, each
// waiting for the running copy's acknowledgement, and ends.
//
// In main():
//   TSingleInstance instance;
//   if (instance.ActivateRunningInstance(arguments)) return 0;
//   instance.CreateMutex();
//   ... create the main window ...
//   instance.StartListening(&mainWindow);   // the handler
//   app.exec();
//   instance.ReleaseMutex();

#include <QObject>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

constexpr int WM_USER = 1024;
constexpr int LP_ACTIVATE_MESSAGE = WM_USER + 1;   // 1025
constexpr int LP_OPEN_FILES_MESSAGE = WM_USER + 2; // 1026

inline const std::string InstanceMutexName = "Larkpost Opening";
inline const std::string InstanceWindowName = "TlpMain";

// Implemented by the main window; called on the UI thread while the sender waits.
class IInstanceMessageHandler {
public:
  virtual ~IInstanceMessageHandler() = default;
  // 1025: restore the window if minimised and bring it to the front.
  virtual void OnActivateMessage() = 0;
  // 1026: one command-line argument of the second copy, at most 1024
  // characters (split it with SplitOpenFilesText of platform/CommandLine.h).
  virtual void OnOpenFilesMessage(const std::string& text) = 0;
};

// The user's runtime folder: XDG_RUNTIME_DIR, else Qt's runtime location.
std::string UserRuntimeDir();

class TSingleInstance : public QObject {
  Q_OBJECT
public:
  // runtimeDir empty: UserRuntimeDir().
  explicit TSingleInstance(const std::string& runtimeDir = std::string(), QObject* parent = nullptr);
  ~TSingleInstance() override;

  // True when a running copy was found and acknowledged the activation; the
  // caller then ends. Every failure inside is ignored and gives false.
  // arguments: the command-line arguments without the program's path.
  bool ActivateRunningInstance(const std::vector<std::string>& arguments);

  // Sends each argument as message 1026 over a connected socket, in order;
  // false at the first one not acknowledged (ackTimeoutMs -1: no limit).
  static bool SendParamsToInstance(QLocalSocket& window, const std::vector<std::string>& arguments,
                                   int ackTimeoutMs = -1);

  // Takes the lock (shared, so a copy racing this one is not refused). False
  // when the lock file cannot be opened; start-up goes on regardless.
  bool CreateMutex();
  // Listens as "TlpMain", clearing a socket left by a crashed copy. False
  // when another copy is already listening or the socket cannot be made.
  bool StartListening(IInstanceMessageHandler* handler);
  void StopListening();
  void ReleaseMutex();

  bool HoldsMutex() const { return lockFd_ >= 0; }
  bool IsListening() const;
  std::string LockFileName() const;
  std::string SocketName() const;

  // How long a sender waits for each acknowledgement (ms; -1: as long as the
  // running copy keeps the connection open). The default is bounded but
  // generous: the running copy may be asking "Save Project?" while the
  // sender waits, yet a wedged copy must not leave an invisible second copy
  // waiting for ever. No answer to the activation: this copy starts on its
  // own; no answer to an argument: the arguments after it are dropped.
  void SetAckTimeout(int ms) { ackTimeoutMs_ = ms; }
  int AckTimeout() const { return ackTimeoutMs_; }
  static constexpr int DefaultAckTimeoutMs = 120000;

private:
  void OnNewConnection();
  void OnReadyRead(QLocalSocket* socket);

  std::string dir_;
  int lockFd_ = -1;
  int ackTimeoutMs_ = DefaultAckTimeoutMs;
  QLocalServer* server_ = nullptr;
  IInstanceMessageHandler* handler_ = nullptr;
};
