// Prepare over a 100,000-record dBase table with a 5 KB HTML body of five
// tags (SALUTATION a calculated field evaluated by the main window's real
// tag source and evaluator, no window) and two report fields, into a fresh
// data folder; prints records/s, the peak memory against the size of
// "Maillist.dat", and the time the mailing window takes to load the list
// back. An argument sets the record count.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/BenchClock.h"
#include "bench/ClientsTable.h"
#include "mailing/MailListFiles.h"
#include "mailing/Merge.h"
#include "mailing/PreparedMailing.h"
#include "mailing/Project.h"
#include "mailing/TableTagSource.h"
#include "tests/mailing/support/MergeFakes.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "toolkit/FastEval.h"
#include "toolkit/Reader.h"
#include "workspace/CalcFields.h"
#include "workspace/MergeReader.h"
#include "workspace/RowRules.h"

namespace fs = std::filesystem;

namespace {

// The mailing window's side: only the state is kept.
class TQuietView : public IMailingView {
public:
  TSendState SendState() const override { return state_; }
  void SetSendState(TSendState s) override { state_ = s; }
  void SetWaitCursor(bool) override {}
  void ShowDescription(const std::string&) override {}
  void ShowStatus(const std::string&) override {}
  void ShowCounters() override {}
  void ResetProgress() override {}
  void ShowProgress(int, int) override {}
  void UpdateCaption() override {}
  void ShowError(const std::string& t) override { ErrorBox(t); }
  bool Confirm(const std::string& q) override { return ConfirmBox(q) == TMsgResult::Yes; }

private:
  TSendState state_ = ssIdle;
};

struct TPercentSign : ITagSignSource {
  char TagSign() const override { return '%'; }
};

bool NoBoxes(const TScriptedMessageService& boxes) {
  for (const auto& b : boxes.shown) std::printf("message box: %s\n", b.text.c_str());
  return boxes.shown.empty();
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  const fs::path home = fs::temp_directory_path() / ("larkpost_bench_prepare_" + std::to_string(::getpid()));
  const fs::path tables = home / "tables";
  fs::remove_all(home);
  fs::create_directories(tables);
  ::setenv("LARKPOST_HOME", home.c_str(), 1);
  const std::string appDir = ResolveAppDir();
  TScopedScriptedMessages boxes;

  auto t0 = BenchClock::now();
  bench::WriteClientsTable((tables / "clients.dbf").string(), count);
  TADOConnection conn;
  TADOQuery q;
  bench::OpenDbfTable(conn, q, tables.string(), "clients.dbf");
  std::printf("table of %d records written and opened in %.2f s\n", q.RecordCount(), Seconds(t0));

  // The main window's evaluator and rules, bound to the table and the project.
  TFastEval eval;
  eval.SetStringSign(ssApostrophe);
  eval.SetCommentSign(csQMark);
  eval.SetCaseSensitivity(false);
  TRowRules rules{eval};
  TProject project;
  project.AddCalcField("SALUTATION");
  project.SetCalcExpression("SALUTATION", "'Dear ' + First + ' ' + Name + '!'");
  project.SetCalcType("SALUTATION", cftString);
  rules.SetCalcFieldSource(&project);
  rules.TableQuery = &q;
  TTableTagSource values{rules, eval, project, q};
  TReader reader;
  SetUpMergeReader(reader);
  TPercentSign sign;
  TBoxedMergeWarnings warnings;
  TMerger merge{reader, values, sign, warnings};

  TPrepareProject p;
  p.ProjectFileName = (home / "News.lkp").string();
  p.TableName = "clients.dbf";
  p.Charset = "utf-8";
  p.MailMode = mmHtml;
  p.Subject = "An offer for %FIRST";
  p.HtmlSource = bench::ClientsBody(5 * 1024);
  p.ToAddr = "EMAIL";
  p.ReportFields = {"CITY", "AMOUNT"};

  const long peakBefore = PeakKb();
  TQuietView view;
  bool ok = false;
  {
    TPreparedMailing mailing(appDir, "utf-8");
    q.First();
    t0 = BenchClock::now();
    ok = mailing.Prepare(&q, p, merge, view);
    const double s = Seconds(t0);
    const size_t items = mailing.MailList.Items.size();
    std::printf("Prepare, %zu B body, five tags, two report fields: %zu records in %.2f s = %.0f records/s\n",
                p.HtmlSource.size(), items, s, items / s);
    if (!ok || static_cast<int>(items) != count || !NoBoxes(boxes)) {
      std::printf("the list was not prepared as expected\n");
      fs::remove_all(home);
      return 1;
    }
    size_t text = 0, held = 0;
    for (const auto& it : mailing.MailList.Items) {
      text += it.Body.size();
      held += it.Body.capacity();
    }
    std::printf("bodies: %.0f KB of text held in %.0f KB of string capacity\n", text / 1024.0, held / 1024.0);
    std::printf("last item: To %s, report text \"%s\", %zu B body\n", mailing.MailList.Items.back().To.c_str(),
                mailing.MailList.Items.back().ReportText.c_str(), mailing.MailList.Items.back().Body.size());
  }
  const long peakPrepare = PeakKb();
  const auto datSize = fs::file_size(appDir + MailListFileName);
  std::printf(
      "peak memory %ld KB (%ld KB before Prepare, +%ld KB), Maillist.dat %.0f KB: peak growth %.2f x the file\n",
      peakPrepare, peakBefore, peakPrepare - peakBefore, datSize / 1024.0,
      (peakPrepare - peakBefore) * 1024.0 / static_cast<double>(datSize));
  {
    TPreparedMailing mailing(appDir, "utf-8");
    t0 = BenchClock::now();
    mailing.LoadList(view);
    const double s = Seconds(t0);
    const size_t items = mailing.MailList.Items.size();
    std::printf("LoadList: %zu items in %.2f s = %.0f items/s\n", items, s, items / s);
    ok = static_cast<int>(items) == count && NoBoxes(boxes);
    if (!ok) std::printf("the list did not load back\n");
  }
  q.Close();
  fs::remove_all(home);
  return ok ? 0 : 1;
}
