#include "app/Composition.h"

#include "workspace/ui/About.h"
#include "workspace/ui/AddDbf.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/CharsetForm.h"
#include "workspace/ui/CopyOpt.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/EditField.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/Restruct.h"
#include "workspace/ui/Seldir.h"
#include "workspace/ui/Seltab.h"

TLPMain* CreateWindows() {
  auto* mainWindow = new TLPMain;
  AddWordForm = new TAddWordForm(mainWindow);
  OptForm = new TOptForm(mainWindow);
  OptForm->LoadOptions();
  DelForm = new TDelForm(mainWindow);
  FindForm = new TFindForm(mainWindow);
  CopyOptForm = new TCopyOptForm(mainWindow);
  AboutBox = new TAboutBox(mainWindow);
  SelTabForm = new TSelTabForm(mainWindow);
  new TCharSetForm(mainWindow);
  RestructForm = new TRestructForm(mainWindow);
  SeldirForm = new TSeldirForm(mainWindow);
  EditForm = new TEditForm(mainWindow);
  // The last window of start-up.
  AddDbfForm = new TAddDbfForm(mainWindow);

  TFrameServices& services = mainWindow->Services();
  services.Options = OptForm;
  return mainWindow;
}

void DestroyWindows(TLPMain* mainWindow) {
  delete mainWindow;
  OptForm = nullptr;
}
