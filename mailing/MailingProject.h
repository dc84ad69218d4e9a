#pragma once
// What the mailing window takes from the open project; the project side
// implements it. Prepare also needs the merger (TMerger) and the report
// fields (IReportFieldList), given to the window separately.

#include <string>

#include "mailing/PreparedMailing.h"

class IMailingProject {
public:
  virtual ~IMailingProject() = default;
  // The project as Prepare takes it. The window fills in ReportFields and,
  // from the open table, TableName and SqlQueryMode.
  virtual TPrepareProject PrepareProject() const = 0;
  // The MIME name of the project's character set (an emptied list keeps it).
  virtual std::string CharsetName() const = 0;
};
