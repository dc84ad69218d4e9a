#include "platform/Routines.h"

#include <filesystem>

#include "platform/Paths.h"

namespace {

int CharCount(const std::string& s) {
  int n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

bool NameTaken(const std::string& path) {
  std::error_code ec;
  // A dangling link is a taken name too: writing through it would land elsewhere.
  auto st = std::filesystem::symlink_status(path, ec);
  if (ec) return st.type() != std::filesystem::file_type::not_found && st.type() != std::filesystem::file_type::none;
  return std::filesystem::exists(st);
}

}  // namespace

std::string MakeTempFileName(const std::string& Dir, const std::string& Prefix, const std::string& Ext) {
  std::string dir = Dir;
  if (dir.empty())
    dir = SystemTempDir();
  else if (dir.back() != '/' && dir.back() != '\\')
    dir += '/';
  if (CharCount(Prefix) >= 8) return dir + Prefix + "." + Ext;
  // Bounded, so that a folder we cannot read does not keep us here forever.
  for (long i = 0; i < 1000000; ++i) {
    std::string name = dir + Prefix + std::to_string(i) + "." + Ext;
    if (!NameTaken(name)) return name;
  }
  return dir + Prefix + "." + Ext;
}

std::string RemoveFileExt(const std::string& FileName) {
  size_t dot = FileName.rfind('.');
  if (dot == std::string::npos) return FileName;
  size_t slash = FileName.find_last_of("/\\");
  if (slash != std::string::npos && slash > dot) return FileName;
  return FileName.substr(0, dot);
}

bool HasNonBlank(const std::string& S) {
  for (char c : S)
    if (c != ' ' && c != '\r' && c != '\n') return true;
  return false;
}
