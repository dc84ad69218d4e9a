#include "mailing/MailListFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "platform/BinaryStream.h"
#include "platform/ReplaceFile.h"

namespace {

const char* const ListFiles[] = {MailListFileName, MailIndexFileName, FailedListFileName};

std::string NewName(const std::string& dir, const char* file) { return dir + file + ".new"; }

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

}  // namespace

void FinishPendingListSave(const std::string& dir) {
  const std::string mark = dir + MailListCommitMark;
  const bool complete = Exists(mark);
  for (const char* file : ListFiles) {
    const std::string pending = NewName(dir, file);
    if (!Exists(pending)) continue;
    if (complete)
      ::rename(pending.c_str(), (dir + file).c_str());
    else
      ::unlink(pending.c_str());
  }
  if (complete) ::unlink(mark.c_str());
}

void SaveListFiles(const std::string& dir, const TMailList& list, const TListProgress& progress) {
  FinishPendingListSave(dir);
  TReplacingFile files[3];
  for (int i = 0; i < 3; ++i) {
    const std::string target = dir + ListFiles[i];
    if (!files[i].Begin(target, NewName(dir, ListFiles[i]))) throw EMailFileError(files[i].Error());
    {
      TBinaryWriter w(files[i].Handle());
      if (i == 0) WriteMailList(w, list, progress);
      if (i == 1) WriteMailIndex(w, list);
      if (i == 2) WriteFailedList(w, list);
      if (!w.Flush()) throw EMailFileError("Cannot write " + target + ": " + std::strerror(w.Error()));
    }
    if (!files[i].Finish(false)) throw EMailFileError(files[i].Error());
  }
  const std::string mark = dir + MailListCommitMark;
  int fd = ::open(mark.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw EMailFileError("Cannot write " + mark + ": " + std::strerror(errno));
  ::fsync(fd);
  ::close(fd);
  // From here the new list stands: a rename that fails now is retried by the next save or load.
  for (auto& f : files)
    if (!f.Rename()) {
      for (auto& g : files) g.Release();
      throw EMailFileError(f.Error());
    }
  ::unlink(mark.c_str());
}
