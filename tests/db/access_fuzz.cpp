// Feeds arbitrary bytes as an Access database: every user table is listed and
// read whole through mdbtools.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/Driver.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    fs::path d = fs::temp_directory_path() / ("lpmdb_fuzz_" + std::to_string(getpid()));
    fs::create_directories(d);
    return (d / "f.mdb").string();
  }();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
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
