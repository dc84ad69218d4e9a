#pragma once
// The typed expression evaluator: Integer, Extended, Boolean, String and
// TDateTime results of an expression text whose identifiers are fields of a
// bound field source, host values, built-in functions or host functions.
// Expressions evaluated over and over are compiled once under a handle.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/SysUtils.h"
#include "toolkit/FieldSource.h"

class TReader;
class TScroller;
class TFastEval;
class TParser;  // toolkit/FastEvalParser.h, private to the evaluator

using Extended = long double;

enum TExprType : uint8_t { etInteger, etExtended, etBoolean, etString, etDateTime };
enum TStringSign : uint8_t { ssApostrophe, ssQMark };
enum TCommentSign : uint8_t { csApostrophe, csQMark, csDublDiv };

// One value of any expression type; only the member of the type in use counts.
struct TValueCell {
  int32_t I = 0;
  Extended E = 0;
  bool B = false;
  std::string S;
  TDateTime D = 0;

  void Clear();
  // The address of the member of Type (what the host events and listings see).
  void* Address(TExprType type);
  const void* Address(TExprType type) const;
};

// A function or a variable that a word of the expression language stands for.
// Tokens keep shared ownership, so a record replaced while an expression that
// uses it is compiled or running stays valid until that expression lets go.
struct TSymbolItem {
  virtual ~TSymbolItem() = default;
  std::string Name;  // as registered
  std::string Description;
  std::string UserText;
};

struct TFunct : TSymbolItem {
  bool Active = true;
  TExprType FunctType = etInteger;
  std::vector<TExprType> Params;
  int32_t Kind = 0;                 // 0 built-in, 1 host function, 2 formula function
  uint8_t Id = 0;                   // built-in number 1..48, else 0
  std::unique_ptr<TParser> Parser;  // formula functions only
  ~TFunct() override;
};

struct TVariable : TSymbolItem {
  TExprType VarType = etInteger;
  TValueCell Value;     // own storage
  void* Ref = nullptr;  // host storage of VarType; read instead of Value when set
  const void* ValuePtr() const;
};

// The payload registered with every word of the evaluator's reader.
struct TTokenSymbol {
  uint8_t Code = 0;
  std::shared_ptr<TSymbolItem> Item;
};

// One evaluated argument handed to a host or formula function.
struct TFunctParamValue {
  TExprType ParamType = etInteger;
  void* Value = nullptr;  // points at a value of ParamType

  int32_t AsInteger() const { return *static_cast<const int32_t*>(Value); }
  Extended AsExtended() const { return *static_cast<const Extended*>(Value); }
  bool AsBoolean() const { return *static_cast<const bool*>(Value); }
  const std::string& AsString() const { return *static_cast<const std::string*>(Value); }
  TDateTime AsDateTime() const { return *static_cast<const TDateTime*>(Value); }
};
using TFunctParamValues = std::vector<TFunctParamValue>;

// One token of a tokenized expression.
struct TCompiledSymbol {
  uint8_t Code = 0;
  std::string Text;                   // a string literal's content without its signs
  std::shared_ptr<TSymbolItem> Item;  // the function or variable, else empty
  int32_t Position = 0;               // 1-based index of the token's last character in the text
  int32_t Line = 1;                   // 1-based
  int32_t Column = 0;                 // column of the token's last character on its line
  uint8_t Error = 0;                  // first error recorded here, 0 none
  uint8_t LexError = 0;               // error recorded while tokenizing; every evaluation starts from it
  // The identifier's normalised name, filled when first needed.
  mutable std::string Normalised;
  mutable int8_t NormalisedMode = -1;  // -1 not yet, else the CaseSensitivity it was made with
};
using TCompiledSymbols = std::vector<TCompiledSymbol>;

// Token codes of the language.
enum : uint8_t {
  tcEnd = 0,
  tcIdentifier = 1,
  tcComma = 2,
  tcOpen = 3,
  tcClose = 4,
  tcPlus = 5,
  tcMinus = 6,
  tcTimes = 7,
  tcDivide = 8,
  tcPower = 9,
  tcAnd = 10,
  tcOr = 11,
  tcXor = 12,
  tcDiv = 13,
  tcMod = 14,
  tcTrue = 15,
  tcFalse = 16,
  tcParam = 17,
  tcGreaterEqual = 18,
  tcLessEqual = 19,
  tcNotEqual = 20,
  tcEqual = 21,
  tcGreater = 22,
  tcLess = 23,
  tcApostrophe = 24,
  tcDoubleQuote = 25,
  tcDoubleSlash = 26,
  tcSemicolon = 27,
  tcPeriod = 28,
  tcVariable = 29,
  tcFunction = 30,
  tcIf = 31,
  tcThen = 32,
  tcElse = 33,
  tcInteger = 34,
  tcNumber = 35,
  tcString = 36
};

