#include "platform/ReplaceFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

TReplacingFile::~TReplacingFile() { Abandon(); }

void TReplacingFile::Fail(int err) {
  error_ = "Cannot write " + target_ + ": " + std::strerror(err ? err : EIO);
  Abandon();
}

bool TReplacingFile::Begin(const std::string& target, mode_t mode) {
  static std::atomic<unsigned> counter{0};
  return Begin(target, target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)),
               mode);
}

bool TReplacingFile::Begin(const std::string& target, const std::string& tempPath, mode_t mode) {
  Abandon();
  target_ = target;
  error_.clear();
  temp_ = tempPath;
  // Created exclusively with its final permissions, so no other reader ever
  // sees the content under wider ones.
  ::unlink(temp_.c_str());
  int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    int err = errno;
    temp_.clear();
    Fail(err);
    return false;
  }
  ::close(fd);
  if (!handle_.Open(temp_, TFileAccess::ReadWrite)) {
    Fail(handle_.LastError());
    return false;
  }
  return true;
}

bool TReplacingFile::Finish(bool renameNow) {
  if (!handle_.IsOpen()) {
    if (error_.empty()) Fail(EBADF);
    return false;
  }
  if (!handle_.Flush()) {
    Fail(handle_.LastError());
    return false;
  }
  handle_.Close();
  if (renameNow && !Rename()) {
    Abandon();
    return false;
  }
  return true;
}

bool TReplacingFile::Rename() {
  if (temp_.empty()) return false;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    error_ = "Cannot write " + target_ + ": " + std::strerror(errno);
    return false;
  }
  temp_.clear();
  return true;
}

void TReplacingFile::Abandon() {
  handle_.Close();
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

void TReplacingFile::Release() {
  handle_.Close();
  temp_.clear();
}
