#include "workspace/WorkspaceState.h"

#include "workspace/MergeReader.h"

TWorkspaceState::TWorkspaceState() {
  // Line ends are delimiters, "_" belongs to names.
  SetUpMergeReader(Reader1);

  // The evaluator's language: 'strings' and "comments"; the rules answer its events.
  FastEval1.SetStringSign(ssApostrophe);
  FastEval1.SetCommentSign(csQMark);
  FastEval1.SetCaseSensitivity(false);

  FastEval1.OnGetDateTimeFunct = [this](TFastEval*, const std::string& name, bool, const TFunctParamValues&,
                                        bool& found, TDateTime& value, int) {
    FastEval1GetDateTimeFunct(name, found, value);
  };
  FastEval1.AddFunction("Now", true, etDateTime, {});
}

void TWorkspaceState::FastEval1GetDateTimeFunct(const std::string& FunctName, bool& Found, TDateTime& Value) {
  if (LowerCase(FunctName) == "now") {
    Found = true;
    Value = Now();
  }
}
