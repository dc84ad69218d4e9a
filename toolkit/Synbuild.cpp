#include "toolkit/Synbuild.h"

#include "platform/SysUtils.h"

const std::array<const char*, 14> SyntaxErrorText = {
    "No Error",
    "Block number expected",
    "{ expected",
    "Block name expected",
    "} expected",
    "= expected",
    "\"Block\" or \"Status\" expected",
    "( expected",
    "N expected",
    ": expected",
    "Number expected",
    ") expected",
    ", or ; expected",
    ". expected",
};

const std::vector<std::string>& HtmlSyntaxDescr() {
  static const std::vector<std::string> lines = {
      "10{Word_Or_Delimiter_Or_KeyWord} =",
      "  Status(N:1) or Status(N:2) or Status(N:3) or Status(N:4) or Status(N:5) or Status(N:6);",
      "20{Tag} =",
      "  Status(N:7 K:1),",
      "  Block(N:50 A:0),",
      "  Status(N:7 K:2);",
      "30{Html_part_1} =",
      "  Block(N:20 A:0),",
      "  Block(N:10 A:0 I);",
      "40{Html} =",
      "  Block(N:30 A:0);",
      "50{Tag_Content} =",
      "  Block(N:20) or Block(N:10).",
  };
  return lines;
}

TSyntaxBuilder::TSyntaxBuilder() = default;

namespace {

enum {
  errNone = 0,
  errBlockNumber,
  errOpenBrace,
  errBlockName,
  errCloseBrace,
  errEquals,
  errBlockOrStatus,
  errOpenParen,
  errN,
  errColon,
  errNumber,
  errCloseParen,
  errCommaOrSemicolon,
  errFullStop,
};

}  // namespace

int TSyntaxBuilder::Build(int& ErrorPos) {
  // A reader of its own for every call: the grammar notation does not depend
  // on how the host configured SyntaxReader.
  TReader reader;
  reader.SetStandardDelimiters();
  reader.SetDefaultBlanks();
  TScroller sc(&reader);
  std::string text;
  for (const auto& line : SyntaxDescr) text += line + "\r\n";
  sc.SetText(text, 0);

  Pattern.assign(1, TPatternBlock{});
  TPatternElement element;
  bool usedN = false, usedA = false, usedI = false, usedK = false, usedF = false;
  int state = 0;
  int error = errNone;

  try {
    while (sc.Window[0].Status != tsEnd && error == errNone && state != 10) {
      const TPosition& t = sc.Window[0];
      TPatternBlock& block = Pattern.back();
      bool handedOn = false;
      switch (state) {
        case 0:
          if (t.Status == tsInteger) {
            block.Number = StrToInt(t.Text);
            state = 1;
          } else {
            error = errBlockNumber;
          }
          break;
        case 1:
          if (t.Text == "{") state = 2; else error = errOpenBrace;
          break;
        case 2:
          if (t.Status == tsWord) {
            block.Name = t.Text;
            state = 3;
          } else {
            error = errBlockName;
          }
          break;
        case 3:
          if (t.Text == "}") state = 4; else error = errCloseBrace;
          break;
        case 4:
          if (t.Text == "=") state = 5; else error = errEquals;
          break;
        case 5: {
          std::string w = LowerCase(t.Text);
          if (w == "block") {
            element.Flags &= static_cast<uint8_t>(~pfStatus);
            state = 6;
          } else if (w == "status") {
            element.Flags |= pfStatus;
            state = 6;
          } else {
            error = errBlockOrStatus;
          }
          break;
        }
        case 6:
          if (t.Text == "(") {
            usedN = usedA = usedI = usedK = usedF = false;
            state = 7;
          } else {
            error = errOpenParen;
          }
          break;
        case 7: {
          const bool isStatus = element.Flags & pfStatus;
          const char letter = t.Text.size() == 1 ? UpperCase(t.Text)[0] : '\0';
          bool* mark = nullptr;
          switch (letter) {
            case 'N': mark = &usedN; break;
            case 'A': mark = &usedA; break;
            case 'I': mark = &usedI; break;
            case 'K': mark = isStatus ? &usedK : nullptr; break;
            case 'F': mark = isStatus ? &usedF : nullptr; break;
          }
          if (!mark || *mark) {
            if (usedN) {
              state = 8;
              handedOn = true;
            } else {
              error = errN;
            }
            break;
          }
          *mark = true;
          if (letter == 'I') {
            element.Flags |= pfI;
          } else if (letter == 'F') {
            element.Flags |= pfF;
          } else {
            sc.Next();
            if (sc.Window[0].Text != ":") {
              error = errColon;
              break;
            }
            sc.Next();
            if (sc.Window[0].Status != tsInteger) {
              error = errNumber;
              break;
            }
            int value = StrToInt(sc.Window[0].Text);
            if (letter == 'A') {
              element.A = value;
            } else if (letter == 'K') {
              element.KeyNum = value;
            } else if (isStatus) {
              element.Status = value;
            } else {
              element.BlockNum = value;
            }
          }
          break;
        }
        case 8:
          if (t.Text == ")") {
            block.Elements.push_back(element);
            element = TPatternElement{};
            state = 9;
          } else {
            error = errCloseParen;
          }
          break;
        case 9: {
          if (LowerCase(t.Text) == "or") {
            block.Elements.back().Flags |= pfOr;
            state = 5;
          } else if (t.Text == ",") {
            state = 5;
          } else if (t.Text == ";") {
            state = 0;
          } else if (t.Text == ".") {
            state = 10;
          } else {
            error = errCommaOrSemicolon;
          }
          break;
        }
      }
      if (sc.Window[1].Status == tsEnd) {
        if (state != 10 && error == errNone) error = errFullStop;
      } else if (error == errNone && state == 0) {
        Pattern.push_back(TPatternBlock{});
      }
      if (error == errNone && !handedOn) sc.Next();
    }
  } catch (...) {
    Pattern.clear();
    throw;
  }

  if (error != errNone) {
    ErrorPos = sc.Window[0].Position;
    Pattern.clear();
  }
  return error;
}
