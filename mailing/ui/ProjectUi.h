#pragma once
// The mailing project in the main window: the four project commands with
// their dialogs, the window's controls as the project's view, the attachment
// list, the To field choice, and the merge values of the open table. It owns
// the project; app/ creates one per main window and hands it to the frame
// (IProjectFile) and to whoever merges (TagValues).

#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "mailing/MailingProject.h"
#include "mailing/Merge.h"
#include "mailing/Project.h"
#include "mailing/ProjectCommands.h"
#include "mailing/TableTagSource.h"
#include "workspace/FrameInterfaces.h"

class IReportFieldList;
class THtmlEditor;
class TLPMain;
class TWorkspaceState;
class TMailPreview;
class TTableUi;

class TProjectUi : public QObject,
                   public IProjectHost,
                   public IProjectFile,
                   public IMailingProject,
                   public ITagSignSource,
                   public IMergeWarnings {
  Q_OBJECT
public:
  // Binds the project to the window's pages, commands and row rules.
  TProjectUi(TLPMain& w, TWorkspaceState& state);
  ~TProjectUi() override;

  TProject Project;
  // The values of tags for the open table's current record.
  TTableTagSource TagValues;
  TProjectCommands Commands;
  // Merges texts with TagValues and the Options' tag sign (the mailing window's merge).
  TMerger Merger;
  // The HTML editor owns the character set and the preview the To field; until
  // they are given (tests without them), the project holds both itself.
  THtmlEditor* Editor = nullptr;
  TMailPreview* Preview = nullptr;
  int32_t Charset() const;
  void SetCharset(int32_t index);
  std::string To() const;
  void SetTo(const std::string& field);
  // The Report Configuration window holds the report fields when given.
  IReportFieldList* ReportFields = nullptr;

  // The file choosers (dialogs by default; tests replace them). False when cancelled.
  std::function<bool(const std::string& dir, std::string& fileName)> OpenDialog;
  std::function<bool(const std::string& dir, const std::string& name, std::string& fileName)> SaveDialog;
  std::function<std::vector<std::string>()> AttachDialog;  // empty when cancelled

  // IProjectFile (and the menu commands).
  void NewMail0Click() { Commands.NewMail0Click(); }
  void OpenMail0Click() { Commands.OpenMail0Click(); }
  void SaveMail0Click() override { Commands.SaveMail0Click(); }
  void SaveMailAs0Click() { Commands.SaveMailAs0Click(); }
  void OpenMailFile(const std::string& FileName) override { Commands.OpenMailFile(FileName); }
  void ListToProject() override;

  // The attachment list and the To combo.
  void LoadAttachList();
  void Button19Click();  // "Add..."
  void Button24Click();  // "Remove"
  void UpdateAttachActions();
  void ListBox3Click() { UpdateAttachActions(); }
  void TabSheet6Show();
  void ComboBox2Change();

  // IMailingProject: the project as a mailing is prepared from it.
  TPrepareProject PrepareProject() const override;
  std::string CharsetName() const override;
  // ITagSignSource: the Options' sign at this moment.
  char TagSign() const override;

  // IProjectHost
  bool OpenProjectDialog(const std::string& dir, std::string& fileName) override;
  bool SaveProjectDialog(const std::string& dir, const std::string& name, std::string& fileName) override;
  TMsgResult AskYesNoCancel(const std::string& question) override;
  // IMergeWarnings.
  void ShowWarning(const std::string& text) override;
  bool ProjectModified() const override;
  void SnapshotProject() override;
  void CommitCalcFieldEdit() override;
  void ProjectReplaced() override;
  void ReapplyHighlight() override;
  // IProjectView
  TProjectValues ProjectValues() const override;
  void ShowProjectValues(const TProjectValues& values) override;
  void ApplyMailMode(TMailMode mode) override;
  void FillToFieldList() override;
  void SyncHtmlEditor() override;
  void LoadHtmlEditorIfShown() override;
  void UpdateCaption() override;

private:
  int32_t charsetIndex_ = DefaultCharsetIndex;
  std::string toAddr_;
  std::string report_;  // the report fields, each followed by CR LF

  void SelectAttachment(int index);

  TLPMain& w_;
  TWorkspaceState& state_;
};
