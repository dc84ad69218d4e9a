// The evaluator with its host: events, host functions, compiled expressions,
// registrations, nested evaluations, the lexer's tokens and the symbol file.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/MessageBox.h"
#include "support/EvalTestKit.h"
#include "toolkit/FEMsg.h"
#include "toolkit/FastEvalParser.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Codes(TFastEval& ev, const std::string& text) {
  TParser p(&ev, text, 0, true);
  std::vector<uint8_t> codes;
  for (const auto& s : p.Symbols()) codes.push_back(s.Code);
  return codes;
}

}  // namespace

// ------------------------------------------------------------------ lexer

TEST(FastEvalLexer, TokenCodes) {
  TEvalKit kit;
  struct {
    const char* text;
    std::vector<uint8_t> codes;
  } cases[] = {
      {"", {tcEnd}},
      {"a+b", {tcIdentifier, tcPlus, tcIdentifier, tcEnd}},
      {"a + b", {tcIdentifier, tcPlus, tcIdentifier, tcEnd}},
      {"3-5", {tcInteger, tcMinus, tcInteger, tcEnd}},
      {"1e-5", {tcNumber, tcEnd}},
      {"2.5", {tcNumber, tcEnd}},
      {"2 .5", {tcInteger, tcPeriod, tcInteger, tcEnd}},
      {"'a' 'b'", {tcString, tcString, tcEnd}},
      {"x >= 1 <> <", {tcIdentifier, tcGreaterEqual, tcInteger, tcNotEqual, tcLess, tcEnd}},
      {"AND Or xor DIV mod True false", {tcAnd, tcOr, tcXor, tcDiv, tcMod, tcTrue, tcFalse, tcEnd}},
      {"if a then b else c", {tcIf, tcIdentifier, tcThen, tcIdentifier, tcElse, tcIdentifier, tcEnd}},
      {"pos param andy", {tcFunction, tcParam, tcIdentifier, tcEnd}},
      {"a ; b . c", {tcIdentifier, tcSemicolon, tcIdentifier, tcPeriod, tcIdentifier, tcEnd}},
      {"1 \" comment 'x\n2", {tcInteger, tcInteger, tcEnd}},
      {"a//b", {tcIdentifier, tcDoubleSlash, tcIdentifier, tcEnd}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Codes(kit.ev, c.text), c.codes);
  }
}

TEST(FastEvalLexer, LiteralContentLinesAndColumns) {
  TEvalKit kit;
  TParser p(&kit.ev, "'it''s' + x\n  + \"c\"\n 'a'", 0, true);
  const auto& s = p.Symbols();
  ASSERT_EQ(s.size(), 6u);
  EXPECT_EQ(s[0].Text, "it's");
  EXPECT_EQ(s[0].Position, 7);
  EXPECT_EQ(s[0].Column, 7);
  EXPECT_EQ(s[1].Code, tcPlus);
  EXPECT_EQ(s[2].Text, "x");
  EXPECT_EQ(s[2].Line, 1);
  EXPECT_EQ(s[2].Column, 11);
  EXPECT_EQ(s[3].Code, tcPlus);
  EXPECT_EQ(s[3].Line, 2);
  EXPECT_EQ(s[3].Column, 3);
  EXPECT_EQ(s[3].Position, 15);
  EXPECT_EQ(s[4].Text, "a");
  EXPECT_EQ(s[4].Line, 3);
  EXPECT_EQ(s[4].Column, 4);
  EXPECT_EQ(s[5].Code, tcEnd);
  EXPECT_EQ(s[5].Line, 3);
}

TEST(FastEvalLexer, ErrorOnSecondLineReportsLineAndColumn) {
  TEvalKit kit;
  int32_t v = 0;
  EXPECT_FALSE(kit.ev.EvaluateInteger("1 +\n  x", v, 3));
  ASSERT_EQ(kit.errors.size(), 1u);
  EXPECT_EQ(kit.errors[0].code, 1);
  EXPECT_EQ(kit.errors[0].line, 2);
  EXPECT_EQ(kit.errors[0].column, 3);
  EXPECT_EQ(kit.errors[0].place, 7);
  EXPECT_EQ(kit.errors[0].handle, 3);
}

