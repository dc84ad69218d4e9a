#include "workspace/TableSaveAs.h"

#include <filesystem>

#include "platform/Routines.h"
#include "workspace/TableReplace.h"

namespace fs = std::filesystem;

namespace {

const char* const SavedTableDriver = "{dBASE Driver (*.dbf)}";

std::string FolderOf(const std::string& file) {
  const std::string folder = FolderOfFile(file);
  return folder.empty() ? std::string("./") : folder;
}

}  // namespace

std::string CheckStructureForSave(const TTableStructure& structure) {
  return structure.empty() ? "At least one field is required" : std::string();
}

std::string SaveAsTargetName(const std::string& chosen) {
  return fs::path(chosen).has_extension() ? chosen : chosen + ".dbf";
}

std::string SaveAsTempName(const std::string& target) { return MakeTempFileName(FolderOf(target), "tmp", "dbf"); }

std::string SavedTableConnectionString(const std::string& folder) {
  return "DSN=dBASE Files;" + BuildConnectionString(folder, folder, SavedTableDriver);
}

TSaveAsResult SaveStructureAs(TTableStructure& structure, const TSaveAsRequest& request) {
  TSaveAsResult r;
  r.Folder = FolderOf(request.Target);
  r.TableName = NameOfFile(request.Target);
  const std::string temp = SaveAsTempName(request.Target);
  const TCopyResult copy = CopyTable(temp, structure, request.Source, request.Copy);
  r.Rows = copy.Rows;
  if (!copy.TableWritten || !copy.Error.empty()) {
    RemoveTableFiles(temp);
    r.Error = copy.Error.empty() ? "Cannot create the table: " + temp : copy.Error;
    return r;
  }
  if (request.CloseTables) request.CloseTables();
  if (!ReplaceTableFiles(temp, request.Target, &r.Error)) {
    RemoveTableFiles(temp);
    return r;
  }
  r.Saved = true;
  return r;
}