struct TTokenEntry {
  std::string Text;
  int32_t Class = 0;
  int32_t Kind = 0;  // 5 key word, 6 delimiter, 1 value, 0 none
};
constexpr int TokenTableSize = 37;
// The token table as it stands after construction (string sign ", comment sign ').
const std::array<TTokenEntry, TokenTableSize>& DefaultTokenTable();

// Event types. Sender is the evaluator that asks.
using TErrorEvent = std::function<void(TFastEval* Sender, int ErrorLine, int ErrorPosition, int ErrorPlace,
                                       int ErrorCode, const std::string& ErrorStr, int Handle)>;
using TFunctErrorEvent =
    std::function<void(TFastEval* Sender, const std::string& FunctName, int ErrorLine, int ErrorPosition,
                       int ErrorPlace, int ErrorCode, const std::string& ErrorStr)>;
template <class T>
using TGetVarEvent =
    std::function<void(TFastEval* Sender, const std::string& VarName, bool& Found, T& Value, int Handle)>;
using TGetIntegerVarEvent = TGetVarEvent<int32_t>;
using TGetExtendedVarEvent = TGetVarEvent<Extended>;
using TGetBooleanVarEvent = TGetVarEvent<bool>;
using TGetStringVarEvent = TGetVarEvent<std::string>;
using TGetDateTimeVarEvent = TGetVarEvent<TDateTime>;
template <class T>
using TGetFunctEvent = std::function<void(TFastEval* Sender, const std::string& FunctName, bool Active,
                                          const TFunctParamValues& ParamValues, bool& Found, T& Value, int Handle)>;
using TGetIntegerFunctEvent = TGetFunctEvent<int32_t>;
using TGetExtendedFunctEvent = TGetFunctEvent<Extended>;
using TGetBooleanFunctEvent = TGetFunctEvent<bool>;
using TGetStringFunctEvent = TGetFunctEvent<std::string>;
using TGetDateTimeFunctEvent = TGetFunctEvent<TDateTime>;
using TVarListEvent =
    std::function<void(TFastEval* Sender, const std::string& VarName, TExprType VarType, const void* Value,
                       const std::string& Description, const std::string& UserText)>;
using TFunctListEvent = std::function<void(
    TFastEval* Sender, const std::string& FunctName, bool Active, TExprType FunctType, const std::string& Formula,
    const std::vector<TExprType>& Params, const std::string& Description, const std::string& UserText)>;

class TFastEval {
public:
  TFastEval();
  ~TFastEval();
  TFastEval(const TFastEval&) = delete;
  TFastEval& operator=(const TFastEval&) = delete;

  // The field source whose fields are identifiers (not owned; nullptr: none).
  IFieldSource* DataSet = nullptr;

  TErrorEvent OnError;
  TFunctErrorEvent OnFunctError;
  TGetIntegerVarEvent OnGetIntegerVar;
  TGetExtendedVarEvent OnGetExtendedVar;
  TGetBooleanVarEvent OnGetBooleanVar;
  TGetStringVarEvent OnGetStringVar;
  TGetDateTimeVarEvent OnGetDateTimeVar;
  TGetIntegerFunctEvent OnGetIntegerFunct;
  TGetExtendedFunctEvent OnGetExtendedFunct;
  TGetBooleanFunctEvent OnGetBooleanFunct;
  TGetStringFunctEvent OnGetStringFunct;
  TGetDateTimeFunctEvent OnGetDateTimeFunct;
  TVarListEvent OnVarList;
  TFunctListEvent OnFunctList;

  // One-shot: tokenize, evaluate as the type, discard. False after the error
  // went to OnError; Value is cleared first.
  bool EvaluateInteger(const std::string& Text, int32_t& Value, int Handle);
  bool EvaluateExtended(const std::string& Text, Extended& Value, int Handle);
  bool EvaluateBoolean(const std::string& Text, bool& Value, int Handle);
  bool EvaluateString(const std::string& Text, std::string& Value, int Handle);
  bool EvaluateDateTime(const std::string& Text, TDateTime& Value, int Handle);