TEST(FastEvalLexer, SignsFollowTheProperties) {
  TFastEval ev;  // defaults: double-quote strings, apostrophe comments
  EXPECT_EQ(ev.StringSign(), ssQMark);
  EXPECT_EQ(ev.CommentSign(), csApostrophe);
  std::string v;
  EXPECT_TRUE(ev.EvaluateString("\"a\" + \"b\" 'comment", v, 0));
  EXPECT_EQ(v, "ab");
  ev.SetCommentSign(csDublDiv);
  EXPECT_EQ(ev.CommentSign(), csDublDiv);
  EXPECT_TRUE(ev.EvaluateString("\"x\" // 'y", v, 0));
  EXPECT_EQ(v, "x");
  ev.SetStringSign(ssApostrophe);
  ev.SetCommentSign(csQMark);
  EXPECT_EQ(ev.StringSign(), ssApostrophe);
  EXPECT_EQ(ev.CommentSign(), csQMark);
  EXPECT_TRUE(ev.EvaluateString("'x' \"//", v, 0));
  EXPECT_EQ(v, "x");
  // The comment sign taking over the string sign moves the string sign.
  ev.SetCommentSign(csApostrophe);
  EXPECT_EQ(ev.StringSign(), ssQMark);
}

// ----------------------------------------------------------- host values

TEST(FastEvalHost, VariableEventsGetNormalisedNameAndHandle) {
  TEvalKit kit;
  std::vector<std::string> asked;
  kit.ev.OnGetExtendedVar = [&](TFastEval*, const std::string& name, bool& found, Extended& v, int handle) {
    asked.push_back("E:" + name + ":" + std::to_string(handle));
    if (name == "rate") {
      found = true;
      v = 1.5;
    }
  };
  kit.ev.OnGetIntegerVar = [&](TFastEval*, const std::string& name, bool& found, int32_t& v, int) {
    asked.push_back("I:" + name);
    if (name == "count") {
      found = true;
      v = 4;
    }
  };
  kit.ev.OnGetDateTimeVar = [&](TFastEval*, const std::string& name, bool&, TDateTime&, int) {
    asked.push_back("D:" + name);
  };
  Extended e = 0;
  EXPECT_TRUE(kit.ev.EvaluateExtended("Rate * COUNT", e, 9));
  EXPECT_EQ(e, 6);
  std::vector<std::string> want = {"E:rate:9", "E:count:9", "D:count", "I:count"};
  EXPECT_EQ(asked, want);
  // A field of a suitable type wins; the events are not asked.
  asked.clear();
  EXPECT_TRUE(kit.ev.EvaluateExtended("i", e, 9));
  EXPECT_EQ(e, 7);
  EXPECT_TRUE(asked.empty());
  // A field of the right name and another type is passed over.
  int32_t n = 0;
  EXPECT_FALSE(kit.ev.EvaluateInteger("s", n, 9));
  EXPECT_EQ(asked, std::vector<std::string>{"I:s"});
}

TEST(FastEvalHost, BooleanPlaceOffersNameAsBooleanThenComparison) {
  TEvalKit kit;
  std::vector<std::string> asked;
  kit.ev.OnGetBooleanVar = [&](TFastEval*, const std::string& n, bool&, bool&, int) { asked.push_back("B:" + n); };
  kit.ev.OnGetExtendedVar = [&](TFastEval*, const std::string& n, bool&, Extended&, int) { asked.push_back("E:" + n); };
  kit.ev.OnGetStringVar = [&](TFastEval*, const std::string& n, bool& found, std::string& v, int) {
    asked.push_back("S:" + n);
    found = true;
    v = "yes";
  };
  bool b = false;
  EXPECT_TRUE(kit.ev.EvaluateBoolean("Answer = 'yes'", b, 0));
  EXPECT_TRUE(b);
  std::vector<std::string> want = {"B:answer", "E:answer", "S:answer"};
  EXPECT_EQ(asked, want);
}

