#include "workspace/CalcFields.h"

#include <array>

const std::string& CalcFieldTypeName(int typeIndex) {
  static const std::array<std::string, CalcFieldTypeCount> names{"Integer", "Float", "Boolean",
                                                                  "String", "DateTime"};
  static const std::string none;
  return typeIndex >= 0 && typeIndex < CalcFieldTypeCount ? names[typeIndex] : none;
}
