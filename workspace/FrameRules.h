#pragma once
// The main window's rules that do not need a window: the caption, which
// commands are enabled, the resizing rule, the project-modified test and
// the close query. TLPMain binds its controls to these.

#include <string>
#include <vector>

#include "workspace/SendState.h"

class IHtmlDocument;

// "Larkpost - " + project part + table part.
std::string BuildCaption(const std::string& projectFileName, const std::string& tableName, bool sqlQueryMode);

// What the command enabling depends on.
struct TFrameState {
  bool tableOpen = false;
  bool tableEmpty = true;
  bool sortOn = false;            // a sort is in force
  std::string sortText;           // the query's sort text ("CITY ASC"), empty for none
  bool descendedChecked = false;  // the "Descended" menu item is ticked
  bool mailingWindowExists = false;
  TSendState sendState = ssIdle;
};

struct TCommandStates {
  bool restructure = false;  // "Restructure/Save As DBF..."
  bool addTable = false;     // "Add Table..."
  bool addRecord = false;    // menu item and button
  bool closeTable = false;
  bool reopen = false;        // "Reopen" and both "Refresh" buttons
  bool titleButtons = false;  // the grid's title buttons
  bool editRecord = false;    // menu item and button
  bool deleteRecord = false;
  bool find = false;
  bool sendCurrent = false;  // menu item and the "Send Current" button
  bool accounts = false;
  bool findDuplicates = false;
  bool selectDuplicates = false;
  bool unsort = false;           // menu item and button
  bool descended = false;        // menu item and button
  std::string descendedCaption;  // of the tool button
  int descendedImage = 52;
};

TCommandStates ComputeCommandStates(const TFrameState& s);

// The resizing rule, in pixels.
int SubjectEditWidth(int panelWidth, int left);  // also the "To" list
int PreviewStatusWidth(int panelWidth, int navigatorWidth);
int CloseButtonLeft(int windowWidth);

// The editor's font names: the toolkit names a family offered by two foundries "C059 [urw]",
// which the browser engine does not know; each family is offered once, by its plain name.
std::vector<std::string> EditorFontNames(const std::vector<std::string>& families);

// The project-modified flag with the three snapshots of the editors' texts.
class TProjectSnapshot {
public:
  bool Modified = false;
  std::string HtmlSnapshot;  // empty until the editor has loaded its document after a snapshot
  std::string SourceSnapshot;
  std::string PlainSnapshot;

  void Take(const std::string& sourceText, const std::string& plainText);
  // The HTML editor's document (none: no editor) is asked for its HTML only
  // when needed. Sets Modified when a text differs.
  bool IsModified(IHtmlDocument* document, const std::string& sourceText, const std::string& plainText);
};

// The answer to "save before closing?".
enum class TSaveChoice { Save, Discard, Cancel };

// What the close query needs of the main window.
class ICloseQueryHost {
public:
  virtual ~ICloseQueryHost() = default;
  // The window says why it stays open (one OK button).
  virtual void RefuseClose(const std::string& why) = 0;
  // The window asks question (save the project first?) with Yes, No and Cancel.
  virtual TSaveChoice AskSaveProject(const std::string& question) = 0;
  virtual TSendState SendState() const = 0;
  virtual bool IsProjectModified() = 0;
  virtual void SaveProject() = 0;  // "Save Project"; may be cancelled or fail
  virtual bool ProjectModifiedFlag() const = 0;
  virtual void SnapshotProject() = 0;
};

// True when the window may close. Says and asks through the host.
bool RunCloseQuery(ICloseQueryHost& host);
