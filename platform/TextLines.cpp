#include "platform/TextLines.h"

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    size_t j = i;
    while (j < n && text[j] != '\r' && text[j] != '\n') ++j;
    lines.emplace_back(text, i, j - i);
    if (j < n && text[j] == '\r' && j + 1 < n && text[j + 1] == '\n') ++j;
    i = j + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    out += lines[i];
  }
  return out;
}

std::string LinesText(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out.append(l).append("\r\n");
  return out;
}
