#pragma once
// Which commands and controls of the withdrawal page are enabled.

#include <optional>

#include "workspace/SendState.h"

struct TWithdrawalState {
  int SchemeCount = 0;
  bool SchemeSelected = false;
  bool GetListAvailable = false;  // a Get List runner is bound to the page
  bool GetListRunning = false;
  bool MailingWindowExists = false;
  TSendState MailingState = ssIdle;
  int MarkerCount = 0;
  bool MarkerSelected = false;
  int RuleCount = 0;
  bool RuleSelected = false;
  int ValueCount = 0;  // entries of the preview's value combo
};

struct TWithdrawalEnabling {
  bool SchemeCombo = false;
  // Delete Scheme (menu and tool bar), the account combo, Response, Extract
  // (tool bar and menu), and the two Add buttons of the Parser page.
  bool SchemeCommands = false;
  bool Response = false;
  bool Extract = false;
  // Get List (tool bar and menu); none: leave as it is.
  std::optional<bool> GetList;
  bool DeleteMail = true;  // tool bar "Delete" and menu "Delete Mail"
  bool MarkerList = false;
  bool RuleList = false;
  bool ValueCombo = false;
  bool DeleteMarker = false;
  bool RuleControls = false;  // the two marker combos, the field combo, the values' Delete
  bool operator==(const TWithdrawalEnabling&) const = default;
};

TWithdrawalEnabling ComputeWithdrawalEnabling(const TWithdrawalState& s);
