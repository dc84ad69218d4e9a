#include "mailing/MailRunFiles.h"

#include <cerrno>
#include <cstring>

#include "toolkit/StrFile.h"

bool TMailRunFiles::Fail(const std::string& file, int err) {
  error_ = "Cannot write " + dir_ + file + ": " + std::strerror(err ? err : EIO);
  return false;
}

bool TMailRunFiles::Open(const std::string& dir) {
  Close();
  dir_ = dir;
  error_.clear();
  if (!index_.Open(dir + MailIndexFileName, TFileAccess::ReadWrite)) return Fail(MailIndexFileName, index_.LastError());
  int32_t n = 0;
  if (!ReadInt32(index_, n) || n < 0 || n > (index_.Size() - 4) / MailIndexRecordSize) {
    error_ = "The file " + dir + MailIndexFileName + " is damaged.";
    Close();
    return false;
  }
  records_ = n;
  if (!failed_.Open(dir + FailedListFileName, TFileAccess::ReadWrite)) {
    Fail(FailedListFileName, failed_.LastError());
    Close();
    return false;
  }
  return true;
}

void TMailRunFiles::Close() {
  index_.Close();
  failed_.Close();
  records_ = 0;
}

bool TMailRunFiles::WriteIndexRecord(int index, const TMailItem& item) {
  if (!index_.IsOpen() || index < 0 || index >= records_) return false;
  const std::string rec = MailIndexRecord(item);
  if (index_.Seek(4 + int64_t{MailIndexRecordSize} * index) < 0 ||
      !index_.WriteExact(rec.data(), MailIndexRecordSize))
    return Fail(MailIndexFileName, index_.LastError());
  return true;
}

bool TMailRunFiles::AppendFailed(int index, const std::string& text) {
  if (!failed_.IsOpen() || index < 0) return false;
  const std::string rec = FailedRecord(index, text);
  if (failed_.Seek(0, TSeekOrigin::End) < 0 || !failed_.WriteExact(rec.data(), static_cast<int64_t>(rec.size())))
    return Fail(FailedListFileName, failed_.LastError());
  return true;
}
