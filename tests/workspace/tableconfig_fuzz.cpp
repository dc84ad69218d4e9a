// Feeds arbitrary bytes as a table's view configuration ".cfg" over a table
// of one field of each kind: whatever is read must write back to a file that
// reads as the same view.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "workspace/TableWorkspace.h"
#include "tests/support/FuzzScratch.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> FieldNames = {"NAME", "AGE", "BORN", "PAID", "NOTES"};

TFormFieldsArray FreshFields() {
  TFormFieldsArray fields(FieldNames.size());
  const TFieldKind kinds[] = {fkText, fkNumber, fkDateTime, fkBoolean, fkMemo};
  for (size_t i = 0; i < fields.size(); ++i) {
    fields[i].Kind = kinds[i];
    fields[i].Width = 10;
    fields[i].ColumnWidth = 64;
  }
  return fields;
}

bool SameView(const TSortState& a, const TFormFieldsArray& fa, const TSortState& b, const TFormFieldsArray& fb) {
  if (a.SortField != b.SortField || a.SortOn != b.SortOn || a.Descending != b.Descending) return false;
  for (size_t i = 0; i < fa.size(); ++i)
    if (fa[i].Width != fb[i].Width || fa[i].ColumnWidth != fb[i].ColumnWidth || fa[i].Template != fb[i].Template ||
        fa[i].Autocomplete != fb[i].Autocomplete || fa[i].PickList != fb[i].PickList)
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path dir = FuzzScratchDir("lpcfg_fuzz");
  const std::string path = (dir / "t.cfg").string();
  WriteFuzzInput(path, data, size);
  TSortState sort;
  TFormFieldsArray fields = FreshFields();
  ReadTableConfig(path, sort, FieldNames, fields);
  for (const auto& f : fields)
    if (f.PickList.size() > static_cast<size_t>(PickListLimit)) std::abort();

  TSortState written = sort;
  if (!WriteTableConfig(path, written, FieldNames, fields)) return 0;
  TSortState sortAgain;
  TFormFieldsArray again = FreshFields();
  ReadTableConfig(path, sortAgain, FieldNames, again);
  // Writing drops the sort field of a sort that is off.
  if (!sort.SortOn) sort.SortField.clear();
  if (!SameView(sort, fields, sortAgain, again)) std::abort();
  return 0;
}
