// Feeds arbitrary bytes as an Access database: every user table is listed and
// read whole through mdbtools.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/Driver.h"
#include "tests/support/FuzzScratch.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = (FuzzScratchDir("lpmdb_fuzz") / "f.mdb").string();
  WriteFuzzInput(path, data, size);
  try {
    auto driver = MakeAccessDriver(path);
    for (const std::string& name : driver->TableNames()) {
      TTableData t = driver->OpenTable(name);
      for (const auto& r : t.Rows) UnpackRow(r, t.Fields.size());
    }
  } catch (const EDatabaseError&) {
  }
  return 0;
}
