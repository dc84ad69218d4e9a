// Row rules timings: filter a 100,000-row dBase table with a three-condition
// filter that names one calculated field, and colour one screen of rows with
// sixteen enabled highlight rules (first paint, then a repaint from the cache).
//
//   bench_workspace_filter [rows]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "db/Connection.h"
#include "db/Dbf.h"
#include "workspace/RowRules.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

std::string Pad(std::string s, size_t n, bool right = false) {
  s.resize(std::min(s.size(), n));
  return right ? std::string(n - s.size(), ' ') + s : s + std::string(n - s.size(), ' ');
}

void WriteTable(const std::string& path, int rows) {
  const std::vector<TDbfFieldDef> f = {{"F_NAME", 'C', 20, 0}, {"L_NAME", 'C', 20, 0}, {"CITY", 'C', 20, 0},
                                       {"E_MAIL", 'C', 40, 0}, {"AGE", 'N', 3, 0},     {"SCORE", 'N', 8, 2}};
  TDbfHeader h;
  h.Year = 2026;
  h.RecordCount = static_cast<uint32_t>(rows);
  std::ofstream out(path, std::ios::binary);
  out << DbfEncodeTableHead(h, f);
  const char* last[] = {"Smith", "Jones", "Brown", "Miller", "Davis"};
  std::mt19937 rng(7);
  for (int i = 0; i < rows; ++i) {
    std::string r = " ";
    r += Pad("First" + std::to_string(i % 311), 20);
    r += Pad(last[rng() % 5], 20);
    r += Pad("City" + std::to_string(rng() % 90), 20);
    r += Pad("p" + std::to_string(i) + "@example.com", 40);
    r += Pad(std::to_string(rng() % 90), 3, true);
    r += Pad(std::to_string(rng() % 100) + ".50", 8, true);
    out << r;
  }
  out << '\x1A';
}

class TCalc : public ICalcFieldSource {
public:
  std::map<std::string, TCalcFieldDef> fields;
  bool FindCalcField(const std::string& name, TCalcFieldDef& def) const override {
    auto it = fields.find(name);
    if (it == fields.end()) return false;
    def = it->second;
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
  const fs::path dir = fs::temp_directory_path() / "lp_rowrules_bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  WriteTable((dir / "big.dbf").string(), rows);

  TADOConnection conn;
  conn.ConnectionString = "Provider=MSDataShape;Extended Properties=\"DBQ=" + dir.string() +
                          "/;DefaultDir=" + dir.string() + "/;Driver={Microsoft DBase Driver (*.dbf)}\"";
  TADOQuery q;
  q.SetConnection(&conn);
  q.SQL = "SELECT * FROM \"big.dbf\"";
  q.Open();

  TFastEval ev;
  ev.SetStringSign(ssApostrophe);
  ev.SetCommentSign(csQMark);
  TRowRules rules(ev);
  TCalc calc;
  calc.fields["ADULT"] = {"Age >= 18", true, cftBoolean};
  rules.SetCalcFieldSource(&calc);
  rules.UseHighlight = true;
  rules.TableQuery = &q;
  q.OnFilterRecord = rules.FilterCallback();

  rules.CompileRowExpressions("L_NAME = 'Smith' and ADULT and Score < 50");
  auto t = Clock::now();
  q.SetFiltered(true);
  const double filterMs = Ms(t);
  std::printf("filter %d rows (L_NAME = 'Smith' and ADULT and Score < 50): %.0f ms, %.0f rows/s, %d accepted\n", rows,
              filterMs, rows / (filterMs / 1000.0), q.RecordCount());
  q.SetFiltered(false);

  // Sixteen rules, the first fifteen false for most rows: most rows try them all.
  for (int i = 0; i < HighlightSlotCount; ++i) {
    rules.HighlightSlots[i].Enabled = true;
    rules.HighlightSlots[i].Expression =
        i < 15 ? "Age = " + std::to_string(200 + i) + " or L_NAME = 'Nobody" + std::to_string(i) + "'" : "ADULT";
  }
  rules.CompileRowExpressions("");
  const int screen = 40;
  auto row = [&](int recNo) {
    return [&q, recNo]() -> IFieldSource* {
      q.SetRecNo(recNo);
      return &q;
    };
  };
  const int columns = 6;
  int coloured = 0;
  t = Clock::now();
  for (int r = 1; r <= screen; ++r)
    for (int c = 0; c < columns; ++c)
      coloured += rules.CellColor(q.Fields(c).FieldName(), "", 14, r, row(r)) != DefaultRowColor;
  const double firstMs = Ms(t);
  t = Clock::now();
  for (int r = 1; r <= screen; ++r)
    for (int c = 0; c < columns; ++c) rules.CellColor(q.Fields(c).FieldName(), "", 14, r, row(r));
  const double againMs = Ms(t);
  std::printf(
      "colour one screen (%d rows x %d columns, 16 enabled rules): %.2f ms first paint, %.3f ms repaint; "
      "%d cells coloured\n",
      screen, columns, firstMs, againMs, coloured);
  q.Close();
  fs::remove_all(dir);
  return 0;
}
