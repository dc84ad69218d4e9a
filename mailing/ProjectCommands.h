#pragma once
// The four project commands (New, Open, Save, Save As) and the open of a
// named project file, without the window: the dialogs, the modified test and
// the refills of the window's lists go through IProjectHost, and so does the
// "Save Project?" question.

#include <string>

#include "mailing/Project.h"
#include "mailing/ProjectControls.h"
#include "platform/MessageBox.h"

class TAppSettings;

class IProjectHost : public IProjectView {
public:
  // "Open Project" in folder dir with an empty name; false on Cancel.
  virtual bool OpenProjectDialog(const std::string& dir, std::string& fileName) = 0;
  // "Save Project As" in folder dir proposing name, asking before overwriting; false on Cancel.
  virtual bool SaveProjectDialog(const std::string& dir, const std::string& name, std::string& fileName) = 0;
  // A question with Yes, No and Cancel.
  virtual TMsgResult AskYesNoCancel(const std::string& question) = 0;
  // The frame's modified test and snapshot.
  virtual bool ProjectModified() const = 0;
  virtual void SnapshotProject() = 0;
  // Save's steps before the controls are read: the calculated-field expression
  // being edited is stored, unsynchronised HTML edits go into the source.
  virtual void CommitCalcFieldEdit() {}
  virtual void SyncHtmlEditor() {}
  // After the dictionary was replaced, before the controls show it: the
  // calculated-field list and the attachment list refilled, their first items selected.
  virtual void ProjectReplaced() {}
  // After the controls show a new or opened project.
  virtual void LoadHtmlEditorIfShown() {}
  virtual void ReapplyHighlight() {}
};

class TProjectCommands {
public:
  TProjectCommands(TProject& project, THighlightSlots& slots, IProjectHost& host, TAppSettings& settings);
  // The same, keeping the file name in fileName (the shared one, which the caption shows).
  TProjectCommands(TProject& project, THighlightSlots& slots, IProjectHost& host, TAppSettings& settings,
                   std::string& fileName);

private:
  std::string ownFileName_;

public:
  // As the user gave it, maybe without extension; empty for a new project.
  std::string& ProjectFileName;

  void NewMail0Click();
  void OpenMail0Click();
  void SaveMail0Click();
  void SaveMailAs0Click();
  // Opens without asking (Open, the command line, a second copy's hand-over).
  void OpenMailFile(const std::string& fileName);

  // True when the last write reached the disk; a failed write keeps the project modified.
  bool LastSaveSucceeded() const { return lastSaveOk_; }

private:
  // "Save Project?" when modified: false when the command must not go on.
  bool AskToSave();
  void Write(int format, bool updateCaption);

  TProject& project_;
  THighlightSlots& slots_;
  IProjectHost& host_;
  TAppSettings& settings_;
  bool lastSaveOk_ = true;
};
