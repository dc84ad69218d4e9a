#pragma once
// A file the user relies on, written through a temporary file beside it: the
// old content stays whole until the new one is complete, flushed to disk and
// renamed over it. A replacement dropped before Commit removes its temporary.

#include <string>
#include <sys/types.h>

#include "platform/FileHandle.h"

class TReplacingFile {
public:
  TReplacingFile() = default;
  ~TReplacingFile();
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  // Creates the temporary file with the given permission bits (less the
  // umask). False with Error() set.
  bool Begin(const std::string& target, mode_t mode = 0644);
  // The same under a temporary name of the caller's (a leftover of that name is replaced).
  bool Begin(const std::string& target, const std::string& tempPath, mode_t mode = 0644);
  TFileHandle& Handle() { return handle_; }
  // Flushes, closes and, when renameNow, renames over the target. False with
  // Error() set; the temporary is then removed and the target left alone.
  bool Finish(bool renameNow = true);
  // Renames a finished temporary over the target (for several files put in
  // place together). A failure keeps the temporary until Abandon or Release.
  bool Rename();
  // Removes the temporary, leaving the target alone.
  void Abandon();
  // Leaves the temporary on disk for a later attempt.
  void Release();

  const std::string& Target() const { return target_; }
  const std::string& TempPath() const { return temp_; }
  // "Cannot write FILE: reason".
  std::string Error() const { return error_; }

private:
  void Fail(int err);
  TFileHandle handle_;
  std::string target_, temp_, error_;
};
