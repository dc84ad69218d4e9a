#include "withdrawal/SchemeCommands.h"

#include <filesystem>

#include "platform/Paths.h"
#include "withdrawal/SchemesFile.h"

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The index to select after deleting at index from a list now count long.
int AfterDelete(int index, size_t count) {
  if (count == 0) return -1;
  return index < static_cast<int>(count) ? index : static_cast<int>(count) - 1;
}

}  // namespace

TSchemeCommands::TSchemeCommands(TExtractData& data, ISchemeCommandsView& view, std::string fileName)
    : data_(data), view_(view), fileName_(std::move(fileName)) {
  if (fileName_.empty()) fileName_ = (std::filesystem::path(ResolveAppDir()) / SchemesFileName).string();
}

std::string TSchemeCommands::Load() { return data_.LoadSchemes(fileName_); }

bool TSchemeCommands::Save() { return data_.SaveSchemes(fileName_); }

int TSchemeCommands::AddScheme(const std::string& name) {
  data_.AddScheme(name);
  Save();
  return static_cast<int>(data_.Schemes.size()) - 1;
}

std::optional<int> TSchemeCommands::DeleteScheme(int schemeIndex) {
  TScheme* s = data_.SchemeAt(schemeIndex);
  if (!s || !view_.ConfirmDelete("Are You Sure to Delete the Scheme " + Quoted(s->Name))) return std::nullopt;
  data_.DeleteScheme(schemeIndex);
  Save();
  return AfterDelete(schemeIndex, data_.Schemes.size());
}

int TSchemeCommands::AddMarker(int schemeIndex, const std::string& marker) {
  TScheme* s = data_.SchemeAt(schemeIndex);
  if (!s) return -1;
  data_.AddMarker(schemeIndex, marker);
  Save();
  return static_cast<int>(s->Markers.size()) - 1;
}

std::optional<int> TSchemeCommands::DeleteMarker(int schemeIndex, int markerIndex) {
  TScheme* s = data_.SchemeAt(schemeIndex);
  if (!s || markerIndex < 0 || static_cast<size_t>(markerIndex) >= s->Markers.size()) return std::nullopt;
  if (!view_.ConfirmDelete("Are You Sure to Delete the Marker " + Quoted(s->Markers[static_cast<size_t>(markerIndex)])))
    return std::nullopt;
  data_.DeleteMarker(schemeIndex, markerIndex);
  Save();
  return AfterDelete(markerIndex, s->Markers.size());
}

int TSchemeCommands::AddValueRule(int schemeIndex) {
  TScheme* s = data_.SchemeAt(schemeIndex);
  if (!s) return -1;
  data_.AddValueRule(schemeIndex, TScheme::TValue{BeginningOfTextMarker, EndOfLineMarker, "", ""});
  Save();
  return static_cast<int>(s->Values.size()) - 1;
}

std::optional<int> TSchemeCommands::DeleteValueRule(int schemeIndex, int ruleIndex) {
  TScheme* s = data_.SchemeAt(schemeIndex);
  if (!s || ruleIndex < 0 || static_cast<size_t>(ruleIndex) >= s->Values.size()) return std::nullopt;
  if (!view_.ConfirmDelete("Are You Sure to Delete " + Quoted(ValueRuleCaption(ruleIndex)))) return std::nullopt;
  data_.DeleteValueRule(schemeIndex, ruleIndex);
  Save();
  return AfterDelete(ruleIndex, s->Values.size());
}

void TSchemeCommands::SetRuleAfterMarker(int schemeIndex, int ruleIndex, const std::string& text) {
  data_.SetRuleAfterMarker(schemeIndex, ruleIndex, text);
  Save();
}

void TSchemeCommands::SetRuleUpToMarker(int schemeIndex, int ruleIndex, const std::string& text) {
  data_.SetRuleUpToMarker(schemeIndex, ruleIndex, text);
  Save();
}

void TSchemeCommands::SetRuleField(int schemeIndex, int ruleIndex, const std::string& text) {
  data_.SetRuleField(schemeIndex, ruleIndex, text);
  Save();
}

void TSchemeCommands::SetField(int schemeIndex, TSchemeField which, const std::string& text) {
  switch (which) {
    case TSchemeField::Content: data_.SetContentField(schemeIndex, text); break;
    case TSchemeField::Time: data_.SetTimeField(schemeIndex, text); break;
    case TSchemeField::FromName: data_.SetFromNameField(schemeIndex, text); break;
    case TSchemeField::FromEmail: data_.SetFromEmailField(schemeIndex, text); break;
    case TSchemeField::Subject: data_.SetSubjectField(schemeIndex, text); break;
  }
  Save();
}

void TSchemeCommands::SetAccount(int schemeIndex, const std::string& account) {
  data_.SetSchemeAccount(schemeIndex, account);
  Save();
}

void TSchemeCommands::SetResponse(int schemeIndex, const TResponseOptions& response) {
  data_.SetResponse(schemeIndex, response);
  Save();
}
