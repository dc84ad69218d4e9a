#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "mailing/ExampleProject.h"
#include "mailing/ProjectCommands.h"
#include "mailing/ProjectFile.h"
#include "platform/MessageBox.h"
#include "workspace/AppSettings.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The window as the commands see it: the controls' values, a modified flag
// that edits set and snapshots clear, and scripted file dialogs.
class TFakeHost : public IProjectHost {
public:
  TProjectValues values;
  bool modified = false;
  std::deque<std::string> openAnswers, saveAnswers;  // "" cancels
  std::vector<std::string> calls;
  std::string lastSaveDir, lastSaveName, lastOpenDir;

  TProjectValues ProjectValues() const override { return values; }
  void ShowProjectValues(const TProjectValues& v) override {
    values = v;
    calls.push_back("show");
  }
  void ApplyMailMode(TMailMode) override { modified = true; }
  bool OpenProjectDialog(const std::string& dir, std::string& fileName) override {
    lastOpenDir = dir;
    calls.push_back("open dialog");
    if (openAnswers.empty()) return false;
    fileName = openAnswers.front();
    openAnswers.pop_front();
    return !fileName.empty();
  }
  bool SaveProjectDialog(const std::string& dir, const std::string& name, std::string& fileName) override {
    lastSaveDir = dir;
    lastSaveName = name;
    calls.push_back("save dialog");
    if (saveAnswers.empty()) return false;
    fileName = saveAnswers.front();
    saveAnswers.pop_front();
    return !fileName.empty();
  }
  // The box as the window shows it.
  TMsgResult AskYesNoCancel(const std::string& q) override { return ConfirmBox(q, TMsgButtons::YesNoCancel); }
  bool ProjectModified() const override { return modified; }
  void SnapshotProject() override {
    modified = false;
    calls.push_back("snapshot");
  }
  void CommitCalcFieldEdit() override { calls.push_back("commit"); }
  void ProjectReplaced() override { calls.push_back("replaced"); }
  void ReapplyHighlight() override { calls.push_back("highlight"); }
  void Edit(const std::string& subject) {
    values.Subject = subject;
    modified = true;
  }
};

class ProjectCommands : public ::testing::Test {
protected:
  ProjectCommands() {
    std::random_device rd;
    dir =
        (fs::temp_directory_path() / ("lp_cmds_" + std::to_string(::getpid()) + "_" + std::to_string(rd()))).string() +
        "/";
    fs::create_directories(dir);
    reg.SetFileName(dir + "registry.reg");
    settings.Set(stMailDir, dir);
  }
  ~ProjectCommands() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string StoredMailDir() {
    TRegistry r(reg.FileName());
    std::string v;
    if (r.OpenKey("\\" + RegKeyPath, false)) r.TryReadString("MailDir", v);
    return v;
  }
  std::string Subject() {
    std::string s;
    project.GetString(KeySubject, s);
    return s;
  }

  std::string dir;
  TScopedScriptedMessages boxes;
  TRegistry reg;
  TAppSettings settings{reg};
  TProject project;
  THighlightSlots slots = NewHighlightSlots();
  TFakeHost host;
  TProjectCommands cmds{project, slots, host, settings};
};

}  // namespace

TEST_F(ProjectCommands, SaveWritesFormat3AndSaveAsFormat1) {
  host.Edit("first");
  host.saveAnswers = {dir + "Sub/letter"};
  fs::create_directories(dir + "Sub");
  cmds.SaveMail0Click();  // no name yet: Save As
  EXPECT_EQ(host.lastSaveDir, dir);
  EXPECT_EQ(cmds.ProjectFileName, dir + "Sub/letter");
  EXPECT_EQ(settings.Values().MailDir, dir + "Sub/");
  EXPECT_EQ(StoredMailDir(), dir + "Sub/");
  EXPECT_EQ(ReadAll(dir + "Sub/letter.lkp").substr(0, 4), std::string("\1\0\0\0", 4));
  EXPECT_FALSE(host.modified);
  host.Edit("second");
  cmds.SaveMail0Click();
  EXPECT_EQ(ReadAll(dir + "Sub/letter.lkp").substr(0, 4), std::string("\3\0\0\0", 4));
  EXPECT_TRUE(fs::exists(dir + "Sub/Backup of letter.lkp"));
  EXPECT_EQ(cmds.ProjectFileName, dir + "Sub/letter");
  EXPECT_FALSE(host.modified);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ProjectCommands, CancelledSaveAsChangesNothing) {
  host.Edit("x");
  cmds.ProjectFileName = "kept";
  cmds.SaveMailAs0Click();
  EXPECT_EQ(host.lastSaveName, "kept");
  EXPECT_EQ(cmds.ProjectFileName, "kept");
  EXPECT_EQ(settings.Values().MailDir, dir);
  EXPECT_TRUE(host.modified);
  EXPECT_FALSE(project.Has(KeySubject));
}

