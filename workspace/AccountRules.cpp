#include "workspace/AccountRules.h"

#include <filesystem>

TProfile NewAccount(const std::string& accountName) {
  TProfile p;
  p.AccountName = accountName;
  p.SmtpPort = "25";
  p.Pop3Port = "110";
  p.DirectDelivery = true;
  return p;
}

std::string TAccountBook::Load(const std::string& fileName) {
  TAccountsLoad r = LoadAccounts(fileName, Profiles);
  Changed = false;
  loadedDamaged_ = !r.ok;
  return r.ok ? std::string() : r.error;
}

bool TAccountBook::SaveIfChanged(const std::string& fileName) {
  if (!Changed) return true;
  if (loadedDamaged_) {
    if (!KeepDamagedCopy(fileName)) return false;
    loadedDamaged_ = false;
  }
  if (!SaveAccounts(fileName, Profiles)) return false;
  Changed = false;
  return true;
}

std::vector<std::string> TAccountBook::Names() const {
  std::vector<std::string> names;
  names.reserve(Profiles.size());
  for (const auto& p : Profiles) names.push_back(p.AccountName);
  return names;
}

int TAccountBook::Add(const std::string& accountName) {
  Profiles.push_back(NewAccount(accountName));
  Changed = true;
  return static_cast<int>(Profiles.size()) - 1;
}

int TAccountBook::Delete(int index) {
  if (!At(index)) return -1;
  Profiles.erase(Profiles.begin() + index);
  Changed = true;
  const int count = static_cast<int>(Profiles.size());
  return count == 0 ? -1 : (index < count ? index : count - 1);
}

TProfile* TAccountBook::At(int index) {
  return index >= 0 && index < static_cast<int>(Profiles.size()) ? &Profiles[static_cast<size_t>(index)] : nullptr;
}

void TAccountBook::SetField(int index, TAccountField field, const std::string& value) {
  TProfile* p = At(index);
  if (!p) return;
  std::string* target = nullptr;
  switch (field) {
    case TAccountField::Name: target = &p->Name; break;
    case TAccountField::Email: target = &p->Email; break;
    case TAccountField::ReplyTo: target = &p->ReplyTo; break;
    case TAccountField::UserId: target = &p->UserId; break;
    case TAccountField::Password: target = &p->Password; break;
    case TAccountField::SmtpServer: target = &p->SmtpServer; break;
    case TAccountField::SmtpPort: target = &p->SmtpPort; break;
    case TAccountField::DnsServer: target = &p->DnsServer; break;
    case TAccountField::Pop3Server: target = &p->Pop3Server; break;
    case TAccountField::Pop3Port: target = &p->Pop3Port; break;
  }
  *target = value;
  Changed = true;
}

void TAccountBook::SetDirectDelivery(int index, bool direct) {
  if (TProfile* p = At(index)) p->DirectDelivery = direct, Changed = true;
}

void TAccountBook::SetRequiredAuthentication(int index, bool on) {
  if (TProfile* p = At(index)) p->RequiredAuthentication = on, Changed = true;
}

void TAccountBook::SetLeaveCopyOnServer(int index, bool on) {
  if (TProfile* p = At(index)) p->LeaveCopyOnServer = on, Changed = true;
}

TAccountLists RefreshAccountLists(const TProfiles& profiles, const std::string& optionsText,
                                  const std::optional<std::string>& schemeAccount) {
  TAccountLists lists;
  for (const auto& p : profiles) lists.Names.push_back(p.AccountName);
  for (size_t i = 0; i < lists.Names.size(); ++i) {
    if (schemeAccount && lists.WithdrawalIndex < 0 && lists.Names[i] == *schemeAccount)
      lists.WithdrawalIndex = static_cast<int>(i);
    if (lists.OptionsIndex < 0 && lists.Names[i] == optionsText) lists.OptionsIndex = static_cast<int>(i);
  }
  return lists;
}

TAccountView ShowSelectedAccount(const TProfiles& profiles, int selected) {
  TAccountView v;
  if (selected < 0 || selected >= static_cast<int>(profiles.size())) return v;
  const TProfile& p = profiles[static_cast<size_t>(selected)];
  v.Name = p.Name;
  v.Email = p.Email;
  v.ReplyTo = p.ReplyTo;
  v.UserId = p.UserId;
  v.Password = p.Password;
  v.SmtpServer = p.SmtpServer;
  v.SmtpPort = p.SmtpPort;
  v.DnsServer = p.DnsServer;
  v.Pop3Server = p.Pop3Server;
  v.Pop3Port = p.Pop3Port;
  v.DirectDelivery = p.DirectDelivery;
  v.RequiredAuthentication = p.RequiredAuthentication;
  v.LeaveCopyOnServer = p.LeaveCopyOnServer;
  return v;
}

TAccountEnabling UpdateAccountControls(bool hasSelection, bool smtpChecked, bool directChecked) {
  TAccountEnabling e;
  if (!hasSelection) return e;
  e.DeleteButton = e.Name = e.Email = e.ReplyTo = e.UserId = e.Password = true;
  e.Pop3Server = e.Pop3Port = e.SmtpRadio = e.DirectRadio = true;
  e.SmtpServer = e.SmtpPort = e.RequiredAuthentication = smtpChecked;
  e.DnsServer = directChecked;
  return e;
}
