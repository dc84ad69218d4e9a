#include "workspace/AppSettings.h"

#include <algorithm>
#include <cassert>
#include <climits>

#include "workspace/CharsetTable.h"
#include "workspace/HighlightSlots.h"

namespace {

constexpr int32_t NoRange = 0;
constexpr int32_t LastCharset = static_cast<int32_t>(CharsetTable.size()) - 1;
constexpr int32_t LastTagSign = static_cast<int32_t>(TagSigns.size()) - 1;
constexpr int32_t AquaSlot = 14;

template <class T>
constexpr TSettingMember M(T TSettingValues::*member) {
  return member;
}

// The key is never held open: each group of reads or writes opens and closes it.
class TKeyGuard {
public:
  explicit TKeyGuard(TRegistry& reg) : reg_(reg) {}
  ~TKeyGuard() { reg_.CloseKey(); }

private:
  TRegistry& reg_;
};

}  // namespace

constinit const std::array<TSettingDef, stCount> SettingTable{{
    {stDataBaseDir, "DataBaseDir", sgFolders, M(&TSettingValues::DataBaseDir), 0, NoRange, NoRange},
    {stMailDir, "MailDir", sgFolders, M(&TSettingValues::MailDir), 0, NoRange, NoRange},
    {stSQLFileDir, "SQLFileDir", sgFolders, M(&TSettingValues::SQLFileDir), 0, NoRange, NoRange},
    {stSQLDataBase, "SQLDataBase", sgFolders, M(&TSettingValues::SQLDataBase), 0, NoRange, NoRange},
    {stReportDir, "ReportDir", sgFolders, M(&TSettingValues::ReportDir), 0, NoRange, NoRange},
    {stActiveScheme, "ActiveScheme", sgFolders, M(&TSettingValues::ActiveScheme), 0, NoRange, NoRange},
    {stConfirmDel, "ConfirmDel", sgOptions, M(&TSettingValues::ConfirmDel), false, NoRange, NoRange},
    {stThreads, "Threads", sgOptions, M(&TSettingValues::Threads), 15, MinThreads, MaxThreads},
    {stDefaultCharset, "DefaultCharset", sgOptions, M(&TSettingValues::DefaultCharset), -1, 0, LastCharset},
    {stActiveProfile, "ActiveProfile", sgOptions, M(&TSettingValues::ActiveProfile), 0, NoRange, NoRange},
    {stSortColor, "SortColor", sgOptions, M(&TSettingValues::SortColor), AquaSlot, 0, HighlightSlotCount - 1},
    {stDBFont, "DBFont", sgOptions, M(&TSettingValues::DBFont), 0, NoRange, NoRange},
    {stTagSign, "TagSign", sgOptions, M(&TSettingValues::TagSign), 0, 0, LastTagSign},
}};

const TSettingDef& SettingDef(TSetting key) {
  assert(key >= 0 && key < stCount && SettingTable[key].Key == key);
  return SettingTable[key];
}

TRegDataType SettingRegType(TSetting key) {
  return std::holds_alternative<std::string TSettingValues::*>(SettingDef(key).Member) ? TRegDataType::String
                                                                                       : TRegDataType::Integer;
}

TSettingValues::TSettingValues() {
  for (const TSettingDef& def : SettingTable)
    std::visit(
        [&](auto member) {
          using T = std::remove_reference_t<decltype(this->*member)>;
          if constexpr (std::is_same_v<T, std::string>)
            this->*member = std::string();
          else
            this->*member = static_cast<T>(def.Default);
        },
        def.Member);
}

TAppSettings::TAppSettings(TRegistry& registry) : reg_(registry) {}

bool TAppSettings::Open() {
  reg_.CloseKey();
  return reg_.OpenKey("\\" + RegKeyPath, true);
}

template <class T>
void TAppSettings::Assign(TSetting key, const T& value) {
  auto* member = std::get_if<T TSettingValues::*>(&SettingDef(key).Member);
  assert(member && "a setting is set with its own type");
  if (!member) return;
  T v = value;
  if constexpr (std::is_same_v<T, std::string>) {
    const auto& names = choices_[key];
    if (names && std::find(names->begin(), names->end(), v) == names->end()) v.clear();
  }
  if (values_.*(*member) == v) return;
  values_.*(*member) = std::move(v);
  changed_[key]();
}

