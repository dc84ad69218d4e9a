// Feeds arbitrary bytes as the evaluator's symbol file: the variables and
// formula functions read are listed, each evaluated once (a function with an
// argument of each of its parameter types), and the file the evaluator then
// saves must load into a fresh evaluator as the same symbols.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "toolkit/FastEval.h"
#include "tests/support/FuzzScratch.h"

namespace fs = std::filesystem;

namespace {

// The evaluator as the main window sets it up.
void SetUp(TFastEval& ev) {
  ev.SetStringSign(ssApostrophe);
  ev.SetCommentSign(csQMark);
  ev.OnError = [](TFastEval*, int, int, int, int, const std::string&, int) {};
  ev.OnFunctError = [](TFastEval*, const std::string&, int, int, int, int, const std::string&) {};
}

struct TListing {
  std::vector<std::string> Lines;
  std::vector<std::pair<std::string, TExprType>> Variables;
  std::vector<std::pair<std::string, std::vector<TExprType>>> Formulas;
  std::vector<TExprType> FormulaTypes;
};

TListing List(TFastEval& ev) {
  TListing l;
  ev.OnVarList = [&](TFastEval*, const std::string& name, TExprType type, const void*, const std::string& description,
                     const std::string& user) {
    l.Lines.push_back("v " + name + " " + std::to_string(type) + " " + description + " " + user);
    l.Variables.push_back({name, type});
  };
  ev.OnFunctList = [&](TFastEval*, const std::string& name, bool active, TExprType type, const std::string& formula,
                       const std::vector<TExprType>& params, const std::string& description, const std::string& user) {
    std::string line = "f " + name + " " + std::to_string(active) + " " + std::to_string(type) + " " + formula + " " +
                       description + " " + user;
    for (TExprType p : params) line += " " + std::to_string(p);
    l.Lines.push_back(line);
    if (!formula.empty()) {
      l.Formulas.push_back({name, params});
      l.FormulaTypes.push_back(type);
    }
  };
  ev.ListVariables();
  ev.ListFunctions();
  return l;
}

std::string Argument(TExprType t) {
  switch (t) {
    case etInteger: return "1";
    case etExtended: return "1.5";
    case etBoolean: return "true";
    case etString: return "'a'";
    case etDateTime: return "encodedate(2026, 5, 9)";
  }
  return "1";
}

void Evaluate(TFastEval& ev, TExprType type, const std::string& text) {
  TValueCell cell;
  ev.CompileExpression(text, 1);
  ev.EvaluateCompiled(type, cell, 1);
  ev.FreeCompiled(1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path dir = FuzzScratchDir("lpsym_fuzz");
  const std::string in = (dir / "in.sym").string(), out = (dir / "out.sym").string();
  WriteFuzzInput(in, data, size);
  TFastEval ev;
  SetUp(ev);
  ev.LoadSymbolFile(in);
  const TListing loaded = List(ev);
  for (const auto& [name, type] : loaded.Variables) Evaluate(ev, type, name);
  for (size_t i = 0; i < loaded.Formulas.size(); ++i) {
    const auto& [name, params] = loaded.Formulas[i];
    std::string call = name + "(";
    for (size_t p = 0; p < params.size(); ++p) call += (p ? ", " : "") + Argument(params[p]);
    Evaluate(ev, loaded.FormulaTypes[i], params.empty() ? name : call + ")");
  }

  ev.SaveSymbolFile(out);
  TFastEval again;
  SetUp(again);
  again.LoadSymbolFile(out);
  if (List(again).Lines != List(ev).Lines) std::abort();
  return 0;
}