TEST_F(ProjectCommands, OpenAsksSaveProjectOnlyAfterAFileWasChosen) {
  ASSERT_TRUE(WriteExampleProject(dir + "example.lkp"));
  host.Edit("unsaved");
  // Cancelled dialog: no question, nothing changes.
  cmds.OpenMail0Click();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(host.modified);

  struct TCase {
    TMsgResult answer;
    std::string saveAs;  // the Save As dialog's answer when Yes ("" cancels)
    bool opened;
  };
  const std::vector<TCase> cases = {
      {TMsgResult::Cancel, "", false},
      {TMsgResult::Yes, "", false},  // Save As cancelled: still modified, Open not carried out
      {TMsgResult::No, "", true},
      {TMsgResult::Yes, "saved.lkp", true},
  };
  for (const auto& c : cases) {
    project.Clear();
    cmds.ProjectFileName.clear();
    settings.Set(stMailDir, dir);
    host.Edit("unsaved");
    boxes.shown.clear();
    boxes.Answer(c.answer);
    host.openAnswers = {dir + "example.lkp"};
    if (!c.saveAs.empty()) host.saveAnswers = {dir + c.saveAs};
    cmds.OpenMail0Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Save Project?");
    EXPECT_EQ(boxes.shown[0].buttons, TMsgButtons::YesNoCancel);
    EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Confirmation);
    if (c.opened) {
      EXPECT_EQ(cmds.ProjectFileName, dir + "example.lkp");
      EXPECT_EQ(host.values.ToAddr, "E_MAIL");
      EXPECT_EQ(host.values.CharsetIndex, 18);
      EXPECT_EQ(project.CalcFieldNames(), std::vector<std::string>{"SALUTATION"});
      EXPECT_FALSE(host.modified);  // the mode switch marks it, the snapshot clears it
      EXPECT_EQ(host.calls.back(), "snapshot");
    } else {
      EXPECT_TRUE(host.modified);
      EXPECT_EQ(host.values.Subject, "unsaved");
      EXPECT_TRUE(project.CalcFieldNames().empty());
    }
    if (!c.saveAs.empty()) {
      TProject saved;
      ASSERT_EQ(saved.LoadFromFile(dir + c.saveAs), TProjectLoad::Loaded);
      std::string s;
      saved.GetString(KeySubject, s);
      EXPECT_EQ(s, "unsaved");
    }
  }
}

TEST_F(ProjectCommands, NewAsksFirstAndStartsUnmodifiedWithDefaults) {
  project.SetString(KeySubject, pcSubject, "old");
  project.AddCalcField("X");
  cmds.ProjectFileName = dir + "old";

  host.Edit("unsaved");
  boxes.Answer(TMsgResult::Cancel);
  cmds.NewMail0Click();
  EXPECT_EQ(cmds.ProjectFileName, dir + "old");
  EXPECT_TRUE(host.modified);
  EXPECT_TRUE(project.Has("CF~Expr~X"));

  // Yes with a name: saved under it, then the new project.
  boxes.Answer(TMsgResult::Yes);
  host.calls.clear();
  cmds.NewMail0Click();
  EXPECT_TRUE(fs::exists(dir + "old.lkp"));
  EXPECT_EQ(cmds.ProjectFileName, "");
  EXPECT_FALSE(project.Has("CF~Expr~X"));
  EXPECT_EQ(host.values.Subject, "");
  EXPECT_EQ(host.values.Document, DefaultDocument());
  EXPECT_FALSE(host.modified);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"commit", "snapshot", "replaced", "show", "highlight", "snapshot"}));

  // Not modified: no question.
  boxes.shown.clear();
  cmds.NewMail0Click();
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ProjectCommands, OpenMailFileOfADamagedOrNewerFileGivesDefaults) {
  std::ofstream(dir + "bad.lkp", std::ios::binary) << std::string("\4\0\0\0junk", 8);
  host.values.Subject = "before";
  cmds.OpenMailFile(dir + "bad.lkp");
  EXPECT_EQ(cmds.ProjectFileName, dir + "bad.lkp");
  EXPECT_EQ(host.values.Subject, "");
  EXPECT_EQ(host.values.CharsetIndex, 15);
  EXPECT_EQ(StoredMailDir(), dir);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ProjectCommands, FailedSaveKeepsTheProjectModified) {
  host.Edit("x");
  cmds.ProjectFileName = dir + "no/such/folder/p";
  cmds.SaveMail0Click();
  EXPECT_FALSE(cmds.LastSaveSucceeded());
  EXPECT_TRUE(host.modified);
}
