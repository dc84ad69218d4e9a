// The evaluator component: registrations, compiled expressions, the lexer,
// the symbol file and the listing passes.

#include "toolkit/FastEval.h"

#include <cfloat>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform/Bytes.h"
#include "toolkit/FEMsg.h"
#include "toolkit/FastEvalParser.h"
#include "toolkit/Reader.h"
#include "toolkit/StrFile.h"

namespace {

// Dictionary kinds: the Structure under which a word is registered.
constexpr int kindToken = 1;
constexpr int kindFunction = 2;
constexpr int kindFormula = 3;
constexpr int kindVariable = 4;

const std::array<TTokenEntry, TokenTableSize> kDefaultTable = {{
    {"", 1, 0},
    {"", 2, 0},
    {",", 4, 6},
    {"(", 8, 6},
    {")", 16, 6},
    {"+", 352, 6},
    {"-", 96, 6},
    {"*", 96, 6},
    {"/", 64, 6},
    {"^", 64, 6},
    {"and", 128, 5},
    {"or", 128, 5},
    {"xor", 128, 5},
    {"div", 96, 5},
    {"mod", 96, 5},
    {"true", 1048576, 5},
    {"false", 1048576, 5},
    {"param", 8192, 5},
    {">=", 512, 6},
    {"<=", 512, 6},
    {"<>", 512, 6},
    {"=", 512, 6},
    {">", 512, 6},
    {"<", 512, 6},
    {"'", 1024, 6},
    {"\"", 2048, 6},
    {"//", 0, 6},
    {";", 4096, 6},
    {".", 4096, 6},
    {"", 16384, 5},
    {"", 8192, 5},
    {"if", 32768, 5},
    {"then", 65536, 5},
    {"else", 131072, 5},
    {"", 4980736, 1},
    {"", 4718592, 1},
    {"", 2097152, 1},
}};

constexpr int32_t clsComment = 1024;
constexpr int32_t clsStringSign = 2048;

// 80-bit extended in the file: 64-bit mantissa with explicit integer bit,
// 15-bit exponent, sign; written from any long double layout.
void EncodeExtended(Extended v, unsigned char out[10]) {
  std::memset(out, 0, 10);
  uint16_t se = 0;
  uint64_t mant = 0;
  if (std::isnan(v)) {
    se = 0x7FFF;
    mant = 0xC000000000000000ull;
  } else if (std::isinf(v)) {
    se = 0x7FFF | (v < 0 ? 0x8000 : 0);
    mant = 0x8000000000000000ull;
  } else if (v != 0) {
    bool neg = std::signbit(v);
    Extended a = neg ? -v : v;
    int e = 0;
    Extended m = std::frexp(a, &e);  // a = m * 2^e, m in [0.5, 1)
    int biased = e - 1 + 16383;
    if (biased <= 0) {  // denormal: mantissa shifted right
      m = std::ldexp(m, biased + 63);
      biased = 0;
    } else {
      m = std::ldexp(m, 64);
    }
    if (biased >= 0x7FFF) {
      biased = 0x7FFF;
      m = std::ldexp(Extended(1), 63);
    }
    mant = static_cast<uint64_t>(m);
    se = static_cast<uint16_t>(biased | (neg ? 0x8000 : 0));
  } else if (std::signbit(v)) {
    se = 0x8000;
  }
  PutLE64(out, mant);
  PutLE16(out + 8, se);
}

Extended DecodeExtended(const unsigned char in[10]) {
  uint64_t mant = GetLE64(in);
  uint16_t se = GetLE16(in + 8);
  bool neg = (se & 0x8000) != 0;
  int exp = se & 0x7FFF;
  Extended v;
  if (exp == 0x7FFF) {
    v = (mant << 1) == 0 ? HUGE_VALL : NAN;
  } else {
    int e = exp == 0 ? 1 - 16383 - 63 : exp - 16383 - 63;
    v = std::ldexp(static_cast<Extended>(mant), e);
  }
  return neg ? -v : v;
}

void WriteByte(TFileHandle& h, uint8_t b) { h.WriteExact(&b, 1); }

uint8_t ReadByteOrThrow(TFileHandle& h) {
  uint8_t b = 0;
  if (!h.ReadExact(&b, 1)) throw std::runtime_error("symbol file cut short");
  return b;
}

int32_t ReadIntOrThrow(TFileHandle& h) {
  int32_t v = 0;
  if (!ReadInt32(h, v)) throw std::runtime_error("symbol file cut short");
  return v;
}

std::string ReadStrOrThrow(TFileHandle& h) {
  std::string s;
  if (!ReadStr(h, s)) throw std::runtime_error("symbol file cut short");
  return s;
}

TExprType ReadTypeOrThrow(TFileHandle& h) {
  uint8_t b = ReadByteOrThrow(h);
  if (b > etDateTime) throw std::runtime_error("symbol file: unknown value type");
  return static_cast<TExprType>(b);
}

}  // namespace

