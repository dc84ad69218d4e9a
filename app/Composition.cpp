#include "app/Composition.h"

#include "mailing/ui/HtmlEditor.h"
#include "mailing/ui/MailPreview.h"
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

  // The Mailing page's editor and preview (the editor's table dialog with them).
  auto* editor = new THtmlEditor(*mainWindow);
  auto* preview = new TMailPreview(*mainWindow, *editor);

  TFrameServices& services = mainWindow->Services();
  services.Options = OptForm;
  services.Editor = editor;
  services.Preview = preview;
  return mainWindow;
}

void DestroyWindows(TLPMain* mainWindow) {
  delete mainWindow;
  OptForm = nullptr;
}
