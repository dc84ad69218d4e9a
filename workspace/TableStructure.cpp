#include "workspace/TableStructure.h"

#include <utility>

#include "db/DataSet.h"
#include "platform/SysUtils.h"

namespace {

constexpr int32_t MaxTextSize = 254;

bool ValidIndex(const TTableStructure& s, int index) { return index >= 0 && static_cast<size_t>(index) < s.size(); }

bool HasPickList(TFieldKind kind) { return kind == fkText || kind == fkNumber || kind == fkDateTime; }

}  // namespace

int32_t StructureFieldSize(TFieldKind kind, int32_t textSize) {
  switch (kind) {
    case fkText: return textSize;
    case fkNumber: return 15;
    case fkDateTime: return 8;
    case fkBoolean: return 1;
    case fkMemo: return 10;
  }
  return textSize;
}

char KindLetter(TFieldKind kind) {
  static const char letters[] = {'C', 'N', 'D', 'L', 'M'};
  return kind <= fkMemo ? letters[kind] : 'C';
}

int KindOfLetter(const std::string& letter) {
  static const char* const letters[] = {"C", "N", "D", "L", "M"};
  for (int k = 0; k <= fkMemo; ++k)
    if (letter == letters[k]) return k;
  return -1;
}

const std::vector<std::string>& FieldTypeNames() {
  static const std::vector<std::string> names = {"Character", "Number", "Date", "Logical", "Memo"};
  return names;
}

const std::vector<std::string>& StructureGridTitles() {
  static const std::vector<std::string> titles = {"Name", "Type", "Size"};
  return titles;
}

TTableStructure BuildTableStructure(TDataSet& table, const TFormFieldsArray& fields) {
  TTableStructure s;
  const int n = table.Active() ? table.FieldCount() : 0;
  for (int i = 0; i < n; ++i) {
    TField& f = table.Fields(i);
    TFieldStructure e;
    e.SourceName = e.Name = f.FieldName();
    e.Kind = FieldKind(f.DataType());
    e.Size = StructureFieldSize(e.Kind, f.Size());
    if (static_cast<size_t>(i) < fields.size()) {
      const TFormFieldsGroup& g = fields[static_cast<size_t>(i)];
      e.EditorWidth = g.Width;
      e.ColumnWidth = g.ColumnWidth;
      e.Template = g.Template;
      e.Autocomplete = g.Autocomplete;
      if (HasPickList(e.Kind)) e.PickList = g.PickList;
    }
    s.push_back(std::move(e));
  }
  return s;
}

std::vector<TStructureGridRow> StructureGridRows(const TTableStructure& s) {
  std::vector<TStructureGridRow> rows;
  rows.reserve(s.size());
  for (const TFieldStructure& e : s)
    rows.push_back({e.Name, std::string(1, KindLetter(e.Kind)), e.Kind == fkText ? IntToStr(e.Size) : std::string()});
  return rows;
}

int AddStructureEntry(TTableStructure& s) {
  s.emplace_back();
  return static_cast<int>(s.size()) - 1;
}

void DeleteStructureEntry(TTableStructure& s, int index) {
  if (ValidIndex(s, index)) s.erase(s.begin() + index);
}

int MoveStructureEntryUp(TTableStructure& s, int index) {
  if (!ValidIndex(s, index) || index == 0) return index;
  std::swap(s[static_cast<size_t>(index)], s[static_cast<size_t>(index - 1)]);
  return index - 1;
}

int MoveStructureEntryDown(TTableStructure& s, int index) {
  if (!ValidIndex(s, index) || static_cast<size_t>(index) + 1 >= s.size()) return index;
  std::swap(s[static_cast<size_t>(index)], s[static_cast<size_t>(index + 1)]);
  return index + 1;
}

TEditFieldInput EditFieldOnShow(const std::vector<TStructureGridRow>& rows, int selectedRow, bool isNew) {
  TEditFieldInput in;
  if (isNew || selectedRow < 0 || static_cast<size_t>(selectedRow) >= rows.size()) {
    in.TypeIndex = fkText;
    return in;
  }
  const TStructureGridRow& r = rows[static_cast<size_t>(selectedRow)];
  in.Name = r.Name;
  in.TypeIndex = KindOfLetter(r.Type);
  in.SizeText = r.Size;
  return in;
}

std::string CheckEditField(const TEditFieldInput& input, const std::vector<TStructureGridRow>& rows, int selectedRow) {
  if (input.Name.empty()) return "Field Name Required";
  if (input.TypeIndex == fkText) {
    if (input.SizeText.empty()) return "Field Size Required";
    int size = 0;
    if (!TryStrToInt(input.SizeText, size)) return "Invalid Size";
    if (size < 1) return "Field Size Required";
    if (size > MaxTextSize) return "Maximum Size of Field is 254";
  }
  const std::string upper = AnsiUpperCase(input.Name);
  for (size_t i = 0; i < rows.size(); ++i)
    if (static_cast<int>(i) != selectedRow && rows[i].Name == upper)
      return "Duplicate Field Name - \"" + input.Name + "\"";
  return {};
}

void ApplyEditField(TFieldStructure& entry, const TEditFieldInput& input) {
  entry.Name = AnsiUpperCase(input.Name);
  if (input.TypeIndex < fkText || input.TypeIndex > fkMemo) return;
  entry.Kind = static_cast<TFieldKind>(input.TypeIndex);
  int size = 0;
  if (entry.Kind == fkText) TryStrToInt(input.SizeText, size);
  entry.Size = StructureFieldSize(entry.Kind, size);
}

void CopyOptionsOnShow(TCopyOptions& options, bool tableFiltered, bool gridSorted) {
  if (!tableFiltered) options.OnlyFiltered = false;
  if (!gridSorted) options.Sorted = false;
}

TCopyOptionsEnabled CopyOptionsEnabled(const TCopyOptions& options, bool tableFiltered, bool gridSorted) {
  return {options.CopyData && tableFiltered, options.CopyData && gridSorted};
}

bool GiveBackEditorSettings(const TTableStructure& s, TFormFieldsArray& fields) {
  if (s.size() != fields.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const TFieldStructure& e = s[i];
    TFormFieldsGroup& g = fields[i];
    if (e.EditorWidth > 0) g.Width = e.EditorWidth;
    if (e.ColumnWidth > 0) g.ColumnWidth = e.ColumnWidth;
    if (HasPickList(e.Kind)) g.PickList = e.PickList ? *e.PickList : std::vector<std::string>();
    g.Template = e.Template;
    g.Autocomplete = e.Autocomplete;
  }
  return true;
}
