// Reading a value as every type: TField's As... and the dataset's field source
// (what the evaluator reads) give the same answers, and the rules are those of
// db/ValueConvert.h.
#include "db/ValueConvert.h"

#include <gtest/gtest.h>

#include "db/DataSet.h"
#include "db/DateParts.h"

namespace {

// Day-month-year with "." and a 24-hour clock, "," as decimal separator.
TFormatSettings GermanLike() {
  TFormatSettings f = TFormatSettings::Default();
  f.DecimalSeparator = ',';
  f.ThousandSeparator = '.';
  f.DateSeparator = '.';
  f.ShortDateFormat = "dd/mm/yyyy";
  f.LongTimeFormat = "hh:nn:ss";
  f.ShortTimeFormat = "hh:nn";
  f.TimeAMString = "";
  f.TimePMString = "";
  return f;
}

class ValueConvertTest : public ::testing::Test {
protected:
  void SetUp() override {
    saved_ = FormatSettings();
    SetFormatSettings(GermanLike());
  }
  void TearDown() override { SetFormatSettings(saved_); }

private:
  TFormatSettings saved_;
};

constexpr const char* kThrows = "<throws>";

// Each read as text, or kThrows.
template <typename F>
std::string Outcome(F read) {
  try {
    return read();
  } catch (const EConvertError&) {
    return kThrows;
  }
}

std::string Num(double d) { return FloatToStr(d); }

struct TReadCase {
  const char* what;
  TValue value;
  TFieldType type;
  const char* asString;
  const char* asInteger;
  const char* asLargeInt;
  const char* asFloat;
  const char* asBoolean;
  const char* asDateTime;  // the day count, FloatToStr
};

}  // namespace

TEST_F(ValueConvertTest, EveryValueReadsAlikeThroughTheFieldAndTheFieldSource) {
  const double day = dbdate::Encode(2000, 1, 2);  // 36527
  const TReadCase cases[] = {
      {"null text", TValue(), ftString, "", "0", "0", "0", "false", "0"},
      {"null number", TValue(), ftInteger, "", "0", "0", "0", "false", "0"},
      {"integer", int64_t(42), ftInteger, "42", "42", "42", "42", "true", "42"},
      {"zero", int64_t(0), ftInteger, "0", "0", "0", "0", "false", "0"},
      {"wide integer", int64_t(123456789012345678), ftLargeint, "123456789012345678", kThrows, "123456789012345678",
       "1,23456789012346E17", "true", "1,23456789012346E17"},
      {"float 2.7", 2.7, ftFloat, "2,7", "3", "3", "2,7", "true", "2,7"},
      {"float 2.5", 2.5, ftFloat, "2,5", "2", "2", "2,5", "true", "2,5"},
      {"float 3.5", 3.5, ftFloat, "3,5", "4", "4", "3,5", "true", "3,5"},
      {"float -2.5", -2.5, ftFloat, "-2,5", "-2", "-2", "-2,5", "true", "-2,5"},
      {"float -2.7", -2.7, ftFloat, "-2,7", "-3", "-3", "-2,7", "true", "-2,7"},
      {"float 1e20", 1e20, ftFloat, "1E20", kThrows, kThrows, "1E20", "true", "1E20"},
      {"date", day, ftDate, "02.01.2000", "36527", "36527", "36527", "true", "36527"},
      {"date-time", day + 0.75, ftDateTime, "02.01.2000 18:00:00", "36528", "36528", "36527,75", "true", "36527,75"},
      {"true", true, ftBoolean, "True", "1", "1", "1", "true", "1"},
      {"false", false, ftBoolean, "False", "0", "0", "0", "false", "0"},
      {"text T", std::string("T"), ftString, "T", kThrows, kThrows, kThrows, "true", kThrows},
      {"text t", std::string("t"), ftString, "t", kThrows, kThrows, kThrows, "true", kThrows},
      {"text Yes", std::string("Yes"), ftString, "Yes", kThrows, kThrows, kThrows, "true", kThrows},
      {"text y", std::string("y"), ftString, "y", kThrows, kThrows, kThrows, "true", kThrows},
      {"text true", std::string("true"), ftString, "true", kThrows, kThrows, kThrows, "true", kThrows},
      {"text F", std::string("F"), ftString, "F", kThrows, kThrows, kThrows, "false", kThrows},
      {"text no", std::string("no"), ftString, "no", kThrows, kThrows, kThrows, "false", kThrows},
      {"text 1", std::string("1"), ftString, "1", "1", "1", "1", "false", kThrows},
      {"text blank", std::string("  "), ftString, "  ", "0", "0", "0", "false", "0"},
      {"text 12", std::string(" 12 "), ftString, " 12 ", "12", "12", "12", "false", kThrows},
      {"text 2,7", std::string("2,7"), ftString, "2,7", kThrows, kThrows, "2,7", "false", kThrows},
      {"text wide", std::string("9000000000"), ftString, "9000000000", kThrows, "9000000000", "9000000000", "false",
       kThrows},
      {"text date", std::string("02.01.2000"), ftString, "02.01.2000", kThrows, kThrows, kThrows, "false", "36527"},
      {"text abc", std::string("abc"), ftString, "abc", kThrows, kThrows, kThrows, "false", kThrows},
      {"memo", std::string("Yellow"), ftMemo, "Yellow", kThrows, kThrows, kThrows, "true", kThrows},
  };
  TTableData data;
  std::vector<TValue> row;
  for (const auto& c : cases) {
    data.Fields.push_back({c.what, c.type, 0, 0});
    row.push_back(c.value);
  }
  data.Rows.push_back(PackRow(row));
  TDataSet ds;
  ds.OpenData(std::move(data));
  const IFieldSource& src = ds;
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
    const TReadCase& c = cases[i];
    TField& f = ds.Fields(i);
    const auto b = [](bool v) { return std::string(v ? "true" : "false"); };
    EXPECT_EQ(Outcome([&] { return f.AsString(); }), c.asString) << c.what;
    EXPECT_EQ(Outcome([&] { return std::to_string(f.AsInteger()); }), c.asInteger) << c.what;
    EXPECT_EQ(Outcome([&] { return std::to_string(f.AsLargeInt()); }), c.asLargeInt) << c.what;
    EXPECT_EQ(Outcome([&] { return Num(f.AsFloat()); }), c.asFloat) << c.what;
    EXPECT_EQ(Outcome([&] { return b(f.AsBoolean()); }), c.asBoolean) << c.what;
    EXPECT_EQ(Outcome([&] { return Num(f.AsDateTime()); }), c.asDateTime) << c.what;
    // The evaluator's reads.
    EXPECT_EQ(Outcome([&] { return src.FieldAsString(i); }), c.asString) << c.what;
    EXPECT_EQ(Outcome([&] { return std::to_string(src.FieldAsInteger(i)); }), c.asInteger) << c.what;
    EXPECT_EQ(Outcome([&] { return Num(src.FieldAsFloat(i)); }), c.asFloat) << c.what;
    EXPECT_EQ(Outcome([&] { return b(src.FieldAsBoolean(i)); }), c.asBoolean) << c.what;
    EXPECT_EQ(Outcome([&] { return Num(src.FieldAsDateTime(i)); }), c.asDateTime) << c.what;
    EXPECT_EQ(src.FieldIsNull(i), ValueIsNull(c.value)) << c.what;
  }
}

