#pragma once
// What a command line asks the program to open, and the text of an
// open-files message split back into arguments.

#include <string>
#include <vector>

// The most characters one open-files message carries.
constexpr int MaxOpenFilesText = 1024;

struct TCommandLineFiles {
  std::string Project;  // first ".lkp" name or name without extension; empty when none
  std::string Access;   // first ".mdb" name
  std::string DBase;    // first ".dbf" name
  // The one table to open: Access wins over dBase. Empty when none.
  const std::string& Table() const { return Access.empty() ? DBase : Access; }
  bool TableIsAccess() const { return !Access.empty(); }
  bool Empty() const { return Project.empty() && Access.empty() && DBase.empty(); }
};

// ParamList: element 0 is the program's path, the rest are names to open.
// Extensions compare without regard to case; the names come back as given
// (file names are case-sensitive here). Empty names and other extensions
// are ignored.
TCommandLineFiles ClassifyCommandLine(const std::vector<std::string>& ParamList);

// Splits the text of one open-files message into arguments. The text is
// cut at MaxOpenFilesText characters; unless it starts with a double quote
// it is taken as one quoted argument, so a name with blanks stays whole.
// Quotes toggle and are dropped, blanks outside quotes separate, and no
// empty argument is produced. An empty text gives no arguments.
std::vector<std::string> SplitOpenFilesText(const std::string& text);

// The arguments with every relative name made absolute against folder (the
// folder the program was started in), so that they mean the same in a copy
// running elsewhere. Absolute and empty names stay as they are.
std::vector<std::string> AbsoluteArguments(const std::vector<std::string>& arguments, const std::string& folder);

// Cuts UTF-8 text to at most maxChars characters without splitting one.
std::string CutToChars(const std::string& text, int maxChars);
