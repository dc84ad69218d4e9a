#pragma once
// The main window's side of the two report windows: the "Report
// Configuration..." command and, at exit, the viewer's last body file.

#include <QObject>

#include "workspace/FrameInterfaces.h"

class TLogForm;
class TRepForm;

class TReports : public QObject, public IReports {
public:
  TReports(TLogForm& logForm, TRepForm& repForm, QObject* parent)
      : QObject(parent), log_(logForm), rep_(repForm) {}
  void ReportConfiguration1Click() override;
  std::string ReportViewerFileName() const override;

private:
  TLogForm& log_;
  TRepForm& rep_;
};
