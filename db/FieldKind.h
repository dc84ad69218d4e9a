#pragma once
// The program-wide classification of field data types, and the display width
// of a field in characters.

#include <cstdint>
#include <string>

#include "platform/FieldTypes.h"

enum TFieldKind : uint8_t { fkText = 0, fkNumber = 1, fkDateTime = 2, fkBoolean = 3, fkMemo = 4 };

TFieldKind FieldKind(TFieldType dataType);

class IFieldSource;
// A field's value in the current record as text: text and memo as they are,
// numbers as FloatToStr and date-times as DateTimeToStr write them, Booleans
// "True" or "False".
std::string FieldValueText(const IFieldSource& record, int index);

class TField;
// Width from the field's name (counted in characters) and declared size.
int32_t FieldDisplayWidth(TFieldKind kind, const TField& field);
int32_t FieldDisplayWidth(TFieldKind kind, const std::string& fieldName, int fieldSize);
