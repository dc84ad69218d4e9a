// The per-table view configuration: sort, widths, record-editor marks and pick lists.

#include <filesystem>

#include "platform/FileHandle.h"
#include "platform/SysUtils.h"
#include "toolkit/StrFile.h"
#include "workspace/TableWorkspace.h"

namespace {

// Sort names of 12 or more characters make the whole file unreadable to us.
constexpr int32_t MaxSortNameLength = 12;

void WriteByte(TFileHandle& h, bool b) {
  const char c = b ? 1 : 0;
  h.WriteExact(&c, 1);
}

bool ReadByte(TFileHandle& h, bool& b) {
  char c = 0;
  if (!h.ReadExact(&c, 1)) return false;
  b = c != 0;
  return true;
}

bool HasPickList(TFieldKind k) { return k == fkText || k == fkNumber || k == fkDateTime; }

}  // namespace

std::string TableConfigPath(const std::string& dataBaseDir, const std::string& tableName) {
  std::string base = tableName;
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos) base.erase(dot);
  return dataBaseDir + base + ".cfg";
}

bool WriteTableConfig(const std::string& path, TSortState& sort, const std::vector<std::string>& fieldNames,
                      const TFormFieldsArray& fields) {
  TFileHandle h;
  if (!h.Create(path)) return false;
  if (!sort.SortOn) sort.SortField.clear();
  WriteStr(h, sort.SortField);
  WriteByte(h, sort.Descending);
  WriteInt32(h, static_cast<int32_t>(fields.size()));
  for (size_t i = 0; i < fields.size(); ++i) {
    const TFormFieldsGroup& f = fields[i];
    WriteStr(h, i < fieldNames.size() ? fieldNames[i] : std::string());
    WriteInt32(h, f.Width);
    WriteByte(h, f.Template);
    WriteByte(h, f.Autocomplete);
    WriteInt32(h, f.ColumnWidth);
    if (HasPickList(f.Kind)) {
      WriteInt32(h, static_cast<int32_t>(f.PickList.size()));
      for (const std::string& s : f.PickList) WriteStr(h, s);
    }
  }
  h.Close();
  return true;
}

void ReadTableConfig(const std::string& path, TSortState& sort, const std::vector<std::string>& fieldNames,
                     TFormFieldsArray& fields) {
  TFileHandle h;
  if (!h.Open(path, TFileAccess::Read)) return;
  int32_t len = 0;
  if (!ReadInt32(h, len)) return;
  if (len >= MaxSortNameLength || len < 0) return;
  h.Seek(-4, TSeekOrigin::Current);
  std::string sortField;
  bool desc = false;
  if (!ReadStr(h, sortField) || !ReadByte(h, desc)) return;
  sort.SortField = sortField;
  sort.SortOn = !sortField.empty();
  sort.Descending = desc;

  int32_t count = 0;
  if (!ReadInt32(h, count)) return;
  if (count != static_cast<int32_t>(fields.size())) return;
  for (size_t i = 0; i < fields.size(); ++i) {
    TFormFieldsGroup& f = fields[i];
    std::string name;
    int32_t width = 0, columnWidth = 0;
    bool templ = false, autoc = false;
    if (!ReadStr(h, name)) return;
    // A renamed or moved field puts the rest of the file out of step: stop here.
    const std::string& own = i < fieldNames.size() ? fieldNames[i] : std::string();
    if (AnsiCompareText(name, own) != 0) return;
    if (!ReadInt32(h, width) || !ReadByte(h, templ) || !ReadByte(h, autoc) || !ReadInt32(h, columnWidth))
      return;
    if (width >= 1) f.Width = width;
    f.Template = templ;
    f.Autocomplete = autoc;
    if (columnWidth >= 1) f.ColumnWidth = columnWidth;
    if (HasPickList(f.Kind)) {
      int32_t n = 0;
      if (!ReadInt32(h, n) || n > PickListLimit || n < 0) return;
      std::vector<std::string> list;
      for (int32_t k = 0; k < n; ++k) {
        std::string s;
        if (!ReadStr(h, s)) return;
        list.push_back(std::move(s));
      }
      f.PickList = std::move(list);
    }
  }
}
