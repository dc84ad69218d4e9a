#include "workspace/ui/TableWiring.h"

#include <QAction>
#include <QCheckBox>
#include <QTableView>
#include <QToolButton>

#include "workspace/ui/DatabasePage.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/TableUi.h"

namespace {

// The sort direction is the table's; the menu item shows it.
void ShowSortDirection(TLPMain& w, const TTableUi& t) {
  if (QAction* d = w.Action("Descend0")) d->setChecked(t.Workspace.Sort.Descending);
}

}  // namespace

TTableUi* WireTableWorkspace(TLPMain& w) {
  TDatabasePage& page = w.DatabasePage();
  auto* t = new TTableUi(&w, page.RxDBGrid1, page.StatusPanel2, &w);
  t->OptionsSource = [] { return OptForm; };  // created after the main window
  t->OnUpdateControls = [&w, t] {
    ShowSortDirection(w, *t);
    w.UpdateControls();
  };
  t->OnTableOpened = [&w, &page, t] {
    page.ShowTableArea(true);
    ShowSortDirection(w, *t);
    w.UpdateCaption();
  };
  t->OnTableClosed = [&w, &page, t] {
    page.ShowTableArea(false);
    ShowSortDirection(w, *t);
    w.UpdateCaption();
  };
  t->OnShowDatabasePage = [&w, &page, t] {
    ShowSortDirection(w, *t);
    w.ShowPage(&page);
  };
  QCheckBox* useFilter = w.FilterPage().CheckBox1;
  t->OnUseFilter = [useFilter] { return useFilter->isChecked(); };

  auto on = [&w](const char* name, std::function<void()> fn) {
    if (QAction* a = w.Action(name)) QObject::connect(a, &QAction::triggered, &w, std::move(fn));
  };
  on("OpenDB0", [t] { t->OpenDB0Click(); });
  on("ExecSQL0", [t] { t->ExecSQL0Click(); });
  on("CloseTable1", [t] { t->CloseTable0Click(); });
  on("AddRec0", [t] { t->AddRec0Click(); });
  on("EditRec0", [t] { t->EditRec0Click(); });
  on("DeleteRec0", [t] { t->DeleteRec0Click(); });
  on("Find0", [t] { t->Find0Click(); });
  on("Unique0", [t] { t->Unique0Click(); });
  on("SelectDublicates1", [t] { t->SelectDublicates1Click(); });
  on("Reopen0", [t] { t->Reopen0Click(); });
  on("Descend0", [t] { t->Descend0Click(); });
  on("Unsort0", [t] { t->Unsort0Click(); });
  on("NewDatabase1", [t] { t->NewDatabase1Click(); });
  on("Restructure0", [t] { t->Restructure0Click(); });
  on("AddDBF1", [t] { t->AddDBF1Click(); });
  return t;
}
