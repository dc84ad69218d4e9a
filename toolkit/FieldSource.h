#pragma once
// The fields of a current record, as the evaluator reads them. The table
// dataset implements it; tests use small in-memory sources.

#include <cstdint>
#include <string>

#include "platform/FieldTypes.h"
#include "platform/SysUtils.h"

class IFieldSource {
public:
  virtual ~IFieldSource() = default;
  virtual int FieldCount() const = 0;
  virtual std::string FieldName(int index) const = 0;
  virtual TFieldType FieldDataType(int index) const = 0;
  virtual bool FieldIsNull(int index) const = 0;
  virtual int32_t FieldAsInteger(int index) const = 0;
  virtual double FieldAsFloat(int index) const = 0;
  virtual bool FieldAsBoolean(int index) const = 0;
  virtual std::string FieldAsString(int index) const = 0;
  virtual TDateTime FieldAsDateTime(int index) const = 0;
};