void TAppSettings::Set(TSetting key, const std::string& value) { Assign(key, value); }
void TAppSettings::Set(TSetting key, int32_t value) { Assign(key, value); }
void TAppSettings::Set(TSetting key, bool value) { Assign(key, value); }

void TAppSettings::SetChoices(TSetting key, std::vector<std::string> names) {
  choices_[key] = std::move(names);
  Assign(key, values_.*std::get<std::string TSettingValues::*>(SettingDef(key).Member));
}

TAppSettings::TSubscription TAppSettings::Subscribe(TSetting key, TListener listener) {
  return changed_[key].Subscribe(std::move(listener));
}

void TAppSettings::Read(const TSettingDef& def) {
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(values_.*member)>;
        T v{};
        if constexpr (std::is_same_v<T, std::string>) {
          // A value of another type is as good as missing: start-up must go on.
          if (!reg_.TryReadString(def.Name, v)) v.clear();
        } else if constexpr (std::is_same_v<T, bool>) {
          if (!reg_.TryReadBool(def.Name, v)) v = def.Default != 0;
        } else {
          if (!reg_.TryReadInteger(def.Name, v) || v < def.Min || v > def.Max) v = def.Default;
        }
        Assign(def.Key, v);
      },
      def.Member);
}

void TAppSettings::Write(const TSettingDef& def) {
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(values_.*member)>;
        if constexpr (std::is_same_v<T, std::string>)
          reg_.WriteString(def.Name, values_.*member);
        else if constexpr (std::is_same_v<T, bool>)
          reg_.WriteBool(def.Name, values_.*member);
        else
          reg_.WriteInteger(def.Name, values_.*member);
      },
      def.Member);
}

bool TAppSettings::LoadSettings() {
  Set(stDataBaseDir, std::string());
  Set(stMailDir, std::string());
  if (!Open()) return false;
  TKeyGuard guard(reg_);
  for (const TSettingDef& def : SettingTable)
    if (def.Group == sgFolders) Read(def);
  return true;
}

void TAppSettings::ReplaceEmptyFolders(const std::string& appDir) {
  for (TSetting key : {stDataBaseDir, stMailDir, stSQLDataBase, stSQLFileDir, stReportDir})
    if ((values_.*std::get<std::string TSettingValues::*>(SettingDef(key).Member)).empty()) Set(key, appDir);
}

void TAppSettings::Save(TSetting key) {
  if (!Open()) return;
  TKeyGuard guard(reg_);
  try {
    Write(SettingDef(key));
  } catch (const ERegistryException&) {
    // A settings file that cannot be written costs the remembered value, nothing more.
  }
}

void TAppSettings::SetAndSave(TSetting key, const std::string& value) {
  Set(key, value);
  Save(key);
}

void TAppSettings::SaveConfirmDel(bool value) {
  Set(stConfirmDel, value);
  Save(stConfirmDel);
}

bool TAppSettings::LoadOptions() {
  if (!Open()) return false;
  TKeyGuard guard(reg_);
  for (const TSettingDef& def : SettingTable)
    if (def.Group == sgOptions) Read(def);
  return true;
}

bool TAppSettings::WriteMarkedOptions(const TSettingMarks& marks) {
  auto marked = [&](const TSettingDef& def) { return def.Group == sgOptions && marks[def.Key]; };
  if (std::none_of(SettingTable.begin(), SettingTable.end(), marked)) return true;
  if (!Open()) return false;
  TKeyGuard guard(reg_);
  try {
    for (const TSettingDef& def : SettingTable)
      if (marked(def)) Write(def);
  } catch (const ERegistryException&) {
    return false;
  }
  return true;
}

int32_t TAppSettings::ReadDefaultCharset(int32_t fallback) {
  if (!Open()) return fallback;
  TKeyGuard guard(reg_);
  int32_t v = 0;
  if (reg_.TryReadInteger("DefaultCharset", v) && ValidCharsetIndex(v)) return v;
  return fallback;
}

bool TAppSettings::Options1Click(IOptionsView& view) {
  LoadOptions();
  view.ShowValues(values_);
  const bool ok = view.ShowModal();
  if (ok) {
    const TSettingMarks marks = view.Marks();
    const TSettingValues edited = view.Values();
    for (const TSettingDef& def : SettingTable)
      if (def.Group == sgOptions && marks[def.Key])
        std::visit([&](auto member) { Assign(def.Key, edited.*member); }, def.Member);
    WriteMarkedOptions(marks);
  }
  LoadOptions();
  view.ShowValues(values_);
  return ok;
}
