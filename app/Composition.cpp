#include "app/Composition.h"

#include "mailing/ExampleProject.h"
#include "mailing/ui/ProjectUi.h"
#include "workspace/ui/FilterPage.h"

#include "workspace/ui/About.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/CharsetForm.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/Seldir.h"
#include "workspace/ui/Seltab.h"

TLPMain* CreateWindows() {
  auto* mainWindow = new TLPMain;
  AddWordForm = new TAddWordForm(mainWindow);
  OptForm = new TOptForm(mainWindow);
  OptForm->LoadOptions();
  DelForm = new TDelForm(mainWindow);
  FindForm = new TFindForm(mainWindow);
  AboutBox = new TAboutBox(mainWindow);
  SelTabForm = new TSelTabForm(mainWindow);
  new TCharSetForm(mainWindow);
  SeldirForm = new TSeldirForm(mainWindow);

  TFrameServices& services = mainWindow->Services();
  services.Options = OptForm;
  // The project and its file; its calculated fields answer the row rules and the merge.
  auto* project = new TProjectUi(*mainWindow);
  services.Project = project;
  services.Highlight = &mainWindow->FilterPage();
  services.WriteExampleProject = [](const std::string& path) { return WriteExampleProject(path); };
  return mainWindow;
}

TProjectUi& ProjectOf(TLPMain& mainWindow) {
  return *mainWindow.findChild<TProjectUi*>("ProjectUi", Qt::FindDirectChildrenOnly);
}

ITagValueSource& TagValues(TLPMain& mainWindow) { return ProjectOf(mainWindow).TagValues; }

void DestroyWindows(TLPMain* mainWindow) {
  delete mainWindow;
  OptForm = nullptr;
}