TEST(FastEvalHost, HostFunctions) {
  TEvalKit kit;
  std::vector<std::string> names;
  kit.ev.OnGetDateTimeFunct = [&](TFastEval*, const std::string& name, bool active, const TFunctParamValues& params,
                                  bool& found, TDateTime& v, int) {
    names.push_back(name);
    EXPECT_TRUE(active);
    EXPECT_TRUE(params.empty());
    found = name == "now";
    v = 40000.25;
  };
  kit.ev.OnGetIntegerFunct = [&](TFastEval*, const std::string& name, bool, const TFunctParamValues& params, bool&,
                                 int32_t& v, int) {
    // Found is left alone: the call counts as found.
    if (name == "twice") v = 2 * params.at(0).AsInteger();
    if (name == "join") v = static_cast<int32_t>(params.at(0).AsString().size() + params.at(1).AsExtended());
  };
  kit.ev.AddFunction("Now", true, etDateTime, {});
  kit.ev.AddFunction("twice", true, etInteger, {etInteger});
  kit.ev.AddFunction("join", true, etInteger, {etString, etExtended});
  kit.ev.AddFunction("off", false, etInteger, {etInteger});

  TDateTime d = 0;
  for (const char* t : {"NOW", "Now", "now"}) {
    EXPECT_TRUE(kit.ev.EvaluateDateTime(t, d, 0)) << t;
    EXPECT_EQ(d, 40000.25);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"now", "now", "now"}));
  int32_t n = 0;
  EXPECT_TRUE(kit.ev.EvaluateInteger("twice(21) + join('ab', 1.0)", n, 0));
  EXPECT_EQ(n, 45);
  EXPECT_TRUE(kit.errors.empty());

  struct {
    const char* text;
    int code, place;
  } failing[] = {
      {"now()", 7, 4},  // no parameters: no parentheses
      {"twice 2", 11, 7},
      {"twice('x')", 1, 9},
      {"off(1)", 1, 3},  // inactive: fails at its name, arguments unread
  };
  for (const auto& f : failing) {
    SCOPED_TRACE(f.text);
    kit.errors.clear();
    TDateTime dd;
    int32_t nn;
    bool ok = std::string(f.text).rfind("now", 0) == 0 ? kit.ev.EvaluateDateTime(f.text, dd, 0)
                                                       : kit.ev.EvaluateInteger(f.text, nn, 0);
    EXPECT_FALSE(ok);
    ASSERT_EQ(kit.errors.size(), 1u);
    EXPECT_EQ(kit.errors[0].code, f.code);
    EXPECT_EQ(kit.errors[0].place, f.place);
  }
  // Found left false, or no handler: the call fails.
  kit.ev.AddFunction("later", true, etDateTime, {});
  EXPECT_FALSE(kit.ev.EvaluateDateTime("later", d, 0));
  kit.ev.OnGetIntegerFunct = nullptr;
  EXPECT_FALSE(kit.ev.EvaluateInteger("twice(1)", n, 0));
}

TEST(FastEvalHost, AddFunctionReplacesBuiltIn) {
  TEvalKit kit;
  kit.ev.OnGetIntegerFunct = [](TFastEval*, const std::string&, bool, const TFunctParamValues&, bool&, int32_t& v,
                                int) { v = 99; };
  int32_t n = 0;
  EXPECT_TRUE(kit.ev.EvaluateInteger("pos('b', 'abc')", n, 0));
  EXPECT_EQ(n, 2);
  kit.ev.AddFunction("pos", true, etInteger, {etString, etString});
  EXPECT_TRUE(kit.ev.EvaluateInteger("pos('b', 'abc')", n, 0));
  EXPECT_EQ(n, 99);
}

TEST(FastEvalHost, RefusedNamesGiveTheirError) {
  TScopedScriptedMessages boxes;
  TEvalKit kit;
  kit.ev.OnGetIntegerFunct = [](TFastEval*, const std::string& name, bool, const TFunctParamValues&, bool&, int32_t& v,
                                int) { v = name == "my_func" ? 5 : 0; };
  EXPECT_EQ(kit.ev.AddFunction("my func", true, etInteger, {}), "");
  int32_t n = 0;
  EXPECT_TRUE(kit.ev.EvaluateInteger("my_func", n, 0));
  EXPECT_EQ(n, 5);
  EXPECT_TRUE(boxes.shown.empty());

  struct {
    const char* name;
    const char* message;
  } refused[] = {
      {"", "Identifier name missing"},      {"Div", "\"Div\" is a reserved word"}, {"2x", "Incorrect identifier name"},
      {"a.b", "Incorrect identifier name"}, {"a+b", "Incorrect identifier name"},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(kit.ev.AddFunction(r.name, true, etInteger, {}), r.message) << r.name;
    EXPECT_TRUE(boxes.shown.empty()) << r.name;  // the host shows it
  }
  // Div is still the operator.
  EXPECT_TRUE(kit.ev.EvaluateInteger("7 Div 2", n, 0));
  EXPECT_EQ(n, 3);
}

TEST(FastEvalHost, CaseSensitivity) {
  TEvalKit kit;
  kit.ev.SetCaseSensitivity(true);
  kit.ev.OnGetBooleanVar = [](TFastEval*, const std::string& name, bool& found, bool& v, int) {
    found = name == "AND";
    v = true;
  };
  bool b = false;
  // "AND" is no key word now: a host name as written.
  EXPECT_TRUE(kit.ev.EvaluateBoolean("AND and true", b, 0));
  EXPECT_TRUE(b);
  int32_t n = 0;
  EXPECT_TRUE(kit.ev.EvaluateInteger("I", n, 0));  // field "I" matches exactly
  EXPECT_EQ(n, 7);
  kit.errors.clear();
  EXPECT_FALSE(kit.ev.EvaluateInteger("i", n, 0));
  EXPECT_EQ(kit.errors.size(), 1u);
  EXPECT_FALSE(kit.ev.EvaluateInteger("POS('a', 'a')", n, 0));
  EXPECT_TRUE(kit.ev.EvaluateInteger("pos('a', 'a')", n, 0));
  kit.ev.SetCaseSensitivity(false);
  EXPECT_TRUE(kit.ev.EvaluateInteger("POS('a', 'a') + i", n, 0));
  EXPECT_EQ(n, 8);
}

