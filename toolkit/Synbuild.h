#pragma once
// Compiles a grammar written in a small block notation into a table of
// numbered blocks whose elements match token statuses or refer to other
// blocks. Only the compiling exists: nothing runs a compiled grammar.
//
//   10{Name} = Status(N:1 K:2 A:0 I F) or Block(N:20), Status(N:6);
//   20{Other} = Block(N:10).

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/Reader.h"

// TPatternElement::Flags bits.
enum : uint8_t {
  pfStatus = 1,       // Status element (clear: Block element)
  pfOr = 2,           // the next element is an alternative to this one
  pfI = 4,
  pfF = 8,
};

struct TPatternElement {
  uint8_t Flags = 0;
  int32_t BlockNum = -1;  // N of a Block element
  int32_t Status = -1;    // N of a Status element
  int32_t KeyNum = -1;    // K of a Status element
  int32_t A = 1;
};

struct TPatternBlock {
  int32_t Number = -1;
  std::string Name;
  std::vector<TPatternElement> Elements;
};

using TSyntaxPattern = std::vector<TPatternBlock>;
using TReadData = std::vector<std::array<uint8_t, 32>>;

class TSyntaxBuilder;

using TBlockExecute =
    std::function<void(TSyntaxBuilder* Sender, int BlockNum, const TReadData& ReadData, void*& WriteData)>;
using TSyntaxError = std::function<void(TSyntaxBuilder* Sender, int ErrorPos, int ErrorBlockNum,
                                        int ErrorBlockElementNum)>;

// The texts of the numbers Build returns, 0 .. 13.
extern const std::array<const char*, 14> SyntaxErrorText;

// The main window's grammar for HTML-like text, one line per item.
const std::vector<std::string>& HtmlSyntaxDescr();

class TSyntaxBuilder {
public:
  TSyntaxBuilder();
  virtual ~TSyntaxBuilder() = default;
  TSyntaxBuilder(const TSyntaxBuilder&) = delete;
  TSyntaxBuilder& operator=(const TSyntaxBuilder&) = delete;

  std::vector<std::string> SyntaxDescr;
  TSyntaxPattern Pattern;  // the compiled table, blocks in the order written

  TBlockExecute OnBlockExecute;  // never fired
  TSyntaxError OnSyntaxError;    // Build does not fire it

  // Read from and written to the builder's own reader.
  TNumericFormat NumericFormat() const { return reader_.NumericFormat(); }
  void SetNumericFormat(TNumericFormat Value) { reader_.SetNumericFormat(Value); }
  bool ScientificNumber() const { return reader_.ScientificNumber; }
  void SetScientificNumber(bool Value) { reader_.ScientificNumber = Value; }
  // The own reader's events, passed on unchanged.
  TDisposeProperties& OnDisposeProperties() { return reader_.OnDisposeProperties; }
  TCustomStatus& OnCustomStatus() { return reader_.OnCustomStatus; }

  // The builder's own reader, for the host to configure; Build does not use it.
  TReader& SyntaxReader() { return reader_; }

  // Compiles SyntaxDescr into Pattern. Returns 0, or the error number with
  // ErrorPos = the 1-based index of the last character of the offending token
  // and Pattern emptied. A number beyond 32 bits throws EConvertError.
  int Build(int& ErrorPos);

private:
  TReader reader_;
};
