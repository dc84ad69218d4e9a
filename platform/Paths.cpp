#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>

std::string IncludeTrailingSlash(const std::string& dir) {
  if (dir.empty() || dir.back() == '/') return dir;
  return dir + "/";
}

std::string ResolveAppDir() {
  std::string dir;
  if (const char* h = std::getenv("LARKPOST_HOME"); h && *h) {
    dir = h;
  } else if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
    dir = std::string(x) + "/larkpost";
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    dir = std::string(home) + "/.local/share/larkpost";
  } else {
    dir = "/tmp/larkpost";
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return IncludeTrailingSlash(dir);
}

std::string SystemTempDir() {
  if (const char* t = std::getenv("TMPDIR"); t && *t) return IncludeTrailingSlash(t);
  return "/tmp/";
}

std::string DamagedCopyName(const std::string& fileName) { return fileName + ".damaged"; }

bool KeepDamagedCopy(const std::string& fileName) {
  std::error_code ec;
  std::filesystem::copy_file(fileName, DamagedCopyName(fileName), std::filesystem::copy_options::overwrite_existing,
                             ec);
  return !ec;
}
