// Random layouts over random tables, several copies of each table (renamed,
// new and re-picked fields, filtered, sorted), every file read back by
// python3-dbfread and by our own driver and compared with a model of what each
// field must hold.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "db/DateParts.h"
#include "db/Dbf.h"
#include "platform/SysUtils.h"
#include "platform/TextCodec.h"
#include "support/PythonRun.h"
#include "support/TableFiles.h"
#include "workspace/TableCopy.h"

namespace fs = std::filesystem;

namespace {

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string Fixed(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "f%.5f", d);
  return buf;
}

std::string IsoDate(double day) {
  int y, m, d;
  dbdate::Decode(std::floor(day), y, m, d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "d%04d-%02d-%02d", y, m, d);
  return buf;
}

std::string RightTrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Texts whose readings as a number, a date and a logical value are known (point
// locale, "M/d/yyyy"); every other generated text reads as none of them.
struct TKnownText {
  const char* text;
  const char* number;  // "" none
  const char* date;
  const char* logical;
};
const TKnownText KnownTexts[] = {
    {"12.5", "f12.50000", "", ""},        {"-3", "f-3.00000", "", ""},
    {"1e3", "f1000.00000", "", ""},       {"12,5", "", "", ""},
    {"3/5/2026", "", "d2026-03-05", ""},  {"12/31/1999", "", "d1999-12-31", ""},
    {"true", "", "", "b1"},               {"T", "", "", "b1"},
    {"f", "", "", "b0"},                  {"FALSE", "", "", "b0"},
    {"yes", "", "", ""},                  {"Zo\xC3\xAB \xE2\x82\xAC", "", "", ""},
};

struct TSourceField {
  std::string Name;
  TFieldType Type;
};

class TGenerator {
public:
  explicit TGenerator(uint32_t seed) : rng_(seed) {}
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }

  std::string FreeText(int maxChars) {
    static const char* pieces[] = {"a", "B", "z", "0", "7", " ", "-", "\xC3\xA9", "\xE2\x82\xAC", "\xE4\xB8\xAD", "q", "x"};
    std::string s = "w";  // never a number, a date or a logical value
    const int n = Int(0, maxChars - 1);
    for (int i = 0; i < n; ++i) s += pieces[Int(0, 11)];
    return RightTrim(s);
  }

  TValue Value(TFieldType t) {
    if (Chance(0.15)) return {};
    switch (t) {
      case ftString:
        if (Chance(0.5)) return std::string(KnownTexts[Int(0, std::size(KnownTexts) - 1)].text);
        return FreeText(20);
      case ftMemo:
        if (Chance(0.1)) return std::string();
        if (Chance(0.2)) return std::string(KnownTexts[Int(0, std::size(KnownTexts) - 1)].text);
        return FreeText(Chance(0.2) ? 900 : 40);
      case ftInteger: return static_cast<int64_t>(Int(-100000, 100000));
      case ftFloat: return Int(-99999999, 99999999) / 1000.0 + (Chance(0.5) ? 0.0 : 0.0005);
      case ftDate: return static_cast<double>(Int(-693593 + 1, 2958465 - 1));
      case ftDateTime: return static_cast<double>(Int(1, 80000)) + Int(0, 1439) / 1440.0;
      case ftBoolean: return Chance(0.5);
      default: return {};
    }
  }

private:
  std::mt19937 rng_;
};

// What dbfread (and our driver, once its values are put the same way) reads in a
// field of kind target (size) copied from value of type sourceType.
std::string Expected(TFieldKind target, int size, TFieldType sourceType, const TValue& v) {
  const std::string blank = target == fkText ? "s" : "N";
  if (ValueIsNull(v)) return blank;
  std::string text;  // the value as text for C and M
  std::string number, date, logical;
  switch (sourceType) {
    case ftString:
    case ftMemo: {
      text = std::get<std::string>(v);
      for (const TKnownText& k : KnownTexts)
        if (text == k.text) {
          number = k.number;
          date = k.date;
          logical = k.logical;
        }
      break;
    }
    case ftInteger:
    case ftFloat: {
      const double d = ValueToFloat(v);
      text = FloatToStr(d);
      number = Fixed(d);
      if (d > -693594 && d < 2958466) date = IsoDate(std::trunc(d));
      logical = d != 0 ? "b1" : "b0";
      break;
    }
    case ftDate:
    case ftDateTime: {
      const double d = ValueToFloat(v);
      text = DateTimeToStr(d);
      number = Fixed(d);
      date = IsoDate(d);
      break;
    }
    case ftBoolean: {
      const bool b = std::get<bool>(v);
      text = target == fkMemo ? (b ? "True" : "False") : (b ? "T" : "F");
      number = Fixed(b ? 1 : 0);
      date = b ? "d1899-12-31" : "d1899-12-30";
      logical = b ? "b1" : "b0";
      break;
    }
    default: break;
  }
  switch (target) {
    case fkText: return "s" + Hex(RightTrim(Utf8CutBytes(text, static_cast<size_t>(size))));
    case fkMemo: return text.empty() ? "N" : "s" + Hex(text);
    case fkNumber: return number.empty() ? "N" : number;
    case fkDateTime: return date.empty() ? "N" : date;
    case fkBoolean: return logical.empty() ? "N" : logical;
  }
  return blank;
}

