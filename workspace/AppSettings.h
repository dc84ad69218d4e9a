#pragma once
// The program's settings in the registry key RegKeyPath: six strings read
// once at start-up and written through on every change, and the seven
// options of the Options dialog. The key is opened (created when missing)
// around each group of reads or writes and closed again; a key that cannot
// be opened skips the group silently.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Registry.h"

// Folder settings (globals of the main unit).
extern std::string DataBaseDir;  // folder of the last table
extern std::string MailDir;      // folder of the last project
extern std::string SQLFileDir;   // folder of SQL statement files
extern std::string SQLDataBase;  // database path of the last SQL statement
extern std::string ReportDir;    // folder of saved reports

// The seven options as the Options dialog holds them. The defaults are the
// dialog's initial state, which is also what a missing or mistyped value reads as.
struct TOptionValues {
  bool ConfirmDel = false;
  int32_t Threads = 15;         // 1 .. 100
  int32_t DefaultCharset = -1;  // row of CharsetTable, -1 no selection
  std::string ActiveProfile;    // account name, "" no selection
  int32_t SortColor = 14;       // index in the 16 colours, aqua
  std::string DBFont;           // font name, "" no selection
  int32_t TagSign = 0;          // index into TagSigns
  bool operator==(const TOptionValues&) const = default;
};

inline constexpr std::array<const char*, 4> TagSigns{"%", "~", "$", "#"};
constexpr int32_t MinThreads = 1;
constexpr int32_t MaxThreads = 100;

// One change mark per option, in the order the values are written.
enum TOptionMark { omConfirmDel, omThreads, omDefaultCharset, omActiveProfile, omSortColor, omDBFont, omTagSign };
using TOptionMarks = std::array<bool, 7>;

// What the Options command needs from its dialog.
class IOptionsView {
public:
  virtual ~IOptionsView() = default;
  virtual TOptionValues Values() const = 0;
  virtual void ShowValues(const TOptionValues& values) = 0;
  // Shows the dialog modally; true when closed with OK.
  virtual bool ShowModal() = 0;
  virtual TOptionMarks Marks() const = 0;
};

class TAppSettings {
public:
  explicit TAppSettings(TRegistry& registry);

  // Clears DataBaseDir and MailDir, then reads the five folder values and
  // "ActiveScheme" (activeScheme untouched when the key cannot be opened; a
  // missing value reads as ""). False when the key cannot be opened.
  bool LoadSettings(std::string& activeScheme);
  // Puts appDir into every empty folder value.
  static void ReplaceEmptyFolders(const std::string& appDir);

  void SaveDataBaseDir();
  void SaveMailDir();
  void SaveSQLFileDir();
  void SaveSQLDataBase();
  void SaveReportDir();
  void SaveActiveScheme(const std::string& schemeListText);
  // The deletion dialog's "Do not perform this confirmation".
  void SaveConfirmDel(bool value);

  // Reads the seven options; values out of their range read as the initial
  // state. False, with values untouched, when the key cannot be opened.
  bool LoadOptions(TOptionValues& values);
  // Writes the values whose mark is set, in mark order. False when the key
  // cannot be opened or a write fails.
  bool WriteMarkedOptions(const TOptionValues& values, const TOptionMarks& marks);
  // "DefaultCharset" read directly from the key: fallback when it cannot be read.
  int32_t ReadDefaultCharset(int32_t fallback = 15);

  // The Options command: load, show, write the marked values on OK, load
  // again (a cancelled dialog returns to the stored values).
  // onSortColorWritten runs when "SortColor" was written (repaint the grid).
  bool Options1Click(IOptionsView& view, const std::function<void()>& onSortColorWritten = {});
  // Loads the stored options into the view (kept as they are when the key cannot be opened).
  void LoadOptions(IOptionsView& view);

private:
  bool Open();
  void WriteOne(const std::string& name, const std::string& value);

  TRegistry& reg_;
};

// The program's settings over SettingsRegistry().
TAppSettings& AppSettings();

// Shortcuts over AppSettings().
void SaveDataBaseDir();
void SaveMailDir();
void SaveSQLFileDir();
void SaveSQLDataBase();
void SaveReportDir();
