#include "support/MemoryFieldSource.h"

namespace {
const TMemoryFieldSource::TValue kNull;
}

int TMemoryFieldSource::AddField(const std::string& name, TFieldType type) {
  fields_.push_back({name, type});
  return static_cast<int>(fields_.size()) - 1;
}

void TMemoryFieldSource::AddRow(std::vector<TValue> values) {
  values.resize(fields_.size());
  rows_.push_back(std::move(values));
}

void TMemoryFieldSource::Set(int field, TValue v) {
  if (rows_.empty()) AddRow({});
  rows_[current_][field] = std::move(v);
}

const TMemoryFieldSource::TValue& TMemoryFieldSource::At(int index) const {
  if (current_ < 0 || current_ >= static_cast<int>(rows_.size())) return kNull;
  const auto& row = rows_[current_];
  return index < static_cast<int>(row.size()) ? row[index] : kNull;
}

bool TMemoryFieldSource::FieldIsNull(int index) const {
  return std::holds_alternative<std::monostate>(At(index));
}

int32_t TMemoryFieldSource::FieldAsInteger(int index) const {
  const TValue& v = At(index);
  if (auto p = std::get_if<int32_t>(&v)) return *p;
  if (auto p = std::get_if<double>(&v)) return static_cast<int32_t>(*p);
  if (auto p = std::get_if<bool>(&v)) return *p ? 1 : 0;
  return 0;
}

double TMemoryFieldSource::FieldAsFloat(int index) const {
  const TValue& v = At(index);
  if (auto p = std::get_if<double>(&v)) return *p;
  if (auto p = std::get_if<int32_t>(&v)) return *p;
  return 0;
}

bool TMemoryFieldSource::FieldAsBoolean(int index) const {
  const TValue& v = At(index);
  if (auto p = std::get_if<bool>(&v)) return *p;
  if (auto p = std::get_if<int32_t>(&v)) return *p != 0;
  return false;
}

std::string TMemoryFieldSource::FieldAsString(int index) const {
  const TValue& v = At(index);
  if (auto p = std::get_if<std::string>(&v)) return *p;
  if (auto p = std::get_if<int32_t>(&v)) return std::to_string(*p);
  return std::string();
}

TDateTime TMemoryFieldSource::FieldAsDateTime(int index) const { return FieldAsFloat(index); }
