#pragma once
// The configurable tokenizer (TReader: key words, delimiters, blanks, number
// rules) and its token cursor (TScroller: the token at hand plus five tokens
// of look-ahead).
//
// Positions are 1-based byte indices into the UTF-8 text; a token's Position
// is the index of its last byte. Key words are matched through AnsiLowerCase,
// one whole UTF-8 character at a time.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/DList.h"

// Token status values.
enum : int32_t {
  tsEnd = 0,        // end of text, no token
  tsWord = 1,
  tsInteger = 2,
  tsDecimal = 3,    // number with a decimal separator
  tsExponent = 4,   // number with an exponent
  tsKeyWord = 5,    // registered key word
  tsDelimiter = 6,  // registered delimiter
};

enum TNumericFormat { nfNone, nfInteger, nfPeriod, nfComma };

class TReader;
class TScroller;

// One case-sensitive registration under a key.
struct TCSAddItem {
  int32_t Structure = 0;
  int32_t KeyNum = -1;
  std::string Str;  // exact written form
  int32_t Status = 0;
  void* Properties = nullptr;
};
using TCSAdd = std::vector<TCSAddItem>;

// The record held under every dictionary key. The reader allocates it with
// new and frees it with delete; its Properties go to OnDisposeProperties.
// Under one key there is either a main registration (Status 5 or 6, no
// additions) or one or more case-sensitive additions (main Status 0).
struct TSymProperties {
  int32_t Structure = 0;
  int32_t KeyNum = -1;  // -1 = none
  std::string Str;      // written form of the main registration
  int32_t Status = 0;   // 0 = no main registration, 5 key word, 6 delimiter
  void* Properties = nullptr;
  TCSAdd CSAdd;
};

// One token.
struct TPosition {
  int32_t Position = 0;  // index of the last character; for an end token, the end of the last token read
  int32_t Structure = 0;
  int32_t KeyNum = -1;
  std::string Text;   // as written in the text
  std::string Blank;  // blanks skipped just before the token
  int32_t Status = 0;
  void* Properties = nullptr;
};

// 0 = the token at hand, 1..5 = the tokens after it.
using TPosList = std::array<TPosition, 6>;

using TDisposeProperties = std::function<void(TReader* Sender, int Structure, void* Properties)>;
using TRegList = std::function<void(TReader* Sender, const std::string& Str, int Status, int KeyNum,
                                    int Structure, void* Properties)>;
using TCustomStatus = std::function<void(TScroller* Sender)>;

class TReader {
public:
  TReader();
  virtual ~TReader();  // frees the dictionary: every registration's Properties are disposed
  TReader(const TReader&) = delete;
  TReader& operator=(const TReader&) = delete;

  bool WildCardEnabled = false;
  char OrWildCard = '~';
  char AndWildCard = '`';
  bool ScientificNumber = true;

  // Setting it also sets the decimal separator: "," for nfComma, else ".".
  TNumericFormat NumericFormat() const { return numericFormat_; }
  void SetNumericFormat(TNumericFormat Value);
  char DecimalSeparator() const { return decimalSeparator_; }

  TDisposeProperties OnDisposeProperties;
  TRegList OnRegList;
  TCustomStatus OnCustomStatus;  // fired by a TScroller on each new token at hand

  // The word dictionary (Separator character 0). Keys: key words lower-cased,
  // delimiters as written. Every entry has Structure 0 and Properties = a
  // TSymProperties* owned by the reader; its OnDisposeStructure belongs to
  // the reader. Hosts may hook the file and filter events (OnFilter,
  // OnDeleteFilter, OnFileHeader, OnSaveStructure, OnLoadStructure); an
  // OnLoadStructure handler returns a TSymProperties allocated with new.
  TDList Dictionary;

  void AddKeyWord(const std::string& Str, int Structure, int KeyNum, bool CaseSensitive,
                  void* Properties);
  // Every character of a multi-character delimiter becomes a delimiter too.
  void AddDelimiter(const std::string& Str, int Structure, int KeyNum, void* Properties);
  // Removes every delimiter, then registers the 29 standard one-character ones.
  void SetStandardDelimiters();
  void SetDefaultBlanks();  // characters 0..32 blank, all others not
  void RemoveBlankChar(char Ch);
  bool IsBlankChar(char Ch) const { return blanks_[static_cast<unsigned char>(Ch)]; }
  bool IsDelimiter(const std::string& Str) const;
  bool FindWord(const std::string& Str, int& Status, int& Structure, int& KeyNum,
                void*& Properties) const;
  void DeleteWord(const std::string& Str);
  void DeleteStatus(int Status);
  void ListWords();

  // Reads one token of Text after index P (the last character consumed,
  // 0 before the text) into Token. Used by TScroller.
  void ReadToken(const std::string& Text, int P, TTracer& Tracer, TPosition& Token) const;

private:
  void DisposeRecord(TSymProperties* rec);
  void DisposeProps(int structure, void* properties);
  TSymProperties* Record(const std::string& key) const;
  TSymProperties* NewRecord(const std::string& key);
  void ClearMain(TSymProperties* rec);
  void ClearAdditions(TSymProperties* rec);
  void ReadPlain(const std::string& Text, int start, bool startIsDelim, TTracer& Tracer,
                 TPosition& Token) const;
  void ReadWildCard(const std::string& Text, int start, bool startIsDelim, TTracer& Tracer,
                    TPosition& Token) const;
  bool CharIsDelimiter(const std::string& Text, int at, int len) const;

  std::array<bool, 256> blanks_{};
  TNumericFormat numericFormat_ = nfPeriod;
  char decimalSeparator_ = '.';
};

// Walks a text token by token with one reader's vocabulary. The reader must
// outlive the scroller. Users read Window and Previous directly and loop
// while Window[0].Status is not 0.
class TScroller {
public:
  explicit TScroller(TReader* Reader);

  TReader* Reader;
  TTracer Tracer;
  std::string Text;
  int32_t Length = 0;
  TPosition Previous;  // the token at hand before the last advance
  TPosList Window;     // slot 5 is also where the next token is read

  // Starts reading Text after index StartPos (0 = from the start) and leaves
  // the first token at hand.
  void SetText(const std::string& Text, int StartPos);
  // Advances one token: joins number pieces, then fires OnCustomStatus.
  void Next();
  // Drops window token Index and closes the window up (no joining, no event).
  void DeleteToken(int Index);

private:
  void ReadIntoLast();
  void JoinNumber();
};
