#pragma once
// The evaluator's error table and the boxes shown when a name offered for
// registration is refused. Evaluation errors are recorded as codes at tokens;
// only the host decides what to show for them.

#include <array>
#include <string>

struct TErrorRecord {
  int Code;
  std::string Text;
};

constexpr int ErrorCount = 28;  // codes 0 (none) .. 27

// Indexed by code; Code equals the index.
const std::array<TErrorRecord, ErrorCount>& ErrorTable();
// The text of a code; empty for 0 and for codes outside the table.
const std::string& ErrorText(int code);

// Error boxes with one OK button, shown through the message-box service.
void ShowIdentifierMissing();                       // "Identifier name missing"
void ShowReservedWord(const std::string& name);     // "\"" + name + "\" is a reserved word"
void ShowIncorrectIdentifier();                     // "Incorrect identifier name"

// Tests a name offered for registration. Blanks (codes 0..32 except the line
// feed) in name become "_" in place, whatever the outcome; the changed name is
// the one to register. Refusals show their box and return false.
bool CheckIdentifier(std::string& name, bool caseSensitive = false);
