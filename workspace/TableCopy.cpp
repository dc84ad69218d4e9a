#include "workspace/TableCopy.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "db/Dbf.h"
#include "platform/FileHandle.h"
#include "platform/Routines.h"
#include "platform/SysUtils.h"
#include "platform/TextCodec.h"
#include "workspace/TableReplace.h"
#include "workspace/ValueConvert.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t MemoBlockSize = 512;
constexpr int NumberDecimals = 5;
constexpr int MaxTextLength = 254;
constexpr int MaxNameBytes = 10;
constexpr size_t FlushBytes = 1 << 20;

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void Put32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string FolderWithSlash(const std::string& file) {
  const fs::path p(file);
  return p.has_parent_path() ? p.parent_path().string() + "/" : std::string("./");
}

std::string MemoFileOf(const std::string& tableFile) {
  const fs::path p(tableFile);
  return (p.has_parent_path() ? p.parent_path() / (p.stem().string() + ".dbt") : fs::path(p.stem().string() + ".dbt"))
      .string();
}

// A point, exactly five decimals, no padding.
std::string Fixed5(double d) {
  if (!std::isfinite(d)) return {};
  char buf[512];
  auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, NumberDecimals);
  if (r.ec != std::errc()) return {};
  std::string s(buf, r.ptr);
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
  return s;
}

std::string TextToNumber(const std::string& s) {
  long double d;
  return TryStrToFloat(s, d) ? Fixed5(static_cast<double>(d)) : std::string();
}

std::string TextToDate(const std::string& s) {
  TDateTime d;
  return TryStrToDate(s, d) ? DateToDbf(d) : std::string();
}

std::string TextToLogical(const std::string& s) {
  const std::string l = LowerCase(s);
  if (l == "true" || l == "t") return "T";
  if (l == "false" || l == "f") return "F";
  return {};
}

// Buffered sequential writes, so a copy of many rows makes few system calls.
class TBufferedOut {
public:
  explicit TBufferedOut(TFileHandle& f) : f_(f) {}
  bool Put(const char* p, size_t n) {
    buf_.append(p, n);
    return buf_.size() < FlushBytes || Flush();
  }
  bool Put(const std::string& s) { return Put(s.data(), s.size()); }
  bool Flush() {
    const bool ok = buf_.empty() || f_.WriteExact(buf_.data(), static_cast<int64_t>(buf_.size()));
    buf_.clear();
    return ok;
  }

private:
  TFileHandle& f_;
  std::string buf_;
};

// The memos of one copy, appended block by block after the header.
class TMemoWriter {
public:
  bool Open(const std::string& path) {
    if (!file_.Open(path, TFileAccess::ReadWrite)) return false;
    size_ = file_.Size();
    if (size_ < MemoBlockSize || file_.Seek(size_) != size_) {
      file_.Close();
      return false;
    }
    return true;
  }
  bool IsOpen() const { return file_.IsOpen(); }
  // The block the text starts at; 0 when it could not be written.
  uint32_t Append(const std::string& text) {
    const int64_t pad = (MemoBlockSize - size_ % MemoBlockSize) % MemoBlockSize;
    const int64_t block = (size_ + pad) / MemoBlockSize;
    if (block > UINT32_MAX) return 0;
    static const char zeros[MemoBlockSize] = {};
    if (!out_.Put(zeros, static_cast<size_t>(pad)) || !out_.Put(text) || !out_.Put("\x1A\x1A", 2)) {
      failed_ = true;
      return 0;
    }
    size_ += pad + static_cast<int64_t>(text.size()) + 2;
    return static_cast<uint32_t>(block);
  }
  bool Failed() const { return failed_; }
  // Writes what is held and the next free block into the header.
  bool Close() {
    bool ok = out_.Flush() && !failed_;
    const int64_t next = (size_ + MemoBlockSize - 1) / MemoBlockSize;
    if (next > 1 && next <= UINT32_MAX) {
      char h[4];
      Put32(h, static_cast<uint32_t>(next));
      ok = file_.Seek(0) == 0 && file_.WriteExact(h, 4) && ok;
    }
    file_.Close();
    return ok;
  }

private:
  TFileHandle file_;
  TBufferedOut out_{file_};
  int64_t size_ = 0;
  bool failed_ = false;
};

struct TPlacedField {
  TFieldKind Kind;
  int Offset, Length;
  int Source;  // field index in the copied dataset, -1 when blank
  TFieldType SourceType;
};

}  // namespace

TCopyFieldDefs BuildCopyFieldDefs(TTableStructure& structure, TDataSet* source) {
  TCopyFieldDefs defs;
  const bool open = source && source->Active();
  for (TFieldStructure& e : structure) {
    if (open && (e.SourceName.empty() || source->FieldIndex(e.SourceName) < 0) && source->FieldIndex(e.Name) >= 0)
      e.SourceName = e.Name;
    defs.push_back({e.Name, e.SourceName, e.Kind, e.Size});
  }
  return defs;
}

