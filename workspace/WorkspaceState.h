#pragma once
// What the main window and the subsystems around it share: the settings, the
// evaluator with its row rules, the merge tokenizer, the open table, the
// filter, the project's file name and the mail mode. app/ makes one before
// the windows and hands it to them; it outlives them.

#include <string>

#include "platform/SysUtils.h"
#include "toolkit/FastEval.h"
#include "toolkit/Reader.h"
#include "workspace/AppSettings.h"
#include "workspace/MailMode.h"
#include "workspace/Multicast.h"
#include "workspace/RowRules.h"
#include "workspace/RowRulesCopyFilter.h"
#include "workspace/TableWorkspace.h"

// The filter of the table's rows, as the Filter page edits it and the project stores it.
struct TRowFilterSettings {
  std::string Text;           // the filter expression, lines joined by LF
  bool UseFilter = false;     // the table shows only the rows it accepts
  bool UseHighlight = false;  // the highlight rules colour the rows

  bool operator==(const TRowFilterSettings&) const = default;
};

class TWorkspaceState : private ITableRowRules {
  // First: the copy filter below reads it.
  std::string filterText_;
  bool useFilter_ = false;

public:
  // The settings are stored in settingsRegistry.
  explicit TWorkspaceState(TRegistry& settingsRegistry);
  ~TWorkspaceState() override;
  TWorkspaceState(const TWorkspaceState&) = delete;
  TWorkspaceState& operator=(const TWorkspaceState&) = delete;

  // The options and the remembered folders, between their loads and saves.
  TAppSettings Settings;
  // The merge tokenizer: merge tags and the name dialog.
  TReader Reader1;
  // The evaluator of the filter, the highlight rules and the calculated fields.
  TFastEval FastEval1;
  // Its answers (fields, calculated fields, error reports) and the filter and
  // highlight rules of the table query. The calculated fields come from the
  // project (RowRules.SetCalcFieldSource).
  TRowRules RowRules{FastEval1};
  // The open table, its cursor and its commands; its rows pass the filter.
  TTableWorkspace Table;
  // The same filter text as the filter of a restructuring copy (handle 5).
  TRowRulesCopyFilter CopyFilter{RowRules, FastEval1, filterText_};
  // Empty for a project never saved.
  std::string ProjectFileName;
  TMailMode MailMode = mmHtml;

  // The filter. A change takes effect at the next open or refresh of the table.
  TRowFilterSettings Filter() const;
  void SetFilter(const TRowFilterSettings& filter);
  // After every SetFilter that changed it.
  TMulticast<> FilterChanged;

  // The evaluator's host function "Now".
  void FastEval1GetDateTimeFunct(const std::string& FunctName, bool& Found, TDateTime& Value);

private:
  // ITableRowRules
  bool UseFilter() const override { return useFilter_; }
  void CompileRowExpressions() override { RowRules.CompileRowExpressions(filterText_); }
};
