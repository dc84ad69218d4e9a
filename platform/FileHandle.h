#pragma once
// A plain binary file, standing in for an operating-system file handle:
// reads and writes at the current position, seek, size.

#include <cstdint>
#include <string>

enum class TFileAccess { Read, Write, ReadWrite };
enum class TFileShare { DenyNone, DenyRead, DenyWrite, DenyReadWrite };
enum class TSeekOrigin { Begin, Current, End };

class TFileHandle {
public:
  TFileHandle() = default;
  ~TFileHandle();
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  TFileHandle(TFileHandle&& other) noexcept;
  TFileHandle& operator=(TFileHandle&& other) noexcept;

  // Opens an existing file. False (with LastError set) when it cannot be opened.
  // The share mode is an advisory lock (flock) held while the file is open:
  // DenyNone a shared lock, every deny mode an exclusive one. So a deny-mode
  // open fails while anyone holds the file open, and any open fails while a
  // deny-mode holder has it; LastError is then EWOULDBLOCK. Processes that do
  // not lock are not kept out.
  bool Open(const std::string& path, TFileAccess access, TFileShare share = TFileShare::DenyNone);
  // Creates the file, or truncates it when it exists; opened for reading and writing.
  bool Create(const std::string& path);
  // The same with a share mode as for Open; a file held by a deny-mode holder
  // is neither locked nor truncated.
  bool Create(const std::string& path, TFileShare share);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Both return the number of bytes moved, 0 at the end of the file, -1 on error.
  int64_t Read(void* buffer, int64_t count);
  int64_t Write(const void* buffer, int64_t count);
  // True only when exactly count bytes were moved.
  bool ReadExact(void* buffer, int64_t count);
  bool WriteExact(const void* buffer, int64_t count);

  // Returns the new position, or -1.
  int64_t Seek(int64_t offset, TSeekOrigin origin = TSeekOrigin::Begin);
  int64_t Position() const;
  int64_t Size() const;
  // Cuts the file at the current position.
  bool Truncate();
  bool Flush();

  // errno of the last failure.
  int LastError() const { return error_; }
  int Descriptor() const { return fd_; }

private:
  int fd_ = -1;
  int error_ = 0;
};
