#include "toolkit/Reader.h"

#include <climits>
#include <map>
#include <set>
#include <tuple>

#include "platform/Bytes.h"
#include "platform/SysUtils.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Byte length of the UTF-8 character at text[at]; a byte that starts no
// valid sequence counts as a character of its own.
int CharLen(const std::string& text, size_t at) {
  auto b = static_cast<unsigned char>(text[at]);
  int len = b < 0xC2 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 1;
  if (at + static_cast<size_t>(len) > text.size()) return 1;
  for (int i = 1; i < len; ++i)
    if ((static_cast<unsigned char>(text[at + static_cast<size_t>(i)]) & 0xC0) != 0x80) return 1;
  return len;
}

int CharCount(const std::string& s) {
  int n = 0;
  for (size_t i = 0; i < s.size(); i += static_cast<size_t>(CharLen(s, i))) ++n;
  return n;
}

std::string LowerChar(const std::string& text, size_t at, int len) {
  char c = text[at];
  if (len == 1 && static_cast<unsigned char>(c) < 0x80) {
    return std::string(1, AsciiLower(c));
  }
  return AnsiLowerCase(text.substr(at, static_cast<size_t>(len)));
}

// Runs a dictionary walk without the host's filter, which belongs to the
// host's own file operations.
class FilterOff {
public:
  explicit FilterOff(TDList& d) : d_(d), saved_(std::move(d.OnFilter)) { d_.OnFilter = nullptr; }
  ~FilterOff() { d_.OnFilter = std::move(saved_); }

private:
  TDList& d_;
  TFilter saved_;
};

std::vector<std::string> AllKeys(TDList& d) {
  FilterOff off(d);
  std::vector<std::string> keys;
  d.SetScanRange("", 0, INT_MAX);
  for (bool ok = d.FindFirst(); ok; ok = d.FindNext()) {
    std::string k;
    d.GetKey(k);
    keys.push_back(std::move(k));
  }
  return keys;
}

}  // namespace

// ---------------------------------------------------------------- TReader

TReader::TReader() {
  Dictionary.Separator = '\0';
  Dictionary.OnDisposeStructure = [this](TDList*, int structure, void* properties) {
    if (structure == 0 && properties) DisposeRecord(static_cast<TSymProperties*>(properties));
  };
}

TReader::~TReader() {
  // Dispose while the reader's members are still whole.
  try {
    Dictionary.Clear();
  } catch (...) {
  }
}

void TReader::SetNumericFormat(TNumericFormat Value) {
  numericFormat_ = Value;
  decimalSeparator_ = Value == nfComma ? ',' : '.';
}

void TReader::DisposeProps(int structure, void* properties) {
  if (properties && OnDisposeProperties) OnDisposeProperties(this, structure, properties);
}

void TReader::ClearAdditions(TSymProperties* rec) {
  TCSAdd additions;
  additions.swap(rec->CSAdd);
  for (auto& a : additions) DisposeProps(a.Structure, a.Properties);
}

void TReader::ClearMain(TSymProperties* rec) {
  void* old = rec->Properties;
  int oldStructure = rec->Structure;
  rec->Str.clear();
  rec->Status = 0;
  rec->KeyNum = -1;
  rec->Structure = 0;
  rec->Properties = nullptr;
  DisposeProps(oldStructure, old);
}

void TReader::DisposeRecord(TSymProperties* rec) {
  ClearAdditions(rec);
  DisposeProps(rec->Structure, rec->Properties);
  delete rec;
}

TSymProperties* TReader::Record(const std::string& key) const {
  int structure = 0;
  void* properties = nullptr;
  if (key.empty() || !Dictionary.Find(key, structure, properties) || structure != 0) return nullptr;
  return static_cast<TSymProperties*>(properties);
}

TSymProperties* TReader::NewRecord(const std::string& key) {
  auto* rec = new TSymProperties;
  Dictionary.Add(key, 0, rec);
  return rec;
}