char DbfTypeLetter(TFieldKind kind) { return KindLetter(kind); }

int DbfFieldLength(TFieldKind kind, int32_t size) {
  if (kind == fkText) return std::clamp<int32_t>(size, 1, MaxTextLength);
  return StructureFieldSize(kind, size);
}

int DbfFieldDecimals(TFieldKind kind) { return kind == fkNumber ? NumberDecimals : 0; }

TDbfDate TodayForDbf() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

std::string DateToDbf(TDateTime value) {
  if (!IsTableDate(value)) return {};
  int y = 0, m = 0, d = 0;
  DecodeDate(value, y, m, d);
  return DbfDateText(y, m, d);
}

bool WriteDbfHeader(const std::string& tableFile, TCopyFieldDefs& defs) {
  return WriteDbfHeader(tableFile, defs, TodayForDbf());
}

std::string DbfTableHeadBytes(TCopyFieldDefs& defs, const TDbfDate& date, uint32_t recordCount) {
  bool memo = false;
  std::vector<TDbfFieldDef> fields;
  for (TCopyFieldDef& d : defs) {
    d.Name = Utf8CutBytes(AnsiUpperCase(d.Name), MaxNameBytes);
    memo = memo || d.Kind == fkMemo;
    TDbfFieldDef f;
    f.Name = d.Name;
    f.Type = DbfTypeLetter(d.Kind);
    f.Length = static_cast<uint8_t>(DbfFieldLength(d.Kind, d.Size));
    f.Decimals = static_cast<uint8_t>(DbfFieldDecimals(d.Kind));
    fields.push_back(f);
  }
  TDbfHeader h;
  h.Version = memo ? 0x83 : 0x03;
  h.Year = date.Year;
  h.Month = date.Month;
  h.Day = date.Day;
  h.RecordCount = recordCount;
  return DbfEncodeTableHead(h, fields);
}

bool WriteDbfHeader(const std::string& tableFile, TCopyFieldDefs& defs, const TDbfDate& date) {
  bool memo = false;
  for (const TCopyFieldDef& d : defs) memo = memo || d.Kind == fkMemo;
  const std::string bytes = DbfTableHeadBytes(defs, date) + '\x1A';

  // Written beside the target under a name of our own, then renamed into place.
  const std::string fresh = MakeTempFileName(FolderWithSlash(tableFile), "~lp", "dbf");
  RemoveTableFiles(fresh);  // what a crashed write may have left under that name
  {
    TFileHandle f;
    const bool ok = f.Create(fresh) && f.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size())) && f.Flush();
    f.Close();
    if (!ok) {
      RemoveTableFiles(fresh);
      return false;
    }
  }
  if (memo) TDbfMemoFile::Create(MemoFileOf(fresh));  // without it the memo fields stay blank
  if (!ReplaceTableFiles(fresh, tableFile)) {
    RemoveTableFiles(fresh);
    return false;
  }
  return true;
}

std::string CopyFieldText(TFieldKind target, TFieldType sourceType, const TValue& v) {
  if (ValueIsNull(v)) return {};
  const TFieldKind from = FieldKind(sourceType);
  const bool textual = from == fkText || from == fkMemo;
  switch (target) {
    case fkText:
    case fkMemo:
      switch (from) {
        case fkNumber: return FloatToStr(ValueToFloat(v));
        case fkDateTime: return DateTimeToStr(ValueToFloat(v));
        case fkBoolean:
          if (target == fkText) return ValueBoolean(v) ? "T" : "F";
          return ValueBoolean(v) ? "True" : "False";
        default: return ValueText(v, sourceType);
      }
    case fkNumber:
      if (textual) return TextToNumber(ValueText(v, sourceType));
      if (from == fkBoolean) return Fixed5(ValueBoolean(v) ? 1.0 : 0.0);
      return Fixed5(ValueToFloat(v));
    case fkDateTime:
      if (textual) return TextToDate(ValueText(v, sourceType));
      if (from == fkBoolean) return DateToDbf(ValueBoolean(v) ? 1.0 : 0.0);
      return DateToDbf(ValueToFloat(v));
    case fkBoolean:
      if (textual) return TextToLogical(ValueText(v, sourceType));
      if (from == fkDateTime) return {};
      if (from == fkBoolean) return ValueBoolean(v) ? "T" : "F";
      return ValueToFloat(v) != 0.0 ? "T" : "F";
  }
  return {};
}

