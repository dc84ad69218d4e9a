#include "mailing/ProjectCommands.h"

#include "mailing/ProjectFile.h"
#include "workspace/AppSettings.h"
#include "workspace/TableWorkspace.h"

TProjectCommands::TProjectCommands(TProject& project, THighlightSlots& slots, IProjectHost& host,
                                   TAppSettings& settings)
    : TProjectCommands(project, slots, host, settings, ownFileName_) {}

TProjectCommands::TProjectCommands(TProject& project, THighlightSlots& slots, IProjectHost& host,
                                   TAppSettings& settings, std::string& fileName)
    : ProjectFileName(fileName), project_(project), slots_(slots), host_(host), settings_(settings) {}

bool TProjectCommands::AskToSave() {
  if (!host_.ProjectModified()) return true;
  switch (host_.AskYesNoCancel("Save Project?")) {
    case TMsgResult::Yes:
      SaveMail0Click();
      // A cancelled or failed save leaves the project modified: nothing is replaced then.
      return !host_.ProjectModified();
    case TMsgResult::No: return true;
    default: return false;
  }
}

void TProjectCommands::Write(int format, bool updateCaption) {
  ProjectToList(project_, host_, slots_);
  lastSaveOk_ = project_.SaveToFile(ProjectFileName, format);
  if (updateCaption) host_.UpdateCaption();
  if (lastSaveOk_) host_.SnapshotProject();
}

void TProjectCommands::OpenMailFile(const std::string& fileName) {
  settings_.SetAndSave(stMailDir, FolderOfFile(fileName));
  ProjectFileName = fileName;
  // A file that cannot be read, or only in part, gives what could be read and defaults.
  project_.LoadFromFile(fileName);
  host_.ProjectReplaced();
  ListToProject(project_, host_, slots_, settings_);
  host_.LoadHtmlEditorIfShown();
}

void TProjectCommands::NewMail0Click() {
  if (!AskToSave()) return;
  ProjectFileName.clear();
  project_.Clear();
  host_.ProjectReplaced();
  ListToProject(project_, host_, slots_, settings_);
  host_.ReapplyHighlight();
  host_.LoadHtmlEditorIfShown();
  host_.SnapshotProject();
}

void TProjectCommands::OpenMail0Click() {
  std::string fileName;
  if (!host_.OpenProjectDialog(settings_.Values().MailDir, fileName)) return;
  if (!AskToSave()) return;
  OpenMailFile(fileName);
  host_.ReapplyHighlight();
  host_.SnapshotProject();
}

void TProjectCommands::SaveMail0Click() {
  if (ProjectFileName.empty()) {
    SaveMailAs0Click();
    return;
  }
  host_.CommitCalcFieldEdit();
  host_.SyncHtmlEditor();
  Write(ProjectFormatSave, false);
}

void TProjectCommands::SaveMailAs0Click() {
  std::string fileName;
  if (!host_.SaveProjectDialog(settings_.Values().MailDir, ProjectFileName, fileName)) return;
  host_.CommitCalcFieldEdit();
  host_.SyncHtmlEditor();
  settings_.Set(stMailDir, FolderOfFile(fileName));
  ProjectFileName = fileName;
  settings_.Save(stMailDir);
  Write(ProjectFormatSaveAs, true);
}