namespace {

// A value as text with its kind, for comparing stored values.
std::string Show(const TValue& v) {
  switch (v.index()) {
    case 0: return "null";
    case 1: return "int " + std::to_string(std::get<int64_t>(v));
    case 2: return "float " + FloatToStr(std::get<double>(v));
    case 3: return std::get<bool>(v) ? "bool true" : "bool false";
    default: return "text " + std::get<std::string>(v);
  }
}

}  // namespace

TEST_F(ValueConvertTest, EveryValueStoresByTheFieldsType) {
  const double day = dbdate::Encode(2000, 1, 2);
  struct TCase {
    TValue value;
    TFieldType type;
    const char* stored;  // Show() of the stored value, or kThrows
  } cases[] = {
      {TValue(), ftInteger, "null"},
      {TValue(), ftString, "null"},
      // Into text.
      {int64_t(7), ftString, "text 7"},
      {2.5, ftString, "text 2,5"},
      {true, ftString, "text True"},
      {std::string(""), ftString, "null"},
      {std::string("x"), ftMemo, "text x"},
      // Into integers: floats round halves to even.
      {int64_t(7), ftInteger, "int 7"},
      {2.5, ftInteger, "int 2"},
      {2.7, ftSmallint, "int 3"},
      {true, ftInteger, "int 1"},
      {std::string(" 31 "), ftInteger, "int 31"},
      {std::string("2,7"), ftInteger, kThrows},
      {std::string("abc"), ftInteger, kThrows},
      {std::string(" "), ftInteger, "null"},
      // Into floats.
      {int64_t(7), ftFloat, "float 7"},
      {false, ftCurrency, "float 0"},
      {std::string("2,75"), ftFloat, "float 2,75"},
      {std::string("2.75"), ftFloat, kThrows},
      // Into Booleans: the letters of dBase logical fields.
      {int64_t(2), ftBoolean, "bool true"},
      {0.0, ftBoolean, "bool false"},
      {std::string("Yes"), ftBoolean, "bool true"},
      {std::string(" t"), ftBoolean, "bool true"},
      {std::string("True"), ftBoolean, "bool true"},
      {std::string("n"), ftBoolean, "bool false"},
      {std::string("False"), ftBoolean, "bool false"},
      {std::string("1"), ftBoolean, kThrows},
      {std::string("maybe"), ftBoolean, kThrows},
      // Into dates.
      {day + 0.5, ftDate, "float 36527"},
      {day + 0.5, ftDateTime, "float 36527,5"},
      {std::string("02.01.2000"), ftDate, "float 36527"},
      {std::string("02.01.2000 12:00:00"), ftDateTime, "float 36527,5"},
      {std::string("12:00:00"), ftTime, "float 0,5"},
      {std::string("32.01.2000"), ftDate, kThrows},
  };
  for (const auto& c : cases) {
    std::string got;
    try {
      got = Show(ValueForField(c.value, c.type));
    } catch (const EConvertError&) {
      got = kThrows;
    }
    EXPECT_EQ(got, c.stored) << Show(c.value) << " into type " << c.type;
  }
}

TEST_F(ValueConvertTest, BooleanTextRules) {
  struct TCase {
    const char* text;
    bool readsTrue;
    int writes;  // 1 true, 0 false, -1 refused
  } cases[] = {{"T", true, 1},     {"t", true, 1},  {"Y", true, 1},   {"yes", true, 1},  {"F", false, 0},
               {"f", false, 0},    {"N", false, 0}, {"no", false, 0}, {"", false, -1},   {"1", false, -1},
               {"0", false, -1},   {" T", false, 1}, {"x", false, -1}, {"Ja", false, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(TextIsTrue(c.text), c.readsTrue) << c.text;
    bool b = false;
    const bool ok = TryTextToBoolean(c.text, b);
    EXPECT_EQ(ok ? (b ? 1 : 0) : -1, c.writes) << c.text;
  }
}
