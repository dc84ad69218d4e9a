#pragma once
// What the main window and the subsystems around it share: the evaluator with
// its row rules, the merge tokenizer, the open table, the project's file name
// and the mail mode. app/ makes one before the windows and hands it to them;
// it outlives them.

#include <string>

#include "platform/SysUtils.h"
#include "toolkit/FastEval.h"
#include "toolkit/Reader.h"
#include "workspace/RowRules.h"
#include "workspace/TableWorkspace.h"

// The mail mode of the Edit tab.
enum TMailMode { mmPlainText = 0, mmHtml = 1 };

class TWorkspaceState {
public:
  TWorkspaceState();
  TWorkspaceState(const TWorkspaceState&) = delete;
  TWorkspaceState& operator=(const TWorkspaceState&) = delete;

  // The merge tokenizer: merge tags and the name dialog.
  TReader Reader1;
  // The evaluator of the filter, the highlight rules and the calculated fields.
  TFastEval FastEval1;
  // Its answers (fields, calculated fields, error reports) and the filter and
  // highlight rules of the table query. The calculated fields come from the
  // project (RowRules.SetCalcFieldSource).
  TRowRules RowRules{FastEval1};
  // The open table, its cursor and its commands.
  TTableWorkspace Table;
  // Empty for a project never saved.
  std::string ProjectFileName;
  TMailMode MailMode = mmHtml;

  // The evaluator's host function "Now".
  void FastEval1GetDateTimeFunct(const std::string& FunctName, bool& Found, TDateTime& Value);
};
