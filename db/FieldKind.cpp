#include "db/FieldKind.h"

#include <algorithm>

#include "db/DataSet.h"
#include "platform/SysUtils.h"

TFieldKind FieldKind(TFieldType dataType) {
  switch (dataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftAutoInc:
    case ftLargeint: return fkNumber;
    case ftDate:
    case ftTime:
    case ftDateTime: return fkDateTime;
    case ftBoolean: return fkBoolean;
    case ftMemo:
    case ftFmtMemo: return fkMemo;
    default: return fkText;
  }
}

int32_t FieldDisplayWidth(TFieldKind kind, const std::string& fieldName, int fieldSize) {
  const int n = Utf8Length(fieldName);
  switch (kind) {
    case fkText: return std::max(n, std::clamp(fieldSize, 7, 10));
    case fkNumber: return std::max(n, 7);
    case fkDateTime: return std::max(n, 9);
    case fkBoolean: return std::max(n + 2, 1);
    case fkMemo: return std::max(n, 40);
  }
  return n;
}

int32_t FieldDisplayWidth(TFieldKind kind, const TField& field) {
  return FieldDisplayWidth(kind, field.FieldName(), field.Size());
}

std::string FieldValueText(const IFieldSource& record, int index) {
  switch (FieldKind(record.FieldDataType(index))) {
    case fkText:
    case fkMemo: return record.FieldAsString(index);
    case fkNumber: return FloatToStr(record.FieldAsFloat(index));
    case fkDateTime: return DateTimeToStr(record.FieldAsDateTime(index));
    case fkBoolean: return record.FieldAsBoolean(index) ? "True" : "False";
  }
  return {};
}
