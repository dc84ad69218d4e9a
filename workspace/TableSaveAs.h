#pragma once
// The file side of the Restructure Table window's "Save As...": the target's
// name, the temporary table beside it, the copy, and the temporary files
// renamed into the target's place. The table on the target's name is removed
// only after every row has been written, so saving a table onto its own file
// keeps its rows, and a failed copy leaves the target as it was.

#include <functional>
#include <string>

#include "db/DataSet.h"
#include "workspace/TableCopy.h"
#include "workspace/TableStructure.h"

// "At least one field is required" for an empty layout, else "".
std::string CheckStructureForSave(const TTableStructure& structure);

// The save dialog's name with ".dbf" added when it has no extension.
std::string SaveAsTargetName(const std::string& chosen);

// The temporary table in the target's folder: "tmp" + the first free number + ".dbf".
std::string SaveAsTempName(const std::string& target);

// The connection string of a table saved by the window ("DSN=dBASE Files", the
// "{dBASE Driver (*.dbf)}" driver, the folder twice).
std::string SavedTableConnectionString(const std::string& folder);

struct TSaveAsRequest {
  std::string Target;          // from SaveAsTargetName
  TDataSet* Source = nullptr;  // the open table (restructure mode), else null
  TCopyRowsRequest Copy;
  // Step between the copy and the renames: the caller notes the sort and closes the
  // main query and the window's queries, so nothing holds the old files.
  std::function<void()> CloseTables;
};

struct TSaveAsResult {
  bool Saved = false;
  std::string Folder;     // its folder with a trailing "/" (the new database folder)
  std::string TableName;  // its file name
  int64_t Rows = 0;
  std::string Error;  // why nothing was saved; empty when Saved
};

// The temporary table, CopyTable into it, CloseTables, then the renames. When the
// copy could not write all that was asked, the temporary files are removed, the
// target is left untouched and Error says why.
TSaveAsResult SaveStructureAs(TTableStructure& structure, const TSaveAsRequest& request);
