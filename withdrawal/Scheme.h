#pragma once
// A withdrawal scheme: the markers that locate values in a message, the value
// rules that cut them out and name the receiving table fields, the fields that
// receive the message's content, date, sender and subject, the account used
// for Get List, and response settings that are kept but drive nothing.

#include <cstdint>
#include <string>
#include <vector>

class TAppSettings;

// Rule texts that stand for places in the text rather than for markers.
inline const std::string BeginningOfTextMarker = "--Beginning of Text--";
inline const std::string EndOfLineMarker = "--End of Line--";
inline const std::string AnyMarkerMarker = "--Any Marker--";
inline const std::string EndOfTextMarker = "--End of Text--";

constexpr int32_t DefaultSchemeCharsetRow = 15;

struct TResponseOptions {
  bool RespondTo = true;
  bool ForwardTo = true;
  std::string RespondAddress;
  std::string ResponseSubject;
  std::string ForwardAddress;
  std::string ForwardSubject;
  std::string ResponseText;
  int32_t Charset = DefaultSchemeCharsetRow;  // row of CharsetTable
  bool operator==(const TResponseOptions&) const = default;
};

struct TScheme {
  // One value rule, shown as "Value-" and its 1-based number. (Nested: the
  // table layer owns the global name TValue.)
  struct TValue {
    std::string AfterMarker = BeginningOfTextMarker;  // a marker or BeginningOfTextMarker
    std::string UpToMarker = EndOfLineMarker;         // a marker or one of the three place texts
    std::string Field;                                // receiving table field; may be empty
    std::string Value;                                // result of the last parse; never stored
    bool operator==(const TValue&) const = default;
  };

  std::string Name;  // unique ignoring case, stored upper-case
  std::string Account;
  std::string Reserved;
  std::string ContentField;
  std::string TimeField;
  std::string FromNameField;
  std::string FromEmailField;
  std::string SubjectField;
  bool Flag1 = true;
  bool Flag2 = false;
  TResponseOptions Response;
  std::vector<std::string> Markers;
  std::vector<TValue> Values;
  bool operator==(const TScheme&) const = default;
};

using TSchemes = std::vector<TScheme>;

// The caption of the rule at a 0-based index: "Value-1" for the first.
std::string ValueRuleCaption(int ruleIndex);

// "DefaultCharset" from settings' key when it opens and holds a valid
// row, else DefaultSchemeCharsetRow.
int32_t DefaultSchemeCharset(TAppSettings& settings);
