// dBase table timings: open a 100,000-row, 12-field table, sort it by a text
// column, filter every row, post one edit (UpdateBatch must not rewrite the
// file), append 10,000 records. Prints wall times and the peak memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "db/Connection.h"
#include "db/DateParts.h"
#include "db/Dbf.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

long PeakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

std::string Pad(std::string s, size_t n, bool right = false) {
  s.resize(std::min(s.size(), n));
  return right ? std::string(n - s.size(), ' ') + s : s + std::string(n - s.size(), ' ');
}

void WriteTable(const std::string& path, int rows) {
  std::vector<TDbfFieldDef> f = {{"NAME", 'C', 30, 0},  {"FIRST", 'C', 20, 0},  {"CITY", 'C', 25, 0},
                                 {"STREET", 'C', 40, 0}, {"ZIP", 'C', 8, 0},     {"EMAIL", 'C', 50, 0},
                                 {"AGE", 'N', 3, 0},     {"AMOUNT", 'N', 12, 2}, {"BORN", 'D', 8, 0},
                                 {"PAID", 'L', 1, 0},    {"SCORE", 'N', 15, 5},  {"CODE", 'C', 10, 0}};
  TDbfHeader h;
  h.Year = 2026;
  h.RecordCount = static_cast<uint32_t>(rows);
  std::ofstream out(path, std::ios::binary);
  out << DbfEncodeTableHead(h, f);
  std::mt19937 rng(42);
  for (int i = 0; i < rows; ++i) {
    std::string r = " ";
    r += Pad("Name" + std::to_string(rng() % 100000), 30);
    r += Pad("First" + std::to_string(i % 977), 20);
    r += Pad("City" + std::to_string(rng() % 500), 25);
    r += Pad(std::to_string(i) + " Long Street", 40);
    r += Pad(std::to_string(10000 + i % 90000), 8);
    r += Pad("person" + std::to_string(i) + "@example.com", 50);
    r += Pad(std::to_string(rng() % 100), 3, true);
    r += Pad(std::to_string(rng() % 100000) + ".25", 12, true);
    r += DbfDateText(1950 + static_cast<int>(rng() % 60), 1 + static_cast<int>(rng() % 12), 1 + static_cast<int>(rng() % 28));
    r += (i % 2) ? "T" : "F";
    r += Pad("3.14159", 15, true);
    r += Pad("C" + std::to_string(i), 10);
    out << r;
  }
  out << '\x1A';
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / "lpdb_bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "big.dbf").string();
  WriteTable(path, 100000);
  const auto fileSize = fs::file_size(path);
  const long baseKb = PeakKb();

  TADOConnection conn;
  conn.ConnectionString = "Provider=MSDataShape;Extended Properties=\"DBQ=" + dir.string() + "/;DefaultDir=" +
                          dir.string() + "/;Driver={Microsoft DBase Driver (*.dbf)}\"";
  TADOQuery q;
  q.SetConnection(&conn);
  q.SQL = "SELECT * FROM \"big.dbf\"";
  auto t = Clock::now();
  q.Open();
  const double openMs = Ms(t);
  const long peakKb = PeakKb();
  std::printf("open 100,000 x 12: %.0f ms (target < 1000), file %.1f MB, memory growth %.1f MB (target < %.1f MB)\n",
              openMs, fileSize / 1e6, (peakKb - baseKb) / 1024.0, 3 * fileSize / 1e6);

  t = Clock::now();
  q.SetSort("CITY ASC");
  std::printf("sort by a text column: %.0f ms\n", Ms(t));
  q.SetSort("");

  int seen = 0;
  q.OnFilterRecord = [&](TDataSet& ds, bool& accept) {
    ++seen;
    accept = ds.FieldByName("AGE").AsInteger() > 50;
  };
  t = Clock::now();
  q.SetFiltered(true);
  std::printf("filter callback over %d rows: %.0f ms, %d accepted\n", seen, Ms(t), q.RecordCount());
  q.SetFiltered(false);

  q.SetRecNo(50000);
  t = Clock::now();
  q.Edit();
  q.FieldByName("CITY").SetAsString("Edited");
  q.Post();
  q.UpdateBatch();
  std::printf("post one edit + UpdateBatch: %.3f ms\n", Ms(t));

  t = Clock::now();
  for (int i = 0; i < 10000; ++i) {
    q.Append();
    q.FieldByName("NAME").SetAsString("New" + std::to_string(i));
    q.FieldByName("AGE").SetAsInteger(i % 100);
    q.Post();
  }
  q.UpdateBatch();
  std::printf("append 10,000 records + UpdateBatch: %.0f ms\n", Ms(t));
  q.Close();
  fs::remove_all(dir);
  return 0;
}
