#include "mailing/ui/Reports.h"

#include "mailing/ui/LogForm.h"
#include "mailing/ui/RepForm.h"

void TReports::ReportConfiguration1Click() { log_.exec(); }

std::string TReports::ReportViewerFileName() const { return rep_.TempFile(); }
