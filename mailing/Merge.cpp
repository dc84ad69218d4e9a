#include "mailing/Merge.h"

#include "db/FieldKind.h"
#include "platform/SysUtils.h"
#include "toolkit/FieldSource.h"
#include "workspace/AppSettings.h"

namespace {

bool IsAscii(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// AnsiUpperCase(name) == upper, without building the upper-case copy for the
// usual ASCII field name.
bool SameUpperName(const std::string& name, const std::string& upper) {
  if (!IsAscii(name)) return AnsiUpperCase(name) == upper;
  if (name.size() != upper.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

}  // namespace

char TagSignOf(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(TagSigns.size())) return TagSigns[0][0];
  return TagSigns[static_cast<size_t>(index)][0];
}

bool FieldTagValue(const IFieldSource& Record, const std::string& UpperName, std::string& Value) {
  const int count = Record.FieldCount();
  for (int i = 0; i < count; ++i) {
    if (!SameUpperName(Record.FieldName(i), UpperName)) continue;
    Value = FieldValueText(Record, i);
    return true;
  }
  return false;
}

TMerger::TMerger(TReader& reader, ITagValueSource& values, const ITagSignSource& sign, IMergeWarnings& warnings)
    : values_(values), sign_(sign), warnings_(warnings), scroller_(&reader) {}

bool TMerger::GetTagValue(const std::string& Name, std::string& Value, bool Warn) {
  values_.ClearEvalStop();
  upper_ = AnsiUpperCase(Name);
  Value.clear();
  switch (values_.CalcFieldValue(upper_, Value)) {
    case TCalcFieldResult::Evaluated: return true;
    case TCalcFieldResult::Failed: return false;
    case TCalcFieldResult::NotFound: break;
  }
  if (values_.TableFieldValue(upper_, Value)) return true;
  Value.clear();
  if (Warn) warnings_.ShowWarning("Warning: field " + std::string(1, sign_.TagSign()) + upper_ + " not found");
  return false;
}

void TMerger::ExpandTags(const std::string& Text, bool Warn, std::string& Result) {
  Result.clear();
  // The scroller holds the one copy of the text; each tag restarts it in
  // place after the sign instead of on a copy of the rest, which reads the
  // same tokens (the reader looks only forward) without copying per sign.
  scroller_.Text = Text;
  const std::string& s = scroller_.Text;
  size_t from = 0;
  for (;;) {
    const char sign = sign_.TagSign();
    const size_t p = s.find(sign, from);
    if (p == std::string::npos) {
      Result.append(s, from, std::string::npos);
      return;
    }
    Result.append(s, from, p - from);
    from = p + 1;
    scroller_.SetText(scroller_.Text, static_cast<int>(from));
    const TPosition& token = scroller_.Window[0];
    if (!token.Blank.empty() || token.Status != tsWord) {
      Result += sign;
      continue;
    }
    name_ = token.Text;
    const auto tokenEnd = static_cast<size_t>(token.Position);
    if (GetTagValue(name_, value_, Warn)) {
      Result += value_;
      from = tokenEnd;
    } else {
      // The name stays in the text and is copied by the next pass.
      Result += sign;
    }
  }
}

std::string TMerger::ExpandTags(const std::string& Text, bool Warn) {
  std::string result;
  ExpandTags(Text, Warn, result);
  return result;
}
