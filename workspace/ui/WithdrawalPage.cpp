#include "workspace/ui/WithdrawalPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/Help.h"
#include "workspace/ui/PageKit.h"

TWithdrawalPage::TWithdrawalPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheet4");
  auto* layout = new QVBoxLayout(this);

  SpeedBar2 = Named(new QToolBar(this), "SpeedBar2");
  ToolAction(SpeedBar2, "SpeedItem39", "Get List");
  ToolAction(SpeedBar2, "SpeedItem41", "Delete");
  ToolAction(SpeedBar2, "SpeedItem45", "Response");
  ToolAction(SpeedBar2, "SpeedItem46", "Extract");
  SpeedBar2->addSeparator();
  ToolAction(SpeedBar2, "SpeedItem43", "Add Scheme");
  ToolAction(SpeedBar2, "SpeedItem44", "Delete Scheme");
  ComboBox3 = Combo(SpeedBar2, "ComboBox3", false);
  ComboBox3->setToolTip("Scheme");
  ComboBox3->setMinimumWidth(160);
  SpeedBar2->addWidget(ComboBox3);
  layout->addWidget(SpeedBar2);

  ListView1 = Named(new QTreeWidget(this), "ListView1");
  ListView1->setHeaderLabels({"Subject", "From", "Date"});
  ListView1->setColumnWidth(0, 250);
  ListView1->setColumnWidth(1, 250);
  ListView1->setColumnWidth(2, 80);
  ListView1->setRootIsDecorated(false);
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

  PageControl3 = Named(new QTabWidget(this), "PageControl3");
  auto page = [this](const char* name, const char* caption) {
    auto* w = Named(new QWidget, name);
    PageControl3->addTab(w, caption);
    return w;
  };
  QWidget* body = page("TabSheet10", "Body");
  Memo3 = MemoBox(body, "Memo3", true, true);
  (new QVBoxLayout(body))->addWidget(Memo3);

  QWidget* custom = page("TabSheet11", "Custom Text");
  auto* cl = new QVBoxLayout(custom);
  auto* ch = new QHBoxLayout;
  CheckBox4 = Named(new QCheckBox("Enabled", custom), "CheckBox4");
  Button7 = Named(new QPushButton("Help", custom), "Button7");
  ch->addWidget(CheckBox4);
  ch->addStretch();
  ch->addWidget(Button7);
  Memo6 = MemoBox(custom, "Memo6", false);
  cl->addLayout(ch);
  cl->addWidget(Memo6, 1);

  QWidget* server = page("TabSheet12", "Server Options");
  auto* svl = new QFormLayout(server);
  ComboBox12 = Combo(server, "ComboBox12", false);
  Button9 = Named(new QPushButton("Help", server), "Button9");
  svl->addRow("Account", ComboBox12);
  svl->addRow("", Button9);

  QWidget* parser = page("TabSheet13", "Parser");
  auto* pgl = new QGridLayout(parser);
  auto* markers = Named(new QGroupBox("Markers", parser), "GroupBox3");
  auto* ml = new QVBoxLayout(markers);
  TextListBox1 = Named(new QListWidget(markers), "TextListBox1");
  Button1 = Named(new QPushButton("Add", markers), "Button1");
  Button2 = Named(new QPushButton("Delete", markers), "Button2");
  Button5 = Named(new QPushButton("Help", markers), "Button5");
  ml->addWidget(TextListBox1, 1);
  auto* mb = new QHBoxLayout;
  mb->addWidget(Button1);
  mb->addWidget(Button2);
  mb->addWidget(Button5);
  ml->addLayout(mb);
  auto* values = Named(new QGroupBox("Values", parser), "GroupBox4");
  auto* vl = new QFormLayout(values);
  ListBox4 = Named(new QListWidget(values), "ListBox4");
  ComboBox6 = Combo(values, "ComboBox6", false);
  ComboBox7 = Combo(values, "ComboBox7", false);
  ComboBox11 = Combo(values, "ComboBox11", true);
  Button3 = Named(new QPushButton("Add", values), "Button3");
  Button4 = Named(new QPushButton("Delete", values), "Button4");
  vl->addRow(ListBox4);
  vl->addRow("Read After Marker", ComboBox6);
  vl->addRow("Read Up To Marker", ComboBox7);
  vl->addRow("Assign Value to Field", ComboBox11);
  auto* vb = new QHBoxLayout;
  vb->addWidget(Button3);
  vb->addWidget(Button4);
  vl->addRow(vb);
  auto* fields = Named(new QGroupBox(parser), "GroupBox5");
  auto* fl = new QFormLayout(fields);
  ComboBox13 = Combo(fields, "ComboBox13", true);
  ComboBox14 = Combo(fields, "ComboBox14", true);
  ComboBox15 = Combo(fields, "ComboBox15", true);
  ComboBox16 = Combo(fields, "ComboBox16", true);
  ComboBox10 = Combo(fields, "ComboBox10", true);
  fl->addRow("Assign Time to Field", ComboBox13);
  fl->addRow("Assign From-name to Field", ComboBox14);
  fl->addRow("Assign From-email to Field", ComboBox15);
  fl->addRow("Assign Subject to Field", ComboBox16);
  fl->addRow("Assign Content to Memo Field", ComboBox10);
  pgl->addWidget(markers, 0, 0);
  pgl->addWidget(values, 0, 1);
  pgl->addWidget(fields, 0, 2);

  QWidget* preview = page("TabSheet15", "Preview");
  auto* pvl = new QVBoxLayout(preview);
  auto* pvh = new QHBoxLayout;
  ComboBox4 = Combo(preview, "ComboBox4", false);
  SpeedButton3 = ToolBtn(preview, "SpeedButton3", "|<");
  SpeedButton1 = ToolBtn(preview, "SpeedButton1", "<");
  SpeedButton2 = ToolBtn(preview, "SpeedButton2", ">");
  SpeedButton4 = ToolBtn(preview, "SpeedButton4", ">|");
  Label13 = Named(new QLabel(preview), "Label13");
  pvh->addWidget(new QLabel("Values", preview));
  pvh->addWidget(ComboBox4, 1);
  for (QWidget* w : {static_cast<QWidget*>(SpeedButton3), static_cast<QWidget*>(SpeedButton1),
                     static_cast<QWidget*>(SpeedButton2), static_cast<QWidget*>(SpeedButton4)})
    pvh->addWidget(w);
  pvh->addWidget(new QLabel("Marker:", preview));
  pvh->addWidget(Label13, 1);
  Memo4 = MemoBox(preview, "Memo4", false, true);
  pvl->addLayout(pvh);
  pvl->addWidget(Memo4, 1);

  auto* split = new QVBoxLayout;
  split->addWidget(ListView1, 1);
  split->addWidget(PageControl3, 1);
  layout->addLayout(split, 1);

  StatusBar3 = Named(new QStatusBar(this), "StatusBar3");
  StatusBar3->setSizeGripEnabled(false);
  StatusPanel3a = Named(new QLabel(StatusBar3), "StatusBar3Panel0");
  StatusPanel3a->setFixedWidth(200);
  StatusPanel3b = Named(new QLabel(StatusBar3), "StatusBar3Panel1");
  StatusPanel3b->setFixedWidth(50);
  StatusBar3->addWidget(StatusPanel3a);
  StatusBar3->addWidget(StatusPanel3b);
  layout->addWidget(StatusBar3);

  PageControl3->setCurrentWidget(custom);
  connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
  connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
}

void TWithdrawalPage::Button7Click() { ShowHelpContext(10); }
void TWithdrawalPage::Button9Click() { ShowHelpContext(11); }
void TWithdrawalPage::Button5Click() { ShowHelpContext(12); }
