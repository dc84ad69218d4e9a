#pragma once
// The evaluator's error table and the texts that refuse a name offered for
// registration. Evaluation errors are recorded as codes at tokens, refusals
// handed back; only the host decides what to show for them.

#include <array>
#include <cstdint>
#include <string>

// The evaluator's error codes, as the table numbers them.
enum TEvalError : uint8_t {
  eeNone = 0,
  eeIntegerExpected = 1,
  eeNumberExpected = 2,  // Integer, Extended or DateTime
  eeBooleanExpected = 3,
  eeStringExpected = 4,
  eeDateTimeExpected = 5,
  eeIntegerOperatorExpected = 6,
  eeExtendedOperatorExpected = 7,
  eeBooleanOperatorExpected = 8,
  eePlusExpected = 9,
  eeComparisonExpected = 10,
  eeOpenExpected = 11,
  eeCloseExpected = 12,
  eeCommaExpected = 13,
  eeDivisionByZero = 14,
  eeParamOutOfRange = 15,
  eeVariableExpected = 16,
  eeEqualExpected = 17,
  eeStatementEndExpected = 18,
  eePeriodExpected = 19,
  eeThenExpected = 20,
  eeElseExpected = 21,
  eeInvalidInteger = 22,
  eeInvalidFloat = 23,
  eeInvalidDate = 24,
  eeInvalidTime = 25,
  eeInvalidDateTime = 26,
  eeStringSignExpected = 27,
};

struct TErrorRecord {
  int Code;
  std::string Text;
};

constexpr int ErrorCount = 28;  // codes 0 (none) .. 27

// Indexed by code; Code equals the index.
const std::array<TErrorRecord, ErrorCount>& ErrorTable();
// The text of a code; empty for 0 and for codes outside the table.
const std::string& ErrorText(int code);

// Tests a name offered for registration. Blanks (codes 0..32 except the line
// feed) in name become "_" in place, whatever the outcome; the changed name is
// the one to register. A refusal returns false and puts its text (an error
// for the host to show) into refusal when given.
bool CheckIdentifier(std::string& name, bool caseSensitive = false, std::string* refusal = nullptr);
