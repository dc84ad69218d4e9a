#include "platform/FileHandle.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TFileHandle::~TFileHandle() { Close(); }

TFileHandle::TFileHandle(TFileHandle&& other) noexcept : fd_(other.fd_), error_(other.error_) {
  other.fd_ = -1;
}

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    error_ = other.error_;
    other.fd_ = -1;
  }
  return *this;
}

namespace {

// Takes the advisory lock that stands for a share mode; never waits. Only a
// conflicting holder refuses the open: a file system without locks does not.
bool LockForShare(int fd, TFileShare share, int& error) {
  int op = (share == TFileShare::DenyNone ? LOCK_SH : LOCK_EX) | LOCK_NB;
  while (::flock(fd, op) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return true;
    error = errno;
    return false;
  }
  return true;
}

}  // namespace

bool TFileHandle::Open(const std::string& path, TFileAccess access, TFileShare share) {
  Close();
  int flags = O_CLOEXEC;
  switch (access) {
    case TFileAccess::Read: flags |= O_RDONLY; break;
    case TFileAccess::Write: flags |= O_WRONLY; break;
    case TFileAccess::ReadWrite: flags |= O_RDWR; break;
  }
  fd_ = ::open(path.c_str(), flags);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    Close();
    error_ = EISDIR;
    return false;
  }
  if (!LockForShare(fd_, share, error_)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

bool TFileHandle::Create(const std::string& path, TFileShare share) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  bool ok = LockForShare(fd_, share, error_);
  if (ok && ::ftruncate(fd_, 0) != 0) {
    error_ = errno;
    ok = false;
  }
  if (!ok) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

bool TFileHandle::Create(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  return true;
}

void TFileHandle::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

int64_t TFileHandle::Read(void* buffer, int64_t count) {
  if (fd_ < 0 || count < 0) return -1;
  auto* p = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, p + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return done > 0 ? done : -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TFileHandle::Write(const void* buffer, int64_t count) {
  if (fd_ < 0 || count < 0) return -1;
  const auto* p = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, p + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return done > 0 ? done : -1;
    }
    done += n;
  }
  return done;
}

bool TFileHandle::ReadExact(void* buffer, int64_t count) { return Read(buffer, count) == count; }

bool TFileHandle::WriteExact(const void* buffer, int64_t count) { return Write(buffer, count) == count; }

int64_t TFileHandle::Seek(int64_t offset, TSeekOrigin origin) {
  if (fd_ < 0) return -1;
  int whence = origin == TSeekOrigin::Begin ? SEEK_SET : origin == TSeekOrigin::Current ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, offset, whence);
  if (r < 0) {
    error_ = errno;
    return -1;
  }
  return r;
}

int64_t TFileHandle::Position() const {
  if (fd_ < 0) return -1;
  return ::lseek(fd_, 0, SEEK_CUR);
}

int64_t TFileHandle::Size() const {
  if (fd_ < 0) return -1;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

bool TFileHandle::Truncate() {
  int64_t pos = Position();
  if (pos < 0) return false;
  if (::ftruncate(fd_, pos) != 0) {
    error_ = errno;
    return false;
  }
  return true;
}

bool TFileHandle::Flush() {
  if (fd_ < 0) return false;
  return ::fsync(fd_) == 0;
}
