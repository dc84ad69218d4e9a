// What Prepare and Send Current take from the open project: the controls'
// values as they stand (saved or not), the attachments of the dictionary,
// the character set's MIME name, and the project file's name.

#include <gtest/gtest.h>

#include "mailing/Attachments.h"
#include "mailing/Project.h"
#include "mailing/ProjectControls.h"
#include "mailing/ProjectMailing.h"
#include "workspace/CharsetTable.h"

namespace {

class TFakeProjectView : public IProjectView {
public:
  TProjectValues values;
  TProjectValues ProjectValues() const override { return values; }
  void ShowProjectValues(const TProjectValues& v) override { values = v; }
};

int CharsetRow(const std::string& mime) {
  for (int i = 0; ValidCharsetIndex(i); ++i)
    if (CharsetMimeName(i) == mime) return i;
  return -1;
}

TEST(ProjectMailing, TakesTheControlsAndTheAttachList) {
  TProject project;
  TFakeProjectView view;
  std::string file;
  TProjectMailing mailing(project, view, [&] { return file; });

  // A project never saved, as a new one starts.
  TPrepareProject p = mailing.PrepareProject();
  EXPECT_EQ(p.ProjectFileName, "");
  EXPECT_TRUE(p.HtmlMail);
  EXPECT_EQ(p.HtmlSource, DefaultDocument());
  EXPECT_TRUE(p.Attachments.empty());
  EXPECT_EQ(p.Charset, CharsetMimeName(DefaultCharsetIndex));

  // What the controls hold now counts, not what the dictionary last stored.
  project.SetString(KeySubject, pcSubject, "stored subject");
  AddAttachments(project, {"/home/u/Terms.pdf", "/home/u/photo.JPG"});
  const int utf8 = CharsetRow("utf-8");
  ASSERT_GE(utf8, 0);
  view.values.Subject = "Hello %F_NAME";
  view.values.ToAddr = "E_MAIL";
  view.values.Document = "<p>Dear %F_NAME</p>";
  view.values.Plain = "Dear %F_NAME";
  view.values.MailMode = MailModePlain;
  view.values.CharsetIndex = utf8;
  file = "/home/u/Projects/Offer.lkp";
  p = mailing.PrepareProject();
  EXPECT_EQ(p.ProjectFileName, file);
  EXPECT_EQ(p.Subject, "Hello %F_NAME");
  EXPECT_EQ(p.ToAddr, "E_MAIL");
  EXPECT_EQ(p.HtmlSource, "<p>Dear %F_NAME</p>");
  EXPECT_EQ(p.PlainText, "Dear %F_NAME");
  EXPECT_FALSE(p.HtmlMail);
  EXPECT_EQ(p.Charset, "utf-8");
  EXPECT_EQ(p.Attachments, (std::vector<std::string>{"/home/u/Terms.pdf", "/home/u/photo.JPG"}));
  EXPECT_TRUE(p.ReportFields.empty() && p.TableName.empty() && !p.SqlQueryMode);
  EXPECT_EQ(mailing.CharsetName(), "utf-8");
  EXPECT_EQ(ListDescription(p), "\"Offer\" Using (NONAME)");

  // A stored index out of range still names a charset.
  view.values.CharsetIndex = 1000;
  EXPECT_EQ(mailing.CharsetName(), "x-user-defined");
  EXPECT_EQ(mailing.PrepareProject().Charset, "x-user-defined");
}

}  // namespace
