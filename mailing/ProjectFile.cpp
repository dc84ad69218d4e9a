#include "mailing/ProjectFile.h"

#include <cstdint>
#include <filesystem>
#include <unistd.h>

#include "mailing/Project.h"
#include "toolkit/StrFile.h"

namespace fs = std::filesystem;

const char* const ProjectExtension = ".lkp";

std::string ProjectWriteName(const std::string& fileName) {
  if (fs::path(fileName).extension().empty()) return fileName + ProjectExtension;
  return fileName;
}

std::string BackupFileName(const std::string& path) {
  const fs::path p(path);
  return (p.parent_path() / ("Backup of " + p.filename().string())).string();
}

TProjectLoad TProject::LoadFromFile(const std::string& fileName) {
  Clear();
  {
    TFileHandle h;
    int32_t format = 0;
    if (!h.Open(fileName, TFileAccess::Read) || !ReadInt32(h, format)) return TProjectLoad::Unreadable;
    if (format > ProjectFormatMax) return TProjectLoad::NewerFormat;
  }
  // The list stops by itself at a key or code cut short; the codec throws at a
  // payload cut short. Either way what was read before stays.
  try {
    auto load = DList1.OnLoadStructure;
    int64_t end = 4;
    DList1.OnLoadStructure = [&](TDList*, int code, void*& p, TFileHandle& h, int) {
      p = LoadPayload(code, h);
      end = h.Position();
    };
    struct TRestore {
      TDList& l;
      TLoadStructure f;
      ~TRestore() { l.OnLoadStructure = std::move(f); }
    } restore{DList1, std::move(load)};
    DList1.LoadFromFile(fileName, ProjectFormatMax);
    // The last complete entry must end the file; else an entry header was cut short.
    std::error_code ec;
    const auto fileSize = fs::file_size(fileName, ec);
    return !ec && static_cast<int64_t>(fileSize) != end ? TProjectLoad::Damaged : TProjectLoad::Loaded;
  } catch (const EProjectDamaged&) {
    return TProjectLoad::Damaged;
  }
}

bool TProject::SaveToFile(const std::string& fileName, int format) {
  const std::string target = ProjectWriteName(fileName);
  const fs::path targetPath(target);
  // Short, so that a name near the length limit still leaves room for it.
  const std::string tmp = (targetPath.parent_path() / (".~lkp" + std::to_string(::getpid()) + ".tmp")).string();
  std::error_code ec;
  fs::remove(tmp, ec);

  // Every entry's header and payload must land where expected: a short write
  // (a full disk) shows as a position that does not follow.
  int64_t expectedEnd = 4;
  bool failed = false;
  {
    auto save = DList1.OnSaveStructure;
    DList1.OnSaveStructure = [&](TDList* list, int code, void* p, TFileHandle& h, int) {
      std::string key;
      list->GetKey(key);
      if (h.Position() != expectedEnd + 8 + static_cast<int64_t>(key.size())) failed = true;
      if (!SavePayload(code, p, h)) failed = true;
      expectedEnd = h.Position();
    };
    struct TRestore {
      TDList& l;
      TSaveStructure f;
      ~TRestore() { l.OnSaveStructure = std::move(f); }
    } restore{DList1, std::move(save)};
    // Every entry, unknown keys with any number of separators included.
    DList1.SetScanRange("", 0, INT32_MAX);
    try {
      DList1.SaveToFile(tmp, format);
    } catch (...) {
      failed = true;
    }
  }
  const auto size = fs::file_size(tmp, ec);
  if (ec || failed || static_cast<int64_t>(size) != expectedEnd) {
    fs::remove(tmp, ec);
    return false;
  }
  {
    TFileHandle h;
    if (!h.Open(tmp, TFileAccess::ReadWrite) || !h.Flush()) {
      h.Close();
      fs::remove(tmp, ec);
      return false;
    }
  }

  // The old file becomes the backup; a hard link keeps the name in place
  // until the rename replaces it in one step.
  bool movedAway = false;
  if (fs::exists(targetPath, ec)) {
    const std::string backup = BackupFileName(target);
    fs::remove(backup, ec);
    fs::create_hard_link(targetPath, backup, ec);
    if (ec) {
      fs::rename(targetPath, backup, ec);
      movedAway = !ec;
    }
  }
  fs::rename(tmp, targetPath, ec);
  if (ec) {
    std::error_code ignored;
    if (movedAway) fs::rename(BackupFileName(target), targetPath, ignored);
    fs::remove(tmp, ignored);
    return false;
  }
  return true;
}
