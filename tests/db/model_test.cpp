// Many small writes to one Visual FoxPro table with null flags, wide numbers,
// memos and date-times, several per open, checked against a model held in
// memory after every batch; python-dbf reads the result.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>

#include "db/DateParts.h"
#include "db/Dbf.h"
#include "support/DbTestSupport.h"

namespace fs = std::filesystem;

namespace {

// An empty Visual FoxPro table whose fields are all nullable, with its memo file.
void MakeTable(const std::string& dir) {
  struct TF {
    const char* name;
    char type;
    uint8_t length;
  } fields[] = {{"NAME", 'C', 8}, {"COUNT", 'I', 4}, {"ID", 'N', 19}, {"RATE", 'B', 8},
                {"NOTE", 'M', 4}, {"WHEN", 'T', 8},  {"OK", 'L', 1},  {"_NullFlags", '0', 1}};
  const size_t n = std::size(fields);
  const size_t head = 32 + 32 * n + 1 + 263;
  std::string b(head, '\0');
  b[0] = 0x30;
  b[1] = 126;
  b[2] = 1;
  b[3] = 1;
  b[28] = 0x02;  // has a memo file
  Put16(b, 8, static_cast<uint16_t>(head));
  size_t offset = 1;
  for (size_t i = 0; i < n; ++i) {
    const size_t d = 32 + 32 * i;
    b.replace(d, std::strlen(fields[i].name), fields[i].name);
    b[d + 11] = fields[i].type;
    Put32(b, d + 12, static_cast<uint32_t>(offset));
    b[d + 16] = static_cast<char>(fields[i].length);
    b[d + 18] = fields[i].type == '0' ? 0x05 : 0x02;
    offset += fields[i].length;
  }
  Put16(b, 10, static_cast<uint16_t>(offset));
  b[32 + 32 * n] = '\x0D';
  Spit(dir + "/t.dbf", b + '\x1A');
  ASSERT_TRUE(TDbfMemoFile::CreateFoxPro(dir + "/t.fpt"));
}

constexpr int kFields = 7;

struct TGen {
  std::mt19937_64 rng;
  explicit TGen(uint64_t seed) : rng(seed) {}
  int Below(int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); }
  TValue Value(int field) {
    if (Below(5) == 0) return TValue();
    switch (field) {
      case 0: {
        static const char* const names[] = {"Anna", "Ωmega", "Жук", "x", "12345678", "a b"};
        return std::string(names[Below(6)]);
      }
      case 1: return static_cast<int64_t>(static_cast<int32_t>(rng()));
      case 2: {
        int64_t v = static_cast<int64_t>(rng() % 1000000000000000000ull);
        return Below(2) ? v : -v;
      }
      case 3: return std::ldexp(static_cast<double>(static_cast<int32_t>(rng())), Below(40) - 20);
      case 4: {
        std::string s;
        const int len = 1 + Below(Below(4) == 0 ? 3000 : 60);
        for (int i = 0; i < len; ++i) s += Below(10) == 0 ? std::string("é") : std::string(1, static_cast<char>('a' + Below(26)));
        return s;
      }
      case 5: {
        const double day = Below(100000) - 20000;  // from 1845 on
        const double time = Below(86400000) / 86400000.0;
        return day < 0 ? day - time : day + time;
      }
      default: return Below(2) == 0;
    }
  }
};

std::string Show(const TValue& v) {
  std::ostringstream o;
  switch (v.index()) {
    case 0: o << "null"; break;
    case 1: o << std::get<int64_t>(v); break;
    case 2: o.precision(17); o << std::get<double>(v); break;
    case 3: o << (std::get<bool>(v) ? "T" : "F"); break;
    default: o << '"' << std::get<std::string>(v) << '"'; break;
  }
  return o.str();
}

bool Same(const TValue& model, const TValue& got, int field) {
  if (field == 5 && model.index() == 2 && got.index() == 2)
    return std::fabs(std::get<double>(model) - std::get<double>(got)) < 1e-8;
  return model == got;
}

}  // namespace

TEST(DbfModel, RandomWritesOverManyOpensMatchTheModel) {
  for (uint64_t seed : {1u, 2u, 3u}) {
    const std::string dir = MakeTempDir("model");
    MakeTable(dir);
    // A character outside the table's code page is refused; the table has none, so all go.
    TGen g(seed);
    std::vector<std::vector<TValue>> model;
    int ops = 0;
    for (int open = 0; open < 120; ++open) {
      TADOConnection conn;
      conn.ConnectionString = DbfConnectionString(dir);
      TADOQuery q;
      OpenTable(conn, q, "t.dbf");
      ASSERT_EQ(q.RecordCount(), static_cast<int>(model.size())) << "seed " << seed << " open " << open;
      for (int r = 0; r < q.RecordCount(); ++r) {
        q.SetRecNo(r + 1);
        for (int f = 0; f < kFields; ++f)
          ASSERT_TRUE(Same(model[static_cast<size_t>(r)][static_cast<size_t>(f)], q.Fields(f).Value(), f))
              << "seed " << seed << " open " << open << " row " << r << " field " << f << ": "
              << Show(model[static_cast<size_t>(r)][static_cast<size_t>(f)]) << " read " << Show(q.Fields(f).Value());
      }
      const int batch = 1 + g.Below(8);
      for (int k = 0; k < batch; ++k, ++ops) {
        const int what = model.empty() ? 0 : g.Below(10);
        if (what < 3) {
          q.Append();
          std::vector<TValue> row(kFields);
          for (int f = 0; f < kFields; ++f) {
            row[static_cast<size_t>(f)] = g.Value(f);
            q.Fields(f).SetValue(row[static_cast<size_t>(f)]);
          }
          q.Post();
          model.push_back(row);
        } else if (what < 9) {
          const int r = g.Below(static_cast<int>(model.size()));
          q.SetRecNo(r + 1);
          q.Edit();
          for (int n = 1 + g.Below(3); n > 0; --n) {
            const int f = g.Below(kFields);
            const TValue v = g.Value(f);
            q.Fields(f).SetValue(v);
            model[static_cast<size_t>(r)][static_cast<size_t>(f)] = v;
          }
          q.Post();
        } else {
          const int r = g.Below(static_cast<int>(model.size()));
          q.SetRecNo(r + 1);
          q.Delete();
          model.erase(model.begin() + r);
        }
      }
      q.UpdateBatch();
    }
    EXPECT_GT(ops, 400);
    // Another reader sees the same nulls and values.
    const std::string out = RunPython(R"(
import dbf
t = dbf.Table(')" + dir + R"(/t.dbf', codepage='utf8')
t.open()
for r in t:
    if dbf.is_deleted(r):
        continue
    print('|'.join('null' if v is dbf.Null else str(v).rstrip() for v in (r[0], r[1], r[2], r[6])))
t.close()
)");
    std::string expect;
    for (const auto& row : model) {
      const auto text = [](const TValue& v) { return ValueIsNull(v) ? std::string("null") : ValueToString(v, ftString); };
      expect += text(row[0]) + "|" + text(row[1]) + "|" + text(row[2]) + "|" +
                (ValueIsNull(row[6]) ? "null" : std::get<bool>(row[6]) ? "True" : "False") + "\n";
    }
    EXPECT_EQ(out, expect) << "seed " << seed;
    fs::remove_all(dir);
  }
}
