#include "support/Layering.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kBelowWorkspace = {"toolkit", "platform", "db"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The longest rule folder the path lies in; "" when none.
std::string FolderOf(const std::string& relativeDir) {
  std::string best;
  for (const TLayerRule& r : LayerRules()) {
    const std::string& f = r.Folder;
    const bool inside = relativeDir == f || relativeDir.rfind(f + "/", 0) == 0;
    if (inside && f.size() > best.size()) best = f;
  }
  return best;
}

const TLayerRule* RuleFor(const std::string& folder) {
  for (const TLayerRule& r : LayerRules())
    if (r.Folder == folder) return &r;
  return nullptr;
}

bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

}  // namespace

const std::vector<TLayerRule>& LayerRules() {
  static const std::vector<TLayerRule> rules = [] {
    const std::vector<std::string> workspaceCore = Join({"workspace"}, kBelowWorkspace);
    const std::vector<std::string> workspaceUi = Join({"workspace/ui", "platform/ui"}, workspaceCore);
    return std::vector<TLayerRule>{
        {"platform", true, {}, {}},
        {"platform/ui", false, {"platform"}, {}},
        {"toolkit", true, {"platform"}, {}},
        // The dataset is a field source of the evaluator.
        {"db", true, {"platform"}, {"toolkit/FieldSource.h"}},
        {"net", true, {"platform"}, {}},
        {"workspace", true, kBelowWorkspace, {}},
        {"workspace/ui", false, Join({"workspace", "platform/ui"}, kBelowWorkspace), {}},
        {"mailing", true, Join({"net"}, workspaceCore), {}},
        {"mailing/ui", false, Join({"mailing", "net"}, workspaceUi), {}},
        {"withdrawal", true, Join({"net"}, workspaceCore), {}},
        {"withdrawal/ui", false, Join({"withdrawal", "net"}, workspaceUi), {}},
        {"app",
         false,
         {"platform", "platform/ui", "toolkit", "db", "net", "workspace", "workspace/ui", "mailing", "mailing/ui",
          "withdrawal", "withdrawal/ui"},
         {}},
    };
  }();
  return rules;
}

const std::vector<TLibraryRule>& LibraryRules() {
  static const std::vector<TLibraryRule> rules = {
      {"curl/", {"net"}},
      {"gmime/", {"net"}},
      {"ares", {"net"}},
      {"sqlite3", {"db"}},
      {"mdbtools", {"db"}},
      {"mdbsql", {"db"}},
      {"QWebEngine", {"mailing/ui"}},
      {"QtWebEngine", {"mailing/ui"}},
  };
  return rules;
}

std::vector<std::string> LayeringViolations(const std::string& root) {
  static const std::regex quoted(R"re(^\s*#\s*include\s*"([^"]+)")re");
  static const std::regex angled(R"re(^\s*#\s*include\s*<([^>]+)>)re");
  std::vector<std::string> out;
  std::vector<fs::path> files;
  for (const TLayerRule& r : LayerRules()) {
    const fs::path dir = fs::path(root) / r.Folder;
    if (!fs::is_directory(dir)) continue;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      const std::string ext = e.path().extension().string();
      if (e.is_regular_file() && (ext == ".h" || ext == ".cpp")) files.push_back(e.path());
    }
  }
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());

  for (const fs::path& file : files) {
    const std::string rel = fs::relative(file, root).generic_string();
    const std::string folder = FolderOf(fs::path(rel).parent_path().generic_string());
    const TLayerRule* rule = RuleFor(folder);
    if (!rule) continue;
    std::ifstream in(file);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
      ++lineNo;
      std::smatch m;
      const std::string where = rel + ":" + std::to_string(lineNo) + ": ";
      if (std::regex_search(line, m, quoted)) {
        const std::string inc = m[1].str();
        // A name without a folder is the file's own folder's.
        if (inc.find('/') == std::string::npos) continue;
        const std::string to = FolderOf(fs::path(inc).parent_path().generic_string());
        if (to.empty()) {
          out.push_back(where + "includes \"" + inc + "\", which is in no folder of the table");
          continue;
        }
        if (to == folder || Contains(rule->Uses, to) || Contains(rule->Headers, inc)) continue;
        out.push_back(where + folder + "/ may not include \"" + inc + "\"");
      } else if (std::regex_search(line, m, angled)) {
        const std::string inc = m[1].str();
        if (rule->Core && inc.size() > 1 && inc[0] == 'Q')
          out.push_back(where + "the core folder " + folder + "/ includes the Qt header <" + inc + ">");
        for (const TLibraryRule& lib : LibraryRules())
          if (inc.rfind(lib.Prefix, 0) == 0 && !Contains(lib.Folders, folder))
            out.push_back(where + folder + "/ includes <" + inc + ">, which only " + lib.Folders[0] + "/ may include");
      }
    }
  }
  return out;
}
