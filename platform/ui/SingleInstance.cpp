#include "platform/ui/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/InstanceFrames.h"
#include "platform/ui/QtText.h"

namespace {

constexpr int ConnectTimeoutMs = 2000;

bool WaitForBytes(QLocalSocket& s, qint64 count, int timeoutMs) {
  while (s.bytesAvailable() < count) {
    if (s.state() != QLocalSocket::ConnectedState && s.bytesAvailable() < count) return false;
    if (!s.waitForReadyRead(timeoutMs)) return false;
  }
  return true;
}

// Sends one message and waits for the receiver to have handled it.
bool SendMessageTo(QLocalSocket& s, int message, const std::string& text, int ackTimeoutMs) {
  const std::string frame = EncodeInstanceFrame(static_cast<uint32_t>(message), text);
  const auto frameSize = static_cast<qint64>(frame.size());
  if (s.write(frame.data(), frameSize) != frameSize) return false;
  if (!s.waitForBytesWritten(ackTimeoutMs < 0 ? 30000 : ackTimeoutMs) && s.bytesToWrite() > 0) return false;
  if (!WaitForBytes(s, InstanceAckBytes, ackTimeoutMs)) return false;
  char ack[InstanceAckBytes];
  if (s.read(ack, InstanceAckBytes) != static_cast<qint64>(InstanceAckBytes)) return false;
  return DecodeInstanceAck(ack) == static_cast<uint32_t>(message);
}

// An exclusive lock on a folder, held for its scope.
class TDirLock {
public:
  explicit TDirLock(const std::string& dir) : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0)
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  ~TDirLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  TDirLock(const TDirLock&) = delete;
  TDirLock& operator=(const TDirLock&) = delete;

private:
  int fd_;
};

}  // namespace

std::string UserRuntimeDir() {
  if (const char* r = std::getenv("XDG_RUNTIME_DIR"); r && *r && QDir(r).exists()) return r;
  QString loc = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (!loc.isEmpty()) return ToStdString(loc);
  return "/tmp";
}

TSingleInstance::TSingleInstance(const std::string& runtimeDir, QObject* parent)
    : QObject(parent), dir_(runtimeDir.empty() ? UserRuntimeDir() : runtimeDir) {
  while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();
}

TSingleInstance::~TSingleInstance() {
  StopListening();
  ReleaseMutex();
}

std::string TSingleInstance::LockFileName() const { return dir_ + "/" + InstanceMutexName + ".lock"; }
std::string TSingleInstance::SocketName() const { return dir_ + "/" + InstanceWindowName; }

bool TSingleInstance::ActivateRunningInstance(const std::vector<std::string>& arguments) {
  try {
    // Is the lock held by a running copy? Taking it exclusively succeeds only when none is.
    int fd = ::open(LockFileName().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    if (free) return false;

    QLocalSocket window;
    window.connectToServer(ToQString(SocketName()));
    if (!window.waitForConnected(ConnectTimeoutMs)) return false;
    if (!SendMessageTo(window, LP_ACTIVATE_MESSAGE, std::string(), ackTimeoutMs_)) return false;
    SendParamsToInstance(window, arguments, ackTimeoutMs_);
    window.disconnectFromServer();
    return true;
  } catch (...) {
    return false;
  }
}

bool TSingleInstance::SendParamsToInstance(QLocalSocket& window, const std::vector<std::string>& arguments,
                                           int ackTimeoutMs) {
  for (const auto& a : arguments)
    if (!SendMessageTo(window, LP_OPEN_FILES_MESSAGE, a, ackTimeoutMs)) return false;
  return true;
}

bool TSingleInstance::CreateMutex() {
  if (lockFd_ >= 0) return true;
  QDir().mkpath(ToQString(dir_));
  int fd = ::open(LockFileName().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Shared: every running copy holds it; a copy that checks only holds it exclusively for a moment.
  while (::flock(fd, LOCK_SH) != 0) {
    if (errno != EINTR) {
      ::close(fd);
      return false;
    }
  }
  lockFd_ = fd;
  return true;
}

void TSingleInstance::ReleaseMutex() {
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = -1;
}

bool TSingleInstance::IsListening() const { return server_ && server_->isListening(); }

bool TSingleInstance::StartListening(IInstanceMessageHandler* handler) {
  handler_ = handler;
  if (IsListening()) return true;
  if (!server_) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
  }
  const QString name = ToQString(SocketName());
  // Copies starting together take turns: otherwise one may clear or replace
  // the socket another has just made, and that one listens unreachable.
  TDirLock turn(dir_);
  // Listening would replace the socket file without a word (it is renamed
  // into place), so look first: a copy that answers keeps its name; a file
  // a crashed copy left behind is cleared.
  if (QFileInfo::exists(name)) {
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
      probe.abort();
      return false;
    }
    QLocalServer::removeServer(name);
  }
  if (server_->listen(name)) return true;
  if (server_->serverError() != QAbstractSocket::AddressInUseError) return false;
  QLocalServer::removeServer(name);
  return server_->listen(name);
}

void TSingleInstance::StopListening() {
  if (server_) server_->close();
}

void TSingleInstance::OnNewConnection() {
  while (QLocalSocket* s = server_->nextPendingConnection()) {
    connect(s, &QLocalSocket::readyRead, this, [this, s] { OnReadyRead(s); });
    connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    if (s->bytesAvailable() > 0) OnReadyRead(s);
  }
}

void TSingleInstance::OnReadyRead(QLocalSocket* socket) {
  QPointer<QLocalSocket> s(socket);
  // A handler may run a modal loop; the frames that arrive meanwhile wait their turn.
  if (s->property("lpBusy").toBool()) return;
  s->setProperty("lpBusy", true);
  while (s && s->bytesAvailable() >= static_cast<qint64>(InstanceFrameHeaderBytes)) {
    char header[InstanceFrameHeaderBytes];
    s->peek(header, InstanceFrameHeaderBytes);
    const int64_t size = InstanceFrameSize(header, InstanceFrameHeaderBytes);
    if (size < 0) {
      s->abort();
      break;
    }
    if (s->bytesAvailable() < size) break;
    const QByteArray bytes = s->read(size);
    const TInstanceFrame frame = DecodeInstanceFrame(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (handler_) {
      try {
        if (frame.Message == LP_ACTIVATE_MESSAGE)
          handler_->OnActivateMessage();
        else if (frame.Message == LP_OPEN_FILES_MESSAGE)
          handler_->OnOpenFilesMessage(frame.Text);
      } catch (...) {
        // The sender only waits for the answer; a failed request is dropped.
      }
    }
    if (!s) break;
    const std::string ack = EncodeInstanceAck(frame.Message);
    s->write(ack.data(), static_cast<qint64>(ack.size()));
    s->flush();
  }
  if (s) s->setProperty("lpBusy", false);
}