// -------------------------------------------------------------- reporting

TEST(FastEvalReport, NoHandlerNoReport) {
  TFastEval ev;
  int32_t n = 5;
  EXPECT_FALSE(ev.EvaluateInteger("1 +", n, 0));
  EXPECT_EQ(n, 0);
}

TEST(FastEvalReport, NestedEvaluationsReportOnce) {
  TEvalKit kit;
  bool secondNested = false;
  kit.ev.OnGetIntegerVar = [&](TFastEval* ev, const std::string& name, bool& found, int32_t& v, int) {
    if (name != "inner") return;
    int32_t x = 0;
    EXPECT_FALSE(ev->EvaluateInteger("1 + ", x, 50));  // reports its own error
    if (secondNested) {
      EXPECT_TRUE(ev->EvaluateInteger("2", x, 51));  // clears the flag
    }
    found = false;
    v = x;
  };
  int32_t n = 0;
  EXPECT_FALSE(kit.ev.EvaluateInteger("inner + 1", n, 1));
  ASSERT_EQ(kit.errors.size(), 1u);
  EXPECT_EQ(kit.errors[0].handle, 50);

  kit.errors.clear();
  secondNested = true;
  EXPECT_FALSE(kit.ev.EvaluateInteger("inner + 1", n, 1));
  ASSERT_EQ(kit.errors.size(), 2u);
  EXPECT_EQ(kit.errors[0].handle, 50);
  EXPECT_EQ(kit.errors[1].handle, 1);
  EXPECT_EQ(kit.errors[1].code, 1);
  EXPECT_EQ(kit.errors[1].place, 5);
}

TEST(FastEvalReport, NestedSuccessInsideOuterValue) {
  TEvalKit kit;
  kit.ev.OnGetIntegerVar = [&](TFastEval* ev, const std::string& name, bool& found, int32_t& v, int) {
    if (name == "inner") found = ev->EvaluateInteger("i * 3", v, 2);
  };
  int32_t n = 0;
  EXPECT_TRUE(kit.ev.EvaluateInteger("inner + 1", n, 1));
  EXPECT_EQ(n, 22);
}

// ------------------------------------------------------------- compiled

TEST(FastEvalCompiled, LifecycleAndRetokenizing) {
  TEvalKit kit;
  bool b = true;
  EXPECT_FALSE(kit.ev.EvaluateCompiledBoolean(b, 2));
  EXPECT_TRUE(kit.errors.empty());

  kit.ev.CompileExpression("i > 100", 2);
  kit.ev.CompileExpression("i > 1", 2);  // replaces
  EXPECT_TRUE(kit.ev.EvaluateCompiledBoolean(b, 2));
  EXPECT_TRUE(b);
  for (int row = 0; row < 3; ++row) kit.src.AddRow({int32_t(row)});
  kit.src.SetCurrent(2);  // i = 1
  EXPECT_TRUE(kit.ev.EvaluateCompiledBoolean(b, 2));
  EXPECT_FALSE(b);

  // An unknown identifier becomes a function once registered.
  kit.ev.CompileExpression("later > 1", 10);
  EXPECT_FALSE(kit.ev.EvaluateCompiledBoolean(b, 10));
  ASSERT_EQ(kit.errors.size(), 1u);
  EXPECT_EQ(kit.errors[0].code, 3);
  EXPECT_EQ(kit.errors[0].handle, 10);
  kit.ev.OnGetIntegerFunct = [](TFastEval*, const std::string&, bool, const TFunctParamValues&, bool&, int32_t& v,
                                int) { v = 5; };
  kit.ev.AddFunction("later", true, etInteger, {});
  kit.errors.clear();
  EXPECT_TRUE(kit.ev.EvaluateCompiledBoolean(b, 10));
  EXPECT_TRUE(b);
  EXPECT_TRUE(kit.errors.empty());

  kit.ev.FreeCompiled(10);
  kit.ev.FreeCompiled(12345);  // unknown: ignored
  EXPECT_FALSE(kit.ev.EvaluateCompiledBoolean(b, 10));
  EXPECT_TRUE(kit.errors.empty());
}

