#include "platform/CommandLine.h"

#include <filesystem>

#include "platform/SysUtils.h"

namespace {

// The extension with its full stop, as the run-time library finds it: from
// the last full stop after the last folder separator.
std::string FileExt(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::string();
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos && slash > dot) return std::string();
  return name.substr(dot);
}

}  // namespace

TCommandLineFiles ClassifyCommandLine(const std::vector<std::string>& ParamList) {
  TCommandLineFiles r;
  for (size_t i = 1; i < ParamList.size(); ++i) {
    const std::string& name = ParamList[i];
    if (name.empty()) continue;
    const std::string ext = LowerCase(FileExt(name));
    if (ext == ".dbf") {
      if (r.DBase.empty()) r.DBase = name;
    } else if (ext == ".mdb") {
      if (r.Access.empty()) r.Access = name;
    } else if (ext == ".lkp" || ext.empty()) {
      if (r.Project.empty()) r.Project = name;
    }
  }
  return r;
}

std::vector<std::string> AbsoluteArguments(const std::vector<std::string>& arguments, const std::string& folder) {
  std::vector<std::string> out;
  out.reserve(arguments.size());
  for (const std::string& a : arguments) {
    const std::filesystem::path p(a);
    if (a.empty() || p.is_absolute() || folder.empty())
      out.push_back(a);
    else
      out.push_back((std::filesystem::path(folder) / p).lexically_normal().string());
  }
  return out;
}

std::string CutToChars(const std::string& text, int maxChars) {
  int chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == maxChars) return text.substr(0, i);
      ++chars;
    }
  }
  return text;
}

std::vector<std::string> SplitOpenFilesText(const std::string& input) {
  std::vector<std::string> args;
  std::string text = CutToChars(input, MaxOpenFilesText);
  if (text.empty()) return args;
  if (text[0] != '"') text = "\"" + text + "\"";
  std::string current;
  bool inQuotes = false;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '"') {
      inQuotes = !inQuotes;
      ++i;
    } else if (c == ' ' && !inQuotes) {
      if (!current.empty()) args.push_back(current);
      current.clear();
      while (i < text.size() && text[i] == ' ') ++i;
    } else {
      current += c;
      ++i;
    }
  }
  if (!current.empty()) args.push_back(current);
  return args;
}
