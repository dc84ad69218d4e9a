#include "workspace/AppSettings.h"

#include "workspace/CharsetTable.h"

std::string DataBaseDir;
std::string MailDir;
std::string SQLFileDir;
std::string SQLDataBase;
std::string ReportDir;

namespace {

// The key is never held open: each group of reads or writes opens and closes it.
class TKeyGuard {
public:
  explicit TKeyGuard(TRegistry& reg) : reg_(reg) {}
  ~TKeyGuard() { reg_.CloseKey(); }

private:
  TRegistry& reg_;
};

void ReadInRange(const TRegistry& reg, const char* name, int32_t& value, int32_t lo, int32_t hi, int32_t initial) {
  int32_t v = 0;
  value = (reg.TryReadInteger(name, v) && v >= lo && v <= hi) ? v : initial;
}

}  // namespace

TAppSettings::TAppSettings(TRegistry& registry) : reg_(registry) {}

bool TAppSettings::Open() {
  reg_.CloseKey();
  return reg_.OpenKey("\\" + RegKeyPath, true);
}

bool TAppSettings::LoadSettings(std::string& activeScheme) {
  DataBaseDir.clear();
  MailDir.clear();
  if (!Open()) return false;
  TKeyGuard guard(reg_);
  // A value of another type is as good as missing: start-up must go on.
  auto read = [&](const char* name) {
    std::string s;
    reg_.TryReadString(name, s);
    return s;
  };
  DataBaseDir = read("DataBaseDir");
  MailDir = read("MailDir");
  SQLFileDir = read("SQLFileDir");
  SQLDataBase = read("SQLDataBase");
  ReportDir = read("ReportDir");
  activeScheme = read("ActiveScheme");
  return true;
}

void TAppSettings::ReplaceEmptyFolders(const std::string& appDir) {
  for (std::string* s : {&DataBaseDir, &MailDir, &SQLDataBase, &SQLFileDir, &ReportDir})
    if (s->empty()) *s = appDir;
}

void TAppSettings::WriteOne(const std::string& name, const std::string& value) {
  if (!Open()) return;
  TKeyGuard guard(reg_);
  try {
    reg_.WriteString(name, value);
  } catch (const ERegistryException&) {
    // A settings file that cannot be written costs the remembered folder, nothing more.
  }
}

void TAppSettings::SaveDataBaseDir() { WriteOne("DataBaseDir", DataBaseDir); }
void TAppSettings::SaveMailDir() { WriteOne("MailDir", MailDir); }
void TAppSettings::SaveSQLFileDir() { WriteOne("SQLFileDir", SQLFileDir); }
void TAppSettings::SaveSQLDataBase() { WriteOne("SQLDataBase", SQLDataBase); }
void TAppSettings::SaveReportDir() { WriteOne("ReportDir", ReportDir); }
void TAppSettings::SaveActiveScheme(const std::string& schemeListText) { WriteOne("ActiveScheme", schemeListText); }

void TAppSettings::SaveConfirmDel(bool value) {
  if (!Open()) return;
  TKeyGuard guard(reg_);
  try {
    reg_.WriteBool("ConfirmDel", value);
  } catch (const ERegistryException&) {
  }
}

bool TAppSettings::LoadOptions(TOptionValues& values) {
  if (!Open()) return false;
  TKeyGuard guard(reg_);
  const TOptionValues initial;
  TOptionValues v;
  bool b = false;
  v.ConfirmDel = reg_.TryReadBool("ConfirmDel", b) ? b : initial.ConfirmDel;
  ReadInRange(reg_, "Threads", v.Threads, MinThreads, MaxThreads, initial.Threads);
  ReadInRange(reg_, "DefaultCharset", v.DefaultCharset, 0, static_cast<int32_t>(CharsetTable.size()) - 1,
              initial.DefaultCharset);
  if (!reg_.TryReadString("ActiveProfile", v.ActiveProfile)) v.ActiveProfile.clear();
  ReadInRange(reg_, "SortColor", v.SortColor, 0, 15, initial.SortColor);
  if (!reg_.TryReadString("DBFont", v.DBFont)) v.DBFont.clear();
  ReadInRange(reg_, "TagSign", v.TagSign, 0, static_cast<int32_t>(TagSigns.size()) - 1, initial.TagSign);
  values = v;
  return true;
}

bool TAppSettings::WriteMarkedOptions(const TOptionValues& values, const TOptionMarks& marks) {
  bool any = false;
  for (bool m : marks) any = any || m;
  if (!any) return true;
  if (!Open()) return false;
  TKeyGuard guard(reg_);
  try {
    if (marks[omConfirmDel]) reg_.WriteBool("ConfirmDel", values.ConfirmDel);
    if (marks[omThreads]) reg_.WriteInteger("Threads", values.Threads);
    if (marks[omDefaultCharset]) reg_.WriteInteger("DefaultCharset", values.DefaultCharset);
    if (marks[omActiveProfile]) reg_.WriteString("ActiveProfile", values.ActiveProfile);
    if (marks[omSortColor]) reg_.WriteInteger("SortColor", values.SortColor);
    if (marks[omDBFont]) reg_.WriteString("DBFont", values.DBFont);
    if (marks[omTagSign]) reg_.WriteInteger("TagSign", values.TagSign);
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

void TAppSettings::LoadOptions(IOptionsView& view) {
  TOptionValues v = view.Values();
  if (LoadOptions(v)) view.ShowValues(v);
}

bool TAppSettings::Options1Click(IOptionsView& view, const std::function<void()>& onSortColorWritten) {
  LoadOptions(view);
  const bool ok = view.ShowModal();
  if (ok) {
    const TOptionMarks marks = view.Marks();
    if (WriteMarkedOptions(view.Values(), marks) && marks[omSortColor] && onSortColorWritten) onSortColorWritten();
  }
  LoadOptions(view);
  return ok;
}

TAppSettings& AppSettings() {
  static TAppSettings settings(SettingsRegistry());
  return settings;
}

void SaveDataBaseDir() { AppSettings().SaveDataBaseDir(); }
void SaveMailDir() { AppSettings().SaveMailDir(); }
void SaveSQLFileDir() { AppSettings().SaveSQLFileDir(); }
void SaveSQLDataBase() { AppSettings().SaveSQLDataBase(); }
void SaveReportDir() { AppSettings().SaveReportDir(); }