TEST(FastEvalCompiled, ErrorsDoNotStickBetweenEvaluations) {
  TEvalKit kit;
  int mode = 0;  // 0: v = 0, 1: v = 5, 2: v unknown
  kit.ev.OnGetExtendedVar = [&](TFastEval*, const std::string& name, bool& found, Extended& v, int) {
    if (name != "v" || mode == 2) return;
    found = true;
    v = mode == 0 ? 0 : 5;
  };
  kit.ev.CompileExpression("10 div v > 1", 2);
  bool b = false;
  EXPECT_FALSE(kit.ev.EvaluateCompiledBoolean(b, 2));
  ASSERT_EQ(kit.errors.size(), 1u);
  EXPECT_EQ(kit.errors[0].code, 14);
  EXPECT_EQ(kit.errors[0].place, 8);
  mode = 1;
  EXPECT_TRUE(kit.ev.EvaluateCompiledBoolean(b, 2));
  EXPECT_TRUE(b);
  // A different failure at the same token reports its own code.
  mode = 2;
  EXPECT_FALSE(kit.ev.EvaluateCompiledBoolean(b, 2));
  ASSERT_EQ(kit.errors.size(), 2u);
  EXPECT_EQ(kit.errors[1].code, 2);
  EXPECT_EQ(kit.errors[1].place, 8);
}

TEST(FastEvalCompiled, HandlerReplacingTheRunningExpressionIsSafe) {
  TEvalKit kit;
  kit.ev.OnGetBooleanVar = [&](TFastEval* ev, const std::string& name, bool& found, bool& v, int) {
    if (name != "flip") return;
    ev->CompileExpression("false", 2);  // replaces the parser that is running
    ev->AddFunction("flip2", true, etBoolean, {});
    bool inner = false;
    ev->EvaluateCompiledBoolean(inner, 2);
    found = true;
    v = !inner;
  };
  kit.ev.CompileExpression("flip and (i > 1)", 2);
  bool b = false;
  EXPECT_TRUE(kit.ev.EvaluateCompiledBoolean(b, 2));
  EXPECT_TRUE(b);
  EXPECT_TRUE(kit.ev.EvaluateCompiledBoolean(b, 2));
  EXPECT_FALSE(b);
}

TEST(FastEvalDepth, DeepNestingFailsInsteadOfCrashing) {
  TEvalKit kit;
  std::string text(100000, '(');
  text += "1";
  int32_t n = 0;
  EXPECT_FALSE(kit.ev.EvaluateInteger(text, n, 0));
  EXPECT_EQ(kit.errors.size(), 1u);
  std::string ok = std::string(50, '(') + "1" + std::string(50, ')');
  EXPECT_TRUE(kit.ev.EvaluateInteger(ok, n, 0));
  EXPECT_EQ(n, 1);
}

// ------------------------------------------------------------ symbol file

namespace {

struct TFileWriter {
  std::string bytes;
  void Int(int32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); }
  void Str(const std::string& s) {
    Int(static_cast<int32_t>(s.size()));
    bytes += s;
  }
  void Byte(uint8_t b) { bytes.push_back(static_cast<char>(b)); }
};

fs::path TempDir() {
  fs::path dir = fs::temp_directory_path() / ("fasteval_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir;
}

}  // namespace

