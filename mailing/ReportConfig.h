#pragma once
// The report configuration without its window: which table fields may be
// chosen, the list of report fields with its Add and Delete rules, and the
// list's form in the project's "Report" entry (the names joined by CR LF).

#include <string>
#include <vector>

class TDataSet;

// The open table's field names in field order, without Boolean and memo
// fields; empty when no table is open.
std::vector<std::string> ReportFieldChoices(const TDataSet* table);

// What the window says when the name to add is in the list already.
inline constexpr const char* ReportFieldExistsText = "Already Exists";

// Appends the name and returns its index; -1 for a name already in the list
// (compared without regard to case).
int AddReportField(std::vector<std::string>& fields, const std::string& name);
// Removes the selected entry; returns the new selection: the same position,
// the last entry when it was the last, -1 when the list is empty.
int DeleteReportField(std::vector<std::string>& fields, int selected);

struct TLogButtons {
  bool AddField = false;
  bool Delete = false;
};
TLogButtons UpdateLogButtons(bool fieldChosen, bool reportFieldSelected);

std::string ReportEntryText(const std::vector<std::string>& fields);
std::vector<std::string> ReportFieldsFromEntry(const std::string& text);
