#pragma once
// Small stand-ins for what the merge asks of the main window: one in-memory
// record, a tag-value source over it with scripted calculated fields, and a tag sign.

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "db/DataSet.h"
#include "mailing/Merge.h"
#include "platform/MessageBox.h"
#include "platform/FieldTypes.h"
#include "toolkit/FieldSource.h"
#include "toolkit/Reader.h"
#include "workspace/MergeReader.h"

// One record; values are text, number, boolean or date-time by the field's type.
class TFakeRecord : public IFieldSource {
public:
  using TValue = std::variant<std::string, double, bool>;
  struct TField {
    std::string name;
    TFieldType type;
    TValue value;
  };
  std::vector<TField> fields;

  void Add(const std::string& name, TFieldType type, TValue value) { fields.push_back({name, type, std::move(value)}); }
  TValue& Value(const std::string& name) {
    for (auto& f : fields)
      if (f.name == name) return f.value;
    throw std::out_of_range(name);
  }

  int FieldCount() const override { return static_cast<int>(fields.size()); }
  std::string FieldName(int i) const override { return fields[static_cast<size_t>(i)].name; }
  TFieldType FieldDataType(int i) const override { return fields[static_cast<size_t>(i)].type; }
  bool FieldIsNull(int) const override { return false; }
  int32_t FieldAsInteger(int i) const override { return static_cast<int32_t>(FieldAsFloat(i)); }
  double FieldAsFloat(int i) const override {
    const TValue& v = fields[static_cast<size_t>(i)].value;
    if (auto* d = std::get_if<double>(&v)) return *d;
    if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    return 0;
  }
  bool FieldAsBoolean(int i) const override {
    const TValue& v = fields[static_cast<size_t>(i)].value;
    if (auto* b = std::get_if<bool>(&v)) return *b;
    return FieldAsFloat(i) != 0;
  }
  std::string FieldAsString(int i) const override {
    const TValue& v = fields[static_cast<size_t>(i)].value;
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    return {};
  }
  TDateTime FieldAsDateTime(int i) const override { return FieldAsFloat(i); }
};

// Calculated fields answer from a script (value, or failure); table fields
// come from the record through FieldTagValue. Counts what was asked.
class TFakeTagSource : public ITagValueSource {
public:
  struct TCalc {
    bool ok;
    std::string value;
  };
  std::map<std::string, TCalc> calc;  // upper-case names
  const IFieldSource* record = nullptr;
  std::vector<std::string> asked;  // every name asked for, in order
  int evalStopClears = 0;

  void SetFieldSource(TDataSet&) override {}
  void ClearEvalStop() override { ++evalStopClears; }
  bool EvalStopFlag() const override { return false; }
  TCalcFieldResult CalcFieldValue(const std::string& name, std::string& value) override {
    asked.push_back(name);
    auto it = calc.find(name);
    if (it == calc.end()) return TCalcFieldResult::NotFound;
    if (!it->second.ok) return TCalcFieldResult::Failed;
    value = it->second.value;
    return TCalcFieldResult::Evaluated;
  }
  bool TableFieldValue(const std::string& name, std::string& value) override {
    return record && FieldTagValue(*record, name, value);
  }
};

// The warnings as the windows show them.
class TBoxedMergeWarnings : public IMergeWarnings {
public:
  void ShowWarning(const std::string& text) override { InfoBox(text); }
};

class TFakeSign : public ITagSignSource {
public:
  explicit TFakeSign(char s = '%') : sign(s) {}
  char sign;
  mutable int reads = 0;
  char TagSign() const override {
    ++reads;
    return sign;
  }
};

// The table's current record for the real merger; the stop flag and an
// exception can be raised at a chosen record (the exception for any name
// but EMAIL).
class TFakeTableTagSource : public ITagValueSource {
public:
  void SetFieldSource(TDataSet& t) override { table = &t; }
  void ClearEvalStop() override { stop = false; }
  bool EvalStopFlag() const override { return stop; }
  TCalcFieldResult CalcFieldValue(const std::string&, std::string&) override { return TCalcFieldResult::NotFound; }
  bool TableFieldValue(const std::string& name, std::string& value) override {
    stop = table->RecNo() == stopAt;
    if (table->RecNo() == throwAt && name != "EMAIL") throw std::runtime_error("merge broke");
    return FieldTagValue(*table, name, value);
  }

  TDataSet* table = nullptr;
  int stopAt = -1, throwAt = -1;
  bool stop = false;
};
