#include "mailing/Attachments.h"

#include "mailing/Project.h"

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    size_t j = i;
    while (j < n && text[j] != '\r' && text[j] != '\n') ++j;
    lines.push_back(text.substr(i, j - i));
    if (j < n && text[j] == '\r') ++j;
    if (j < n && text[j] == '\n') ++j;
    i = j;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\r\n";
  return text;
}

std::vector<std::string> LoadAttachList(const TProject& project) {
  std::string text;
  if (!project.GetString(KeyAttach, text)) return {};
  return SplitLines(text);
}

void EnsureAttachEntry(TProject& project) {
  std::string text;
  if (!project.GetString(KeyAttach, text)) project.SetString(KeyAttach, pcAttach, "");
}

int AddAttachments(TProject& project, const std::vector<std::string>& files) {
  std::string text;
  project.GetString(KeyAttach, text);
  for (const auto& f : files) {
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    text += f;
  }
  project.SetString(KeyAttach, pcAttach, text);
  return static_cast<int>(SplitLines(text).size()) - 1;
}

int RemoveAttachment(TProject& project, int index, bool& removed) {
  removed = false;
  std::string text;
  if (!project.GetString(KeyAttach, text)) return index;
  std::vector<std::string> lines = SplitLines(text);
  if (index < 0 || index >= static_cast<int>(lines.size())) return index;
  lines.erase(lines.begin() + index);
  project.SetString(KeyAttach, pcAttach, JoinLines(lines));
  removed = true;
  if (index >= static_cast<int>(lines.size())) index = static_cast<int>(lines.size()) - 1;
  return index;
}
