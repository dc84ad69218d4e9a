#pragma once
// Readings of a field value shared by the table copier and Add Table.

#include <string>

#include "db/DataSet.h"

// The text of a value: a string as it is, anything else as the dataset shows it.
std::string ValueText(const TValue& value, TFieldType type);
// A boolean as it is; any other value: non-zero.
bool ValueBoolean(const TValue& value);
// A day count of the years 1..9999, the dates a table can hold.
bool IsTableDate(double day);
