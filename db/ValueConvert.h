#pragma once
// Field values and the one set of rules for reading a value as another type.
// TField::As... (grid, editor) and the dataset's IFieldSource (evaluator) both
// read through these functions, so a field gives the same answer either way.
//
// The rules follow the run-time library the program was designed on
// (TField's typed accessors):
//
//   value held \ read as | String             | Integer / LargeInt      | Float          | Boolean              | DateTime
//   ---------------------+--------------------+-------------------------+----------------+----------------------+----------------
//   null                 | ""                 | 0                       | 0              | false                | 0
//   integer              | IntToStr (1)       | itself (2)              | itself         | not 0                | the day count
//   float                | FloatToStr (1)     | rounded, halves to even | itself         | not 0                | itself
//   boolean              | "True" / "False"   | 1 / 0                   | 1 / 0          | itself               | 1 / 0
//   text                 | itself             | StrToInt64 (3)          | StrToFloat (3) | starts with T t Y y  | StrToDateTime (3)
//
//   (1) in a date, time or date-time field: DateToStr / TimeToStr / DateTimeToStr.
//   (2) Integer (32 bits) of a value outside its range throws EConvertError; so does
//       LargeInt of a float outside 64 bits, NaN or an infinity.
//   (3) Blanks around the text are ignored; a blank text reads as 0; any other text
//       that does not convert throws EConvertError.
//
// Text written into a Boolean field (typed in, a Locate key) is true when it starts
// with T t Y y and false when it starts with F f N n (the letters of dBase logical
// fields), after leading blanks; anything else does not convert.

#include <cstdint>
#include <string>
#include <variant>

#include "platform/FieldTypes.h"
#include "platform/SysUtils.h"

// A field value. Dates and date-times are TDateTime day counts held as double;
// blobs are the raw bytes in the string.
using TValue = std::variant<std::monostate, int64_t, double, bool, std::string>;

inline bool ValueIsNull(const TValue& v) { return std::holds_alternative<std::monostate>(v); }

std::string ValueToString(const TValue& v, TFieldType type);
int32_t ValueToInteger(const TValue& v);
int64_t ValueToLargeInt(const TValue& v);
double ValueToFloat(const TValue& v);
bool ValueToBoolean(const TValue& v);
TDateTime ValueToDateTime(const TValue& v);

// The reading rule for a text read as a Boolean.
bool TextIsTrue(const std::string& s);
// The writing rule; false when the text is neither. The letter alone: a dBase logical field.
bool TryTextToBoolean(const std::string& s, bool& value);
bool TryLetterToBoolean(char c, bool& value);

// Field types whose values are held as text (or bytes), and those held as integers.
bool IsTextFieldType(TFieldType t);
bool IsIntegerFieldType(TFieldType t);

// The value a field of the given type stores when it is set to v: the setters
// TField::SetAs... and the drivers' typed columns use it. Text converts by the
// rules above (a Boolean by the writing rule); throws EConvertError when it does
// not. Null stays null; blank text into a non-text field is null.
TValue ValueForField(const TValue& v, TFieldType type);
