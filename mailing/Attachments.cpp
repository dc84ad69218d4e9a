#include "mailing/Attachments.h"

#include "mailing/Project.h"

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
  project.SetString(KeyAttach, pcAttach, LinesText(lines));
  removed = true;
  if (index >= static_cast<int>(lines.size())) index = static_cast<int>(lines.size()) - 1;
  return index;
}
