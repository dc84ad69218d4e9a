// The withdrawal object's scheme table: adding, deleting and editing schemes,
// markers and value rules, and loading and saving them.

#include <algorithm>

#include "platform/Paths.h"
#include "withdrawal/ExtractData.h"
#include "withdrawal/SchemesFile.h"
#include "withdrawal/ValueParser.h"
#include "workspace/AppSettings.h"

std::string ValueRuleCaption(int ruleIndex) { return "Value-" + std::to_string(ruleIndex + 1); }

int32_t DefaultSchemeCharset(TAppSettings& settings) { return settings.ReadDefaultCharset(DefaultSchemeCharsetRow); }

std::string TExtractData::LoadSchemes(const std::string& fileName) {
  TSchemesDamage damage;
  ReadSchemesFile(fileName, Schemes, &damage);
  DamagedSchemesFile.clear();
  if (!damage.Damaged) return std::string();
  DamagedSchemesFile = fileName;
  std::string text = "The schemes file " + fileName + " is damaged: " + std::to_string(Schemes.size()) + " of " +
                     std::to_string(std::max(damage.Declared, 0)) + " schemes could be read";
  for (size_t i = 0; i < Schemes.size(); ++i) text += (i == 0 ? " (" : ", ") + Schemes[i].Name;
  text += Schemes.empty() ? "." : ").";
  return text + " The file is kept as " + DamagedCopyName(fileName) + " when the schemes are next saved.";
}

bool TExtractData::SaveSchemes(const std::string& fileName) {
  if (!DamagedSchemesFile.empty()) {
    if (!KeepDamagedCopy(DamagedSchemesFile)) return false;
    DamagedSchemesFile.clear();
  }
  return WriteSchemesFile(fileName, Schemes);
}

TScheme* TExtractData::SchemeAt(int schemeIndex) {
  if (schemeIndex < 0 || static_cast<size_t>(schemeIndex) >= Schemes.size()) return nullptr;
  return &Schemes[static_cast<size_t>(schemeIndex)];
}

namespace {

TScheme::TValue* RuleAt(TScheme* s, int ruleIndex) {
  if (!s || ruleIndex < 0 || static_cast<size_t>(ruleIndex) >= s->Values.size()) return nullptr;
  return &s->Values[static_cast<size_t>(ruleIndex)];
}

}  // namespace

void TExtractData::AddScheme(const std::string& name) {
  TScheme s;
  s.Name = name;
  s.Response.Charset = DefaultCharset ? DefaultCharset() : DefaultSchemeCharsetRow;
  Schemes.push_back(std::move(s));
}

void TExtractData::DeleteScheme(int schemeIndex) {
  if (!SchemeAt(schemeIndex)) return;
  Schemes.erase(Schemes.begin() + schemeIndex);
}

void TExtractData::AddMarker(int schemeIndex, const std::string& marker) {
  if (TScheme* s = SchemeAt(schemeIndex)) s->Markers.push_back(marker);
}

void TExtractData::DeleteMarker(int schemeIndex, int markerIndex) {
  TScheme* s = SchemeAt(schemeIndex);
  if (!s || markerIndex < 0 || static_cast<size_t>(markerIndex) >= s->Markers.size()) return;
  s->Markers.erase(s->Markers.begin() + markerIndex);
}

void TExtractData::AddValueRule(int schemeIndex, const TScheme::TValue& rule) {
  if (TScheme* s = SchemeAt(schemeIndex)) s->Values.push_back(rule);
}

void TExtractData::DeleteValueRule(int schemeIndex, int ruleIndex) {
  TScheme* s = SchemeAt(schemeIndex);
  if (!RuleAt(s, ruleIndex)) return;
  // The later rules' texts move down; each place keeps its last parsed value
  // until the next parse.
  auto& rules = s->Values;
  for (size_t j = static_cast<size_t>(ruleIndex) + 1; j < rules.size(); ++j) {
    rules[j - 1].AfterMarker = rules[j].AfterMarker;
    rules[j - 1].UpToMarker = rules[j].UpToMarker;
    rules[j - 1].Field = rules[j].Field;
  }
  rules.pop_back();
}

void TExtractData::SetSchemeAccount(int schemeIndex, const std::string& text) {
  if (TScheme* s = SchemeAt(schemeIndex)) s->Account = text;
}

void TExtractData::SetContentField(int schemeIndex, const std::string& text) {
  if (TScheme* s = SchemeAt(schemeIndex)) s->ContentField = text;
}

void TExtractData::SetTimeField(int schemeIndex, const std::string& text) {
  if (TScheme* s = SchemeAt(schemeIndex)) s->TimeField = text;
}

void TExtractData::SetFromNameField(int schemeIndex, const std::string& text) {
  if (TScheme* s = SchemeAt(schemeIndex)) s->FromNameField = text;
}

void TExtractData::SetFromEmailField(int schemeIndex, const std::string& text) {
  if (TScheme* s = SchemeAt(schemeIndex)) s->FromEmailField = text;
}

void TExtractData::SetSubjectField(int schemeIndex, const std::string& text) {
  if (TScheme* s = SchemeAt(schemeIndex)) s->SubjectField = text;
}

void TExtractData::SetRuleAfterMarker(int schemeIndex, int ruleIndex, const std::string& text) {
  if (TScheme::TValue* r = RuleAt(SchemeAt(schemeIndex), ruleIndex)) r->AfterMarker = text;
}

void TExtractData::SetRuleUpToMarker(int schemeIndex, int ruleIndex, const std::string& text) {
  if (TScheme::TValue* r = RuleAt(SchemeAt(schemeIndex), ruleIndex)) r->UpToMarker = text;
}

void TExtractData::SetRuleField(int schemeIndex, int ruleIndex, const std::string& text) {
  if (TScheme::TValue* r = RuleAt(SchemeAt(schemeIndex), ruleIndex)) r->Field = text;
}

void TExtractData::SetResponse(int schemeIndex, const TResponseOptions& response) {
  if (TScheme* s = SchemeAt(schemeIndex)) s->Response = response;
}

void TExtractData::ParseText(int schemeIndex, const std::string& text) {
  if (TScheme* s = SchemeAt(schemeIndex)) ParseSchemeText(*s, text);
}
