#pragma once
// A text as a list of lines, the way list controls and message bodies take it.

#include <string>
#include <vector>

// Splits text into lines at CR LF, LF or a lone CR; a final line break adds no empty line.
std::vector<std::string> SplitLines(const std::string& text);
// Joins lines with CR LF (no line break after the last).
std::string JoinLines(const std::vector<std::string>& lines);
// Every line followed by CR LF, as a list's whole text reads.
std::string LinesText(const std::vector<std::string>& lines);
