#include "workspace/TableReplace.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/SysUtils.h"

namespace fs = std::filesystem;

namespace {

fs::path FolderOf(const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("."); }

std::string Key(const fs::path& p) { return p.lexically_normal().string(); }

}  // namespace

bool IsTableCompanionExtension(const std::string& extension) {
  static const char* const extensions[] = {".dbf", ".dbt", ".fpt", ".ndx", ".mdx", ".cdx", ".idx", ".cfg"};
  const std::string e = LowerCase(extension);
  return std::any_of(std::begin(extensions), std::end(extensions), [&](const char* x) { return e == x; });
}

std::vector<std::string> TableCompanionFiles(const std::string& tableFile) {
  const fs::path table(tableFile);
  const std::string stem = AnsiLowerCase(table.stem().string());
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(FolderOf(table), ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    std::error_code fec;
    if (!it->is_regular_file(fec)) continue;
    if (AnsiLowerCase(p.stem().string()) == stem && IsTableCompanionExtension(p.extension().string()))
      out.push_back((FolderOf(table) / p.filename()).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool RemoveTableFiles(const std::string& tableFile) {
  bool ok = true;
  for (const std::string& f : TableCompanionFiles(tableFile)) {
    std::error_code ec;
    fs::remove(f, ec);
    if (ec) ok = false;
  }
  return ok;
}

bool ReplaceTableFiles(const std::string& newTable, const std::string& target, std::string* error) {
  const fs::path from(newTable), to(target);
  if (Key(from) == Key(to)) return true;
  const fs::path folder = FolderOf(to);
  const std::string stem = to.stem().string();
  std::set<std::string> placed{Key(to)};
  auto move = [&](const fs::path& a, const fs::path& b) {
    std::error_code ec;
    fs::rename(a, b, ec);
    if (ec && error) *error = "Cannot rename " + a.string() + " to " + b.string() + " (" + ec.message() + ")";
    return !ec;
  };
  for (const std::string& f : TableCompanionFiles(newTable)) {
    const fs::path p(f);
    // Only the table file itself carries the table over; another spelling of it is not ours.
    if (Key(p) == Key(from) || LowerCase(p.extension().string()) == ".dbf") continue;
    const fs::path dest = folder / (stem + p.extension().string());
    if (!move(p, dest)) return false;
    placed.insert(Key(dest));
  }
  if (!move(from, to)) return false;
  for (const std::string& f : TableCompanionFiles(target)) {
    if (placed.count(Key(fs::path(f)))) continue;
    std::error_code ec;
    fs::remove(f, ec);
  }
  return true;
}