TEST(FastEvalSymbols, LoadFormulaFunctionsAndVariablesThenSaveSame) {
  TFileWriter w;
  w.Int(1);
  w.bytes += std::string(32, ' ');
  // A formula function: twice(x) = param(1) * 2, Integer.
  w.Str("twice");
  w.Int(0);
  w.Int(3);
  w.Str("twice");
  w.Str("doubles");
  w.Str("");
  w.Byte(1);
  w.Byte(etInteger);
  w.Int(1);
  w.Byte(etInteger);
  w.Str("param(1) * 2");
  // A variable: rate = 1.5 (80-bit).
  w.Str("rate");
  w.Int(0);
  w.Int(4);
  w.Str("rate");
  w.Str("");
  w.Str("note");
  w.Byte(etExtended);
  const unsigned char onePointFive[10] = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F};
  w.bytes.append(reinterpret_cast<const char*>(onePointFive), 10);
  // A formula that fails inside.
  w.Str("bad");
  w.Int(0);
  w.Int(3);
  w.Str("bad");
  w.Str("");
  w.Str("");
  w.Byte(1);
  w.Byte(etInteger);
  w.Int(0);
  w.Str("1 +");

  fs::path dir = TempDir();
  fs::path in = dir / "in.sym";
  fs::path out = dir / "out.sym";
  std::ofstream(in, std::ios::binary) << w.bytes;

  TEvalKit kit;
  kit.ev.LoadSymbolFile(in.string());
  int32_t n = 0;
  EXPECT_TRUE(kit.ev.EvaluateInteger("twice(21)", n, 0));
  EXPECT_EQ(n, 42);
  Extended e = 0;
  EXPECT_TRUE(kit.ev.EvaluateExtended("rate * twice(2)", e, 0));
  EXPECT_EQ(e, 6);

  EXPECT_FALSE(kit.ev.EvaluateInteger("bad + 1", n, 4));
  ASSERT_EQ(kit.errors.size(), 1u);
  EXPECT_EQ(kit.errors[0].funct, "bad");
  EXPECT_EQ(kit.errors[0].code, 1);

  std::vector<std::string> vars, functs;
  kit.ev.OnVarList = [&](TFastEval*, const std::string& name, TExprType type, const void* value, const std::string&,
                         const std::string& user) {
    EXPECT_EQ(type, etExtended);
    vars.push_back(name + "=" + std::to_string(static_cast<double>(*static_cast<const Extended*>(value))) + ":" + user);
  };
  kit.ev.OnFunctList = [&](TFastEval*, const std::string& name, bool, TExprType, const std::string& formula,
                           const std::vector<TExprType>&, const std::string&, const std::string&) {
    if (!formula.empty()) functs.push_back(name + ":" + formula);
  };
  kit.ev.ListVariables();
  kit.ev.ListFunctions();
  EXPECT_EQ(vars, std::vector<std::string>{"rate=1.500000:note"});
  EXPECT_EQ(functs, (std::vector<std::string>{"bad:1 +", "twice:param(1) * 2"}));

  kit.ev.SaveSymbolFile(out.string());
  std::ifstream f(out, std::ios::binary);
  std::string saved((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  // Same entries, written in key order: bad, rate, twice.
  TEvalKit again;
  again.ev.LoadSymbolFile(out.string());
  EXPECT_TRUE(again.ev.EvaluateExtended("rate * twice(2)", e, 0));
  EXPECT_EQ(e, 6);
  EXPECT_EQ(saved.size(), w.bytes.size());

  // A damaged file keeps what came before the damage and does not crash.
  std::ofstream(in, std::ios::binary) << w.bytes.substr(0, w.bytes.size() - 20);
  TEvalKit damaged;
  damaged.ev.LoadSymbolFile(in.string());
  EXPECT_TRUE(damaged.ev.EvaluateExtended("rate * twice(2)", e, 0));
  fs::remove_all(dir);
}

TEST(FastEvalSymbols, ParamOutOfRange) {
  TFileWriter w;
  w.Int(1);
  w.bytes += std::string(32, ' ');
  w.Str("second");
  w.Int(0);
  w.Int(3);
  w.Str("second");
  w.Str("");
  w.Str("");
  w.Byte(1);
  w.Byte(etExtended);
  w.Int(1);
  w.Byte(etExtended);
  w.Str("param(2)");
  fs::path dir = TempDir();
  fs::path in = dir / "p.sym";
  std::ofstream(in, std::ios::binary) << w.bytes;
  TEvalKit kit;
  kit.ev.LoadSymbolFile(in.string());
  Extended e = 0;
  EXPECT_FALSE(kit.ev.EvaluateExtended("second(1)", e, 0));
  ASSERT_GE(kit.errors.size(), 1u);
  EXPECT_EQ(kit.errors[0].funct, "second");
  EXPECT_EQ(kit.errors[0].code, 15);
  EXPECT_EQ(kit.errors[0].place, 7);  // the argument of param
  fs::remove_all(dir);
}

TEST(FastEvalSymbols, RunawayFormulaRecursionFails) {
  TFileWriter w;
  w.Int(1);
  w.bytes += std::string(32, ' ');
  w.Str("loop");
  w.Int(0);
  w.Int(3);
  w.Str("loop");
  w.Str("");
  w.Str("");
  w.Byte(1);
  w.Byte(etInteger);
  w.Int(1);
  w.Byte(etInteger);
  w.Str("loop(param(1)) + 1");
  fs::path dir = TempDir();
  fs::path in = dir / "loop.sym";
  std::ofstream(in, std::ios::binary) << w.bytes;
  TEvalKit kit;
  kit.ev.LoadSymbolFile(in.string());
  int32_t n = 0;
  EXPECT_FALSE(kit.ev.EvaluateInteger("loop(1)", n, 0));
  EXPECT_LE(kit.errors.size(), 1u);
  // The evaluator is usable afterwards.
  EXPECT_TRUE(kit.ev.EvaluateInteger("1 + 1", n, 0));
  EXPECT_EQ(n, 2);
  fs::remove_all(dir);
}

// Random texts over the language's pieces: every evaluation ends, with at
// most one report, whatever the text.
TEST(FastEvalRobustness, RandomTextsNeverCrash) {
  TEvalKit kit;
  kit.ev.AddFunction("Now", true, etDateTime, {});
  kit.ev.OnGetDateTimeFunct = [](TFastEval*, const std::string&, bool, const TFunctParamValues&, bool&, TDateTime& v,
                                 int) { v = 40000; };
  const char* pieces[] = {"(",     ")",           ",",      "+",         "-",           "*",     "/",
                          "^",     " and ",       " or ",   " xor ",     " div ",       " mod ", "true",
                          "false", "param(1)",    ">=",     "<=",        "<>",          "=",     ">",
                          "<",     "'",           "'x'",    "\"",        "//",          ";",     ".",
                          " if ",  " then ",      " else ", "1",         "2.5",         "1e3",   "0",
                          "i",     "f",           "s",      "b",         "d",           "zero",  "unknown",
                          "pos(",  "copy(",       "iff(",   "strtoint(", "encodedate(", "now",   "\n",
                          " ",     "99999999999", "round(", "length(",   "not("};
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    int len = 1 + next() % 12;
    for (int k = 0; k < len; ++k) text += pieces[next() % (sizeof(pieces) / sizeof(pieces[0]))];
    SCOPED_TRACE(text);
    kit.errors.clear();
    TValueCell c;
    bool ok = false;
    switch (round % 5) {
      case 0: ok = kit.ev.EvaluateInteger(text, c.I, 0); break;
      case 1: ok = kit.ev.EvaluateExtended(text, c.E, 0); break;
      case 2: ok = kit.ev.EvaluateBoolean(text, c.B, 0); break;
      case 3: ok = kit.ev.EvaluateString(text, c.S, 0); break;
      case 4: ok = kit.ev.EvaluateDateTime(text, c.D, 0); break;
    }
    ASSERT_EQ(kit.errors.size(), ok ? 0u : 1u);
    if (!ok) {
      ASSERT_GE(kit.errors[0].place, 0);
      ASSERT_LE(kit.errors[0].place, static_cast<int>(text.size()));
    }
  }
}

