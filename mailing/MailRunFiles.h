#pragma once
// "Maillist.ind" and "Failed.dat" held open for a mailing run: each item's
// result rewrites its index record in place and a failure appends its error
// text (layouts in MailList.h). Each record goes out in one write.

#include <cstdint>
#include <string>

#include "mailing/MailList.h"
#include "platform/FileHandle.h"

class TMailRunFiles {
public:
  // dir ends with "/". Both files must exist (a prepared list writes them).
  // False with Error() set when either cannot be opened or the index file has
  // no valid record count.
  bool Open(const std::string& dir);
  void Close();
  bool IsOpen() const { return index_.IsOpen() && failed_.IsOpen(); }

  // Record i at 4 + 10 * i. False for an index outside the file's records or a failed write.
  bool WriteIndexRecord(int index, const TMailItem& item);
  // {index, length, the text as received} at the end of "Failed.dat".
  bool AppendFailed(int index, const std::string& text);

  int RecordCount() const { return records_; }
  const std::string& Error() const { return error_; }

private:
  bool Fail(const std::string& file, int err);
  TFileHandle index_, failed_;
  std::string dir_, error_;
  int records_ = 0;
};
