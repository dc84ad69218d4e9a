// Merge and HTML-splitter timings.
// 1. ExpandTags of a 5 KB body with five tags (four table fields of a
//    100,000-record dBase table and one calculated field) for every record;
//    records/s and heap allocations per record (the same for a 50 KB body:
//    nothing is allocated per character).
// 2. The same with the calculated field evaluated one-shot by the evaluator
//    each record, the cost a host saves by keeping the expression compiled,
//    and through the main window's own source (TTableTagSource over the row
//    rules), with the number of times it compiled the field.
// 3. A body of nothing but signs at two sizes: the time per sign stays flat.
// 4. HTML splitting of ordinary and hostile shapes at growing sizes: MB/s
//    stays flat when the work is linear.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "bench/ClientsTable.h"
#include "db/Connection.h"
#include "mailing/Merge.h"
#include "mailing/TableTagSource.h"
#include "tests/mailing/support/MergeFakes.h"
#include "toolkit/FastEval.h"
#include "toolkit/HTMLPars.h"
#include "workspace/CalcFields.h"
#include "workspace/RowRules.h"

static std::atomic<size_t> gAllocations{0};

void* operator new(size_t n) {
  ++gAllocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace fs = std::filesystem;
using Clock = BenchClock;

namespace {

const char* const kSalutation = "'Dear ' + First + ' ' + Name + '!'";

// Table fields from the open query; the calculated field SALUTATION either
// from a stand-in for a compiled expression or from a one-shot evaluation.
class TTableSource : public ITagValueSource {
public:
  TTableSource(TDataSet& q, TFastEval* oneShot) : q_(q), eval_(oneShot) {}
  void SetFieldSource(TDataSet&) override {}
  void ClearEvalStop() override {}
  bool EvalStopFlag() const override { return false; }
  TCalcFieldResult CalcFieldValue(const std::string& name, std::string& value) override {
    if (name != "SALUTATION") return TCalcFieldResult::NotFound;
    if (eval_)
      return eval_->EvaluateString(kSalutation, value, 1) ? TCalcFieldResult::Evaluated : TCalcFieldResult::Failed;
    std::string first, last;
    FieldTagValue(q_, "FIRST", first);
    FieldTagValue(q_, "NAME", last);
    value = "Dear " + first + " " + last + "!";
    return TCalcFieldResult::Evaluated;
  }
  bool TableFieldValue(const std::string& name, std::string& value) override { return FieldTagValue(q_, name, value); }

private:
  TDataSet& q_;
  TFastEval* eval_;
};

// The project's one calculated field.
class TSalutationField : public ICalcFieldSource {
public:
  bool FindCalcField(const std::string& name, TCalcFieldDef& def) const override {
    if (name != "SALUTATION") return false;
    def.Expression = kSalutation;
    def.HasType = true;
    def.TypeIndex = cftString;
    return true;
  }
};

// The main window's evaluator settings.
void SetUpEvaluator(TFastEval& eval) {
  eval.SetStringSign(ssApostrophe);
  eval.SetCommentSign(csQMark);
  eval.SetCaseSensitivity(false);
}

void MergeRun(const char* what, TADOQuery& q, ITagValueSource& source, const std::string& body, int limit) {
  TReader reader;
  SetUpMergeReader(reader);
  TFakeSign sign('%');
  TBoxedMergeWarnings warnings;
  TMerger merger(reader, source, sign, warnings);
  std::string result;
  size_t bytes = 0;
  int records = 0;
  q.First();
  const size_t allocBefore = gAllocations;
  const auto t = Clock::now();
  for (; !q.Eof() && records < limit; q.Next(), ++records) {
    merger.ExpandTags(body, false, result);
    bytes += result.size();
  }
  const double s = Seconds(t);
  std::printf("%-46s %6zu B body: %7d records in %6.2f s = %9.0f records/s, %5.1f allocations/record (%zu B merged)\n",
              what, body.size(), records, s, records / s, static_cast<double>(gAllocations - allocBefore) / records,
              bytes / static_cast<size_t>(records));
}

void MergeRun(const char* what, TADOQuery& q, TFastEval* oneShot, const std::string& body, int limit) {
  TTableSource source(q, oneShot);
  MergeRun(what, q, source, body, limit);
}

std::string Shape(const std::string& head, const std::string& unit, size_t size) {
  std::string s = head;
  s.reserve(size + unit.size());
  while (s.size() < size) s += unit;
  return s;
}

void ParseRun(const char* what, const std::string& head, const std::string& unit) {
  for (size_t mb : {1, 4, 16}) {
    THTMLParser p;
    p.Buffer = Shape(head, unit, mb << 20);
    const auto t = Clock::now();
    p.Parse();
    const double s = Seconds(t);
    std::printf("parse %-34s %3zu MB: %8.1f ms = %7.1f MB/s, %zu items\n", what, mb, s * 1000,
                p.Buffer.size() / 1048576.0 / s, p.Items.size());
  }
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / "lpmerge_bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  bench::WriteClientsTable((dir / "clients.dbf").string(), 100000);
  TADOConnection conn;
  TADOQuery q;
  bench::OpenDbfTable(conn, q, dir.string(), "clients.dbf");

  const std::string body5k = bench::ClientsBody(5 * 1024);
  MergeRun("ExpandTags, five tags", q, nullptr, body5k, 100000);
  MergeRun("ExpandTags, five tags", q, nullptr, bench::ClientsBody(50 * 1024), 100000);
  {
    TFastEval eval;
    SetUpEvaluator(eval);
    eval.DataSet = &q;
    MergeRun("ExpandTags, calculated field one-shot", q, &eval, body5k, 100000);
  }
  {
    TFastEval eval;
    SetUpEvaluator(eval);
    TRowRules rules(eval);
    TSalutationField fields;
    rules.SetCalcFieldSource(&fields);
    TTableTagSource source(rules, eval, fields, q);
    MergeRun("ExpandTags, TTableTagSource", q, source, body5k, 100000);
    q.First();
    std::string first;
    source.CalcFieldValue("SALUTATION", first);
    std::printf("  first record's SALUTATION \"%s\", compiled %zu time(s)\n", first.c_str(),
                rules.CalcFieldCompilations());
  }
  // Every sign restarts the token cursor (six tokens read): the cost per
  // sign is constant, so these two show the same time per sign.
  MergeRun("ExpandTags, nothing but signs", q, nullptr, std::string(5 * 1024, '%'), 500);
  MergeRun("ExpandTags, nothing but signs", q, nullptr, std::string(20 * 1024, '%'), 125);

  ParseRun("ordinary body", "<html><body>",
           "<p class=\"msg\" id='p1'>Hello &nbsp; <b>world</b>, see <a href=\"http://x/?a=1&b=2\">this</a>.</p>\r\n");
  ParseRun("tags with keyless \"=\"", "<body>", "<a =\"1\" b c = d>");
  ParseRun("quoted > and escaped quotes", "<body>", "<a t='x > \\' y' u=\"\\\" >\">z");
  ParseRun("comments and server scripts", "<body>", "<!-- a > b --><% c > d %>t");
  ParseRun("unclosed script of <", "<script>", "<");
  ParseRun("unterminated quote", "<html><a href=\"", "x");
  ParseRun("no start marker", "", "<p>text</p>");
  fs::remove_all(dir);
  return 0;
}