TEST(FastEvalSymbols, ParamInBooleanPlaceFallsBackToComparison) {
  TFileWriter w;
  w.Int(1);
  w.bytes += std::string(32, ' ');
  w.Str("isbig");
  w.Int(0);
  w.Int(3);
  w.Str("isbig");
  w.Str("");
  w.Str("");
  w.Byte(1);
  w.Byte(etBoolean);
  w.Int(2);
  w.Byte(etExtended);
  w.Byte(etBoolean);
  w.Str("param(1) > 10 and param(2)");
  fs::path dir = TempDir();
  fs::path in = dir / "big.sym";
  std::ofstream(in, std::ios::binary) << w.bytes;
  TEvalKit kit;
  kit.ev.LoadSymbolFile(in.string());
  bool b = false;
  EXPECT_TRUE(kit.ev.EvaluateBoolean("isbig(i * 2, true)", b, 0));
  EXPECT_TRUE(b);
  EXPECT_TRUE(kit.ev.EvaluateBoolean("isbig(i, true)", b, 0));
  EXPECT_FALSE(b);
  EXPECT_TRUE(kit.errors.empty());
  fs::remove_all(dir);
}

TEST(FastEvalCompiled, HandlerEvaluatingTheSameHandleAgain) {
  TEvalKit kit;
  int depth = 0;
  kit.ev.OnGetIntegerVar = [&](TFastEval* ev, const std::string& name, bool& found, int32_t& v, int) {
    if (name != "again") return;
    found = true;
    v = 1;
    if (depth++ == 0) {
      bool inner = false;
      EXPECT_TRUE(ev->EvaluateCompiledBoolean(inner, 2));
      EXPECT_TRUE(inner);
      v = inner ? 5 : 0;
    }
  };
  kit.ev.CompileExpression("again + i > 7", 2);
  bool b = false;
  EXPECT_TRUE(kit.ev.EvaluateCompiledBoolean(b, 2));
  EXPECT_TRUE(b);
  EXPECT_EQ(depth, 2);
}