  // Tokenizes Text and keeps it under Handle, replacing what was there.
  void CompileExpression(const std::string& Text, int Handle);
  // The expression kept under Handle evaluated as the type; Value is cleared
  // first. The host events and OnError see AsHandle (Handle when omitted), so
  // an expression kept under a handle of its own can answer as another one.
  // False without any report when nothing is compiled under Handle.
  bool EvaluateCompiledInteger(int32_t& Value, int Handle, std::optional<int> AsHandle = std::nullopt);
  bool EvaluateCompiledExtended(Extended& Value, int Handle, std::optional<int> AsHandle = std::nullopt);
  bool EvaluateCompiledBoolean(bool& Value, int Handle, std::optional<int> AsHandle = std::nullopt);
  bool EvaluateCompiledString(std::string& Value, int Handle, std::optional<int> AsHandle = std::nullopt);
  bool EvaluateCompiledDateTime(TDateTime& Value, int Handle, std::optional<int> AsHandle = std::nullopt);
  // The same for any type: the cell's member of type counts.
  bool EvaluateCompiled(TExprType Type, TValueCell& Value, int Handle, std::optional<int> AsHandle = std::nullopt);
  void FreeCompiled(int Handle);
  bool IsCompiled(int Handle) const;

  // Registers a host function; a refused name is not registered and gives
  // the refusal's text for the host to show as an error (else empty).
  std::string AddFunction(const std::string& FunctName, bool Active, TExprType FunctType,
                          const std::vector<TExprType>& Params);

  TStringSign StringSign() const;
  void SetStringSign(TStringSign v);
  TCommentSign CommentSign() const;
  void SetCommentSign(TCommentSign v);
  bool CaseSensitivity() const { return caseSensitivity_; }
  void SetCaseSensitivity(bool v);

  // The name test of every registration: blanks become "_"; false (with the
  // refusal's text in refusal when given) for an empty, reserved or malformed name.
  bool CheckIdentifier(std::string& Name, std::string* refusal = nullptr);

  // Listing passes: one OnVarList call per variable, one OnFunctList call per function.
  void ListVariables();
  void ListFunctions();

  // The symbol file: the variables and formula functions, as a list file.
  void SaveSymbolFile(const std::string& FileName);
  void LoadSymbolFile(const std::string& FileName);
  static constexpr int SymbolFileFormat = 1;

  // Normalised name: lower case unless CaseSensitivity.
  std::string Normalise(const std::string& name) const;
  bool SameName(const std::string& a, const std::string& b) const;

  // The current token classes (string and comment signs included).
  const std::array<TTokenEntry, TokenTableSize>& TokenTable() const { return table_; }
  TReader& Reader() { return *reader_; }

private:
  friend class TParser;  // toolkit/FastEvalParser.h, private to the evaluator

  void RegisterTokens();
  void RegisterBuiltIns();
  void RegisterFunction(uint8_t Id, const std::string& Name, TExprType ResultType,
                        const std::vector<TExprType>& Params);
  void RegisterItem(const std::string& Name, int Kind, std::shared_ptr<TSymbolItem> item, uint8_t Code);
  void RetokenizeAll();
  void OnRegList(const std::string& Str, int Status, int KeyNum, int Structure, void* Properties);
  void DisposeProperties(int Structure, void* Properties);
  template <class T>
  bool EvaluateCompiledAs(T& Value, int Handle, std::optional<int> AsHandle, TExprType type);
  template <class T>
  bool EvaluateOneShot(const std::string& Text, T& Value, int Handle, TExprType type);

  std::unique_ptr<TReader> reader_;
  std::map<int, std::shared_ptr<TParser>> compiled_;
  std::array<TTokenEntry, TokenTableSize> table_;
  bool caseSensitivity_ = false;
  bool savingSymbols_ = false;

  // Arguments of the function call in progress; "param" reads them.
  const TFunctParamValues* CurrentParams = nullptr;
  uint8_t ListMode = 0;  // 0 list variables, 1 list functions, 2 re-tokenize
  bool ErrorReported = false;
  bool RetokenizeNeeded = false;
  int depth_ = 0;                                     // nesting of the evaluation in progress
  std::vector<std::shared_ptr<TSymbolItem>> loaded_;  // records read from a symbol file
};
