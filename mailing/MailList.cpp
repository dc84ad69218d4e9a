#include "mailing/MailList.h"

#include <cerrno>
#include <cstring>

#include "platform/BinaryStream.h"
#include "platform/FileHandle.h"
#include "platform/ReplaceFile.h"

namespace {

// The four length fields of an item's strings.
constexpr int64_t SmallestItem = 16;
// An index and a text length.
constexpr int64_t SmallestFailedRecord = 8;

[[noreturn]] void Damaged(const std::string& fileName, const std::string& why) {
  throw EMailFileError("The file " + fileName + " is damaged: " + why + ".");
}

void SaveWhole(const std::string& fileName, const std::function<void(TBinaryWriter&)>& write) {
  TReplacingFile file;
  if (!file.Begin(fileName)) throw EMailFileError(file.Error());
  {
    TBinaryWriter w(file.Handle());
    write(w);
    if (!w.Flush()) throw EMailFileError("Cannot write " + fileName + ": " + std::strerror(w.Error()));
  }
  if (!file.Finish()) throw EMailFileError(file.Error());
}

// False when the file does not exist; other failures to open throw.
bool OpenForReading(const std::string& fileName, TFileHandle& h) {
  if (h.Open(fileName, TFileAccess::Read)) return true;
  if (h.LastError() == ENOENT) return false;
  throw EMailFileError("Cannot read " + fileName + ": " + std::strerror(h.LastError()));
}

}  // namespace

std::string MailIndexRecord(const TMailItem& item) {
  std::string rec(MailIndexRecordSize, '\0');
  uint64_t u = 0;
  std::memcpy(&u, &item.SentTime, 8);
  for (int i = 0; i < 8; ++i) rec[i] = static_cast<char>(u >> (8 * i));
  rec[8] = item.Sent ? 1 : 0;
  rec[9] = item.Failed ? 1 : 0;
  return rec;
}

std::string FailedRecord(int32_t index, const std::string& text) {
  std::string rec;
  rec.reserve(8 + text.size());
  for (int32_t v : {index, static_cast<int32_t>(text.size())})
    for (int i = 0; i < 4; ++i) rec += static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
  rec += text;
  return rec;
}

void WriteMailList(TBinaryWriter& w, const TMailList& list, const TListProgress& progress) {
  w.WriteDouble(list.Prepared);
  w.WriteInt32(list.Reserved);
  w.WriteStr(list.Description);
  w.WriteStr(list.Charset);
  w.WriteStr(list.ContentType);
  w.WriteStrings(list.Attachments);
  const int n = static_cast<int>(list.Items.size());
  w.WriteInt32(n);
  for (int i = 0; i < n; ++i) {
    const TMailItem& item = list.Items[static_cast<size_t>(i)];
    w.WriteStr(item.To);
    w.WriteStr(item.Subject);
    w.WriteStr(item.Body);
    w.WriteStr(item.ReportText);
    if (progress) progress(i + 1, n);
  }
}

void WriteMailIndex(TBinaryWriter& w, const TMailList& list) {
  w.WriteInt32(static_cast<int32_t>(list.Items.size()));
  for (const auto& item : list.Items) {
    const std::string rec = MailIndexRecord(item);
    w.WriteBytes(rec.data(), rec.size());
  }
}

void WriteFailedList(TBinaryWriter& w, const TMailList& list) {
  for (size_t i = 0; i < list.Items.size(); ++i) {
    if (list.Items[i].ErrorText.empty()) continue;
    w.WriteInt32(static_cast<int32_t>(i));
    w.WriteStr(list.Items[i].ErrorText);
  }
}

void SaveMailList(const std::string& fileName, const TMailList& list, const TListProgress& progress) {
  SaveWhole(fileName, [&](TBinaryWriter& w) { WriteMailList(w, list, progress); });
}

void SaveMailIndex(const std::string& fileName, const TMailList& list) {
  SaveWhole(fileName, [&](TBinaryWriter& w) { WriteMailIndex(w, list); });
}

void SaveFailedList(const std::string& fileName, const TMailList& list) {
  SaveWhole(fileName, [&](TBinaryWriter& w) { WriteFailedList(w, list); });
}

void LoadMailList(const std::string& fileName, TMailList& list, const TListProgress& progress) {
  TFileHandle h;
  if (!OpenForReading(fileName, h)) return;
  TBinaryReader r(h);
  TMailList read;
  if (!r.ReadDouble(read.Prepared) || !r.ReadInt32(read.Reserved) || !r.ReadStr(read.Description) ||
      !r.ReadStr(read.Charset) || !r.ReadStr(read.ContentType))
    Damaged(fileName, "its header is cut short");
  if (!r.ReadStrings(read.Attachments)) Damaged(fileName, "its attachment list is cut short");
  int32_t n = 0;
  if (!r.ReadInt32(n)) Damaged(fileName, "the item count is missing");
  if (n < 0 || n > r.Remaining() / SmallestItem)
    Damaged(fileName, "it claims " + std::to_string(n) + " items, more than it holds");
  read.Items.resize(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TMailItem& item = read.Items[static_cast<size_t>(i)];
    if (!r.ReadStr(item.To) || !r.ReadStr(item.Subject) || !r.ReadStr(item.Body) || !r.ReadStr(item.ReportText))
      Damaged(fileName, "item " + std::to_string(i + 1) + " of " + std::to_string(n) + " is cut short");
    if (progress) progress(i + 1, n);
  }
  list = std::move(read);
}

void LoadMailIndex(const std::string& fileName, TMailList& list, int& sentCount, int& failedCount) {
  TFileHandle h;
  if (!OpenForReading(fileName, h)) return;
  TBinaryReader r(h);
  int32_t n = 0;
  if (!r.ReadInt32(n)) Damaged(fileName, "the record count is missing");
  if (n < 0 || n > r.Remaining() / MailIndexRecordSize)
    Damaged(fileName, "it claims " + std::to_string(n) + " records, more than it holds");
  if (list.Items.size() > static_cast<size_t>(n)) list.Items.resize(static_cast<size_t>(n));
  int sent = 0, failed = 0;
  for (auto& item : list.Items) {
    uint8_t s = 0, f = 0;
    double t = 0;
    r.ReadDouble(t);
    r.ReadByte(s);
    r.ReadByte(f);
    item.SentTime = t;
    item.Sent = s != 0;
    item.Failed = f != 0 && !item.Sent;
    sent += item.Sent;
    failed += item.Failed;
  }
  sentCount = sent;
  failedCount = failed;
}

void LoadFailedList(const std::string& fileName, TMailList& list) {
  TFileHandle h;
  if (!OpenForReading(fileName, h)) return;
  TBinaryReader r(h);
  std::vector<std::pair<int32_t, std::string>> records;
  while (!r.AtEnd()) {
    int32_t index = 0;
    std::string text;
    if (r.Remaining() < SmallestFailedRecord || !r.ReadInt32(index) || !r.ReadStr(text))
      Damaged(fileName, "record " + std::to_string(records.size() + 1) + " is cut short");
    records.emplace_back(index, std::move(text));
  }
  for (auto& [index, text] : records)
    if (index >= 0 && static_cast<size_t>(index) < list.Items.size())
      list.Items[static_cast<size_t>(index)].ErrorText = std::move(text);
}
