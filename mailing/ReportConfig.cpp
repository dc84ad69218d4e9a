#include "mailing/ReportConfig.h"

#include "db/DataSet.h"
#include "db/FieldKind.h"
#include "mailing/Report.h"
#include "platform/SysUtils.h"

std::vector<std::string> ReportFieldChoices(const TDataSet* table) {
  std::vector<std::string> names;
  if (!table || !table->Active()) return names;
  for (const auto& def : table->FieldDefs()) {
    const TFieldKind kind = FieldKind(def.DataType);
    if (kind != fkBoolean && kind != fkMemo) names.push_back(def.Name);
  }
  return names;
}

int AddReportField(std::vector<std::string>& fields, const std::string& name) {
  const std::string lower = AnsiLowerCase(name);
  for (const auto& f : fields)
    if (AnsiLowerCase(f) == lower) return -1;
  fields.push_back(name);
  return static_cast<int>(fields.size()) - 1;
}

int DeleteReportField(std::vector<std::string>& fields, int selected) {
  const int count = static_cast<int>(fields.size());
  if (selected < 0 || selected >= count) return -1;
  fields.erase(fields.begin() + selected);
  return fields.empty() ? -1 : (selected < count - 1 ? selected : count - 2);
}

TLogButtons UpdateLogButtons(bool fieldChosen, bool reportFieldSelected) { return {fieldChosen, reportFieldSelected}; }

std::string ReportEntryText(const std::vector<std::string>& fields) {
  std::string text;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) text += "\r\n";
    text += fields[i];
  }
  return text;
}

std::vector<std::string> ReportFieldsFromEntry(const std::string& text) {
  if (text.empty()) return {};
  return TextToLines(text);
}