const std::array<TTokenEntry, TokenTableSize>& DefaultTokenTable() { return kDefaultTable; }

// ---------------------------------------------------------------- value cells

void TValueCell::Clear() {
  I = 0;
  E = 0;
  B = false;
  S.clear();
  D = 0;
}

void* TValueCell::Address(TExprType type) {
  switch (type) {
    case etInteger: return &I;
    case etExtended: return &E;
    case etBoolean: return &B;
    case etString: return &S;
    case etDateTime: return &D;
  }
  return &I;
}

const void* TValueCell::Address(TExprType type) const { return const_cast<TValueCell*>(this)->Address(type); }

TFunct::~TFunct() = default;

const void* TVariable::ValuePtr() const { return Ref ? Ref : Value.Address(VarType); }

// ------------------------------------------------------------------ component

TFastEval::TFastEval() : reader_(std::make_unique<TReader>()), table_(kDefaultTable) {
  SetStringSign(ssQMark);
  SetCommentSign(csApostrophe);
  reader_->OnDisposeProperties = [this](TReader*, int structure, void* properties) {
    DisposeProperties(structure, properties);
  };
  reader_->OnRegList = [this](TReader*, const std::string& str, int status, int keyNum, int structure,
                              void* properties) { OnRegList(str, status, keyNum, structure, properties); };
  TDList& dict = reader_->Dictionary;
  dict.OnFilter = [this](TDList*, const std::string&, int, int, void* properties, bool& enabled) {
    if (!savingSymbols_) return;
    auto* rec = static_cast<TSymProperties*>(properties);
    int kind = 0;
    if (rec) kind = rec->Status == 0 && !rec->CSAdd.empty() ? rec->CSAdd.front().Structure : rec->Structure;
    enabled = kind == kindFormula || kind == kindVariable;
  };
  dict.OnFileHeader = [](TDList*, TFileHandle& h, THeaderAction action, int, int initPos) {
    if (action == haWrite) {
      std::string blanks(32, ' ');
      h.WriteExact(blanks.data(), 32);
    } else {
      h.Seek(initPos + 32);
    }
  };
  dict.OnSaveStructure = [](TDList*, int, void* properties, TFileHandle& h, int) {
    auto* rec = static_cast<TSymProperties*>(properties);
    if (!rec) return;
    // A symbol registered case-sensitively sits in an addition.
    int kind = rec->Structure;
    void* props = rec->Properties;
    if (rec->Status == 0 && !rec->CSAdd.empty()) {
      kind = rec->CSAdd.front().Structure;
      props = rec->CSAdd.front().Properties;
    }
    auto* sym = static_cast<TTokenSymbol*>(props);
    WriteInt32(h, kind);
    if (!sym || !sym->Item) return;
    if (kind == kindVariable) {
      auto* v = static_cast<TVariable*>(sym->Item.get());
      WriteStr(h, v->Name);
      WriteStr(h, v->Description);
      WriteStr(h, v->UserText);
      WriteByte(h, v->VarType);
      const void* p = v->ValuePtr();
      switch (v->VarType) {
        case etInteger: WriteInt32(h, *static_cast<const int32_t*>(p)); break;
        case etExtended: {
          unsigned char buf[10];
          EncodeExtended(*static_cast<const Extended*>(p), buf);
          h.WriteExact(buf, 10);
          break;
        }
        case etBoolean: WriteByte(h, *static_cast<const bool*>(p) ? 1 : 0); break;
        case etString: WriteStr(h, *static_cast<const std::string*>(p)); break;
        case etDateTime: h.WriteExact(p, 8); break;
      }
    } else if (kind == kindFormula) {
      auto* f = static_cast<TFunct*>(sym->Item.get());
      if (f->Kind != 2) return;
      WriteStr(h, f->Name);
      WriteStr(h, f->Description);
      WriteStr(h, f->UserText);
      WriteByte(h, f->Active ? 1 : 0);
      WriteByte(h, f->FunctType);
      WriteInt32(h, static_cast<int32_t>(f->Params.size()));
      for (TExprType t : f->Params) WriteByte(h, t);
      WriteStr(h, f->Parser ? f->Parser->Text() : std::string());
    }
  };
  dict.OnLoadStructure = [this](TDList*, int, void*& properties, TFileHandle& h, int) {
    // The records are registered once the whole file is read; the entry the
    // list adds meanwhile stays without a record.
    properties = nullptr;
    int32_t kind = ReadIntOrThrow(h);
    if (kind == kindVariable) {
      auto v = std::make_shared<TVariable>();
      v->Name = ReadStrOrThrow(h);
      v->Description = ReadStrOrThrow(h);
      v->UserText = ReadStrOrThrow(h);
      v->VarType = ReadTypeOrThrow(h);
      switch (v->VarType) {
        case etInteger: v->Value.I = ReadIntOrThrow(h); break;
        case etExtended: {
          unsigned char buf[10];
          if (!h.ReadExact(buf, 10)) throw std::runtime_error("symbol file cut short");
          v->Value.E = DecodeExtended(buf);
          break;
        }
        case etBoolean: v->Value.B = ReadByteOrThrow(h) != 0; break;
        case etString: v->Value.S = ReadStrOrThrow(h); break;
        case etDateTime:
          if (!h.ReadExact(&v->Value.D, 8)) throw std::runtime_error("symbol file cut short");
          break;
      }
      loaded_.push_back(v);
    } else if (kind == kindFormula) {
      auto f = std::make_shared<TFunct>();
      f->Name = ReadStrOrThrow(h);
      f->Description = ReadStrOrThrow(h);
      f->UserText = ReadStrOrThrow(h);
      f->Active = ReadByteOrThrow(h) != 0;
      f->FunctType = ReadTypeOrThrow(h);
      int32_t n = ReadIntOrThrow(h);
      if (n < 0 || n > h.Size() - h.Position()) throw std::runtime_error("symbol file: bad count");
      for (int32_t i = 0; i < n; ++i) f->Params.push_back(ReadTypeOrThrow(h));
      std::string formula = ReadStrOrThrow(h);
      f->Kind = 2;
      f->Id = 0;
      f->Parser = std::make_unique<TParser>(this, formula, 0, false);
      loaded_.push_back(f);
    } else {
      throw std::runtime_error("symbol file: unknown entry kind");
    }
  };
  CurrentParams = nullptr;
  RetokenizeNeeded = false;
  SetCaseSensitivity(false);
}