void PlaceFieldText(TFieldKind kind, const std::string& text, char* field, int length) {
  if (length <= 0) return;
  const size_t n = static_cast<size_t>(length);
  if (kind == fkNumber) {
    const size_t len = std::min(text.size(), n);
    std::memcpy(field + (n - len), text.data(), len);
    return;
  }
  const std::string cut = Utf8CutBytes(text, n);
  std::memcpy(field, cut.data(), cut.size());
}

TCopyResult CopyTable(const std::string& tableFile, TTableStructure& structure, TDataSet* source,
                      const TCopyRowsRequest& request) {
  TCopyResult result;
  TCopyFieldDefs defs = BuildCopyFieldDefs(structure, source);
  const TDbfDate date = request.Date.Year > 0 ? request.Date : TodayForDbf();
  result.TableWritten = WriteDbfHeader(tableFile, defs, date);
  if (!request.Restructure || !source || !source->Active() || source->IsEmpty()) return result;
  const TCopyOptions options = request.AskOptions ? request.AskOptions() : TCopyOptions{};
  if (!options.CopyData) return result;

  TDataSet rows;
  rows.SetFiltered(options.OnlyFiltered);
  if (request.Accept) rows.OnFilterRecord = [&](TDataSet& ds, bool& accept) { accept = request.Accept(ds); };
  rows.Clone(*source);
  rows.SetSort(options.Sorted ? source->Sort() : std::string());
  rows.First();
  if (request.Busy) request.Busy(true);
  struct TBusyEnd {
    const TCopyRowsRequest& r;
    ~TBusyEnd() {
      if (r.Busy) r.Busy(false);
    }
  } busyEnd{request};

  TFileHandle table;
  if (!result.TableWritten || !table.Open(tableFile, TFileAccess::ReadWrite, TFileShare::DenyWrite)) {
    result.Error = "Cannot open the table: " + tableFile;
    return result;
  }
  TMemoWriter memo;
  const std::string memoFile = MemoFileOf(tableFile);
  std::error_code ec;
  if (fs::exists(memoFile, ec)) memo.Open(memoFile);

  unsigned char head[32];
  const int64_t size = table.Size();
  if (size < 34 || !table.ReadExact(head, 32) || table.Seek(size - 1) != size - 1) {
    result.Error = "Cannot read the table: " + tableFile;
    if (memo.IsOpen()) memo.Close();
    return result;
  }
  const int recordLength = Get16(head + 10);
  std::vector<TPlacedField> placed;
  int offset = 1;
  for (const TCopyFieldDef& d : defs) {
    const int len = DbfFieldLength(d.Kind, d.Size);
    const int src = d.SourceName.empty() ? -1 : rows.FieldIndex(d.SourceName);
    placed.push_back({d.Kind, offset, len, src, src < 0 ? ftUnknown : rows.FieldDefs()[static_cast<size_t>(src)].DataType});
    offset += len;
  }
  if (offset != recordLength) {
    result.Error = "Cannot read the table: " + tableFile;
    if (memo.IsOpen()) memo.Close();
    return result;
  }

  TBufferedOut out(table);
  std::string record(static_cast<size_t>(recordLength), ' ');
  bool ok = true;
  uint32_t count = 0;
  int lastSeen = 0;
  while (rows.RecNo() > lastSeen && !rows.Eof()) {
    std::fill(record.begin(), record.end(), ' ');
    lastSeen = rows.RecNo();
    for (const TPlacedField& f : placed) {
      if (f.Source < 0) continue;
      const TValue& v = rows.CurrentValue(f.Source);
      if (ValueIsNull(v)) continue;
      const std::string text = CopyFieldText(f.Kind, f.SourceType, v);
      if (text.empty()) continue;
      if (f.Kind != fkMemo) {
        PlaceFieldText(f.Kind, text, &record[static_cast<size_t>(f.Offset)], f.Length);
      } else if (memo.IsOpen()) {
        const uint32_t block = memo.Append(text);
        if (block == 0) continue;
        char digits[16];
        std::snprintf(digits, sizeof digits, "%010u", block);
        PlaceFieldText(fkMemo, digits, &record[static_cast<size_t>(f.Offset)], f.Length);
      }
    }
    if (!out.Put(record) || count == UINT32_MAX) {
      ok = false;
      break;
    }
    ++count;
    rows.Next();
  }
  ok = out.Put("\x1A", 1) && out.Flush() && ok;
  Put32(reinterpret_cast<char*>(head) + 4, count);
  ok = table.Seek(0) == 0 && table.WriteExact(head, 32) && ok;
  if (memo.IsOpen()) ok = memo.Close() && ok;
  if (memo.Failed()) ok = false;
  table.Close();
  result.Rows = count;
  result.RowsCopied = ok;
  if (!ok) result.Error = "Cannot write the table: " + tableFile;
  return result;
}
