// The expression lexer and the typed evaluation: one left-to-right walk of
// the token array by recursive descent, typed by what the caller expects.

#include <cmath>
#include <cstdint>
#include <limits>

#include "toolkit/EvalConvert.h"
#include "toolkit/FEMsg.h"
#include "toolkit/FastEval.h"
#include "toolkit/FastEvalParser.h"
#include "toolkit/Reader.h"

namespace {

constexpr int32_t clsEnd = 1;
constexpr int32_t clsComma = 4;
constexpr int32_t clsClose = 16;
constexpr int32_t clsIntOp = 32;
constexpr int32_t clsExtOp = 64;
constexpr int32_t clsBoolOp = 128;
constexpr int32_t clsStrOp = 256;
constexpr int32_t clsCompare = 512;
constexpr int32_t clsComment = 1024;
constexpr int32_t clsStringSign = 2048;
constexpr int32_t clsStatementEnd = 4096;
constexpr int32_t clsThen = 65536;
constexpr int32_t clsElse = 131072;

// Deeper nesting than this fails instead of exhausting the stack.
constexpr int kMaxDepth = 1000;

bool IsLineFeed(const TPosition& t) { return t.Status == tsDelimiter && t.Text == "\n"; }

int Level(uint8_t code) {
  switch (code) {
    case tcPlus:
    case tcMinus: return 0;
    case tcTimes:
    case tcDivide:
    case tcDiv:
    case tcMod: return 1;
    case tcPower: return 2;
    default: return -1;
  }
}

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

// The floating-point unit's conversion to a 64-bit integer: out of range
// gives the "integer indefinite" value instead of undefined behaviour.
int64_t ToInt64(Extended v) {
  constexpr Extended lim = 9223372036854775808.0L;  // 2^63
  if (!(v >= -lim && v < lim)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

bool Integral(Extended v) { return IsIntegral(v); }

struct TDepthGuard {
  int& depth;
  bool ok;
  explicit TDepthGuard(int& d) : depth(d), ok(++d <= kMaxDepth) {}
  ~TDepthGuard() { --depth; }
};

}  // namespace

// ===================================================================== lexer

TParser::TParser(TFastEval* Owner, const std::string& Text, int Handle, bool TokenizeNow)
    : owner_(Owner), scroller_(std::make_unique<TScroller>(Owner->reader_.get())), text_(Text),
      handle_(Handle), evalHandle_(Handle) {
  symbols_.resize(1);
  if (TokenizeNow)
    Tokenize();
  else
    owner_->RetokenizeNeeded = true;
}

TParser::~TParser() = default;

namespace {
const TTokenSymbol* SymbolOf(const TPosition& t) {
  if (t.Status != tsKeyWord && t.Status != tsDelimiter) return nullptr;
  return static_cast<const TTokenSymbol*>(t.Properties);
}
}  // namespace

void TParser::Tokenize() {
  retokenizePending_ = false;
  symbols_.assign(100, TCompiledSymbol{});
  lineCount_ = 1;
  cursor_ = 0;
  started_ = false;
  NextToken();
  while (symbols_[cursor_].Code != tcEnd) {
    if (symbols_.size() - cursor_ < 2) symbols_.resize(cursor_ + 101);
    TCompiledSymbol& next = symbols_[cursor_ + 1];
    const TCompiledSymbol& cur = symbols_[cursor_];
    next = TCompiledSymbol{};
    next.Position = cur.Position;
    next.Line = cur.Line;
    next.Column = cur.Column;
    ++cursor_;
    NextToken();
  }
  symbols_.resize(cursor_ + 1);
  for (auto& s : symbols_) s.LexError = s.Error;
  cursor_ = 0;
  // The text stays with the parser; the scroller's copy is not needed.
  scroller_->SetText(std::string(), 0);
}

void TParser::NextToken() {
  TCompiledSymbol& e = symbols_[cursor_];
  TScroller& sc = *scroller_;
  const auto& table = owner_->table_;
  auto classOf = [&](const TPosition& t) -> int32_t {
    const TTokenSymbol* s = SymbolOf(t);
    return s ? table[s->Code].Class : 0;
  };

  bool unterminated = false;
  bool isString = false;
  std::string content;
  std::string openBlank;
  for (;;) {
    if (!started_) {
      sc.SetText(text_, 0);
      started_ = true;
    } else {
      sc.Next();
    }
    if (classOf(sc.Window[0]) & clsComment) {
      while (sc.Window[0].Status != tsEnd && !IsLineFeed(sc.Window[0])) sc.Next();
    }
    const TPosition& t = sc.Window[0];
    if (IsLineFeed(t)) {
      ++lineCount_;
    } else if (t.Status != tsEnd) {
      if (e.Line < lineCount_) {
        e.Line = lineCount_;
        e.Column = 0;
      }
      e.Column += static_cast<int32_t>(t.Blank.size() + t.Text.size());
    }
    if (t.Status != tsEnd && (classOf(t) & clsStringSign)) {
      isString = true;
      content.clear();
      openBlank = t.Blank;
      for (;;) {
        const TPosition& c = sc.Window[0];
        if (c.Status == tsEnd || IsLineFeed(c)) {
          unterminated = true;
          break;
        }
        sc.Next();
        const TPosition& n = sc.Window[0];
        e.Column += static_cast<int32_t>(n.Blank.size() + n.Text.size());
        const TTokenSymbol* sym = SymbolOf(n);
        if (n.Status == tsEnd || IsLineFeed(n)) continue;  // checked at the loop's top
        if (!sym) {
          content += n.Blank;
          content += n.Text;
        } else if (table[sym->Code].Class & clsStringSign) {
          const TPosition& after = sc.Window[1];
          if (after.Blank.empty() && after.Text == n.Text && (classOf(after) & clsStringSign)) {
            content += n.Blank;
            content += n.Text;
            sc.Next();
            e.Column += static_cast<int32_t>(sc.Window[0].Text.size());
          } else {
            content += n.Blank;
            break;
          }
        } else {
          content += n.Blank;
          content += n.Text;
        }
      }
    }
    if (IsLineFeed(sc.Window[0]) && e.Error == 0 && !unterminated) continue;
    break;
  }

  const TPosition& t = sc.Window[0];
  if (unterminated) {
    if (e.Error == eeNone) e.Error = eeStringSignExpected;
    e.Position = sc.Previous.Position;
    return;
  }
  if (t.Status == tsEnd) return;
  e.Position = t.Position;
  if (isString) {
    e.Text = std::move(content);
    e.Code = tcString;
    e.Item.reset();
    return;
  }
  e.Text = t.Text;
  if (const TTokenSymbol* s = SymbolOf(t)) {
    e.Code = s->Code;
    e.Item = s->Item;
  } else if (t.Status == tsInteger) {
    e.Code = tcInteger;
  } else if (t.Status == tsDecimal || t.Status == tsExponent) {
    e.Code = tcNumber;
  } else {
    e.Code = tcIdentifier;
  }
}

// ================================================================ evaluation

void TParser::Prepare() {
  TFastEval& o = *owner_;
  o.ErrorReported = false;
  if (o.RetokenizeNeeded) {
    o.RetokenizeNeeded = false;
    o.RetokenizeAll();
  }
  if (retokenizePending_ && busy_ == 0) Tokenize();
  for (auto& s : symbols_) s.Error = s.LexError;
  cursor_ = 0;
}

bool TParser::Evaluate(TExprType type, TValueCell& value, const std::string* formulaName) {
  return Evaluate(type, value, formulaName, handle_);
}

bool TParser::Evaluate(TExprType type, TValueCell& value, const std::string* formulaName, int asHandle) {
  if (busy_ > 0) {
    // Re-entered from one of its own handlers: walk a fresh copy instead.
    TParser copy(owner_, text_, asHandle, true);
    return copy.Evaluate(type, value, formulaName);
  }
  Prepare();
  value.Clear();
  ++busy_;
  evalHandle_ = asHandle;
  bool ok = IfThenElse(pcEnd, type, value);
  --busy_;
  if (!ok) {
    Report(formulaName);
    value.Clear();
  }
  evalHandle_ = handle_;
  return ok;
}

bool TParser::EvaluateInteger(int32_t& Value) {
  TValueCell c;
  bool ok = Evaluate(etInteger, c, nullptr);
  Value = c.I;
  return ok;
}

bool TParser::EvaluateExtended(Extended& Value) {
  TValueCell c;
  bool ok = Evaluate(etExtended, c, nullptr);
  Value = c.E;
  return ok;
}

bool TParser::EvaluateBoolean(bool& Value) {
  TValueCell c;
  bool ok = Evaluate(etBoolean, c, nullptr);
  Value = c.B;
  return ok;
}

bool TParser::EvaluateString(std::string& Value) {
  TValueCell c;
  bool ok = Evaluate(etString, c, nullptr);
  Value = std::move(c.S);
  return ok;
}

bool TParser::EvaluateDateTime(TDateTime& Value) {
  TValueCell c;
  bool ok = Evaluate(etDateTime, c, nullptr);
  Value = c.D;
  return ok;
}

bool TParser::EvaluateFormula(const std::string& Name, TExprType type, TValueCell& Value) {
  return Evaluate(type, Value, &Name);
}

void TParser::Report(const std::string* formulaName) {
  TFastEval& o = *owner_;
  if (o.ErrorReported) return;
  const TCompiledSymbol& s = symbols_[cursor_];
  std::string text = ErrorText(s.Error);
  if (formulaName) {
    if (!o.OnFunctError) return;
    o.OnFunctError(&o, *formulaName, s.Line, s.Column, s.Position, s.Error, text);
  } else {
    if (!o.OnError) return;
    o.OnError(&o, s.Line, s.Column, s.Position, s.Error, text, evalHandle_);
  }
  o.ErrorReported = true;
}

void TParser::RaiseError(TEvalError code) { RecordAt(cursor_, code); }

void TParser::RecordAt(int index, TEvalError code) {
  if (index < 0 || index >= static_cast<int>(symbols_.size())) return;
  if (symbols_[index].Error == 0) symbols_[index].Error = code;
}

int32_t TParser::TokClass() const { return owner_->table_[Tok().Code].Class; }

bool TParser::EndsContext(TParseContext context) const {
  int32_t c = TokClass();
  switch (context) {
    case pcEnd: return c & clsEnd;
    case pcThen: return c & clsThen;
    case pcElse: return c & clsElse;
    case pcComma: return c & clsComma;
    case pcClose: return c & clsClose;
    case pcComparison: return c & clsCompare;
    case pcAnywhere: return true;
    case pcStatementEnd: return c & clsStatementEnd;
  }
  return false;
}

TEvalError TParser::ContextError(TParseContext context, TExprType type) const {
  switch (context) {
    case pcEnd:
      switch (type) {
        case etInteger: return eeIntegerOperatorExpected;
        case etExtended: return eeExtendedOperatorExpected;
        case etBoolean: return eeBooleanOperatorExpected;
        case etString: return eePlusExpected;
        case etDateTime: return eeExtendedOperatorExpected;
      }
      return eeExtendedOperatorExpected;
    case pcThen: return eeThenExpected;
    case pcElse: return eeElseExpected;
    case pcComma: return eeCommaExpected;
    case pcClose: return eeCloseExpected;
    case pcComparison: return eeComparisonExpected;
    case pcStatementEnd: return eeStatementEndExpected;
    case pcAnywhere: break;
  }
  return eeNone;
}

const std::string& TParser::NormalisedText(const TCompiledSymbol& s) const {
  int8_t mode = owner_->caseSensitivity_ ? 1 : 0;
  if (s.NormalisedMode != mode) {
    s.Normalised = owner_->Normalise(s.Text);
    s.NormalisedMode = mode;
  }
  return s.Normalised;
}

// True with op the operator of the class (taken), or with op 0 at the
// context's end (cursor stays); false after recording the context's error.
bool TParser::ExpectOperator(int32_t opClass, TParseContext Context, TExprType Type, uint8_t& op) {
  op = 0;
  if (TokClass() & opClass) {
    op = Tok().Code;
    ++cursor_;
    return true;
  }
  if (EndsContext(Context)) return true;
  RaiseError(ContextError(Context, Type));
  return false;
}

bool TParser::IfThenElse(TParseContext Context, TExprType Type, TValueCell& Value) {
  TDepthGuard guard(owner_->depth_);
  if (!guard.ok) return false;
  if (Tok().Code != tcIf) return TypedExpression(Context, Type, Value);
  ++cursor_;
  TValueCell cond;
  if (!IfThenElse(pcThen, etBoolean, cond)) return false;
  if (cond.B) {
    ++cursor_;  // "then"
    return IfThenElse(pcElse, Type, Value);
  }
  int depth = 1;
  while (depth > 0 && Tok().Code != tcEnd) {
    ++cursor_;
    if (Tok().Code == tcIf) ++depth;
    else if (Tok().Code == tcElse) --depth;
  }
  if (depth > 0) {
    RaiseError(eeElseExpected);
    return false;
  }
  ++cursor_;  // "else"
  return IfThenElse(Context, Type, Value);
}

bool TParser::TypedExpression(TParseContext Context, TExprType Type, TValueCell& Value) {
  TDepthGuard guard(owner_->depth_);
  if (!guard.ok) return false;
  bool ff = true;
  switch (Type) {
    case etInteger: return IntegerExpression(Context, Value.I, ff, TState::Sign, 0);
    case etExtended: return ExtendedExpression(Context, Value.E, ff, TState::Sign, 0, false);
    case etDateTime: {
      Extended acc = Value.D;
      bool ok = ExtendedExpression(Context, acc, ff, TState::Sign, 0, true);
      Value.D = static_cast<TDateTime>(acc);
      return ok;
    }
    case etBoolean: return BooleanExpression(Context, Value.B);
    case etString: return StringExpression(Context, Value.S, ff);
  }
  return false;
}

// ------------------------------------------------------------------- Integer

bool TParser::IntegerExpression(TParseContext Context, int32_t& Value, bool& FirstFailed, TState StartState,
                                int MinLevel) {
  TDepthGuard guard(owner_->depth_);
  if (!guard.ok) return false;
  uint8_t pending = tcPlus;
  TState state = StartState;
  if (state == TState::Sign) {
    if (Tok().Code == tcPlus) {
      ++cursor_;
    } else if (Tok().Code == tcMinus) {
      ++cursor_;
      pending = tcMinus;
    }
    state = TState::Operand;
  }
  for (;;) {
    if (state == TState::Operator) {
      uint8_t op;
      if (!ExpectOperator(clsIntOp, Context, etInteger, op)) return false;
      if (op == 0) return true;
      pending = op;
    }
    int32_t operand = 0;
    if (!ReadIntegerOperand(operand)) {
      RaiseError(Context == pcComparison && FirstFailed ? eeBooleanExpected : eeIntegerExpected);
      return false;
    }
    FirstFailed = false;
    while (Level(pending) < Level(Tok().Code) && (TokClass() & clsIntOp)) {
      bool ff = false;
      if (!IntegerExpression(Context, operand, ff, TState::Operator, Level(Tok().Code))) return false;
    }
    switch (pending) {
      case tcPlus: Value = Wrap(int64_t(Value) + operand); break;
      case tcMinus: Value = Wrap(int64_t(Value) - operand); break;
      case tcTimes: Value = Wrap(int64_t(Value) * operand); break;
      case tcDiv:
      case tcMod:
        if (operand == 0) {
          --cursor_;
          RaiseError(eeDivisionByZero);
          return false;
        }
        // The smallest value divided by -1 wraps like the other operators.
        if (pending == tcDiv)
          Value = Wrap(int64_t(Value) / operand);
        else
          Value = Wrap(int64_t(Value) % operand);
        break;
    }
    if (MinLevel > 0 && Level(Tok().Code) <= MinLevel) return true;
    state = TState::Operator;
  }
}

// ----------------------------------------------------- Extended and TDateTime

bool TParser::ExtendedExpression(TParseContext Context, Extended& Value, bool& FirstFailed, TState StartState,
                                 int MinLevel, bool dateTime) {
  TDepthGuard guard(owner_->depth_);
  if (!guard.ok) return false;
  const TExprType type = dateTime ? etDateTime : etExtended;
  uint8_t pending = tcPlus;
  int pendingAt = cursor_;
  TState state = StartState;
  if (state == TState::Sign) {
    if (Tok().Code == tcPlus) {
      ++cursor_;
    } else if (Tok().Code == tcMinus) {
      pendingAt = cursor_;
      ++cursor_;
      pending = tcMinus;
    }
    state = TState::Operand;
  }
  for (;;) {
    if (state == TState::Operator) {
      uint8_t op;
      int at = cursor_;
      if (!ExpectOperator(clsExtOp, Context, type, op)) return false;
      if (op == 0) return true;
      if ((op == tcDiv || op == tcMod) && !Integral(Value)) {
        cursor_ = at;
        RaiseError(eeExtendedOperatorExpected);
        return false;
      }
      pending = op;
      pendingAt = at;
    }
    Extended operand = 0;
    if (!ReadExtendedOperand(operand, dateTime)) {
      RaiseError(Context == pcComparison && FirstFailed ? eeBooleanExpected
                                                       : (dateTime ? eeDateTimeExpected : eeNumberExpected));
      return false;
    }
    FirstFailed = false;
    while (Level(pending) < Level(Tok().Code) && (TokClass() & clsExtOp)) {
      bool ff = false;
      if (!ExtendedExpression(Context, operand, ff, TState::Operator, Level(Tok().Code), dateTime))
        return false;
    }
    switch (pending) {
      case tcPlus: Value = Value + operand; break;
      case tcMinus: Value = Value - operand; break;
      case tcTimes: Value = Value * operand; break;
      case tcDivide:
        if (operand == 0) {
          --cursor_;
          RaiseError(eeDivisionByZero);
          return false;
        }
        Value = Value / operand;
        break;
      case tcPower: Value = std::pow(Value, operand); break;
      case tcDiv:
      case tcMod: {
        if (!Integral(operand)) {
          cursor_ = pendingAt;
          RaiseError(eeExtendedOperatorExpected);
          return false;
        }
        if (operand == 0) {
          --cursor_;
          RaiseError(eeDivisionByZero);
          return false;
        }
        int64_t a = ToInt64(std::nearbyint(Value));
        int64_t b = ToInt64(std::nearbyint(operand));
        if (b == -1)
          Value = pending == tcDiv ? -static_cast<Extended>(a) : 0;
        else
          Value = static_cast<Extended>(pending == tcDiv ? a / b : a % b);
        break;
      }
    }
    if (dateTime) Value = static_cast<TDateTime>(Value);
    if (MinLevel > 0 && Level(Tok().Code) <= MinLevel) return true;
    state = TState::Operator;
  }
}

// -------------------------------------------------------------------- String

bool TParser::StringExpression(TParseContext Context, std::string& Value, bool& FirstFailed) {
  TDepthGuard guard(owner_->depth_);
  if (!guard.ok) return false;
  Value.clear();
  std::string operand;
  for (bool first = true;; first = false) {
    bool ok = first ? ReadStringOperand(Value) : ReadStringOperand(operand);
    if (!ok) {
      RaiseError(Context == pcComparison && FirstFailed ? eeBooleanExpected : eeStringExpected);
      return false;
    }
    FirstFailed = false;
    if (!first) Value += operand;
    uint8_t op;
    if (!ExpectOperator(clsStrOp, Context, etString, op)) return false;
    if (op == 0) return true;
  }
}

// ------------------------------------------------------------------- Boolean

bool TParser::BooleanExpression(TParseContext Context, bool& Value) {
  TDepthGuard guard(owner_->depth_);
  if (!guard.ok) return false;
  Value = false;
  uint8_t pending = tcOr;
  for (;;) {
    bool operand = false;
    if (!ReadBooleanOperand(operand)) {
      RaiseError(eeBooleanExpected);
      return false;
    }
    if (Context != pcAnywhere) {
      while (TokClass() & clsCompare) {
        uint8_t sign = Tok().Code;
        ++cursor_;
        bool right = false;
        if (!ReadBooleanOperand(right)) {
          RaiseError(eeBooleanExpected);
          return false;
        }
        int l = operand ? 1 : 0, r = right ? 1 : 0;
        switch (sign) {
          case tcGreaterEqual: operand = l >= r; break;
          case tcLessEqual: operand = l <= r; break;
          case tcNotEqual: operand = l != r; break;
          case tcEqual: operand = l == r; break;
          case tcGreater: operand = l > r; break;
          case tcLess: operand = l < r; break;
        }
      }
    }
    switch (pending) {
      case tcAnd: Value = Value && operand; break;
      case tcOr: Value = Value || operand; break;
      case tcXor: Value = Value != operand; break;
    }
    uint8_t op;
    if (!ExpectOperator(clsBoolOp, Context, etBoolean, op)) return false;
    if (op == 0) return true;
    pending = op;
  }
}

bool TParser::Comparison(bool numeric, bool& Value, bool& FirstFailed) {
  FirstFailed = true;
  int cmp = 0;
  uint8_t sign;
  if (numeric) {
    Extended left = 0, right = 0;
    if (!ExtendedExpression(pcComparison, left, FirstFailed, TState::Sign, 0, false)) return false;
    sign = Tok().Code;
    ++cursor_;
    bool ff = false;
    if (!ExtendedExpression(pcAnywhere, right, ff, TState::Sign, 0, false)) return false;
    cmp = left < right ? -1 : (left > right ? 1 : 0);
    if (std::isnan(left) || std::isnan(right)) {
      // Unordered: only "<>" holds.
      Value = sign == tcNotEqual;
      return true;
    }
  } else {
    std::string left, right;
    if (!StringExpression(pcComparison, left, FirstFailed)) return false;
    sign = Tok().Code;
    ++cursor_;
    bool ff = false;
    if (!StringExpression(pcAnywhere, right, ff)) return false;
    int c = left.compare(right);
    cmp = c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  switch (sign) {
    case tcGreaterEqual: Value = cmp >= 0; break;
    case tcLessEqual: Value = cmp <= 0; break;
    case tcNotEqual: Value = cmp != 0; break;
    case tcEqual: Value = cmp == 0; break;
    case tcGreater: Value = cmp > 0; break;
    case tcLess: Value = cmp < 0; break;
    default: Value = false;
  }
  return true;
}

bool TParser::ReadBooleanOperand(bool& Value) {
  const int first = cursor_;
  const TCompiledSymbol& s = symbols_[first];
  bool paramFailed = false;
  uint8_t paramError = 0;
  // 0: any comparison, 1: numeric only, 2: string only
  int tryKind = 0;

  if (s.Code == tcParam) {
    TValueCell r;
    TExprType rt;
    paramRangeFailed_ = false;
    if (CallFunction(etBoolean, r, rt)) {
      Value = r.B;
      return true;
    }
    if (paramRangeFailed_) return false;
    paramFailed = true;
    paramError = symbols_[first].Error;
  } else if (s.Code == tcFunction) {
    auto* f = static_cast<const TFunct*>(s.Item.get());
    if (f->FunctType == etBoolean) {
      TValueCell r;
      TExprType rt;
      if (CallFunction(etBoolean, r, rt)) {
        Value = r.B;
        return true;
      }
      return false;
    }
    tryKind = f->FunctType == etString ? 2 : 1;
  } else if (s.Code == tcVariable) {
    auto* v = static_cast<const TVariable*>(s.Item.get());
    if (v->VarType == etBoolean) {
      Value = *static_cast<const bool*>(v->ValuePtr());
      ++cursor_;
      return true;
    }
    tryKind = v->VarType == etString ? 2 : 1;
  } else if (s.Code == tcOpen) {
    TValueCell r;
    bool ok = ReadParenthesized(etBoolean, r);
    Value = r.B;
    return ok;
  } else if (s.Code == tcTrue || s.Code == tcFalse) {
    Value = s.Code == tcTrue;
    ++cursor_;
    return true;
  } else if (s.Code == tcIdentifier) {
    static const TFieldType boolTypes[] = {ftBoolean};
    int field = FindField(s, boolTypes, 1);
    if (field >= 0) {
      Value = owner_->DataSet->FieldAsBoolean(field);
      ++cursor_;
      return true;
    }
    if (owner_->OnGetBooleanVar) {
      bool found = false;
      bool v = false;
      owner_->OnGetBooleanVar(owner_, NormalisedText(s), found, v, evalHandle_);
      if (found) {
        Value = v;
        ++cursor_;
        return true;
      }
    }
  }

  // Not a Boolean value: the left side of a comparison.
  bool ff = true;
  cursor_ = first;
  if (tryKind == 1) return Comparison(true, Value, ff);
  if (tryKind == 2) return Comparison(false, Value, ff);
  // Each trial starts from what the lexer recorded (an unterminated literal).
  const uint8_t lexError = symbols_[first].LexError;
  symbols_[first].Error = lexError;
  if (Comparison(true, Value, ff)) return true;
  if (!ff) return false;
  cursor_ = first;
  symbols_[first].Error = lexError;
  if (Comparison(false, Value, ff)) return true;
  if (!ff) return false;
  cursor_ = first;
  symbols_[first].Error = paramFailed ? paramError : lexError;
  return false;
}

// ------------------------------------------------------------ operand readers

int TParser::FindField(const TCompiledSymbol& s, const TFieldType* types, int count) const {
  IFieldSource* ds = owner_->DataSet;
  if (!ds) return -1;
  const std::string& name = NormalisedText(s);
  int n = ds->FieldCount();
  for (int i = 0; i < n; ++i) {
    TFieldType t = ds->FieldDataType(i);
    bool suits = false;
    for (int k = 0; k < count; ++k)
      if (types[k] == t) suits = true;
    if (suits && owner_->SameName(ds->FieldName(i), name)) return i;
  }
  return -1;
}

bool TParser::ReadIntegerOperand(int32_t& Value) {
  const TCompiledSymbol& s = Tok();
  switch (s.Code) {
    case tcParam:
    case tcFunction: {
      auto* f = static_cast<const TFunct*>(s.Item.get());
      if (s.Code == tcFunction && f->FunctType != etInteger) return false;
      TValueCell r;
      TExprType rt;
      if (!CallFunction(etInteger, r, rt)) return false;
      Value = r.I;
      return true;
    }
    case tcVariable: {
      auto* v = static_cast<const TVariable*>(s.Item.get());
      if (v->VarType != etInteger) return false;
      Value = *static_cast<const int32_t*>(v->ValuePtr());
      ++cursor_;
      return true;
    }
    case tcInteger: {
      int v = 0;
      if (!TryStrToInt(s.Text, v)) {
        RaiseError(eeInvalidInteger);
        return false;
      }
      Value = v;
      ++cursor_;
      return true;
    }
    case tcOpen: {
      TValueCell r;
      if (!ReadParenthesized(etInteger, r)) return false;
      Value = r.I;
      return true;
    }
    case tcIdentifier: {
      static const TFieldType intTypes[] = {ftSmallint, ftInteger, ftWord, ftLargeint, ftAutoInc};
      int field = FindField(s, intTypes, 5);
      if (field >= 0) {
        const IFieldSource& ds = *owner_->DataSet;
        if (ds.FieldDataType(field) == ftLargeint) {
          // A long id that does not fit the integer type is a type error, not a throw.
          const double wide = ds.FieldAsFloat(field);
          if (!(wide >= INT32_MIN && wide <= INT32_MAX)) return false;
          Value = static_cast<int32_t>(wide);
        } else {
          Value = ds.FieldAsInteger(field);
        }
        ++cursor_;
        return true;
      }
      if (owner_->OnGetIntegerVar) {
        bool found = false;
        int32_t v = 0;
        owner_->OnGetIntegerVar(owner_, NormalisedText(s), found, v, evalHandle_);
        if (found) {
          Value = v;
          ++cursor_;
          return true;
        }
      }
      return false;
    }
    default: return false;
  }
}

bool TParser::ReadExtendedOperand(Extended& Value, bool dateTime) {
  const TCompiledSymbol& s = Tok();
  const TExprType type = dateTime ? etDateTime : etExtended;
  auto numeric = [](TExprType t) { return t == etInteger || t == etExtended || t == etDateTime; };
  switch (s.Code) {
    case tcParam:
    case tcFunction: {
      auto* f = static_cast<const TFunct*>(s.Item.get());
      if (s.Code == tcFunction && !numeric(f->FunctType)) return false;
      TValueCell r;
      TExprType rt;
      if (!CallFunction(type, r, rt)) return false;
      Value = rt == etInteger ? Extended(r.I) : rt == etExtended ? r.E : Extended(r.D);
      return true;
    }
    case tcVariable: {
      auto* v = static_cast<const TVariable*>(s.Item.get());
      const void* p = v->ValuePtr();
      switch (v->VarType) {
        case etInteger: Value = *static_cast<const int32_t*>(p); break;
        case etExtended: Value = *static_cast<const Extended*>(p); break;
        case etDateTime: Value = *static_cast<const TDateTime*>(p); break;
        default: return false;
      }
      ++cursor_;
      return true;
    }
    case tcInteger:
    case tcNumber: {
      int code = 0;
      Extended v = TextToExtended(s.Text, code);
      if (code != 0) return false;
      Value = v;
      ++cursor_;
      return true;
    }
    case tcString: {
      TDateTime d = 0;
      if (!TryTextToDateTime(s.Text, d)) return false;
      Value = d;
      ++cursor_;
      return true;
    }
    case tcOpen: {
      TValueCell r;
      if (!ReadParenthesized(type, r)) return false;
      Value = dateTime ? Extended(r.D) : r.E;
      return true;
    }
    case tcIdentifier: {
      IFieldSource* ds = owner_->DataSet;
      if (ds) {
        const std::string& name = NormalisedText(s);
        int n = ds->FieldCount();
        for (int i = 0; i < n; ++i) {
          TFieldType t = ds->FieldDataType(i);
          int how;
          switch (t) {
            case ftDate:
            case ftTime:
            case ftDateTime: how = 0; break;
            case ftSmallint:
            case ftInteger:
            case ftWord:
            case ftAutoInc: how = 1; break;
            case ftLargeint:  // may not fit 32 bits
            case ftFloat:
            case ftCurrency: how = 2; break;
            default: continue;
          }
          if (!owner_->SameName(ds->FieldName(i), name)) continue;
          Value = how == 0 ? Extended(ds->FieldAsDateTime(i))
                  : how == 1 ? Extended(ds->FieldAsInteger(i))
                             : Extended(ds->FieldAsFloat(i));
          ++cursor_;
          return true;
        }
      }
      TFastEval& o = *owner_;
      const std::string* name = nullptr;
      auto nm = [&]() -> const std::string& {
        if (!name) name = &NormalisedText(s);
        return *name;
      };
      auto tryExt = [&]() {
        if (!o.OnGetExtendedVar) return false;
        bool found = false;
        Extended v = 0;
        o.OnGetExtendedVar(&o, nm(), found, v, evalHandle_);
        if (found) Value = v;
        return found;
      };
      auto tryDate = [&]() {
        if (!o.OnGetDateTimeVar) return false;
        bool found = false;
        TDateTime v = 0;
        o.OnGetDateTimeVar(&o, nm(), found, v, evalHandle_);
        if (found) Value = v;
        return found;
      };
      auto tryInt = [&]() {
        if (!o.OnGetIntegerVar) return false;
        bool found = false;
        int32_t v = 0;
        o.OnGetIntegerVar(&o, nm(), found, v, evalHandle_);
        if (found) Value = v;
        return found;
      };
      bool found = dateTime ? (tryDate() || tryExt() || tryInt()) : (tryExt() || tryDate() || tryInt());
      if (found) ++cursor_;
      return found;
    }
    default: return false;
  }
}

bool TParser::ReadStringOperand(std::string& Value) {
  const TCompiledSymbol& s = Tok();
  switch (s.Code) {
    case tcParam:
    case tcFunction: {
      auto* f = static_cast<const TFunct*>(s.Item.get());
      if (s.Code == tcFunction && f->FunctType != etString) return false;
      TValueCell r;
      TExprType rt;
      if (!CallFunction(etString, r, rt)) return false;
      Value = std::move(r.S);
      return true;
    }
    case tcVariable: {
      auto* v = static_cast<const TVariable*>(s.Item.get());
      if (v->VarType != etString) return false;
      Value = *static_cast<const std::string*>(v->ValuePtr());
      ++cursor_;
      return true;
    }
    case tcString:
      Value = s.Text;
      ++cursor_;
      return true;
    case tcOpen: {
      TValueCell r;
      if (!ReadParenthesized(etString, r)) return false;
      Value = std::move(r.S);
      return true;
    }
    case tcIdentifier: {
      static const TFieldType strTypes[] = {ftString, ftWideString, ftFmtMemo, ftMemo};
      int field = FindField(s, strTypes, 4);
      if (field >= 0) {
        Value = owner_->DataSet->FieldAsString(field);
        ++cursor_;
        return true;
      }
      if (owner_->OnGetStringVar) {
        bool found = false;
        std::string v;
        owner_->OnGetStringVar(owner_, NormalisedText(s), found, v, evalHandle_);
        if (found) {
          Value = std::move(v);
          ++cursor_;
          return true;
        }
      }
      return false;
    }
    default: return false;
  }
}

// ---------------------------------------------------------------- functions

bool TParser::ReadArguments(const std::vector<TExprType>& params, TValueCell* cells, int* ends) {
  if (Tok().Code != tcOpen) {
    RaiseError(eeOpenExpected);
    return false;
  }
  ++cursor_;
  const size_t n = params.size();
  for (size_t i = 0; i < n; ++i) {
    const TParseContext ctx = i + 1 < n ? pcComma : pcClose;
    if (!TypedExpression(ctx, params[i], cells[i])) return false;
    if (ends) ends[i] = cursor_ - 1;
    ++cursor_;  // "," or ")"
  }
  return true;
}

bool TParser::ReadParenthesized(TExprType Type, TValueCell& Value) {
  ++cursor_;  // "("
  if (!TypedExpression(pcClose, Type, Value)) return false;
  ++cursor_;  // ")"
  return true;
}

bool TParser::ParamValue(int32_t n, TExprType Type, TValueCell& Value) {
  const TFunctParamValues* args = owner_->CurrentParams;
  if (!args || n < 1 || n > static_cast<int32_t>(args->size())) {
    cursor_ = cursor_ >= 2 ? cursor_ - 2 : 0;
    RaiseError(eeParamOutOfRange);
    paramRangeFailed_ = true;
    return false;
  }
  const TFunctParamValue& a = (*args)[n - 1];
  auto back = [&] {
    cursor_ = cursor_ >= 1 ? cursor_ - 1 : 0;
    return false;
  };
  switch (Type) {
    case etInteger:
      if (a.ParamType != etInteger) return back();
      Value.I = a.AsInteger();
      return true;
    case etBoolean:
      if (a.ParamType != etBoolean) return back();
      Value.B = a.AsBoolean();
      return true;
    case etString:
      if (a.ParamType != etString) return back();
      Value.S = a.AsString();
      return true;
    case etExtended:
    case etDateTime: {
      Extended v;
      if (a.ParamType == etInteger) v = a.AsInteger();
      else if (a.ParamType == etExtended) v = a.AsExtended();
      else if (a.ParamType == etDateTime) v = a.AsDateTime();
      else return back();
      if (Type == etExtended) Value.E = v;
      else Value.D = static_cast<TDateTime>(v);
      return true;
    }
  }
  return back();
}

bool TParser::CallFunction(TExprType expected, TValueCell& result, TExprType& resultType) {
  TFastEval& o = *owner_;
  const TCompiledSymbol& s = Tok();
  // The token keeps the record alive even if a handler replaces it.
  std::shared_ptr<TSymbolItem> hold = s.Item;
  auto* f = static_cast<TFunct*>(hold.get());
  if (!f || !f->Active) return false;
  const bool isParam = s.Code == tcParam;
  if (isParam && o.CurrentParams == nullptr) return false;
  const size_t n = f->Params.size();
  resultType = isParam ? expected : f->FunctType;

  // Argument cells: on the stack for the usual few.
  std::array<TValueCell, 4> local;
  std::array<int, 4> ends{};
  std::vector<TValueCell> heap;
  TValueCell* cells = local.data();
  if (n > local.size()) {
    heap.resize(n);
    cells = heap.data();
  }
  const TFunctParamValues* saved = o.CurrentParams;
  const int nameAt = cursor_;
  ++cursor_;
  struct TRestore {
    TFastEval& o;
    const TFunctParamValues* saved;
    ~TRestore() { o.CurrentParams = saved; }
  } restore{o, saved};

  if (n > 0 && !ReadArguments(f->Params, cells, n <= ends.size() ? ends.data() : nullptr))
    return false;
  if (isParam) return ParamValue(cells[0].I, expected, result);

  result.Clear();
  if (f->Kind == 0) return RunBuiltIn(f->Id, cells, ends.data(), result);

  TFunctParamValues values;
  if (n > 0) {
    values.resize(n);
    for (size_t i = 0; i < n; ++i) {
      values[i].ParamType = f->Params[i];
      values[i].Value = cells[i].Address(f->Params[i]);
    }
    o.CurrentParams = &values;
  } else {
    o.CurrentParams = nullptr;
  }

  if (f->Kind == 2) {
    if (!f->Parser) return false;
    // A formula function's own failure goes to OnFunctError; ours starts here.
    return f->Parser->EvaluateFormula(f->Name, f->FunctType, result);
  }

  const std::string& name = NormalisedText(symbols_[nameAt]);
  const bool active = f->Active;
  bool found = true;
  switch (f->FunctType) {
    case etInteger:
      if (!o.OnGetIntegerFunct) return false;
      o.OnGetIntegerFunct(&o, name, active, values, found, result.I, evalHandle_);
      break;
    case etExtended:
      if (!o.OnGetExtendedFunct) return false;
      o.OnGetExtendedFunct(&o, name, active, values, found, result.E, evalHandle_);
      break;
    case etBoolean:
      if (!o.OnGetBooleanFunct) return false;
      o.OnGetBooleanFunct(&o, name, active, values, found, result.B, evalHandle_);
      break;
    case etString:
      if (!o.OnGetStringFunct) return false;
      o.OnGetStringFunct(&o, name, active, values, found, result.S, evalHandle_);
      break;
    case etDateTime:
      if (!o.OnGetDateTimeFunct) return false;
      o.OnGetDateTimeFunct(&o, name, active, values, found, result.D, evalHandle_);
      break;
  }
  return found;
}