TFastEval::~TFastEval() {
  compiled_.clear();
  // Formula functions may hold their own name in their tokens.
  std::vector<std::shared_ptr<TSymbolItem>> formulas;
  reader_->OnRegList = [&formulas](TReader*, const std::string&, int, int, int structure, void* properties) {
    auto* sym = static_cast<TTokenSymbol*>(properties);
    if (structure == kindFormula && sym && sym->Item) formulas.push_back(sym->Item);
  };
  reader_->ListWords();
  for (auto& item : formulas) {
    auto* f = static_cast<TFunct*>(item.get());
    if (f->Parser) f->Parser->symbols_.clear();
  }
  formulas.clear();
  reader_.reset();
}

void TFastEval::DisposeProperties(int, void* properties) { delete static_cast<TTokenSymbol*>(properties); }

std::string TFastEval::Normalise(const std::string& name) const {
  return caseSensitivity_ ? name : AnsiLowerCase(name);
}

bool TFastEval::SameName(const std::string& a, const std::string& normalised) const {
  if (caseSensitivity_) return a == normalised;
  bool ascii = true;
  for (unsigned char c : a)
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  if (!ascii) return AnsiLowerCase(a) == normalised;
  if (a.size() != normalised.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != normalised[i]) return false;
  }
  return true;
}

