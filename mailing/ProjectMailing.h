#pragma once
// The open project as the mailing window's Prepare and Send Current take it:
// the subject, the To field, the document, the plain text, the mail mode and
// the character set as the main window's controls hold them now (saved or
// not), and the attachment list of the project's "Attach" entry.

#include <functional>
#include <string>

#include "mailing/MailingProject.h"

class TProject;
class IProjectView;

class TProjectMailing : public IMailingProject {
public:
  // fileName: the project's file, empty while it has never been saved.
  TProjectMailing(const TProject& project, const IProjectView& view, std::function<std::string()> fileName);

  TPrepareProject PrepareProject() const override;
  std::string CharsetName() const override;

private:
  const TProject& project_;
  const IProjectView& view_;
  std::function<std::string()> fileName_;
};