// Our driver's reading in the same form.
std::string Canonical(const TValue& v, TFieldType type) {
  if (ValueIsNull(v)) return type == ftString ? "s" : "N";
  if (const bool* b = std::get_if<bool>(&v)) return *b ? "b1" : "b0";
  if (const std::string* s = std::get_if<std::string>(&v)) return "s" + Hex(*s);
  if (type == ftDate) return IsoDate(ValueToFloat(v));
  return Fixed(ValueToFloat(v));
}

struct TCopyCase {
  std::string File;
  std::vector<std::string> Rows;  // per written row, the expected fields joined by " "
};

}  // namespace

TEST(TableCopyModel, RandomLayoutsReadBackByDbfreadAndOurDriver) {
  SetFormatSettings(TFormatSettings::Default());
  const std::string dir = MakeTestFolder("copymodel");
  TGenerator gen(20260509);
  const TFieldType types[] = {ftString, ftMemo, ftInteger, ftFloat, ftDate, ftDateTime, ftBoolean};
  std::vector<TCopyCase> cases;
  int fieldsChecked = 0;

  for (int table = 0; table < 60; ++table) {
    // A source table: a unique ID and a few random fields.
    std::vector<TSourceField> src{{"ID", ftInteger}};
    const int extra = gen.Int(1, 6);
    for (int i = 0; i < extra; ++i) src.push_back({"F" + std::to_string(i), types[gen.Int(0, 6)]});
    std::vector<TFieldDef> defs;
    for (const auto& f : src) defs.push_back({f.Name, f.Type, f.Type == ftString ? 40 : 0});
    const int rowCount = gen.Int(0, 30);
    std::vector<std::vector<TValue>> rows;
    std::vector<int> ids(static_cast<size_t>(rowCount));
    for (int i = 0; i < rowCount; ++i) ids[static_cast<size_t>(i)] = i * 3 + 1;
    for (int i = rowCount - 1; i > 0; --i) std::swap(ids[static_cast<size_t>(i)], ids[static_cast<size_t>(gen.Int(0, i))]);
    for (int i = 0; i < rowCount; ++i) {
      std::vector<TValue> r{static_cast<int64_t>(ids[static_cast<size_t>(i)])};
      for (size_t k = 1; k < src.size(); ++k) r.push_back(gen.Value(src[k].Type));
      rows.push_back(r);
    }
    TDataSet ds;
    TTableData data;
    data.Fields = defs;
    for (const auto& r : rows) data.Rows.push_back(PackRow(r));
    data.ReadOnlyReason = "read-only";
    ds.OpenData(std::move(data));

    // Several copies of it.
    for (int copy = 0; copy < 4; ++copy) {
      TTableStructure s;
      std::vector<int> from;  // source field per entry, -1 for a new field
      std::set<std::string> names;
      const int entries = gen.Int(1, 8);
      for (int e = 0; e < entries; ++e) {
        TFieldStructure f;
        int pick = gen.Int(0, static_cast<int>(src.size()) - 1);
        const int how = gen.Int(0, 9);
        if (how < 5) {
          f.SourceName = f.Name = src[static_cast<size_t>(pick)].Name;
        } else if (how < 7) {
          f.SourceName = src[static_cast<size_t>(pick)].Name;
          f.Name = "R" + std::to_string(e);
        } else if (how < 8) {
          f.SourceName = "GONE";  // missing: read under its new name
          f.Name = src[static_cast<size_t>(pick)].Name;
        } else {
          f.Name = "NEW" + std::to_string(e);
          pick = -1;
        }
        if (!names.insert(f.Name).second) continue;
        f.Kind = static_cast<TFieldKind>(gen.Int(0, 4));
        f.Size = StructureFieldSize(f.Kind, gen.Int(1, 30));
        s.push_back(f);
        from.push_back(pick);
      }
      TCopyRowsRequest rq;
      rq.Restructure = true;
      const int modulus = gen.Int(2, 4);
      const TCopyOptions opt{true, gen.Chance(0.5), gen.Chance(0.5)};
      const bool desc = gen.Chance(0.5);
      ds.SetSort(gen.Chance(0.8) ? std::string("ID ") + (desc ? "DESC" : "ASC") : std::string());
      rq.AskOptions = [&] { return opt; };
      rq.Accept = [&](TDataSet& d) { return d.FieldByName("ID").AsInteger() % modulus != 0; };

      TCopyCase c;
      c.File = dir + "t" + std::to_string(table) + "_" + std::to_string(copy) + ".dbf";
      const TCopyResult r = CopyTable(c.File, s, &ds, rq);
      ASSERT_TRUE(r.TableWritten) << c.File;
      if (rowCount > 0) {
        ASSERT_TRUE(r.RowsCopied) << c.File << " " << r.Error;
      }

      // The model: which rows, in which order, holding what.
      std::vector<size_t> order;
      for (size_t i = 0; i < rows.size(); ++i)
        if (!opt.OnlyFiltered || std::get<int64_t>(rows[i][0]) % modulus != 0) order.push_back(i);
      if (opt.Sorted && !ds.Sort().empty())
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
          const int64_t x = std::get<int64_t>(rows[a][0]), y = std::get<int64_t>(rows[b][0]);
          return desc ? x > y : x < y;
        });
      for (size_t i : order) {
        std::string line;
        for (size_t e = 0; e < s.size(); ++e) {
          const int k = from[e];
          const std::string exp = k < 0 ? Expected(s[e].Kind, s[e].Size, ftUnknown, TValue())
                                        : Expected(s[e].Kind, s[e].Size, src[static_cast<size_t>(k)].Type,
                                                   rows[i][static_cast<size_t>(k)]);
          line += (e ? " " : "") + exp;
          ++fieldsChecked;
        }
        c.Rows.push_back(line);
      }
      EXPECT_EQ(r.Rows, static_cast<int64_t>(order.size())) << c.File;

      // Our driver.
      TTableData back = DbfReadTable(c.File);
      ASSERT_EQ(back.Rows.size(), c.Rows.size()) << c.File;
      for (size_t i = 0; i < back.Rows.size(); ++i) {
        const auto vals = UnpackRow(back.Rows[i], back.Fields.size());
        std::string line;
        for (size_t e = 0; e < vals.size(); ++e) line += (e ? " " : "") + Canonical(vals[e], back.Fields[e].DataType);
        EXPECT_EQ(line, c.Rows[i]) << c.File << " row " << i;
      }
      cases.push_back(std::move(c));
    }
  }
  EXPECT_GT(fieldsChecked, 1000);

  if (!PythonHasModules("dbfread")) {
    fs::remove_all(dir);
    GTEST_SKIP() << "python3-dbfread missing";
  }
  std::string script =
      "import datetime, dbfread, sys\n"
      "def canon(v):\n"
      "    if v is None: return 'N'\n"
      "    if isinstance(v, bool): return 'b1' if v else 'b0'\n"
      "    if isinstance(v, str): return 's' + v.encode('utf-8').hex()\n"
      "    if isinstance(v, datetime.date): return 'd' + v.isoformat()\n"
      "    return 'f%.5f' % v\n"
      "for path in sys.stdin.read().split():\n"
      "    print('T ' + path)\n"
      "    for r in dbfread.DBF(path, encoding='utf-8', char_decode_errors='strict'):\n"
      "        print(' '.join(canon(v) for v in r.values()))\n";
  std::string list;
  for (const auto& c : cases) list += c.File + "\n";
  // The file list goes in through a here-document of the script itself.
  script = "import io, sys\nsys.stdin = io.StringIO('''" + list + "''')\n" + script;
  int code = -1;
  const std::string out = RunPythonScript(script, &code);
  ASSERT_EQ(code, 0) << out.substr(0, 2000);
  std::istringstream in(out);
  std::string line;
  size_t ci = 0, ri = 0, pythonRows = 0;
  bool first = true;
  while (std::getline(in, line)) {
    if (line.rfind("T ", 0) == 0) {
      if (!first) {
        EXPECT_EQ(ri, cases[ci].Rows.size()) << cases[ci].File;
        ++ci;
      }
      first = false;
      ri = 0;
      ASSERT_LT(ci, cases.size());
      ASSERT_EQ(line.substr(2), cases[ci].File);
      continue;
    }
    ASSERT_LT(ri, cases[ci].Rows.size()) << cases[ci].File;
    EXPECT_EQ(line, cases[ci].Rows[ri]) << cases[ci].File << " row " << ri;
    ++ri;
    ++pythonRows;
  }
  EXPECT_EQ(ci + 1, cases.size());
  EXPECT_GT(pythonRows, 500u);
  fs::remove_all(dir);
}
