// Cost of a compiled row filter over an in-memory source of 1,000,000 rows,
// and of one-shot string evaluations.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "toolkit/FastEval.h"

// Every heap allocation of the program is counted, to show the compiled
// filter allocates nothing per evaluation.
static std::atomic<size_t> gAllocations{0};

void* operator new(size_t n) {
  ++gAllocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

// Rows as plain columns; the evaluator sees the current one.
class TRows : public IFieldSource {
public:
  std::vector<int32_t> age;
  std::vector<std::string> name, city;
  size_t current = 0;

  int FieldCount() const override { return 3; }
  std::string FieldName(int i) const override { return i == 0 ? "Age" : i == 1 ? "Name" : "City"; }
  TFieldType FieldDataType(int i) const override { return i == 0 ? ftInteger : ftString; }
  bool FieldIsNull(int) const override { return false; }
  int32_t FieldAsInteger(int i) const override { return i == 0 ? age[current] : 0; }
  double FieldAsFloat(int i) const override { return FieldAsInteger(i); }
  bool FieldAsBoolean(int) const override { return false; }
  std::string FieldAsString(int i) const override {
    return i == 1 ? name[current] : i == 2 ? city[current] : std::string();
  }
  TDateTime FieldAsDateTime(int) const override { return 0; }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
  constexpr size_t rows = 1000000;
  const char* names[] = {"Anna", "Bert", "Carl", "Dora", "Emil", "Frida"};
  const char* cities[] = {"Paris", "Lyon", "Berlin", "Rome"};
  TRows src;
  src.age.reserve(rows);
  for (size_t r = 0; r < rows; ++r) {
    src.age.push_back(static_cast<int32_t>(18 + r % 60));
    src.name.push_back(names[r % 6]);
    src.city.push_back(cities[r % 4]);
  }

  TFastEval ev;
  ev.SetStringSign(ssApostrophe);
  ev.SetCommentSign(csQMark);
  ev.DataSet = &src;
  int errors = 0;
  ev.OnError = [&](TFastEval*, int, int, int, int, const std::string&, int) { ++errors; };

  const char* filter = "(Age > 30) and (pos('a', Name) > 0) or (City = 'Paris')";
  ev.CompileExpression(filter, 2);
  size_t accepted = 0;
  const size_t allocsBefore = gAllocations;
  auto t0 = std::chrono::steady_clock::now();
  for (size_t r = 0; r < rows; ++r) {
    src.current = r;
    bool v = false;
    if (ev.EvaluateCompiledBoolean(v, 2) && v) ++accepted;
  }
  double s = Seconds(t0);
  const size_t allocs = gAllocations - allocsBefore;
  std::printf("EvaluateCompiledBoolean  %s\n", filter);
  std::printf("  %zu rows, %zu accepted, %d errors: %.3f s, %.0f evaluations/s, %.1f ns each\n", rows,
              accepted, errors, s, rows / s, s * 1e9 / rows);
  std::printf("  heap allocations during the run: %zu (%.3f per evaluation)\n", allocs,
              static_cast<double>(allocs) / rows);

  constexpr int shots = 200000;
  const char* text = "uppercase(copy('hello world', 1, 5)) + '!'";
  std::string out;
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < shots; ++i) ev.EvaluateString(text, out, 1);
  s = Seconds(t0);
  std::printf("EvaluateString (one-shot)  %s = %s\n", text, out.c_str());
  std::printf("  %d evaluations: %.3f s, %.0f evaluations/s, %.2f us each\n", shots, s, shots / s,
              s * 1e6 / shots);
  return errors == 0 ? 0 : 1;
}