// -------------------------------------------------------------- registrations

void TFastEval::RegisterTokens() {
  TReader& r = *reader_;
  r.SetDefaultBlanks();
  r.RemoveBlankChar('\n');
  r.AddDelimiter("\n", 0, -1, nullptr);
  for (int code = 0; code < TokenTableSize; ++code) {
    const TTokenEntry& e = table_[code];
    if (e.Text.empty()) continue;
    if (code == tcParam) {
      auto f = std::make_shared<TFunct>();
      f->Name = e.Text;
      f->Active = true;
      f->FunctType = etExtended;
      f->Params = {etInteger};
      f->Kind = 0;
      f->Id = 0;
      r.AddKeyWord(e.Text, kindFunction, code, caseSensitivity_, new TTokenSymbol{static_cast<uint8_t>(code), f});
    } else if (e.Kind == 5) {
      r.AddKeyWord(e.Text, kindToken, code, caseSensitivity_, new TTokenSymbol{static_cast<uint8_t>(code), nullptr});
    } else if (e.Kind == 6) {
      r.AddDelimiter(e.Text, kindToken, code, new TTokenSymbol{static_cast<uint8_t>(code), nullptr});
    }
  }
}

void TFastEval::RegisterItem(const std::string& Name, int Kind, std::shared_ptr<TSymbolItem> item, uint8_t Code) {
  reader_->AddKeyWord(Name, Kind, 0, caseSensitivity_, new TTokenSymbol{Code, std::move(item)});
}

void TFastEval::RegisterFunction(uint8_t Id, const std::string& Name, TExprType ResultType,
                                 const std::vector<TExprType>& Params) {
  std::string name = Name;
  if (!CheckIdentifier(name)) return;
  auto f = std::make_shared<TFunct>();
  f->Name = name;
  f->Active = true;
  f->FunctType = ResultType;
  f->Params = Params;
  f->Kind = 0;
  f->Id = Id;
  RegisterItem(name, kindFunction, f, tcFunction);
}

std::string TFastEval::AddFunction(const std::string& FunctName, bool Active, TExprType FunctType,
                                   const std::vector<TExprType>& Params) {
  RetokenizeNeeded = true;
  std::string name = FunctName;
  std::string refusal;
  if (!CheckIdentifier(name, &refusal)) return refusal;
  auto f = std::make_shared<TFunct>();
  f->Name = name;
  f->Active = Active;
  f->FunctType = FunctType;
  f->Params = Params;
  f->Kind = 1;
  f->Id = 0;
  RegisterItem(name, kindFunction, f, tcFunction);
  return {};
}

void TFastEval::SetCaseSensitivity(bool v) {
  caseSensitivity_ = v;
  RegisterTokens();
  RegisterBuiltIns();
}

bool TFastEval::CheckIdentifier(std::string& Name, std::string* refusal) {
  return ::CheckIdentifier(Name, caseSensitivity_, refusal);
}

// ------------------------------------------------------------- string signs

TStringSign TFastEval::StringSign() const {
  return table_[tcApostrophe].Class == clsStringSign ? ssApostrophe : ssQMark;
}

TCommentSign TFastEval::CommentSign() const {
  if (table_[tcApostrophe].Class == clsComment) return csApostrophe;
  if (table_[tcDoubleQuote].Class == clsComment) return csQMark;
  return csDublDiv;
}

void TFastEval::SetStringSign(TStringSign v) {
  int32_t& apo = table_[tcApostrophe].Class;
  int32_t& quote = table_[tcDoubleQuote].Class;
  if (v == ssQMark) {
    if (quote == clsComment)
      apo = clsComment;
    else if (apo == clsStringSign)
      apo = 0;
    quote = clsStringSign;
  } else {
    if (apo == clsComment)
      quote = clsComment;
    else if (quote == clsStringSign)
      quote = 0;
    apo = clsStringSign;
  }
}

