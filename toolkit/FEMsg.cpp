#include "toolkit/FEMsg.h"

#include "platform/SysUtils.h"

namespace {

const std::array<TErrorRecord, ErrorCount> Errors = {{
    {0, ""},
    {1, "Integer type value expected"},
    {2, "Integer, Extended or DateTime type value expected"},
    {3, "Boolean type value expected"},
    {4, "String type value expected"},
    {5, "DateTime type value expected"},
    {6, "\"+\", \"-\", \"*\", \"Div\" or \"Mod\" expected"},
    {7, "\"+\", \"-\", \"*\", \"/\" or \"^\" expected"},
    {8, "\"AND\", \"OR\" or \"XOR\" expected"},
    {9, "\"+\" expected"},
    {10, "Comparison sign expected"},
    {11, "\"(\" expected"},
    {12, "\")\" expected"},
    {13, "\",\" expected"},
    {14, "Division by zero"},
    {15, "Number of parameter is out of range"},
    {16, "Variable name expected"},
    {17, "\"=\" expected"},
    {18, "\";\" or \".\" expected"},
    {19, "\".\" expected"},
    {20, "\"Then\" expected"},
    {21, "\"Else\" expected"},
    {22, "Invalid Integer"},
    {23, "Invalid Floating Point Number"},
    {24, "Invalid Date"},
    {25, "Invalid Time"},
    {26, "Invalid Date and Time"},
    {27, "String sign expected"},
}};

// The key words of the token table: names that cannot be registered.
const char* const ReservedWords[] = {"and", "or", "xor", "div", "mod", "true", "false", "param", "if", "then", "else"};

// Characters the evaluator's reader takes as delimiters on their own.
bool IsDelimiterChar(char c) {
  switch (c) {
    case ',':
    case '(':
    case ')':
    case '+':
    case '-':
    case '*':
    case '/':
    case '^':
    case '=':
    case '>':
    case '<':
    case ';':
    case '.':
    case '\'':
    case '"':
    case '\n': return true;
    default: return false;
  }
}

}  // namespace

const std::array<TErrorRecord, ErrorCount>& ErrorTable() { return Errors; }

const std::string& ErrorText(int code) {
  static const std::string none;
  if (code < 0 || code >= ErrorCount) return none;
  return Errors[static_cast<size_t>(code)].Text;
}

bool CheckIdentifier(std::string& name, bool caseSensitive, std::string* refusal) {
  auto refuse = [refusal](const std::string& text) {
    if (refusal) *refusal = text;
    return false;
  };
  const std::string asPassed = name;
  for (char& c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 32 && u != 10) c = '_';
  }
  if (name.empty()) return refuse("Identifier name missing");
  const std::string normal = caseSensitive ? name : AnsiLowerCase(name);
  for (const char* word : ReservedWords) {
    if (normal == word) return refuse("\"" + asPassed + "\" is a reserved word");
  }
  bool incorrect = name[0] >= '0' && name[0] <= '9';
  for (char c : name) incorrect = incorrect || IsDelimiterChar(c);
  if (incorrect) return refuse("Incorrect identifier name");
  return true;
}
