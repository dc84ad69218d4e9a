// Feeds arbitrary bytes to the dBase reader as a table (first part) and its
// memo file (the rest, after the first 0xFE 0xFE pair, as both a dBase and a
// FoxPro memo file), then writes through the same file: the first record
// rewritten from its own values, appended again, and marked deleted.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/Dbf.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("lpdb_fuzz_" + std::to_string(getpid()));
    fs::create_directories(d);
    return d;
  }();
  std::string all(reinterpret_cast<const char*>(data), size);
  std::string table = all, memo;
  if (size_t cut = all.find("\xFE\xFE"); cut != std::string::npos) {
    table = all.substr(0, cut);
    memo = all.substr(cut + 2);
  }
  {
    std::ofstream(dir / "f.dbf", std::ios::binary | std::ios::trunc) << table;
    std::ofstream(dir / "f.dbt", std::ios::binary | std::ios::trunc) << memo;
    std::ofstream(dir / "f.fpt", std::ios::binary | std::ios::trunc) << memo;
  }
  try {
    TTableData t = DbfReadTable((dir / "f.dbf").string());
    for (const auto& r : t.Rows) UnpackRow(r, t.Fields.size());
  } catch (const EDatabaseError&) {
  }
  try {
    TDbfFile f;
    f.Open((dir / "f.dbf").string(), true);
    std::string record;
    if (f.UsableRecords() > 0 && f.ReadRecords(0, 1, record)) {
      std::vector<TValue> values;
      for (int i : f.VisibleFields()) values.push_back(f.DecodeField(f.Fields()[static_cast<size_t>(i)], record.data()));
      f.WriteRecord(0, f.EncodeRecord(values));
      f.AppendRecord(f.EncodeRecord(values));
      f.MarkDeleted(0);
    }
  } catch (const EDatabaseError&) {
  } catch (const EConvertError&) {
  }
  return 0;
}
