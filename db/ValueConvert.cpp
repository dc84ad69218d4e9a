#include "db/ValueConvert.h"

#include <cmath>

namespace {

bool IsDateFieldType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp; }

int64_t RoundToInt64(double d) {
  // Round to nearest, halves to even, like the run-time library's Round.
  const double r = std::nearbyint(d);
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
    throw EConvertError("'" + FloatToStr(d) + "' is not a valid integer value");
  return static_cast<int64_t>(r);
}

bool IsBlank(const std::string& s) { return Trim(s).empty(); }

}  // namespace

bool IsTextFieldType(TFieldType t) {
  switch (t) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftAutoInc:
    case ftLargeint: case ftBoolean: case ftDate: case ftTime: case ftDateTime: case ftTimeStamp:
      return false;
    default:
      return true;
  }
}

bool IsIntegerFieldType(TFieldType t) {
  return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc || t == ftLargeint;
}

bool TextIsTrue(const std::string& s) {
  return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

bool TryTextToBoolean(const std::string& s, bool& value) {
  const std::string t = TrimLeft(s);
  return !t.empty() && TryLetterToBoolean(t[0], value);
}

bool TryLetterToBoolean(char c, bool& value) {
  switch (c) {
    case 'T': case 't': case 'Y': case 'y': value = true; return true;
    case 'F': case 'f': case 'N': case 'n': value = false; return true;
    default: return false;
  }
}

std::string ValueToString(const TValue& v, TFieldType type) {
  switch (v.index()) {
    case 0: return {};
    case 3: return std::get<bool>(v) ? "True" : "False";
    case 4: return std::get<std::string>(v);
    default: break;
  }
  const double d = v.index() == 1 ? static_cast<double>(std::get<int64_t>(v)) : std::get<double>(v);
  switch (type) {
    case ftDate: return DateToStr(d);
    case ftTime: return TimeToStr(d);
    case ftDateTime: case ftTimeStamp: return DateTimeToStr(d);
    default: break;
  }
  if (v.index() == 1) return IntToStr(std::get<int64_t>(v));
  return FloatToStr(d);
}

int64_t ValueToLargeInt(const TValue& v) {
  switch (v.index()) {
    case 1: return std::get<int64_t>(v);
    case 2: return RoundToInt64(std::get<double>(v));
    case 3: return std::get<bool>(v) ? 1 : 0;
    case 4: {
      const std::string& s = std::get<std::string>(v);
      return IsBlank(s) ? 0 : StrToInt64(Trim(s));
    }
    default: return 0;
  }
}

int32_t ValueToInteger(const TValue& v) {
  const int64_t i = ValueToLargeInt(v);
  if (i < INT32_MIN || i > INT32_MAX) throw EConvertError("'" + IntToStr(i) + "' is not a valid integer value");
  return static_cast<int32_t>(i);
}

double ValueToFloat(const TValue& v) {
  switch (v.index()) {
    case 1: return static_cast<double>(std::get<int64_t>(v));
    case 2: return std::get<double>(v);
    case 3: return std::get<bool>(v) ? 1.0 : 0.0;
    case 4: {
      const std::string& s = std::get<std::string>(v);
      return IsBlank(s) ? 0.0 : static_cast<double>(StrToFloat(Trim(s)));
    }
    default: return 0.0;
  }
}

bool ValueToBoolean(const TValue& v) {
  switch (v.index()) {
    case 1: return std::get<int64_t>(v) != 0;
    case 2: return std::get<double>(v) != 0.0;
    case 3: return std::get<bool>(v);
    case 4: return TextIsTrue(std::get<std::string>(v));
    default: return false;
  }
}

TDateTime ValueToDateTime(const TValue& v) {
  if (v.index() == 4) {
    const std::string& s = std::get<std::string>(v);
    return IsBlank(s) ? 0.0 : StrToDateTime(Trim(s));
  }
  return ValueToFloat(v);
}

TValue ValueForField(const TValue& v, TFieldType type) {
  if (ValueIsNull(v)) return v;
  const bool text = v.index() == 4;
  if (IsTextFieldType(type)) {
    std::string s = ValueToString(v, type);
    if (s.empty()) return {};
    return s;
  }
  if (text && IsBlank(std::get<std::string>(v))) return {};
  if (type == ftBoolean) {
    if (!text) return ValueToBoolean(v);
    bool b = false;
    if (!TryTextToBoolean(std::get<std::string>(v), b))
      throw EConvertError("'" + std::get<std::string>(v) + "' is not a valid boolean value");
    return b;
  }
  if (IsIntegerFieldType(type)) return ValueToLargeInt(v);
  if (IsDateFieldType(type) && text) {
    const std::string s = Trim(std::get<std::string>(v));
    if (type == ftDate) return std::trunc(StrToDate(s));
    if (type == ftTime) return StrToTime(s);
    return StrToDateTime(s);
  }
  const double d = ValueToFloat(v);
  return type == ftDate ? std::trunc(d) : d;
}
