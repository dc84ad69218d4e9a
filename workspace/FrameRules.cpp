#include "workspace/FrameRules.h"

#include <algorithm>
#include <filesystem>

#include "workspace/FrameInterfaces.h"

namespace {

std::string WithoutExt(const std::string& name) {
  auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// The name without folder; both separators count, since names may come from elsewhere.
std::string WithoutFolder(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string BuildCaption(const std::string& projectFileName, const std::string& tableName, bool sqlQueryMode) {
  std::string caption = "Larkpost - ";
  if (!projectFileName.empty())
    caption += "\"" + WithoutExt(WithoutFolder(projectFileName)) + "\"";
  else
    caption += "(NONAME)";
  if (!tableName.empty())
    caption += " Using \"" + WithoutExt(tableName) + "\"";
  else if (sqlQueryMode)
    caption += " Using (SQL QUERY)";
  else
    caption += " Using (NONAME)";
  return caption;
}

TCommandStates ComputeCommandStates(const TFrameState& s) {
  TCommandStates c;
  c.restructure = c.addTable = c.addRecord = c.closeTable = c.reopen = c.titleButtons = s.tableOpen;
  c.editRecord = c.deleteRecord = c.find = s.tableOpen && !s.tableEmpty;
  c.sendCurrent = s.sendState == ssIdle;
  c.accounts = s.mailingWindowExists && s.sendState != ssSending;
  c.findDuplicates = c.selectDuplicates = c.unsort = s.tableOpen && s.sortOn;
  c.descended = s.tableOpen && !s.sortText.empty();
  c.descendedCaption = s.descendedChecked ? "Ascended" : "Descended";
  c.descendedImage = s.descendedChecked ? 53 : 52;
  return c;
}

int SubjectEditWidth(int panelWidth, int left) { return std::max(150, panelWidth - left - 10); }

int PreviewStatusWidth(int panelWidth, int navigatorWidth) { return std::max(300, panelWidth - navigatorWidth - 20); }

int CloseButtonLeft(int windowWidth) { return std::max(250, windowWidth - 36); }

void TProjectSnapshot::Take(const std::string& sourceText, const std::string& plainText) {
  Modified = false;
  HtmlSnapshot.clear();
  SourceSnapshot = sourceText;
  PlainSnapshot = plainText;
}

bool TProjectSnapshot::IsModified(IHtmlDocument* document, const std::string& sourceText,
                                  const std::string& plainText) {
  if (Modified) return true;
  if (document && document->DocumentReady() && !HtmlSnapshot.empty() && document->GetHtmlStr() != HtmlSnapshot) {
    Modified = true;
    return true;
  }
  if (sourceText != SourceSnapshot || plainText != PlainSnapshot) {
    Modified = true;
    return true;
  }
  return false;
}

bool RunCloseQuery(ICloseQueryHost& host) {
  if (host.SendState() == ssSending) {
    host.RefuseClose("Mailing in Progress");
    return false;
  }
  if (host.IsProjectModified()) {
    switch (host.AskSaveProject("Save Project?")) {
      case TSaveChoice::Save:
        host.SaveProject();
        if (host.ProjectModifiedFlag()) return false;
        break;
      case TSaveChoice::Discard: break;
      case TSaveChoice::Cancel: return false;
    }
  }
  host.SnapshotProject();
  return true;
}

std::vector<std::string> EditorFontNames(const std::vector<std::string>& families) {
  std::vector<std::string> names;
  for (std::string name : families) {
    if (const auto open = name.rfind(" ["); open != std::string::npos && name.back() == ']') name.erase(open);
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  }
  return names;
}
