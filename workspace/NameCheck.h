#pragma once
// The checks of the name dialog, apart from the dialog itself.

#include <functional>
#include <string>
#include <vector>

class TReader;

enum class TNameCheck { Accepted, Refused, Invalid, Duplicate };

struct TNameCheckResult {
  TNameCheck outcome = TNameCheck::Refused;
  std::string name;      // the accepted name (upper case with check on)
  std::string message;   // the box to show for Invalid and Duplicate
};

// How a name's characters are judged: the blank characters and the
// one-character delimiters of a reader.
struct TNameCharRules {
  std::function<bool(unsigned char)> isBlank;
  std::function<bool(const std::string&)> isDelimiter;
};

TNameCharRules NameCharRulesOf(const TReader& reader);

// text is what the edit holds after OK; an empty text is Refused without a message.
TNameCheckResult CheckInputName(const std::string& text, const std::string& existsFmt, bool check,
                                const std::vector<std::string>& names, const TNameCharRules& rules);

// Format with one "%s" argument ("%%" gives "%").
std::string FormatOneArg(const std::string& fmt, const std::string& arg);
