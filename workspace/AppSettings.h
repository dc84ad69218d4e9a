#pragma once
// The program's settings in the registry key RegKeyPath, held for the whole
// run: six strings read once at start-up and written through on every
// change, and the seven options of the Options dialog. The key is opened
// (created when missing) around each group of reads or writes and closed
// again; a key that cannot be opened skips the group silently.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Registry.h"
#include "workspace/Multicast.h"

// One per registry value, in the order of SettingTable (which is also the
// order the options are written in).
enum TSetting {
  stDataBaseDir,   // folder of the last table
  stMailDir,       // folder of the last project
  stSQLFileDir,    // folder of SQL statement files
  stSQLDataBase,   // database path of the last SQL statement
  stReportDir,     // folder of saved reports
  stActiveScheme,  // the withdrawal page's scheme
  stConfirmDel,
  stThreads,
  stDefaultCharset,  // row of CharsetTable, -1 no selection
  stActiveProfile,   // account name, "" no selection
  stSortColor,       // index in the 16 colours
  stDBFont,          // font name, "" no selection
  stTagSign,         // index into TagSigns
  stCount
};

// The current value of every setting. A default-made one holds the table's
// defaults, which are also what a missing or mistyped value reads as.
struct TSettingValues {
  TSettingValues();
  std::string DataBaseDir;
  std::string MailDir;
  std::string SQLFileDir;
  std::string SQLDataBase;
  std::string ReportDir;
  std::string ActiveScheme;
  bool ConfirmDel;
  int32_t Threads;
  int32_t DefaultCharset;
  std::string ActiveProfile;
  int32_t SortColor;
  std::string DBFont;
  int32_t TagSign;
  bool operator==(const TSettingValues&) const = default;
};

inline constexpr std::array<const char*, 4> TagSigns{"%", "~", "$", "#"};
constexpr int32_t MinThreads = 1;
constexpr int32_t MaxThreads = 100;

// Read at start-up, or by the Options command.
enum TSettingGroup { sgFolders, sgOptions };

// A value's member in TSettingValues: its kind is its type in the registry
// (a string, or a 4-byte integer; a flag is an integer read as "not 0").
using TSettingMember = std::variant<std::string TSettingValues::*, int32_t TSettingValues::*, bool TSettingValues::*>;

struct TSettingDef {
  TSetting Key;
  const char* Name;  // the registry value name
  TSettingGroup Group;
  TSettingMember Member;
  int32_t Default;   // integers and flags; strings default to ""
  int32_t Min, Max;  // integers: a stored value outside reads as the default
};

extern const std::array<TSettingDef, stCount> SettingTable;
const TSettingDef& SettingDef(TSetting key);
// The registry type a value is stored with.
TRegDataType SettingRegType(TSetting key);

// One change mark per setting; the Options command writes the marked options.
using TSettingMarks = std::array<bool, stCount>;

// What the Options command needs from its dialog.
class IOptionsView {
public:
  virtual ~IOptionsView() = default;
  // The options as the dialog's controls hold them (the folder values are not its own).
  virtual TSettingValues Values() const = 0;
  virtual void ShowValues(const TSettingValues& values) = 0;
  // Shows the dialog modally; true when closed with OK.
  virtual bool ShowModal() = 0;
  virtual TSettingMarks Marks() const = 0;
};

class TAppSettings {
public:
  using TListener = std::function<void()>;
  using TSubscription = TMulticast<>::TSubscription;

  explicit TAppSettings(TRegistry& registry);
  // One store per registry: its users share it by reference.
  TAppSettings(const TAppSettings&) = delete;
  TAppSettings& operator=(const TAppSettings&) = delete;

  const TSettingValues& Values() const { return values_; }
  // Sets a value of that type; listeners hear of a change. A text value
  // with choices that is not among them reads as "".
  void Set(TSetting key, const std::string& value);
  void Set(TSetting key, int32_t value);
  void Set(TSetting key, bool value);
  // The names a text value may take (the listed accounts, the installed
  // fonts); the current value is cleared when it is no longer among them.
  void SetChoices(TSetting key, std::vector<std::string> names);
  // listener runs after key's value changed.
  [[nodiscard]] TSubscription Subscribe(TSetting key, TListener listener);

  // False before the first run has written any setting.
  bool Stored() { return reg_.KeyExists(RegKeyPath); }
  // Clears DataBaseDir and MailDir, then reads the five folder values and
  // "ActiveScheme" (ActiveScheme untouched when the key cannot be opened; a
  // missing value reads as ""). False when the key cannot be opened.
  bool LoadSettings();
  // Puts appDir into every empty folder value.
  void ReplaceEmptyFolders(const std::string& appDir);
  // Writes one value, silently skipped when the key cannot be opened or written.
  void Save(TSetting key);
  // Sets a value and writes it through.
  void SetAndSave(TSetting key, const std::string& value);
  // The deletion dialog's "Do not perform this confirmation".
  void SaveConfirmDel(bool value);

  // Reads the seven options; values out of their range read as the default.
  // False, with the values untouched, when the key cannot be opened.
  bool LoadOptions();
  // Writes the options whose mark is set, in table order. False when the key
  // cannot be opened or a write fails.
  bool WriteMarkedOptions(const TSettingMarks& marks);
  // "DefaultCharset" read directly from the key: fallback when it cannot be read.
  int32_t ReadDefaultCharset(int32_t fallback = 15);

  // The Options command: load, show, take and write the marked values on OK,
  // load again (a cancelled dialog returns to the stored values).
  bool Options1Click(IOptionsView& view);

private:
  bool Open();
  // Reads one value from the open key; a missing, mistyped or out-of-range value reads as the default.
  void Read(const TSettingDef& def);
  void Write(const TSettingDef& def);
  template <class T>
  void Assign(TSetting key, const T& value);

  TRegistry& reg_;
  TSettingValues values_;
  std::array<std::optional<std::vector<std::string>>, stCount> choices_;
  // One announcement per setting, after its value changed.
  std::array<TMulticast<>, stCount> changed_;
};