void TFastEval::SetCommentSign(TCommentSign v) {
  int32_t& apo = table_[tcApostrophe].Class;
  int32_t& quote = table_[tcDoubleQuote].Class;
  int32_t& slash = table_[tcDoubleSlash].Class;
  switch (v) {
    case csApostrophe:
      if (apo == clsStringSign) quote = clsStringSign;
      slash = 0;
      apo = clsComment;
      break;
    case csQMark:
      if (quote == clsStringSign) apo = clsStringSign;
      slash = 0;
      quote = clsComment;
      break;
    case csDublDiv:
      if (quote == clsComment)
        quote = 0;
      else if (apo == clsComment)
        apo = 0;
      slash = clsComment;
      break;
  }
}

// ----------------------------------------------------------------- evaluation

template <class T>
bool TFastEval::EvaluateOneShot(const std::string& Text, T& Value, int Handle, TExprType type) {
  TParser parser(this, Text, Handle, true);
  TValueCell cell;
  bool ok = parser.Evaluate(type, cell, nullptr);
  if constexpr (std::is_same_v<T, std::string>)
    Value = ok ? std::move(cell.S) : std::string();
  else
    Value = ok ? *static_cast<T*>(cell.Address(type)) : T{};
  return ok;
}

bool TFastEval::EvaluateInteger(const std::string& Text, int32_t& Value, int Handle) {
  Value = 0;
  return EvaluateOneShot(Text, Value, Handle, etInteger);
}

bool TFastEval::EvaluateExtended(const std::string& Text, Extended& Value, int Handle) {
  Value = 0;
  return EvaluateOneShot(Text, Value, Handle, etExtended);
}

bool TFastEval::EvaluateBoolean(const std::string& Text, bool& Value, int Handle) {
  Value = false;
  return EvaluateOneShot(Text, Value, Handle, etBoolean);
}

bool TFastEval::EvaluateString(const std::string& Text, std::string& Value, int Handle) {
  Value.clear();
  return EvaluateOneShot(Text, Value, Handle, etString);
}

bool TFastEval::EvaluateDateTime(const std::string& Text, TDateTime& Value, int Handle) {
  Value = 0;
  return EvaluateOneShot(Text, Value, Handle, etDateTime);
}

void TFastEval::CompileExpression(const std::string& Text, int Handle) {
  // A parser replaced while it runs (from a handler) lives on until its evaluation ends.
  compiled_[Handle] = std::make_shared<TParser>(this, Text, Handle, true);
}

bool TFastEval::EvaluateCompiled(TExprType Type, TValueCell& Value, int Handle, std::optional<int> AsHandle) {
  Value.Clear();
  auto it = compiled_.find(Handle);
  if (it == compiled_.end()) return false;
  std::shared_ptr<TParser> hold = it->second;
  return hold->Evaluate(Type, Value, nullptr, AsHandle.value_or(Handle));
}

template <class T>
bool TFastEval::EvaluateCompiledAs(T& Value, int Handle, std::optional<int> AsHandle, TExprType type) {
  TValueCell cell;
  bool ok = EvaluateCompiled(type, cell, Handle, AsHandle);
  if constexpr (std::is_same_v<T, std::string>)
    Value = ok ? std::move(cell.S) : std::string();
  else
    Value = ok ? *static_cast<T*>(cell.Address(type)) : T{};
  return ok;
}

bool TFastEval::EvaluateCompiledInteger(int32_t& Value, int Handle, std::optional<int> AsHandle) {
  return EvaluateCompiledAs(Value, Handle, AsHandle, etInteger);
}

bool TFastEval::EvaluateCompiledExtended(Extended& Value, int Handle, std::optional<int> AsHandle) {
  return EvaluateCompiledAs(Value, Handle, AsHandle, etExtended);
}

bool TFastEval::EvaluateCompiledBoolean(bool& Value, int Handle, std::optional<int> AsHandle) {
  return EvaluateCompiledAs(Value, Handle, AsHandle, etBoolean);
}

bool TFastEval::EvaluateCompiledString(std::string& Value, int Handle, std::optional<int> AsHandle) {
  return EvaluateCompiledAs(Value, Handle, AsHandle, etString);
}

