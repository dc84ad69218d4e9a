#pragma once
// The report field list of the Report Configuration window, which holds it:
// the project stores it as its "Report" entry (ReportEntryText's form), and
// Prepare copies the values of these fields into every item's report text.

#include <string>
#include <vector>

class IReportFieldList {
public:
  virtual ~IReportFieldList() = default;
  virtual std::vector<std::string> ReportFields() const = 0;
  // The project's "Report" entry: read when the project is saved, set when it is opened.
  virtual std::string ReportEntry() const = 0;
  virtual void SetReportEntry(const std::string& text) = 0;
};
