#include "workspace/sqlset.h"

#include "platform/SysUtils.h"

void TSQLItem::Changed() {
  if (collection_ && collection_->OnChange) collection_->OnChange();
}

void TSQLItem::SetTitle(const std::string& v) {
  title_ = v;
  Changed();
}

void TSQLItem::SetSQLText(const std::string& v) {
  sqlText_ = v;
  Changed();
}

void TSQLItem::Assign(const TSQLItem& source) {
  title_ = source.title_;
  sqlText_ = source.sqlText_;
  Changed();
}

TSQLItem& TSQLItems::Add() {
  items_.push_back(std::make_unique<TSQLItem>(this));
  return *items_.back();
}

void TSQLItems::Clear() { items_.clear(); }

void TSQLItems::Assign(const TSQLItems& source) {
  if (&source == this) return;
  items_.clear();
  for (const auto& item : source.items_) Add().Assign(*item);
}

namespace {

const char* const SQLDelimiters[] = {"\r\n", ".", ",", ";",   ":",  "'",  "\"", "@",  "(",  ")",  "/",
                                     "*",    "^", "+", "-",   "=",  ">",  "<",  "<>", ">=", "<=", "[",
                                     "]",    "{", "}", "(+)", ":=", "!=", "^=", "--", "||", "/*", "*/"};

}  // namespace

TSQLSet::TSQLSet() {
  reader_.SetDefaultBlanks();
  reader_.RemoveBlankChar('\r');
  reader_.RemoveBlankChar('\n');
  reader_.DeleteStatus(tsDelimiter);
  for (const char* d : SQLDelimiters) reader_.AddDelimiter(d, 0, 0, nullptr);
  reader_.OnDisposeProperties = [](TReader*, int, void* properties) { delete static_cast<std::string*>(properties); };
}

TSQLSet::~TSQLSet() = default;

bool TSQLSet::AddVariable(const std::string& Name, const std::string& Value, std::string* refusal) {
  auto refuse = [refusal](const std::string& text) {
    if (refusal) *refusal = text;
    return false;
  };
  if (Name.empty()) return refuse("Variable name missing");
  const int n = Utf8Length(Name);
  for (int i = 1; i <= n; ++i) {
    const std::string ch = Utf8Copy(Name, i, 1);
    if (reader_.IsDelimiter(ch)) return refuse("The variable name can not contain a devider \"" + ch + "\"");
  }
  reader_.AddKeyWord(AnsiLowerCase(Name), 0, 0, false, new std::string(Value));
  return true;
}

std::string TSQLSet::GetSQLText(const std::string& Title) const {
  const std::string key = AnsiLowerCase(Title);
  for (int i = 0; i < items_.Count(); ++i)
    if (AnsiLowerCase(items_.Items(i).Title()) == key) return items_.Items(i).SQLText();
  return {};
}

std::string TSQLSet::BuildSQL(const std::string& Title) {
  std::string result;
  const std::string text = GetSQLText(Title);
  if (text.empty()) return result;
  TScroller sc(&reader_);
  sc.SetText(text, 0);
  while (sc.Window[0].Status != tsEnd) {
    const TPosition& t = sc.Window[0];
    result.append(static_cast<size_t>(Utf8Length(t.Blank)), ' ');
    if (t.Status == tsKeyWord && t.Properties)
      result += *static_cast<const std::string*>(t.Properties);
    else
      result += t.Text;
    sc.Next();
  }
  return result;
}

void InitMainSQLSet(TSQLSet& set) {
  set.SQLItems().Clear();
  TSQLItem& item = set.SQLItems().Add();
  item.SetTitle("Main");
  item.SetSQLText("SELECT * FROM \"TabName\"");
}