void TReader::AddKeyWord(const std::string& Str, int Structure, int KeyNum, bool CaseSensitive,
                         void* Properties) {
  std::string key = AnsiLowerCase(Str);
  if (key.empty()) {
    DisposeProps(Structure, Properties);  // nothing to register it under
    return;
  }
  TSymProperties* rec = Record(key);
  if (!rec) {
    rec = NewRecord(key);
    if (CaseSensitive)
      rec->CSAdd.push_back({Structure, KeyNum, Str, tsKeyWord, Properties});
    else
      *rec = TSymProperties{Structure, KeyNum, Str, tsKeyWord, Properties, {}};
    return;
  }
  if (!CaseSensitive) {
    void* old = rec->Properties;
    int oldStructure = rec->Structure;
    rec->Status = tsKeyWord;
    rec->KeyNum = KeyNum;
    rec->Str = Str;
    rec->Structure = Structure;
    rec->Properties = Properties;
    DisposeProps(oldStructure, old);
    ClearAdditions(rec);
    return;
  }
  ClearMain(rec);
  for (auto& a : rec->CSAdd) {
    if (a.Str == Str) {
      void* old = a.Properties;
      int oldStructure = a.Structure;
      a = TCSAddItem{Structure, KeyNum, Str, tsKeyWord, Properties};
      DisposeProps(oldStructure, old);
      return;
    }
  }
  rec->CSAdd.push_back({Structure, KeyNum, Str, tsKeyWord, Properties});
}

void TReader::AddDelimiter(const std::string& Str, int Structure, int KeyNum, void* Properties) {
  if (Str.empty()) {
    DisposeProps(Structure, Properties);
    return;
  }
  if (CharCount(Str) >= 2) {
    for (size_t i = 0; i < Str.size();) {
      int len = CharLen(Str, i);
      std::string ch = Str.substr(i, static_cast<size_t>(len));
      i += static_cast<size_t>(len);
      TSymProperties* rec = Record(ch);
      if (!rec) {
        rec = NewRecord(ch);
        rec->Str = ch;
        rec->Status = tsDelimiter;
      } else if (rec->Status != tsDelimiter) {
        void* old = rec->Properties;
        int oldStructure = rec->Structure;
        rec->Str = ch;
        rec->Status = tsDelimiter;
        rec->KeyNum = -1;
        rec->Structure = 0;
        rec->Properties = nullptr;
        DisposeProps(oldStructure, old);
      }
      ClearAdditions(rec);
    }
  }
  TSymProperties* rec = Record(Str);
  if (!rec) rec = NewRecord(Str);
  void* old = rec->Properties;
  int oldStructure = rec->Structure;
  rec->Structure = Structure;
  rec->KeyNum = KeyNum;
  rec->Str = Str;
  rec->Status = tsDelimiter;
  rec->Properties = Properties;
  DisposeProps(oldStructure, old);
  ClearAdditions(rec);
}

void TReader::SetStandardDelimiters() {
  DeleteStatus(tsDelimiter);
  static const char kStandard[] = "!@#$%^&*()+|-=\\[]{};':\",./<>?";
  for (const char* p = kStandard; *p; ++p)
    AddDelimiter(std::string(1, *p), 0, static_cast<unsigned char>(*p), nullptr);
}

void TReader::SetDefaultBlanks() {
  for (int i = 0; i < 256; ++i) blanks_[static_cast<size_t>(i)] = i <= 32;
}

void TReader::RemoveBlankChar(char Ch) { blanks_[static_cast<unsigned char>(Ch)] = false; }

bool TReader::IsDelimiter(const std::string& Str) const {
  const TSymProperties* rec = Record(Str);
  return rec && rec->Status == tsDelimiter;
}

