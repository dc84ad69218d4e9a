// The 48 built-in functions of the expression language.

#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>

#include "toolkit/EvalConvert.h"
#include "toolkit/FastEval.h"
#include "toolkit/FastEvalParser.h"

namespace {

struct TBuiltIn {
  uint8_t Id;
  const char* Name;
  TExprType Result;
  std::vector<TExprType> Params;
};

const std::vector<TBuiltIn>& BuiltIns() {
  constexpr TExprType I = etInteger, E = etExtended, B = etBoolean, S = etString, D = etDateTime;
  static const std::vector<TBuiltIn> table = {
      {1, "dayofweek", I, {D}},        {2, "pos", I, {S, S}},
      {3, "round", I, {E}},            {4, "length", I, {S}},
      {5, "strtoint", I, {S}},         {6, "iff", E, {B, E, E}},
      {7, "trunc", E, {E}},            {8, "frac", E, {E}},
      {9, "int", E, {E}},              {10, "exp", E, {E}},
      {11, "log", E, {E, E}},          {12, "ln", E, {E}},
      {13, "sin", E, {E}},             {14, "cos", E, {E}},
      {15, "arcsin", E, {E}},          {16, "arccos", E, {E}},
      {17, "sinh", E, {E}},            {18, "cosh", E, {E}},
      {19, "arcsinh", E, {E}},         {20, "arccosh", E, {E}},
      {21, "tan", E, {E}},             {22, "cotan", E, {E}},
      {23, "arctan", E, {E}},          {24, "tanh", E, {E}},
      {25, "arctanh", E, {E}},         {26, "sqr", E, {E}},
      {27, "sqrt", E, {E}},            {28, "abs", E, {E}},
      {29, "strtofloat", E, {S}},      {30, "not", B, {B}},
      {31, "isleapyear", B, {I}},      {32, "ansilowercase", S, {S}},
      {33, "ansiuppercase", S, {S}},   {34, "lowercase", S, {S}},
      {35, "uppercase", S, {S}},       {36, "copy", S, {S, E, E}},
      {37, "inttostr", S, {I}},        {38, "floattostr", S, {E}},
      {39, "datetimetostr", S, {D}},   {40, "timetostr", S, {D}},
      {41, "datetostr", S, {D}},       {42, "formatdatetime", S, {S, D}},
      {43, "encodedate", D, {I, I, I}}, {44, "encodetime", D, {I, I, I, I}},
      {45, "incmonth", D, {D, I}},     {46, "strtodate", D, {S}},
      {47, "strtodatetime", D, {S}},   {48, "strtotime", D, {S}},
  };
  return table;
}

// The floating-point unit's conversion to a 64-bit integer, without undefined
// behaviour: out of range gives the "integer indefinite" value.
int64_t FpuToInt64(long double v) {
  constexpr long double lim = 9223372036854775808.0L;  // 2^63
  if (!(v >= -lim && v < lim)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

int32_t Low32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

// Truncation toward zero into an Integer, clamped to its range.
int32_t TruncToInt(long double v) {
  if (std::isnan(v)) return 0;
  long double t = std::trunc(v);
  if (t >= 2147483647.0L) return std::numeric_limits<int32_t>::max();
  if (t <= -2147483648.0L) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(t);
}

}  // namespace

void TFastEval::RegisterBuiltIns() {
  for (const TBuiltIn& b : BuiltIns()) RegisterFunction(b.Id, b.Name, b.Result, b.Params);
}

bool TParser::RunBuiltIn(uint8_t id, TValueCell* a, const int* argEnds, TValueCell& r) {
  // A failed conversion lands on the last token of its argument.
  auto fail = [this](TEvalError code) {
    cursor_ = cursor_ >= 2 ? cursor_ - 2 : 0;
    RaiseError(code);
    return false;
  };
  // An invalid component lands on the last token of its own argument.
  auto failAt = [this, argEnds](int arg, TEvalError code) {
    cursor_ = argEnds[arg];
    RaiseError(code);
    return false;
  };
  // Date routines are defined for the years 1..9999 only.
  auto validDate = [](TDateTime d) { return std::isfinite(d) && d >= -693593.0 && d < 2958466.0; };
  switch (id) {
    case 1:
    case 39:
    case 40:
    case 41:
    case 45:
      if (!validDate(a[0].D)) return failAt(0, eeInvalidDate);
      break;
    case 42:
      if (!validDate(a[1].D)) return fail(eeInvalidDate);
      break;
  }
  switch (id) {
    case 1: r.I = DayOfWeek(a[0].D); return true;
    case 2: r.I = Utf8Pos(a[0].S, a[1].S); return true;
    case 3: r.I = Low32(FpuToInt64(std::nearbyint(a[0].E))); return true;
    case 4: r.I = Utf8Length(a[0].S); return true;
    case 5: {
      int v = 0;
      try {
        v = StrToInt(a[0].S);
      } catch (const std::exception&) {
        return fail(eeInvalidInteger);
      }
      r.I = v;
      return true;
    }
    case 6: r.E = a[0].B ? a[1].E : a[2].E; return true;
    case 7: r.E = static_cast<Extended>(FpuToInt64(std::trunc(a[0].E))); return true;
    case 8: r.E = a[0].E - std::trunc(a[0].E); return true;
    case 9: r.E = std::trunc(a[0].E); return true;
    case 10: r.E = std::exp(a[0].E); return true;
    case 11: r.E = std::log(a[1].E) / std::log(a[0].E); return true;
    case 12: r.E = std::log(a[0].E); return true;
    case 13: r.E = std::sin(a[0].E); return true;
    case 14: r.E = std::cos(a[0].E); return true;
    case 15: r.E = std::asin(a[0].E); return true;
    case 16: r.E = std::acos(a[0].E); return true;
    case 17: r.E = std::sinh(a[0].E); return true;
    case 18: r.E = std::cosh(a[0].E); return true;
    case 19: r.E = std::asinh(a[0].E); return true;
    case 20: r.E = std::acosh(a[0].E); return true;
    case 21: r.E = std::tan(a[0].E); return true;
    case 22: r.E = 1 / std::tan(a[0].E); return true;
    case 23: r.E = std::atan(a[0].E); return true;
    case 24: r.E = std::tanh(a[0].E); return true;
    case 25: r.E = std::atanh(a[0].E); return true;
    case 26: r.E = a[0].E * a[0].E; return true;
    case 27: r.E = std::sqrt(a[0].E); return true;
    case 28: r.E = std::fabs(a[0].E); return true;
    case 29: {
      int code = 0;
      Extended v = TextToExtended(a[0].S, code);
      if (code != 0) return fail(eeInvalidFloat);
      r.E = v;
      return true;
    }
    case 30: r.B = !a[0].B; return true;
    case 31: r.B = IsLeapYear(static_cast<uint16_t>(a[0].I)); return true;
    case 32: r.S = AnsiLowerCase(a[0].S); return true;
    case 33: r.S = AnsiUpperCase(a[0].S); return true;
    case 34: r.S = LowerCase(a[0].S); return true;
    case 35: r.S = UpperCase(a[0].S); return true;
    case 36: r.S = Utf8Copy(a[0].S, TruncToInt(a[1].E), TruncToInt(a[2].E)); return true;
    case 37: r.S = IntToStr(a[0].I); return true;
    case 38: r.S = ExtendedToText(a[0].E); return true;
    case 39: r.S = DateTimeToStr(a[0].D); return true;
    case 40: r.S = TimeToStr(a[0].D); return true;
    case 41: r.S = DateToStr(a[0].D); return true;
    case 42: r.S = FormatDateTime(a[0].S, a[1].D); return true;
    case 43: {
      const uint16_t y = static_cast<uint16_t>(a[0].I), m = static_cast<uint16_t>(a[1].I),
                     d = static_cast<uint16_t>(a[2].I);
      if (y < 1 || y > 9999) return failAt(0, eeInvalidDate);
      if (m < 1 || m > 12) return failAt(1, eeInvalidDate);
      if (!TryEncodeDate(y, m, d, r.D)) return failAt(2, eeInvalidDate);
      return true;
    }
    case 44: {
      const uint16_t h = static_cast<uint16_t>(a[0].I), n = static_cast<uint16_t>(a[1].I),
                     s = static_cast<uint16_t>(a[2].I), ms = static_cast<uint16_t>(a[3].I);
      if (h >= 24) return failAt(0, eeInvalidTime);
      if (n >= 60) return failAt(1, eeInvalidTime);
      if (s >= 60) return failAt(2, eeInvalidTime);
      if (!TryEncodeTime(h, n, s, ms, r.D)) return failAt(3, eeInvalidTime);
      return true;
    }
    case 45:
      // A result beyond the years 1..9999 is no date.
      try {
        r.D = IncMonth(a[0].D, a[1].I);
      } catch (const std::exception&) {
        return failAt(1, eeInvalidDate);
      }
      return true;
    case 46:
    case 47:
    case 48: {
      try {
        r.D = id == 46 ? StrToDate(a[0].S) : id == 47 ? StrToDateTime(a[0].S) : StrToTime(a[0].S);
      } catch (const std::exception&) {
        return fail(id == 46 ? eeInvalidDate : id == 47 ? eeInvalidDateTime : eeInvalidTime);
      }
      return true;
    }
  }
  return false;
}
