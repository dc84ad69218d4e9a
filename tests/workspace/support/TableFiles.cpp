#include "support/TableFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "db/Dbf.h"

void WriteTestDbf(const std::string& path, const std::vector<TTestField>& fields,
                  const std::vector<std::vector<std::string>>& rows) {
  std::vector<TDbfFieldDef> defs;
  for (const TTestField& f : fields) {
    TDbfFieldDef d;
    d.Name = f.Name;
    d.Type = f.Type;
    d.Length = static_cast<uint8_t>(f.Length);
    d.Decimals = static_cast<uint8_t>(f.Decimals);
    defs.push_back(d);
  }
  TDbfHeader h;
  h.Version = 0x03;
  h.Year = 2024;
  h.Month = 5;
  h.Day = 1;
  h.RecordCount = static_cast<uint32_t>(rows.size());
  std::string out = DbfEncodeTableHead(h, defs);
  for (const auto& row : rows) {
    std::string rec = " ";
    for (size_t i = 0; i < fields.size(); ++i) {
      const TTestField& f = fields[i];
      std::string v = i < row.size() ? row[i] : std::string();
      if (f.Type == 'N') {
        if (v.size() < static_cast<size_t>(f.Length)) v = std::string(f.Length - v.size(), ' ') + v;
      } else if (f.Type == 'L') {
        v = v.empty() ? "?" : v;
      }
      v.resize(static_cast<size_t>(f.Length), ' ');
      rec += v;
    }
    out += rec;
  }
  out += '\x1A';
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << out;
}

void CutTestDbf(const std::string& path, int keptRecords) {
  std::string b;
  {
    std::ifstream in(path, std::ios::binary);
    b.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const size_t head = static_cast<unsigned char>(b[8]) | (static_cast<unsigned char>(b[9]) << 8);
  const size_t rec = static_cast<unsigned char>(b[10]) | (static_cast<unsigned char>(b[11]) << 8);
  b.resize(head + rec * static_cast<size_t>(keptRecords) + 3);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << b;
}

std::string MakeTestFolder(const std::string& tag) {
  std::string base = std::filesystem::temp_directory_path().string() + "/lp_tables_" + tag + "_XXXXXX";
  std::vector<char> buf(base.begin(), base.end());
  buf.push_back('\0');
  const char* dir = mkdtemp(buf.data());
  return std::string(dir ? dir : "/tmp") + "/";
}