bool TReader::FindWord(const std::string& Str, int& Status, int& Structure, int& KeyNum,
                       void*& Properties) const {
  const TSymProperties* rec = Record(AnsiLowerCase(Str));
  if (!rec) return false;
  for (const auto& a : rec->CSAdd) {
    if (a.Str == Str) {
      Status = a.Status;
      KeyNum = a.KeyNum;
      Structure = a.Structure;
      Properties = a.Properties;
      return true;
    }
  }
  if (rec->Status == 0) return false;
  Status = rec->Status;
  KeyNum = rec->KeyNum;
  Structure = rec->Structure;
  Properties = rec->Properties;
  return true;
}

void TReader::DeleteWord(const std::string& Str) {
  std::string key = AnsiLowerCase(Str);
  int structure = 0;
  void* properties = nullptr;
  if (key.empty() || !Dictionary.Find(key, structure, properties)) return;
  TSymProperties* rec = Record(key);
  if (!rec) {
    Dictionary.Delete(key);
    return;
  }
  for (size_t i = 0; i < rec->CSAdd.size(); ++i) {
    if (rec->CSAdd[i].Str == Str) {
      TCSAddItem gone = rec->CSAdd[i];
      rec->CSAdd.erase(rec->CSAdd.begin() + static_cast<std::ptrdiff_t>(i));
      bool empty = rec->CSAdd.empty() && rec->Status == 0;
      DisposeProps(gone.Structure, gone.Properties);
      if (empty) Dictionary.Delete(key);
      return;
    }
  }
  if (!rec->CSAdd.empty())
    ClearMain(rec);
  else
    Dictionary.Delete(key);
}

void TReader::DeleteStatus(int Status) {
  std::vector<std::string> doomed;
  for (const auto& key : AllKeys(Dictionary)) {
    const TSymProperties* rec = Record(key);
    if (rec && rec->Status == Status) doomed.push_back(key);
  }
  for (const auto& key : doomed) Dictionary.Delete(key);
}

void TReader::ListWords() {
  if (!OnRegList) return;
  // Keys first: a handler may change the registrations as it goes.
  for (const auto& key : AllKeys(Dictionary)) {
    const TSymProperties* rec = Record(key);
    if (!rec) continue;
    TSymProperties copy = *rec;
    if (copy.Status != 0 && OnRegList)
      OnRegList(this, copy.Str.empty() ? key : copy.Str, copy.Status, copy.KeyNum, copy.Structure,
                copy.Properties);
    for (const auto& a : copy.CSAdd)
      if (a.Status != 0 && OnRegList) OnRegList(this, a.Str, a.Status, a.KeyNum, a.Structure, a.Properties);
  }
}

// ---------------------------------------------------------------- scanner

bool TReader::CharIsDelimiter(const std::string& Text, int at, int len) const {
  if (len == 1) {
    const TSymProperties* rec = Record(std::string(1, Text[static_cast<size_t>(at)]));
    return rec && rec->Status == tsDelimiter;
  }
  return IsDelimiter(Text.substr(static_cast<size_t>(at), static_cast<size_t>(len)));
}

namespace {

void MakeWord(TPosition& t, const std::string& text, int start, int end) {
  t.Position = end;
  t.Text.assign(text, static_cast<size_t>(start), static_cast<size_t>(end - start));
  t.Status = tsWord;
  t.KeyNum = -1;
  t.Structure = 0;
  t.Properties = nullptr;
}

// The registration a terminal slot stands for with the token text T: an
// exactly matching case-sensitive addition, else the main registration.
// Null when the key has additions and none matches.
struct Reg {
  int32_t Status, KeyNum, Structure;
  void* Properties;
};

bool Registration(const TSymProperties* rec, const char* t, size_t tlen, Reg& out) {
  if (!rec) return false;
  if (!rec->CSAdd.empty()) {
    for (const auto& a : rec->CSAdd) {
      if (a.Str.size() == tlen && a.Str.compare(0, tlen, t, tlen) == 0) {
        out = {a.Status, a.KeyNum, a.Structure, a.Properties};
        return true;
      }
    }
    return false;
  }
  if (rec->Status == 0) return false;
  out = {rec->Status, rec->KeyNum, rec->Structure, rec->Properties};
  return true;
}

}  // namespace

