#include "mailing/ProjectMailing.h"

#include "mailing/Attachments.h"
#include "mailing/ProjectControls.h"
#include "workspace/CharsetTable.h"

TProjectMailing::TProjectMailing(const TProject& project, const IProjectView& view,
                                 std::function<std::string()> fileName)
    : project_(project), view_(view), fileName_(std::move(fileName)) {}

TPrepareProject TProjectMailing::PrepareProject() const {
  const TProjectValues v = view_.ProjectValues();
  TPrepareProject p;
  p.ProjectFileName = fileName_ ? fileName_() : std::string();
  p.Charset = CharsetMimeName(v.CharsetIndex);
  p.HtmlMail = v.MailMode == MailModeHtml;
  p.Subject = v.Subject;
  p.HtmlSource = v.Document;
  p.PlainText = v.Plain;
  p.ToAddr = v.ToAddr;
  p.Attachments = LoadAttachList(project_);
  return p;
}

std::string TProjectMailing::CharsetName() const { return CharsetMimeName(view_.ProjectValues().CharsetIndex); }
