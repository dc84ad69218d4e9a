#pragma once
// The evaluator's own text conversions: they report failure instead of throwing.

#include <string>

#include "platform/SysUtils.h"

// Val into a long double: optional leading spaces and sign, digits with "." as
// the decimal separator whatever the locale, optional exponent. code is 0 on
// success, otherwise the 1-based position of the first character that does not fit.
long double TextToExtended(const std::string& s, int& code);

// FloatToStr with its first "," replaced by ".".
std::string ExtendedToText(long double value);

// Value equals its nearest integer (false for NaN and infinities).
bool IsIntegral(long double value);

// A time filling the whole text, by the locale's separators and AM/PM strings.
bool TryTextToTime(const std::string& s, TDateTime& value);
// A date optionally followed by a time, or a time alone (locale rules).
bool TryTextToDateTime(const std::string& s, TDateTime& value);
