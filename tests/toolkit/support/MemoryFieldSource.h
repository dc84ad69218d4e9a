#pragma once
// A field source over rows held in memory, for evaluator tests and benchmarks.

#include <string>
#include <variant>
#include <vector>

#include "toolkit/FieldSource.h"

class TMemoryFieldSource : public IFieldSource {
public:
  using TValue = std::variant<std::monostate, int32_t, double, bool, std::string>;

  struct TField {
    std::string name;
    TFieldType type;
  };

  // Adds a field; returns its index.
  int AddField(const std::string& name, TFieldType type);
  // Appends a row of values in field order (missing values are null).
  void AddRow(std::vector<TValue> values);
  void SetCurrent(int row) { current_ = row; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  void Set(int field, TValue v);  // in the current row

  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  std::string FieldName(int index) const override { return fields_[index].name; }
  TFieldType FieldDataType(int index) const override { return fields_[index].type; }
  bool FieldIsNull(int index) const override;
  int32_t FieldAsInteger(int index) const override;
  double FieldAsFloat(int index) const override;
  bool FieldAsBoolean(int index) const override;
  std::string FieldAsString(int index) const override;
  TDateTime FieldAsDateTime(int index) const override;

private:
  const TValue& At(int index) const;

  std::vector<TField> fields_;
  std::vector<std::vector<TValue>> rows_;
  int current_ = 0;
};
