#pragma once
// The evaluator's parser: one tokenized expression and its cursor. Private to
// toolkit/FastEval*.cpp (and the evaluator's own tests); users go through TFastEval.

#include <memory>
#include <string>

#include "toolkit/FEMsg.h"
#include "toolkit/FastEval.h"

// Where the expression being read ends, and so which error a stray token gets.
enum TParseContext : uint8_t {
  pcEnd = 0,           // the whole text
  pcThen = 1,          // an "If" condition
  pcElse = 2,          // a "Then" branch
  pcComma = 3,         // an argument before the last
  pcClose = 4,         // the last argument, or a parenthesized expression
  pcComparison = 5,    // the left side of a comparison
  pcAnywhere = 6,      // the right side of a comparison: the caller checks what follows
  pcStatementEnd = 7,  // a statement of the symbol file
};

// One tokenized expression and its cursor.
class TParser {
public:
  TParser(TFastEval* Owner, const std::string& Text, int Handle, bool TokenizeNow);
  ~TParser();
  TParser(const TParser&) = delete;
  TParser& operator=(const TParser&) = delete;

  void Tokenize();

  bool EvaluateInteger(int32_t& Value);
  bool EvaluateExtended(Extended& Value);
  bool EvaluateBoolean(bool& Value);
  bool EvaluateString(std::string& Value);
  bool EvaluateDateTime(TDateTime& Value);
  // The same for a formula function's parser; failures go to OnFunctError with Name.
  bool EvaluateFormula(const std::string& Name, TExprType type, TValueCell& Value);

  const std::string& Text() const { return text_; }
  int Handle() const { return handle_; }
  const TCompiledSymbols& Symbols() const { return symbols_; }
  int Cursor() const { return cursor_; }

private:
  friend class TFastEval;
  enum class TState { Sign, Operand, Operator };

  void NextToken();
  void Prepare();
  bool Evaluate(TExprType type, TValueCell& value, const std::string* formulaName);
  // The same with the host events and the error report seeing asHandle.
  bool Evaluate(TExprType type, TValueCell& value, const std::string* formulaName, int asHandle);
  void Report(const std::string* formulaName);
  void RaiseError(TEvalError code);
  void RecordAt(int index, TEvalError code);

  const TCompiledSymbol& Tok() const { return symbols_[cursor_]; }
  int32_t TokClass() const;
  bool EndsContext(TParseContext context) const;
  TEvalError ContextError(TParseContext context, TExprType type) const;
  const std::string& NormalisedText(const TCompiledSymbol& s) const;

  bool IfThenElse(TParseContext Context, TExprType Type, TValueCell& Value);
  bool TypedExpression(TParseContext Context, TExprType Type, TValueCell& Value);
  bool IntegerExpression(TParseContext Context, int32_t& Value, bool& FirstFailed, TState StartState,
                         int MinLevel);
  bool ExtendedExpression(TParseContext Context, Extended& Value, bool& FirstFailed, TState StartState,
                          int MinLevel, bool dateTime);
  bool BooleanExpression(TParseContext Context, bool& Value);
  bool StringExpression(TParseContext Context, std::string& Value, bool& FirstFailed);

  bool ReadIntegerOperand(int32_t& Value);
  bool ReadExtendedOperand(Extended& Value, bool dateTime);
  bool ReadBooleanOperand(bool& Value);
  bool ReadStringOperand(std::string& Value);

  // True with op = the operator taken, or op = 0 at the context's end.
  bool ExpectOperator(int32_t opClass, TParseContext Context, TExprType Type, uint8_t& op);
  bool Comparison(bool numeric, bool& Value, bool& FirstFailed);
  // ends (when given) receives the index of each argument's last token.
  bool ReadArguments(const std::vector<TExprType>& params, TValueCell* cells, int* ends);
  bool ReadParenthesized(TExprType Type, TValueCell& Value);
  bool CallFunction(TExprType expected, TValueCell& result, TExprType& resultType);
  bool ParamValue(int32_t n, TExprType Type, TValueCell& Value);
  bool RunBuiltIn(uint8_t id, TValueCell* args, const int* argEnds, TValueCell& result);
  int FindField(const TCompiledSymbol& s, const TFieldType* types, int count) const;

  TFastEval* owner_;
  std::unique_ptr<TScroller> scroller_;
  std::string text_;
  TCompiledSymbols symbols_;
  int handle_;
  int evalHandle_;  // the handle the evaluation in progress answers to
  int cursor_ = 0;
  int lineCount_ = 1;
  bool started_ = false;
  int busy_ = 0;
  bool retokenizePending_ = false;
  bool paramRangeFailed_ = false;
};
