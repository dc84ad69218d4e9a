#include "DbTestSupport.h"

#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/SysUtils.h"

namespace fs = std::filesystem;

std::string TestDataDir() {
  if (const char* d = std::getenv("LARKPOST_TESTDATA"); d && fs::is_directory(d)) return d;
  if (const char* s = std::getenv("LARKPOST_SOURCE_DIR")) return (fs::path(s) / ".." / "shared" / "testdata").string();
  return "/work/shared/testdata";
}

std::string MakeTempDir(const std::string& tag) {
  std::random_device rd;
  fs::path p = fs::temp_directory_path() / ("lpdb_" + tag + "_" + std::to_string(rd()));
  fs::remove_all(p);
  fs::create_directories(p);
  return p.string();
}

std::string DbfConnectionString(const std::string& folder) {
  std::string f = folder.back() == '/' ? folder : folder + "/";
  return "Provider=MSDataShape;Extended Properties=\"DBQ=" + f + ";DefaultDir=" + f +
         ";Driver={Microsoft DBase Driver (*.dbf)}\"";
}

std::string MdbConnectionString(const std::string& file) {
  fs::path p(file);
  return "Provider=MSDataShape;Extended Properties=\"DBQ=" + p.filename().string() + ";DefaultDir=" +
         p.parent_path().string() + "/;Driver={Microsoft Access Driver (*.mdb)}\"";
}

std::string CopyInto(const std::string& file, const std::string& folder, const std::string& newName) {
  fs::path to = fs::path(folder) / (newName.empty() ? fs::path(file).filename().string() : newName);
  fs::copy_file(file, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
  return to.string();
}

void OpenTable(TADOConnection& conn, TADOQuery& q, const std::string& table) {
  q.SetConnection(&conn);
  q.SQL = "SELECT * FROM \"" + table + "\"";
  q.Open();
}

std::string RunPython(const std::string& script) {
  // A folder of its own: ctest runs tests side by side.
  const std::string dir = MakeTempDir("python");
  const std::string file = dir + "/check.py";
  {
    std::ofstream f(file);
    f << script;
  }
  std::string out;
  FILE* p = popen(("/usr/bin/python3 " + file + " 2>&1").c_str(), "r");
  if (!p) return "popen failed";
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  fs::remove_all(dir);
  return out;
}

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), {});
}

void Spit(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << bytes;
}

void Put16(std::string& bytes, size_t at, uint16_t v) {
  for (int i = 0; i < 2; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Put32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
