#pragma once
// The rules of the Accounts dialog without its window: the account book the
// dialog owns (every other user reads its array by index), what the three
// account lists show, what the edits show and which controls are enabled.

#include <optional>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "workspace/Profile.h"

enum class TAccountField {
  Name,
  Email,
  ReplyTo,
  UserId,
  Password,
  SmtpServer,
  SmtpPort,
  DnsServer,
  Pop3Server,
  Pop3Port
};

// A new account: the given name, ports "25" and "110", direct delivery, all else empty or off.
TProfile NewAccount(const std::string& accountName);

class TAccountBook {
public:
  TProfiles Profiles;
  bool Changed = false;  // an edit, Add or Delete since the last save

private:
  bool loadedDamaged_ = false;

public:
  // Replaces the array from the file; the text of the failure, empty when none.
  std::string Load(const std::string& fileName);
  // Close: writes the file when changed. A file that cannot be written is left unsaved.
  // A file that was damaged when loaded is first kept beside it as
  // DamagedCopyName, so the accounts the program could not read are not lost.
  bool SaveIfChanged(const std::string& fileName);
  static std::string DamagedCopyName(const std::string& fileName) { return ::DamagedCopyName(fileName); }

  std::vector<std::string> Names() const;   // the account names, for the name dialog's duplicate check
  int Add(const std::string& accountName);  // appended; returns its index
  // Removes it (no confirmation); returns the new selection: the same
  // position, the last account when it was the last, -1 when none is left.
  int Delete(int index);

  // The edit handlers; an index outside the array changes nothing.
  void SetField(int index, TAccountField field, const std::string& value);
  void SetDirectDelivery(int index, bool direct);
  void SetRequiredAuthentication(int index, bool on);
  void SetLeaveCopyOnServer(int index, bool on);

private:
  TProfile* At(int index);
};

// What the dialog's list, the Options combo "Active Account for Mailing" and
// the withdrawal page's account combo hold after RefreshAccountLists.
struct TAccountLists {
  std::vector<std::string> Names;  // the same for the three lists, in array order
  int OptionsIndex = -1;           // the entry equal to the combo's earlier text; -1 none
  int WithdrawalIndex = -1;        // the selected scheme's account; -1 none
};

// optionsText: the Options combo's text before the lists were cleared.
// schemeAccount: the account of the withdrawal page's selected scheme, none
// when no scheme is selected (the combo then keeps no selection).
TAccountLists RefreshAccountLists(const TProfiles& profiles, const std::string& optionsText,
                                  const std::optional<std::string>& schemeAccount);

// The edits, radio buttons and check boxes of the dialog.
struct TAccountView {
  std::string Name, Email, ReplyTo, UserId, Password, SmtpServer, SmtpPort, DnsServer, Pop3Server, Pop3Port;
  bool DirectDelivery = true;  // "Direct Delivery (Enter DNS)" checked, else "Send Through SMTP Server"
  bool RequiredAuthentication = false;
  bool LeaveCopyOnServer = false;
};

// The selected account's values; with no selection (-1 or out of range) all
// edits empty, direct delivery checked, both check boxes cleared.
TAccountView ShowSelectedAccount(const TProfiles& profiles, int selected);

struct TAccountEnabling {
  bool DeleteButton = false;
  bool Name = false, Email = false, ReplyTo = false, UserId = false, Password = false;
  bool Pop3Server = false, Pop3Port = false;
  bool SmtpRadio = false, DirectRadio = false;
  bool SmtpServer = false, SmtpPort = false, RequiredAuthentication = false;
  bool DnsServer = false;
  bool LeaveCopyOnServer = true;  // always
};

// smtpChecked / directChecked: the states of the two radio buttons.
TAccountEnabling UpdateAccountControls(bool hasSelection, bool smtpChecked, bool directChecked);
