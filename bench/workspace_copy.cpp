// Restructure Table and Add Table over 100,000 rows with a memo field: writing
// the table from memory, Save As with a changed layout (rows read back from the
// file), and appending all rows to another table in one batch. Prints rows/s.
// Usage: bench_workspace_copy [rows]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "db/Connection.h"
#include "platform/SysUtils.h"
#include "workspace/AddTable.h"
#include "workspace/TableCopy.h"
#include "workspace/TableSaveAs.h"
#include "workspace/TableStructure.h"
#include "workspace/TableWorkspace.h"

namespace fs = std::filesystem;

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point since) { return std::chrono::duration<double>(TClock::now() - since).count(); }

void Report(const char* what, int rows, double s) {
  std::printf("%-44s %8d rows %8.3f s %12.0f rows/s\n", what, rows, s, s > 0 ? rows / s : 0.0);
}

TFieldStructure Entry(const std::string& source, const std::string& name, TFieldKind kind, int size = 0) {
  TFieldStructure e;
  e.SourceName = source;
  e.Name = name;
  e.Kind = kind;
  e.Size = StructureFieldSize(kind, size);
  return e;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
  SetFormatSettings(TFormatSettings::Default());
  const fs::path dir = fs::temp_directory_path() / ("lp_bench_copy_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string folder = dir.string() + "/";

  // The source rows in memory.
  TDataSet mem;
  {
    TTableData d;
    d.Fields = {{"NAME", ftString, 30}, {"CITY", ftString, 20}, {"AMOUNT", ftFloat}, {"BORN", ftDate},
                {"PAID", ftBoolean}, {"NOTES", ftMemo}};
    const std::string note(180, 'n');
    for (int i = 0; i < rows; ++i)
      d.Rows.push_back(PackRow({std::string("Customer " + std::to_string(i)), std::string(i % 7 ? "Berlin" : "Rome"),
                                i * 1.25, 40000.0 + i % 9000, i % 2 == 0,
                                i % 5 ? TValue(note + std::to_string(i)) : TValue()}));
    d.ReadOnlyReason = "read-only";
    mem.OpenData(std::move(d));
  }

  // 1. Writing the table from memory.
  TTableStructure s;
  {
    TFormFieldsArray none;
    s = BuildTableStructure(mem, none);
  }
  TCopyRowsRequest rq;
  rq.Restructure = true;
  auto t0 = TClock::now();
  TCopyResult r = CopyTable(folder + "clients.dbf", s, &mem, rq);
  Report("CopyTable from memory (memo every 5th row off)", static_cast<int>(r.Rows), Seconds(t0));
  mem.Close();

  // 2. Restructure and Save As over its own file: open, copy with a changed layout, replace.
  TADOConnection conn;
  conn.ConnectionString = SavedTableConnectionString(folder);
  TADOQuery q;
  q.SetConnection(&conn);
  q.SQL = "SELECT * FROM \"clients.dbf\"";
  t0 = TClock::now();
  q.Open();
  Report("open the table (driver read)", q.RecordCount(), Seconds(t0));
  TTableStructure re = BuildTableStructure(q, {});
  re[0].Name = "FULLNAME";
  re[1].Size = 12;
  re.erase(re.begin() + 4);
  re.push_back(Entry("", "REMARK", fkText, 10));
  q.SetSort("CITY DESC");
  TSaveAsRequest save;
  save.Target = folder + "clients.dbf";
  save.Source = &q;
  save.Copy.Restructure = true;
  save.Copy.AskOptions = [] { return TCopyOptions{true, false, true}; };
  save.CloseTables = [&] { q.Close(); };
  t0 = TClock::now();
  const TSaveAsResult sr = SaveStructureAs(re, save);
  Report("Save As restructured, sorted, onto itself", static_cast<int>(sr.Rows), Seconds(t0));
  if (!sr.Saved) std::printf("  failed: %s\n", sr.Error.c_str());

  // 3. Add Table: all rows appended to an empty table with the same layout.
  TCopyFieldDefs defs{{"FULLNAME", "", fkText, 30}, {"CITY", "", fkText, 20}, {"AMOUNT", "", fkNumber, 0},
                      {"BORN", "", fkDateTime, 0},  {"NOTES", "", fkMemo, 0},  {"REMARK", "", fkText, 10}};
  WriteDbfHeader(folder + "target.dbf", defs);
  TADOConnection tconn;
  tconn.ConnectionString = SavedTableConnectionString(folder);
  TADOQuery target;
  target.SetConnection(&tconn);
  target.SQL = "SELECT * FROM \"target.dbf\"";
  target.Open();
  TAddTableSession session;
  session.Connect(folder + "clients.dbf");
  session.OpenSource("clients.dbf");
  session.BuildMapping(target);
  t0 = TClock::now();
  const TAddTableResult ar = session.Add(target, {});
  Report("Add Table (append loop and one batch)", ar.Added, Seconds(t0));
  session.Disconnect();
  target.Close();

  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