void TReader::ReadToken(const std::string& Text, int P, TTracer& Tracer, TPosition& Token) const {
  Token.Position = P;
  Token.Text.clear();
  Token.Blank.clear();
  Token.Structure = 0;
  Token.Status = tsEnd;
  Token.KeyNum = -1;
  Token.Properties = nullptr;
  const int n = static_cast<int>(Text.size());
  int i = P < 0 ? 0 : P;
  while (i < n && IsBlankChar(Text[static_cast<size_t>(i)])) ++i;
  if (i >= n) return;
  Token.Blank.assign(Text, static_cast<size_t>(P < 0 ? 0 : P), static_cast<size_t>(i - (P < 0 ? 0 : P)));
  const int startLen = CharLen(Text, static_cast<size_t>(i));
  const bool startIsDelim = CharIsDelimiter(Text, i, startLen);
  if (WildCardEnabled)
    ReadWildCard(Text, i, startIsDelim, Tracer, Token);
  else
    ReadPlain(Text, i, startIsDelim, Tracer, Token);
  if (Token.Text.empty()) {
    // A delimiter the dictionary walk cannot reach (one written with capitals
    // is stored as written, the walk is lower-cased): take it as it stands,
    // so the rest of the text is not lost.
    std::string ch = Text.substr(static_cast<size_t>(i), static_cast<size_t>(startLen));
    Reg r{};
    if (!Registration(Record(ch), ch.data(), ch.size(), r)) r = {tsDelimiter, -1, 0, nullptr};
    Token.Position = i + startLen;
    Token.Text = ch;
    Token.Status = r.Status;
    Token.KeyNum = r.KeyNum;
    Token.Structure = r.Structure;
    Token.Properties = r.Properties;
  }
}

void TReader::ReadPlain(const std::string& Text, int start, bool startIsDelim, TTracer& Tracer,
                        TPosition& Token) const {
  const int n = static_cast<int>(Text.size());
  Tracer.Reset("");
  size_t best = 0;
  bool tracing = true;
  for (int j = start; j < n;) {
    const int len = CharLen(Text, static_cast<size_t>(j));
    const int end = j + len;
    const size_t tlen = static_cast<size_t>(end - start);
    const char* t = Text.data() + start;
    const bool isDelim = CharIsDelimiter(Text, j, len);
    if (tracing) {
      bool terminal = false;
      int structure = 0;
      void* properties = nullptr;
      bool stepped = true;
      for (char c : LowerChar(Text, static_cast<size_t>(j), len)) {
        if (!Tracer.Step(c, terminal, structure, properties)) {
          stepped = false;
          break;
        }
      }
      if (stepped) {
        if (isDelim != startIsDelim) return;
        Reg r{};
        bool key = terminal && structure == 0 &&
                   Registration(static_cast<const TSymProperties*>(properties), t, tlen, r);
        bool accepted = key && ((r.Status == tsDelimiter) == startIsDelim);
        if (accepted && (tlen > best || !startIsDelim)) {
          Token.Position = end;
          Token.Text.assign(t, tlen);
          best = tlen;
          Token.Status = r.Status;
          Token.KeyNum = r.KeyNum;
          Token.Structure = r.Structure;
          Token.Properties = r.Properties;
        } else if (!accepted && !startIsDelim) {
          MakeWord(Token, Text, start, end);
        }
        j = end;
        continue;
      }
      tracing = false;
    }
    if (isDelim || startIsDelim || IsBlankChar(Text[static_cast<size_t>(j)])) return;
    // No key goes on from here: the word runs up to the next blank or
    // delimiter. Found first and copied once, so a long run stays linear.
    int stop = end;
    while (stop < n) {
      const int l = CharLen(Text, static_cast<size_t>(stop));
      if (IsBlankChar(Text[static_cast<size_t>(stop)]) || CharIsDelimiter(Text, stop, l)) break;
      stop += l;
    }
    MakeWord(Token, Text, start, stop);
    return;
  }
}

