#include "workspace/ui/TableWiring.h"

#include <QAction>
#include <QTableView>
#include <QToolButton>

#include "workspace/ui/DatabasePage.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/TableGrid.h"
#include "workspace/ui/TableUi.h"

namespace {

// The sort direction is the table's; the menu item shows it.
void ShowSortDirection(TLPMain& w) {
  if (QAction* d = w.Action("Descend0")) d->setChecked(w.State().Table.Sort.Descending);
}

}  // namespace

TTableUi* WireTableWorkspace(TLPMain& w) {
  TDatabasePage& page = w.DatabasePage();
  auto* t = new TTableUi(w.State().Table, w.State().Settings, &w, page.RxDBGrid1, page.StatusPanel2, &w);
  QObject::connect(t, &TTableUi::CommandsChanged, &w, [&w] {
    ShowSortDirection(w);
    w.UpdateControls();
  });
  QObject::connect(t, &TTableUi::Opened, &w, [&w, &page] {
    page.ShowTableArea(true);
    ShowSortDirection(w);
    w.UpdateCaption();
  });
  QObject::connect(t, &TTableUi::Closed, &w, [&w, &page] {
    page.ShowTableArea(false);
    ShowSortDirection(w);
    w.UpdateCaption();
  });
  QObject::connect(t, &TTableUi::DatabasePageWanted, &w, [&w, &page] {
    ShowSortDirection(w);
    w.ShowPage(&page);
  });

  // The highlight rules as the grid's row colours.
  TRowRules& rules = w.State().RowRules;
  TTableWorkspace& table = w.State().Table;
  TTableModel* model = t->Grid()->Model();
  QObject::connect(model, &TTableModel::RowsChanged, &w, [&rules] { rules.InvalidateRowColors(); });
  auto cellColor = [&rules, &table, t, model](int field, int recNo, QColor& background) {
    TDataSet& q = table.ADOQuery1;
    if (field < 0 || field >= q.FieldCount()) return;
    const TSortState& sort = table.Sort;
    const int slot = rules.CellColor(q.Fields(field).FieldName(), sort.SortOn ? sort.SortField : std::string(),
                                     t->SortColorSlot(), recNo, [model, recNo] { return model->RowSource(recNo - 1); });
    if (slot == DefaultRowColor) return;
    const TRgb c = SlotColor(slot);
    background = QColor(c.R, c.G, c.B);
  };
  QObject::connect(model, &TTableModel::CellColorWanted, &w, cellColor);

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