bool TFastEval::EvaluateCompiledDateTime(TDateTime& Value, int Handle, std::optional<int> AsHandle) {
  return EvaluateCompiledAs(Value, Handle, AsHandle, etDateTime);
}

void TFastEval::FreeCompiled(int Handle) { compiled_.erase(Handle); }

bool TFastEval::IsCompiled(int Handle) const { return compiled_.count(Handle) != 0; }

void TFastEval::RetokenizeAll() {
  ListMode = 2;
  reader_->ListWords();
  // A copy: re-tokenizing runs no handler, but keep the walk safe anyway.
  std::vector<std::shared_ptr<TParser>> parsers;
  parsers.reserve(compiled_.size());
  for (auto& kv : compiled_) parsers.push_back(kv.second);
  // Key order of the decimal handle text.
  std::sort(parsers.begin(), parsers.end(),
            [](const auto& a, const auto& b) { return std::to_string(a->Handle()) < std::to_string(b->Handle()); });
  for (auto& p : parsers) {
    if (p->busy_ > 0)
      p->retokenizePending_ = true;
    else
      p->Tokenize();
  }
}

// ------------------------------------------------------------ listing passes

void TFastEval::OnRegList(const std::string&, int, int, int Structure, void* Properties) {
  auto* sym = static_cast<TTokenSymbol*>(Properties);
  if (!sym || !sym->Item) return;
  switch (ListMode) {
    case 0:
      if (Structure == kindVariable && OnVarList) {
        auto* v = static_cast<TVariable*>(sym->Item.get());
        OnVarList(this, v->Name, v->VarType, v->ValuePtr(), v->Description, v->UserText);
      }
      break;
    case 1:
      if ((Structure == kindFunction || Structure == kindFormula) && OnFunctList) {
        auto* f = static_cast<TFunct*>(sym->Item.get());
        std::string formula = f->Parser ? f->Parser->Text() : std::string();
        OnFunctList(this, f->Name, f->Active, f->FunctType, formula, f->Params, f->Description, f->UserText);
      }
      break;
    case 2:
      if (Structure == kindFormula) {
        auto* f = static_cast<TFunct*>(sym->Item.get());
        if (f->Parser) {
          if (f->Parser->busy_ > 0)
            f->Parser->retokenizePending_ = true;
          else
            f->Parser->Tokenize();
        }
      }
      break;
  }
}

void TFastEval::ListVariables() {
  ListMode = 0;
  reader_->ListWords();
}

void TFastEval::ListFunctions() {
  ListMode = 1;
  reader_->ListWords();
}

// --------------------------------------------------------------- symbol file

void TFastEval::SaveSymbolFile(const std::string& FileName) {
  TDList& dict = reader_->Dictionary;
  dict.SetScanRange("", 0, 0);
  savingSymbols_ = true;
  try {
    dict.SaveToFile(FileName, SymbolFileFormat);
  } catch (...) {
    savingSymbols_ = false;
    throw;
  }
  savingSymbols_ = false;
}

void TFastEval::LoadSymbolFile(const std::string& FileName) {
  TDList& dict = reader_->Dictionary;
  loaded_.clear();
  bool damaged = false;
  try {
    dict.LoadFromFile(FileName, SymbolFileFormat);
  } catch (const std::exception&) {
    damaged = true;  // what was read before the damage is kept
  }
  (void)damaged;
  // Drop the empty entries the list added while reading.
  std::vector<std::string> empty;
  dict.SetScanRange("", 0, 0);
  for (bool more = dict.FindFirst(); more; more = dict.FindNext()) {
    void* p = nullptr;
    dict.GetProperties(p);
    if (!p) {
      std::string key;
      dict.GetKey(key);
      empty.push_back(key);
    }
  }
  for (const auto& key : empty) dict.Delete(key);
  for (auto& item : loaded_) {
    const std::string name = item->Name;
    if (name.empty()) continue;
    if (auto* v = dynamic_cast<TVariable*>(item.get())) {
      (void)v;
      RegisterItem(name, kindVariable, item, tcVariable);
    } else {
      RegisterItem(name, kindFormula, item, tcFunction);
    }
  }
  loaded_.clear();
  RetokenizeNeeded = true;
}
