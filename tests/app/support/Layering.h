#pragma once
// The folder table of the design as data, and a checker that reads every
// include of a source tree against it.

#include <string>
#include <vector>

struct TLayerRule {
  std::string Folder;               // "workspace/ui"
  bool Core = false;                // no Qt, no window system
  std::vector<std::string> Uses;    // folders whose headers it may include, itself not listed
  std::vector<std::string> Headers; // single headers of other folders it may include
};

// The program's folders, lowest first.
const std::vector<TLayerRule>& LayerRules();

// Third-party headers only one folder may include: a prefix of the <...> name
// and the folders allowed to.
struct TLibraryRule {
  std::string Prefix;
  std::vector<std::string> Folders;
};
const std::vector<TLibraryRule>& LibraryRules();

// One line per include that breaks the rules ("db/Dbf.cpp:3: includes
// \"workspace/AppSettings.h\""), for every .h/.cpp under the rules' folders of root.
std::vector<std::string> LayeringViolations(const std::string& root);
