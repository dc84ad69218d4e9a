#include "workspace/WorkspaceState.h"

#include "workspace/MergeReader.h"

TWorkspaceState::TWorkspaceState(TRegistry& settingsRegistry) : Settings(settingsRegistry) {
  // Line ends are delimiters, "_" belongs to names.
  SetUpMergeReader(Reader1);

  // The evaluator's language: 'strings' and "comments"; the rules answer its events.
  FastEval1.SetStringSign(ssApostrophe);
  FastEval1.SetCommentSign(csQMark);
  FastEval1.SetCaseSensitivity(false);

  FastEval1.OnGetDateTimeFunct = [this](TFastEval*, const std::string& name, bool, const TFunctParamValues&,
                                        bool& found, TDateTime& value,
                                        int) { FastEval1GetDateTimeFunct(name, found, value); };
  FastEval1.AddFunction("Now", true, etDateTime, {});

  // The row filter and the highlight rules: compiled before every open, the
  // filter as the query's record filter.
  RowRules.TableQuery = &Table.ADOQuery1;
  Table.ADOQuery1.OnFilterRecord = RowRules.FilterCallback(RowFilterHandle);
  Table.SetRowRules(this);
}

TWorkspaceState::~TWorkspaceState() { Table.SetRowRules(nullptr); }

TRowFilterSettings TWorkspaceState::Filter() const { return {filterText_, useFilter_, RowRules.UseHighlight}; }

void TWorkspaceState::SetFilter(const TRowFilterSettings& filter) {
  if (filter == Filter()) return;
  filterText_ = filter.Text;
  useFilter_ = filter.UseFilter;
  RowRules.UseHighlight = filter.UseHighlight;
  FilterChanged();
}

void TWorkspaceState::FastEval1GetDateTimeFunct(const std::string& FunctName, bool& Found, TDateTime& Value) {
  if (LowerCase(FunctName) == "now") {
    Found = true;
    Value = Now();
  }
}
