#include "workspace/SqlRules.h"

#include <filesystem>

std::string SqlSaveFileName(const std::string& chosen) {
  const std::filesystem::path p(chosen);
  return p.has_extension() ? chosen : chosen + ".sql";
}

int SqlDatabaseTypeFor(const std::string& path) {
  std::string p = path;
  while (!p.empty() && p.back() == '/') p.pop_back();
  return std::filesystem::path(p).filename().has_extension() ? 0 : 1;
}
