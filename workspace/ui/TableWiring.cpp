#include "workspace/ui/TableWiring.h"

#include <QAction>
#include <QCheckBox>
#include <QTableView>
#include <QToolButton>

#include "workspace/ui/LPMain.h"
#include "workspace/ui/TableUi.h"

TTableUi* MainTables = nullptr;

namespace {

void SyncFrame(TLPMain& w, TTableUi& t) {
  const TTableWorkspace& ws = t.Workspace;
  w.TableStandIn.open = t.TableOpen();
  w.TableStandIn.empty = t.TableEmpty();
  w.TableStandIn.sortOn = ws.Sort.SortOn;
  w.TableStandIn.sortText = t.SortTextNow();
  ::TableName = ws.TableName;
  ::SQLQueryMode = ws.SQLQueryMode;
  if (QAction* d = w.Action("Descend0")) d->setChecked(ws.Sort.Descending);
}

}  // namespace

void WireTableWorkspace(TLPMain& w) {
  auto* t = new TTableUi(&w, w.RxDBGrid1, w.StatusPanel2, &w);
  MainTables = t;
  QObject::connect(t, &QObject::destroyed, [t] {
    if (MainTables == t) MainTables = nullptr;
  });
  t->OptionsSource = [] { return OptForm; };  // created after the main window
  t->OnUpdateControls = [&w, t] {
    SyncFrame(w, *t);
    w.UpdateControls();
  };
  t->OnTableOpened = [&w, t] {
    w.SpeedButton5->show();
    w.PaintBox1->hide();
    SyncFrame(w, *t);
    w.UpdateCaption();
  };
  t->OnTableClosed = [&w, t] {
    w.SpeedButton5->hide();
    w.PaintBox1->show();
    SyncFrame(w, *t);
    w.UpdateCaption();
  };
  t->OnShowDatabasePage = [&w, t] {
    SyncFrame(w, *t);
    w.ShowPage(w.TabSheet1);
  };
  t->OnUseFilter = [&w] { return w.CheckBox1 && w.CheckBox1->isChecked(); };

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
}