TEST(FastEvalCompiled, TypedResultsAreTheOneShotResults) {
  TEvalKit kit;
  struct TCase {
    const char* text;
    TExprType type;
  } cases[] = {
      {"i * 3 + 1", etInteger},  {"f / 2 + i", etExtended},  {"s + 'def' + name", etString},
      {"d + 1", etDateTime},     {"i > 3 and b", etBoolean}, {"if i > 3 then 'big' else 'small'", etString},
      {"s * 2", etInteger},      {"10 div zero", etInteger}, {"'unterminated", etString},
      {"big + 1.5", etExtended}, {"i +", etDateTime},        {"b and", etBoolean},
  };
  for (const auto& c : cases) {
    TValueCell once;
    kit.errors.clear();
    bool okOnce = false;
    switch (c.type) {
      case etInteger: okOnce = kit.ev.EvaluateInteger(c.text, once.I, 3); break;
      case etExtended: okOnce = kit.ev.EvaluateExtended(c.text, once.E, 3); break;
      case etBoolean: okOnce = kit.ev.EvaluateBoolean(c.text, once.B, 3); break;
      case etString: okOnce = kit.ev.EvaluateString(c.text, once.S, 3); break;
      case etDateTime: okOnce = kit.ev.EvaluateDateTime(c.text, once.D, 3); break;
    }
    const std::vector<TReportedError> onceErrors = kit.errors;
    kit.ev.CompileExpression(c.text, 3);
    // Twice: the second run starts from the same tokens, not from the first run's state.
    for (int run = 0; run < 2; ++run) {
      kit.errors.clear();
      TValueCell compiled;
      compiled.S = "stale";
      bool ok = false;
      switch (c.type) {
        case etInteger: ok = kit.ev.EvaluateCompiledInteger(compiled.I, 3); break;
        case etExtended: ok = kit.ev.EvaluateCompiledExtended(compiled.E, 3); break;
        case etBoolean: ok = kit.ev.EvaluateCompiledBoolean(compiled.B, 3); break;
        case etString: ok = kit.ev.EvaluateCompiledString(compiled.S, 3); break;
        case etDateTime: ok = kit.ev.EvaluateCompiledDateTime(compiled.D, 3); break;
      }
      EXPECT_EQ(ok, okOnce) << c.text;
      EXPECT_EQ(compiled.I, once.I) << c.text;
      EXPECT_EQ(compiled.E, once.E) << c.text;
      EXPECT_EQ(compiled.B, once.B) << c.text;
      EXPECT_EQ(c.type == etString ? compiled.S : std::string(), c.type == etString ? once.S : std::string()) << c.text;
      EXPECT_EQ(compiled.D, once.D) << c.text;
      ASSERT_EQ(kit.errors.size(), onceErrors.size()) << c.text;
      for (size_t i = 0; i < onceErrors.size(); ++i) {
        EXPECT_EQ(kit.errors[i].code, onceErrors[i].code) << c.text;
        EXPECT_EQ(kit.errors[i].place, onceErrors[i].place) << c.text;
        EXPECT_EQ(kit.errors[i].text, onceErrors[i].text) << c.text;
      }
      TValueCell any;
      kit.errors.clear();
      EXPECT_EQ(kit.ev.EvaluateCompiled(c.type, any, 3), okOnce) << c.text;
      if (c.type == etString) {
        EXPECT_EQ(any.S, once.S) << c.text;
      }
    }
  }
  // Nothing kept under the handle: false, no report, the value cleared.
  std::string s = "x";
  kit.errors.clear();
  EXPECT_FALSE(kit.ev.EvaluateCompiledString(s, 77));
  EXPECT_EQ(s, "");
  EXPECT_TRUE(kit.errors.empty());
}

TEST(FastEvalCompiled, EvaluatedAsAnotherHandle) {
  TEvalKit kit;
  std::vector<int> asked;
  kit.ev.OnGetIntegerVar = [&](TFastEval* ev, const std::string& name, bool& found, int32_t& v, int handle) {
    asked.push_back(handle);
    if (name == "again") {
      // The running expression evaluated once more from its own handler.
      int32_t inner = 0;
      ev->EvaluateCompiledInteger(inner, 1000, 1);
      found = true;
      v = 1;
    } else if (name == "n") {
      found = true;
      v = 2;
    }
  };
  kit.ev.CompileExpression("n + missing", 1000);
  int32_t v = 0;
  EXPECT_FALSE(kit.ev.EvaluateCompiledInteger(v, 1000, 1));
  ASSERT_EQ(kit.errors.size(), 1u);
  EXPECT_EQ(kit.errors[0].handle, 1);
  EXPECT_EQ(asked, (std::vector<int>{1, 1}));
  // Without one it answers as its own handle.
  asked.clear();
  EXPECT_FALSE(kit.ev.EvaluateCompiledInteger(v, 1000));
  ASSERT_EQ(kit.errors.size(), 2u);
  EXPECT_EQ(kit.errors[1].handle, 1000);
  EXPECT_EQ(asked, (std::vector<int>{1000, 1000}));
  // A re-entered expression keeps answering as the handle asked for.
  kit.ev.CompileExpression("again + missing", 1000);
  asked.clear();
  EXPECT_FALSE(kit.ev.EvaluateCompiledInteger(v, 1000, 1));
  for (int h : asked) EXPECT_EQ(h, 1);
  for (size_t i = 2; i < kit.errors.size(); ++i) EXPECT_EQ(kit.errors[i].handle, 1);
  EXPECT_GT(kit.errors.size(), 2u);
}
