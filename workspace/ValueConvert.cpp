#include "workspace/ValueConvert.h"

#include <cmath>

#include "platform/SysUtils.h"

std::string ValueText(const TValue& value, TFieldType type) {
  if (const std::string* s = std::get_if<std::string>(&value)) return *s;
  return ValueToString(value, type);
}

bool ValueBoolean(const TValue& value) {
  if (const bool* b = std::get_if<bool>(&value)) return *b;
  return ValueToFloat(value) != 0.0;
}

bool IsTableDate(double day) {
  if (!std::isfinite(day)) return false;
  int y = 0, m = 0, d = 0;
  DecodeDate(day, y, m, d);
  return y > 0;
}
