#pragma once
// The mailing project's dictionary: one trie dictionary (separator "~") whose
// entries are the project file's entries, with the one payload codec for
// every type code, typed access to the keys the program uses, and the
// calculated fields kept under "CF~Expr~" and "CF~Type~".
//
// Payload of an entry by type code (all integers little-endian):
//   1, 13, 14, 17             Int32                    4 bytes
//   2, 3, 4, 6, 8, 10, 11, 12 string                   Int32 length, then the bytes
//   5, 9                      byte                     1 byte
//   15                        8 bytes                  8 bytes, kept as read
//   16                        16 highlight rules       16 x (1 byte flag, string)
//   any other code            nothing                  nothing
// A reader knows each payload's size from the code alone; an entry with an
// unknown code is key and code only and is written back that way.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "toolkit/DList.h"
#include "workspace/HighlightSlots.h"
#include "workspace/CalcFields.h"

// Type codes of the keys the program writes.
enum TProjectCode : int32_t {
  pcCalcType = 1,     // "CF~Type~" + name
  pcCalcExpr = 2,     // "CF~Expr~" + name
  pcAttach = 3,       // "Attach"
  pcFilterText = 4,   // "FText"
  pcSwitch = 5,       // "UseF", "UseCF"
  pcDocument = 6,     // "Doc"
  pcMailMode = 9,     // "SubMail"
  pcSubject = 10,     // "Subject"
  pcToAddr = 11,      // "ToAddr"
  pcText = 12,        // "Plain", "Report"
  pcCharset = 14,     // "Charset"
  pcColorRules = 16,  // "FCol"
  pcColorIndex = 17,  // "CInd"
};

enum class TPayloadKind { None, Int32, String, Byte, Block8, ColorRules };
TPayloadKind PayloadKindOf(int32_t code);

// One stored highlight rule: the flag as stored (non-zero: enabled).
struct TColorRule {
  uint8_t Flag = 0;
  std::string Expression;
  bool operator==(const TColorRule&) const = default;
};
using TColorExpr = std::array<TColorRule, HighlightSlotCount>;
using TBlock8 = std::array<uint8_t, 8>;

// A payload in memory; the alternative in use follows the entry's code.
using TProjectPayload = std::variant<std::monostate, int32_t, std::string, uint8_t, TBlock8, TColorExpr>;

// Keys.
extern const char* const KeyFilterText;   // "FText"
extern const char* const KeyUseFilter;    // "UseF"
extern const char* const KeyUseHighlight; // "UseCF"
extern const char* const KeyColorIndex;   // "CInd"
extern const char* const KeyColorRules;   // "FCol"
extern const char* const KeyDocument;     // "Doc"
extern const char* const KeyMailMode;     // "SubMail"
extern const char* const KeySubject;      // "Subject"
extern const char* const KeyToAddr;       // "ToAddr"
extern const char* const KeyPlain;        // "Plain"
extern const char* const KeyCharset;      // "Charset"
extern const char* const KeyReport;       // "Report"
extern const char* const KeyAttach;       // "Attach"
extern const char* const CalcExprPrefix;  // "CF~Expr~"
extern const char* const CalcTypePrefix;  // "CF~Type~"

// The text after the last "~" of a key (the whole key without one).
std::string CalcFieldName(const std::string& key);

// How a project file was read.
enum class TProjectLoad {
  Loaded,       // every entry up to the end of the file
  Damaged,      // the entries before the first one that does not fit in the file
  NewerFormat,  // a format number above the highest known: nothing read
  Unreadable,   // missing, unopenable or shorter than its format number
};

class TProject : public ICalcFieldStore {
public:
  TProject();
  ~TProject() override;
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  // The dictionary itself, for scans of its own; its payloads are TProjectPayload.
  TDList& List() { return DList1; }

  void Clear() { DList1.Clear(); }
  bool Has(const std::string& key) const;
  void Delete(const std::string& key) { DList1.Delete(key); }
  // Every key in key order (byte order), unknown keys included.
  std::vector<std::string> Keys();

  // Replace a key's entry. The payload must be of the code's kind; a
  // mismatch stores the code with an empty payload of its own kind.
  void Set(const std::string& key, int32_t code, TProjectPayload payload);
  void SetInt(const std::string& key, int32_t code, int32_t v) { Set(key, code, v); }
  void SetString(const std::string& key, int32_t code, const std::string& v) { Set(key, code, v); }
  void SetByte(const std::string& key, int32_t code, uint8_t v) { Set(key, code, v); }
  void SetColorRules(const std::string& key, const TColorExpr& v) { Set(key, pcColorRules, v); }

  // Typed reads: false when the key is absent or its payload is of another kind.
  bool Find(const std::string& key, int32_t& code, const TProjectPayload*& payload) const;
  bool GetInt(const std::string& key, int32_t& v) const;
  bool GetString(const std::string& key, std::string& v) const;
  bool GetByte(const std::string& key, uint8_t& v) const;
  bool GetColorRules(const std::string& key, TColorExpr& v) const;

  // Calculated fields, by their upper-case names.
  std::vector<std::string> CalcFieldNames() override;  // key order: B2 before BA
  bool HasCalcField(const std::string& name) const;
  // A new field: empty expression, type String.
  void AddCalcField(const std::string& name) override;
  void DeleteCalcField(const std::string& name) override;
  void SetCalcExpression(const std::string& name, const std::string& expression) override;
  void SetCalcType(const std::string& name, int32_t typeIndex) override;
  bool FindCalcField(const std::string& name, TCalcFieldDef& def) const override;

  // The project file (layout in ProjectFile.h). Loading clears the project first.
  TProjectLoad LoadFromFile(const std::string& fileName);
  // False when the file could not be written; an existing file is then left as it was.
  bool SaveToFile(const std::string& fileName, int format);

  // The codec, as the dictionary's file events use it. Reading throws
  // EProjectDamaged at a payload that does not fit in what is left of the file.
  static void* LoadPayload(int32_t code, TFileHandle& h);
  // False when a write failed.
  static bool SavePayload(int32_t code, const void* properties, TFileHandle& h);

private:
  mutable TDList DList1;
};

class EProjectDamaged : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
