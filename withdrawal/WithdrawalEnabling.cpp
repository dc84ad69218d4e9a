#include "withdrawal/WithdrawalEnabling.h"

TWithdrawalEnabling ComputeWithdrawalEnabling(const TWithdrawalState& s) {
  TWithdrawalEnabling e;
  e.SchemeCombo = s.SchemeCount > 0;
  e.SchemeCommands = s.SchemeSelected;
  // A running Get List keeps the commands that would disturb it off.
  e.Response = s.SchemeSelected && !s.GetListRunning;
  e.Extract = s.SchemeSelected && !s.GetListRunning;
  e.DeleteMail = !s.GetListRunning;
  if (!s.GetListAvailable || s.GetListRunning)
    e.GetList = false;
  else if (s.MailingWindowExists)
    e.GetList = s.MailingState != ssSending;
  e.MarkerList = s.MarkerCount > 0;
  e.RuleList = s.RuleCount > 0;
  e.ValueCombo = s.ValueCount > 0;
  e.DeleteMarker = s.MarkerSelected;
  e.RuleControls = s.RuleSelected;
  return e;
}