void TReader::ReadWildCard(const std::string& Text, int start, bool startIsDelim, TTracer& Tracer,
                           TPosition& Token) const {
  // The run of token characters: no blank, same delimiter class as Start.
  std::vector<int> ends;  // end offset of each character
  const int n = static_cast<int>(Text.size());
  for (int j = start; j < n;) {
    int len = CharLen(Text, static_cast<size_t>(j));
    if (IsBlankChar(Text[static_cast<size_t>(j)]) || CharIsDelimiter(Text, j, len) != startIsDelim) break;
    j += len;
    ends.push_back(j);
  }
  const size_t m = ends.size();
  auto charAt = [&](size_t k) {
    int from = k == 0 ? start : ends[k - 1];
    return LowerChar(Text, static_cast<size_t>(from), ends[k] - from);
  };

  bool found = false;
  size_t bestK = 0;
  Reg best{};
  std::set<std::tuple<const void*, int, size_t>> tried;
  std::map<std::pair<const void*, int>, size_t> orFrom;  // lowest index swept from each wildcard

  auto stepAll = [&](const std::string& s, bool& terminal, int& structure, void*& properties) {
    for (char c : s)
      if (!Tracer.Step(c, terminal, structure, properties)) return false;
    return true;
  };
  // k text characters consumed, the tracer at the slot just stepped.
  std::function<void(size_t, bool, int, void*)> visit = [&](size_t k, bool terminal, int structure,
                                                            void* properties) {
    TTracerPosition here;
    Tracer.GetPosition(here);
    if (!tried.insert({here.Node, here.Byte, k}).second) return;
    if (k > 0 && terminal && structure == 0) {
      Reg r{};
      const size_t tlen = static_cast<size_t>(ends[k - 1] - start);
      if (Registration(static_cast<const TSymProperties*>(properties), Text.data() + start, tlen, r) &&
          (r.Status == tsDelimiter) == startIsDelim) {
        // A word start takes only a match of the whole run; a delimiter
        // start takes the longest.
        bool better = startIsDelim ? (!found || k > bestK) : (k == m && !found);
        if (better) {
          found = true;
          bestK = k;
          best = r;
        }
      }
    }
    bool t2 = false;
    int s2 = 0;
    void* p2 = nullptr;
    if (k < m) {
      if (stepAll(charAt(k), t2, s2, p2)) visit(k + 1, t2, s2, p2);
      Tracer.SetPosition(here);
      p2 = nullptr;
      if (Tracer.Step(AndWildCard, t2, s2, p2)) visit(k + 1, t2, s2, p2);
      Tracer.SetPosition(here);
    }
    p2 = nullptr;
    if (Tracer.Step(OrWildCard, t2, s2, p2)) {
      TTracerPosition afterOr;
      Tracer.GetPosition(afterOr);
      // Runs from this wildcard that an earlier, longer sweep already tried
      // are left out: each wildcard position sweeps every text index once,
      // so a key with several wildcards stays linear in the text.
      auto [sweep, fresh] = orFrom.try_emplace({afterOr.Node, afterOr.Byte}, m + 1);
      const size_t until = sweep->second;
      if (k < until) sweep->second = k;
      for (size_t r = k; r < until; ++r) {
        Tracer.SetPosition(afterOr);
        visit(r, t2, s2, p2);
      }
    }
    Tracer.SetPosition(here);
  };
  Tracer.Reset("");
  visit(0, false, 0, nullptr);

  if (found) {
    Token.Position = ends[bestK - 1];
    Token.Text.assign(Text, static_cast<size_t>(start), static_cast<size_t>(ends[bestK - 1] - start));
    Token.Status = best.Status;
    Token.KeyNum = best.KeyNum;
    Token.Structure = best.Structure;
    Token.Properties = best.Properties;
  } else if (!startIsDelim && m > 0) {
    MakeWord(Token, Text, start, ends[m - 1]);
  }
}

