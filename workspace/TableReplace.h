#pragma once
// Putting a newly written dBase table in the place of another. A table's own
// files are its companions: the same name, in any letter case, with one of the
// extensions .dbf, .dbt, .fpt (memos), .ndx, .mdx, .cdx, .idx (indexes) or .cfg
// (the grid's view configuration). Nothing else of that name is touched, so
// "report.docx" beside "report.dbf" survives.
//
// The new files are moved in by rename, the table file last, so the table's
// name always holds a whole table, the old one or the new one.

#include <string>
#include <vector>

// ".DBT" and ".dbt" alike.
bool IsTableCompanionExtension(const std::string& extension);

// The companion files of tableFile that exist now (tableFile itself included when it exists).
std::vector<std::string> TableCompanionFiles(const std::string& tableFile);

// Removes every companion of tableFile. False when one could not be removed.
bool RemoveTableFiles(const std::string& tableFile);

// Moves newTable and its companions onto target: newTable becomes target, each
// other companion target's name with its own extension; then removes the
// companions of target that were not replaced. False (with error set) when a
// rename fails; the files not yet moved stay where they were.
bool ReplaceTableFiles(const std::string& newTable, const std::string& target, std::string* error = nullptr);
