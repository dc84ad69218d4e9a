#include "app/Composition.h"

#include "withdrawal/ui/RespForm.h"
#include "withdrawal/ui/WithdrawalUi.h"
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
  // The withdrawal set-up belongs to the main window's creation.
  new TWithdrawalUi(*mainWindow, mainWindow->Tables());
  AddWordForm = new TAddWordForm(mainWindow);
  OptForm = new TOptForm(mainWindow);
  OptForm->LoadOptions();
  DelForm = new TDelForm(mainWindow);
  FindForm = new TFindForm(mainWindow);
  AboutBox = new TAboutBox(mainWindow);
  SelTabForm = new TSelTabForm(mainWindow);
  new TCharSetForm(mainWindow);
  SeldirForm = new TSeldirForm(mainWindow);
  RespForm = new TRespForm(mainWindow);

  TFrameServices& services = mainWindow->Services();
  services.Options = OptForm;
  return mainWindow;
}

void DestroyWindows(TLPMain* mainWindow) {
  // The page's window code goes first: it is bound to the main window's controls.
  delete dynamic_cast<TWithdrawalUi*>(mainWindow->Services().Withdrawal);
  delete mainWindow;
  RespForm = nullptr;
  OptForm = nullptr;
}
