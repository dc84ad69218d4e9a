#include "workspace/ui/DatabasePage.h"

#include <QLabel>
#include <QPainter>
#include <QStackedLayout>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "workspace/FrameRules.h"
#include "workspace/ui/PageKit.h"
#include "workspace/ui/Pictures.h"

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) { setAutoFillBackground(false); }

void TPaintBox::paintEvent(QPaintEvent*) {
  static const QPixmap tile = BackgroundPicture();
  QPainter p(this);
  if (tile.isNull()) return;
  for (int y = 0; y < height(); y += tile.height())
    for (int x = 0; x < width(); x += tile.width()) p.drawPixmap(x, y, tile);
}

TDatabasePage::TDatabasePage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheet1");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // The tool bar: sections "Database", "Table" and "Sort".
  SpeedBar1 = Named(new QToolBar(this), "SpeedBar1");
  ToolAction(SpeedBar1, "SpeedItem23", "Create DBF...");
  ToolAction(SpeedBar1, "OpenDB5", "Open Database");
  ToolAction(SpeedBar1, "OpenMail5", "Open Project");
  SpeedBar1->addSeparator();
  ToolAction(SpeedBar1, "EditRec5", "Edit Record");
  ToolAction(SpeedBar1, "AddRec5", "Add Record");
  ToolAction(SpeedBar1, "FindRec5", "Find");
  ToolAction(SpeedBar1, "DeleteRec5", "Delete Record");
  ToolAction(SpeedBar1, "SpeedItem22", "Refresh");
  SpeedBar1->addSeparator();
  ToolAction(SpeedBar1, "SpeedItem47", "Descended");
  ToolAction(SpeedBar1, "SpeedItem48", "Unsort");
  layout->addWidget(SpeedBar1);

  auto* area = new QWidget(this);
  area->setObjectName("Panel7");
  auto* areaLayout = new QStackedLayout(area);
  areaLayout->setStackingMode(QStackedLayout::StackAll);
  RxDBGrid1 = Named(new QTableView(area), "RxDBGrid1");
  RxDBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  RxDBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  PaintBox1 = Named(new TPaintBox(area), "PaintBox1");
  areaLayout->addWidget(PaintBox1);
  areaLayout->addWidget(RxDBGrid1);
  layout->addWidget(area, 1);

  StatusBar2 = Named(new QStatusBar(this), "StatusBar2");
  StatusBar2->setSizeGripEnabled(false);
  StatusPanel2 = Named(new QLabel(StatusBar2), "StatusBar2Panel0");
  StatusPanel2->setMinimumWidth(200);
  StatusBar2->addWidget(StatusPanel2);
  layout->addWidget(StatusBar2);

  SpeedButton5 = ToolBtn(this, "SpeedButton5", "x");
  SpeedButton5->setToolTip("Close Table");
  SpeedButton5->setFixedSize(24, 22);
  SpeedButton5->raise();

  // No table yet: the picture shows.
  RxDBGrid1->hide();
  ShowTableArea(false);
}

void TDatabasePage::ShowTableArea(bool tableOpen) {
  SpeedButton5->setVisible(tableOpen);
  PaintBox1->setVisible(!tableOpen);
}

void TDatabasePage::PlaceCloseButton(int windowWidth) {
  SpeedButton5->move(CloseButtonLeft(windowWidth), 2);
  SpeedButton5->raise();
}
