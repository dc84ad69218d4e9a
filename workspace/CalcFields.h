#pragma once
// Calculated fields as the row rules and the Calculated Fields page see them:
// named, typed expressions kept by the project. Names are upper case.

#include <cstdint>
#include <string>
#include <vector>

// Result types of calculated fields: the items of the type combo, in order.
enum TCalcFieldType : int32_t { cftInteger = 0, cftFloat = 1, cftBoolean = 2, cftString = 3, cftDateTime = 4 };
constexpr int CalcFieldTypeCount = 5;
// The type combo's item texts, "Integer" ... "DateTime".
const std::string& CalcFieldTypeName(int typeIndex);

struct TCalcFieldDef {
  std::string Expression;
  bool HasType = false;  // the type entry exists
  int32_t TypeIndex = cftString;
};

// Where calculated fields are defined (the project).
class ICalcFieldSource {
public:
  virtual ~ICalcFieldSource() = default;
  // The field of exactly that (upper-case) name; false when there is none.
  virtual bool FindCalcField(const std::string& name, TCalcFieldDef& def) const = 0;
};

// The same with the edits of the Calculated Fields page.
class ICalcFieldStore : public ICalcFieldSource {
public:
  // In character-code order (B2 before BA).
  virtual std::vector<std::string> CalcFieldNames() = 0;
  // A new field: empty expression, type String.
  virtual void AddCalcField(const std::string& name) = 0;
  virtual void DeleteCalcField(const std::string& name) = 0;
  virtual void SetCalcExpression(const std::string& name, const std::string& expression) = 0;
  virtual void SetCalcType(const std::string& name, int32_t typeIndex) = 0;
};
