#include "workspace/NameCheck.h"

#include "platform/SysUtils.h"
#include "toolkit/Reader.h"

std::string FormatOneArg(const std::string& fmt, const std::string& arg) {
  std::string out;
  bool used = false;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] == '%' && i + 1 < fmt.size()) {
      if (fmt[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (fmt[i + 1] == 's' && !used) {
        out += arg;
        used = true;
        ++i;
        continue;
      }
    }
    out += fmt[i];
  }
  return out;
}

TNameCheckResult CheckInputName(const std::string& text, const std::string& existsFmt, bool check,
                                const std::vector<std::string>& names, const TNameCharRules& rules) {
  TNameCheckResult r;
  if (text.empty()) return r;

  bool visible = false;
  for (unsigned char c : text)
    if (c >= 14 && c != ' ') visible = true;
  if (!visible) {
    r.outcome = TNameCheck::Invalid;
    r.message = "Invalid Name";
    return r;
  }

  if (check) {
    bool bad = text[0] >= '0' && text[0] <= '9';
    for (size_t i = 0; i < text.size() && !bad; ++i) {
      unsigned char c = static_cast<unsigned char>(text[i]);
      if (c == '~' || (rules.isBlank && rules.isBlank(c)) ||
          (rules.isDelimiter && rules.isDelimiter(std::string(1, text[i]))))
        bad = true;
    }
    if (bad) {
      r.outcome = TNameCheck::Invalid;
      r.message = "Invalid Name";
      return r;
    }
  }

  const std::string upper = check ? AnsiUpperCase(text) : std::string();
  for (const auto& n : names) {
    if (n == text || (check && AnsiUpperCase(n) == upper)) {
      // The message box shows its text as it is, so an "&" needs no doubling here.
      r.outcome = TNameCheck::Duplicate;
      r.message = FormatOneArg(existsFmt, text);
      return r;
    }
  }

  r.outcome = TNameCheck::Accepted;
  r.name = check ? upper : text;
  return r;
}

TNameCharRules NameCharRulesOf(const TReader& reader) {
  TNameCharRules r;
  r.isBlank = [&reader](unsigned char c) { return reader.IsBlankChar(static_cast<char>(c)); };
  r.isDelimiter = [&reader](const std::string& s) { return reader.IsDelimiter(s); };
  return r;
}