// --------------------------------------------------------------- TScroller

TScroller::TScroller(TReader* Reader) : Reader(Reader), Tracer(&Reader->Dictionary) {}

void TScroller::ReadIntoLast() { Reader->ReadToken(Text, Window[5].Position, Tracer, Window[5]); }

void TScroller::SetText(const std::string& NewText, int StartPos) {
  Text = NewText;
  Length = static_cast<int32_t>(Text.size());
  if (StartPos < 0) StartPos = 0;
  if (StartPos > Length) StartPos = Length;
  Window[0] = TPosition{};
  Window[0].Position = StartPos;
  Window[5].Position = StartPos;
  for (int i = 1; i <= 5; ++i) {
    ReadIntoLast();
    if (i < 5) Window[static_cast<size_t>(i)] = Window[5];
  }
  Next();
}

void TScroller::Next() {
  Previous = Window[0];
  DeleteToken(0);
  JoinNumber();
  if (Reader->OnCustomStatus) Reader->OnCustomStatus(this);
}

void TScroller::DeleteToken(int Index) {
  if (Index < 0) return;
  for (int i = Index; i < 5; ++i) Window[static_cast<size_t>(i)] = Window[static_cast<size_t>(i) + 1];
  ReadIntoLast();
}

void TScroller::JoinNumber() {
  TPosition& w = Window[0];
  if (Reader->NumericFormat() == nfNone || w.Status == tsEnd || w.Status == tsKeyWord) return;
  if (w.Text == "-" || w.Text == "+") return;

  std::string s = w.Text;
  size_t ends[5];
  int count = 1;
  ends[0] = s.size();
  for (int k = 1; k <= 4; ++k) {
    const TPosition& t = Window[static_cast<size_t>(k)];
    if (!t.Blank.empty() || t.Status == tsEnd || t.Status == tsKeyWord) break;
    s += t.Text;
    ends[k] = s.size();
    count = k + 1;
  }

  size_t i = 0;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    if (w.Text.size() < 2 || !IsDigit(w.Text[1])) return;
    i = 1;
  } else if (s.empty() || !IsDigit(s[0])) {
    return;
  }
  if (w.Text.size() == i + 1) w.Status = tsInteger;

  const bool integerOnly = Reader->NumericFormat() == nfInteger;
  const char sep = Reader->DecimalSeparator();
  bool sepMet = false, expMet = false, valid = false;
  int merged = -1;
  int32_t status = tsInteger;
  while (i < s.size()) {
    char c = s[i];
    if (IsDigit(c)) {
      ++i;
      valid = true;
    } else if (integerOnly) {
      break;
    } else if ((c == 'e' || c == 'E') && Reader->ScientificNumber && !expMet) {
      if (i + 1 < s.size() && IsDigit(s[i + 1])) {
        i += 1;
      } else if (i + 2 < s.size() && (s[i + 1] == '-' || s[i + 1] == '+') && IsDigit(s[i + 2])) {
        i += 2;
      } else {
        break;
      }
      expMet = true;
      valid = false;
    } else if (c == sep && !sepMet && !expMet) {
      if (i + 1 < s.size() && IsDigit(s[i + 1])) {
        ++i;
      } else {
        break;
      }
      sepMet = true;
      valid = false;
    } else {
      break;
    }
    if (valid) {
      for (int k = 0; k < count; ++k) {
        if (ends[k] == i) {
          merged = k;
          status = expMet ? tsExponent : sepMet ? tsDecimal : tsInteger;
        }
      }
    }
  }
  if (merged < 0) return;
  w.Status = status;
  if (merged == 0) return;
  w.Text = s.substr(0, ends[merged]);
  w.Position = Window[static_cast<size_t>(merged)].Position;
  w.Structure = 0;
  w.Properties = nullptr;
  for (int k = 0; k < merged; ++k) DeleteToken(1);
}
