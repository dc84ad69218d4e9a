// Opening a 100,000-row dBase table: time from OpenDBFFile to the grid's first
// paint, a jump to the last row with its paint, and the memory used.
// Run offscreen: QT_QPA_PLATFORM=offscreen bench_workspace_open [rows]

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/Dbf.h"
#include "workspace/ui/TableUi.h"

namespace {

long ResidentKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::string(key).size(), nullptr, 10);
  return 0;
}

void WriteTable(const std::string& path, int rows) {
  std::vector<TDbfFieldDef> defs(4);
  defs[0].Name = "NAME";
  defs[0].Type = 'C';
  defs[0].Length = 30;
  defs[1].Name = "CITY";
  defs[1].Type = 'C';
  defs[1].Length = 20;
  defs[2].Name = "AMOUNT";
  defs[2].Type = 'N';
  defs[2].Length = 10;
  defs[2].Decimals = 2;
  defs[3].Name = "PAID";
  defs[3].Type = 'L';
  defs[3].Length = 1;
  TDbfHeader h;
  h.RecordCount = static_cast<uint32_t>(rows);
  h.Year = 2024;
  std::string out = DbfEncodeTableHead(h, defs);
  char buf[128];
  for (int i = 0; i < rows; ++i) {
    std::snprintf(buf, sizeof buf, " %-30.30s%-20.20s%10.2f%c", ("Customer " + std::to_string(i)).c_str(),
                  (i % 7 ? "Berlin" : "Rome"), i * 1.25, i % 2 ? 'T' : 'F');
    out += buf;
  }
  out += '\x1A';
  std::ofstream(path, std::ios::binary | std::ios::trunc) << out;
}

class TPaintWatch : public QObject {
public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return false;
  }
};

double WaitForPaint(QTableView* view, TPaintWatch& watch, QElapsedTimer& t) {
  watch.painted = false;
  view->viewport()->update();
  while (!watch.painted) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string home = std::filesystem::temp_directory_path().string() + "/lp_bench_open";
  std::filesystem::create_directories(home);
  setenv("LARKPOST_HOME", home.c_str(), 0);
  setenv("LARKPOST_REGISTRY", (home + "/registry.reg").c_str(), 0);
  QApplication app(argc, argv);
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const std::string path = home + "/Bench.dbf";
  WriteTable(path, rows);
  std::filesystem::remove(home + "/Bench.cfg");

  QWidget window;
  window.resize(1000, 700);
  auto* grid = new QTableView(&window);
  grid->resize(1000, 660);
  auto* status = new QLabel(&window);
  status->move(0, 670);
  TAppSettings settings(SettingsRegistry());
  TTableWorkspace workspace;
  TTableUi ui(workspace, settings, &window, grid, status);
  window.show();
  QCoreApplication::processEvents();
  TPaintWatch watch;
  grid->viewport()->installEventFilter(&watch);

  const long rssBefore = ResidentKb("VmRSS:");
  QElapsedTimer t;
  t.start();
  ui.OpenDBFFile(path);
  const double opened = t.nsecsElapsed() / 1e6;
  const double firstPaint = WaitForPaint(grid, watch, t);
  const long rssAfter = ResidentKb("VmRSS:");

  QElapsedTimer j;
  j.start();
  workspace.ADOQuery1.Last();
  const double lastPaint = WaitForPaint(grid, watch, j);

  QElapsedTimer s;
  s.start();
  ui.RxDBGrid1TitleBtnClick(1);
  const double sortPaint = WaitForPaint(grid, watch, s);

  std::printf("rows %d (%d in the grid)\n", rows, grid->model()->rowCount());
  std::printf("OpenDBFFile          %9.1f ms\n", opened);
  std::printf("to first paint       %9.1f ms\n", firstPaint);
  std::printf("Last + paint         %9.1f ms\n", lastPaint);
  std::printf("title sort + paint   %9.1f ms\n", sortPaint);
  std::printf("memory: %ld kB resident before, %ld kB after (+%ld kB), peak %ld kB\n", rssBefore, rssAfter,
              rssAfter - rssBefore, ResidentKb("VmHWM:"));
  ui.CloseTable0Click();
  std::filesystem::remove_all(home);
  return 0;
}
