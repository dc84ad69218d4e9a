#pragma once
// The scheme edits of the withdrawal page, each written to "Schemes.dat" at
// once: the page's handlers ask for names, call these and refresh their lists.

#include <optional>
#include <string>

#include "withdrawal/ExtractData.h"

// Texts of the name dialog for schemes and markers (%s: the name taken).
inline const std::string AddSchemeCaption = "Add Scheme";
inline const std::string SchemeExistsFormat = "Scheme \"%s\" already exists";
inline const std::string AddMarkerCaption = "Add Marker";
inline const std::string MarkerExistsFormat = "Marker \"%s\" already exists";

// Which of a scheme's five field names a field combo edits.
enum class TSchemeField { Content, Time, FromName, FromEmail, Subject };

// What a delete asks the page before it goes ahead.
class ISchemeCommandsView {
public:
  virtual ~ISchemeCommandsView() = default;
  // The question ("Are You Sure to Delete ..."); true for Yes.
  virtual bool ConfirmDelete(const std::string& question) = 0;
};

class TSchemeCommands {
public:
  // fileName: where the schemes are saved; AppDir + "Schemes.dat" when empty.
  TSchemeCommands(TExtractData& data, ISchemeCommandsView& view, std::string fileName = std::string());

  const std::string& FileName() const { return fileName_; }

  // Reads the schemes from the file. A damaged file gives, once, the text
  // for the page to show as an error, saying what was kept; else empty.
  std::string Load();

  // The name as the dialog returned it (upper-cased); the new scheme's index.
  int AddScheme(const std::string& name);
  // Asks the view for confirmation. Nothing on No; on Yes the index to select next
  // (the same, or the last when past the end; -1 when none is left).
  std::optional<int> DeleteScheme(int schemeIndex);
  // The marker as typed; its index.
  int AddMarker(int schemeIndex, const std::string& marker);
  std::optional<int> DeleteMarker(int schemeIndex, int markerIndex);
  // A rule after the beginning of the text up to the end of its line, with
  // no field; its index.
  int AddValueRule(int schemeIndex);
  std::optional<int> DeleteValueRule(int schemeIndex, int ruleIndex);

  void SetRuleAfterMarker(int schemeIndex, int ruleIndex, const std::string& text);
  void SetRuleUpToMarker(int schemeIndex, int ruleIndex, const std::string& text);
  void SetRuleField(int schemeIndex, int ruleIndex, const std::string& text);
  void SetField(int schemeIndex, TSchemeField which, const std::string& text);
  void SetAccount(int schemeIndex, const std::string& account);
  void SetResponse(int schemeIndex, const TResponseOptions& response);

  // False when the last save failed (the schemes stay in memory).
  bool Save();

private:
  TExtractData& data_;
  ISchemeCommandsView& view_;
  std::string fileName_;
};
