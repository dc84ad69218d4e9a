#include "workspace/ui/AddDbf.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/TableGrid.h"
#include "workspace/ui/TableUi.h"

namespace {

constexpr int ComboWidth = 180;
constexpr int RowHeight = 25;

}  // namespace

TAddDbfForm::TAddDbfForm(QWidget* parent) : QDialog(parent) {
  setObjectName("AddDbfForm");
  setWindowTitle("Add Table");
  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollInner = new QWidget;
  ScrollBox1->setWidget(ScrollInner);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  Panel1 = new QLabel(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::StyledPanel);
  Button3 = new QPushButton("Add", this);
  Button3->setObjectName("Button3");
  Button3->setDefault(true);
  CloseBtn = new QPushButton("Cancel", this);
  CloseBtn->setObjectName("CloseBtn");
  Button1 = new QPushButton("Help", this);
  Button1->setObjectName("Button1");
  connect(Button3, &QPushButton::clicked, this, &TAddDbfForm::Button3Click);
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button1, &QPushButton::clicked, this, [] { ShowHelpContext(HelpContext); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button3);
  buttons->addWidget(CloseBtn);
  buttons->addWidget(Button1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ScrollBox1, 1);
  layout->addWidget(ProgressBar1);
  layout->addWidget(Panel1);
  layout->addLayout(buttons);
  resize(420, 420);
}

TAddDbfForm::~TAddDbfForm() = default;

void TAddDbfForm::FormShow() {
  ProgressBar1->setValue(0);
  Panel1->clear();
  if (!Tables || !Tables->Workspace().IsOpen()) return;
  TDataSet& target = Tables->Workspace().ADOQuery1;
  Session.BuildMapping(target);
  QStringList items;
  for (const std::string& name : Session.ComboItems()) items << ToQString(name);
  std::vector<int>& chosen = Session.Selection();
  int bottom = 0;
  for (int i = 0; i < target.FieldCount(); ++i) {
    const TAddTableRowLayout at = AddTableRowLayout(i);
    TFieldRow row;
    const QString field = ToQString(target.Fields(i).FieldName());
    row.NameLabel = new QLabel(field, ScrollInner);
    row.NameLabel->move(at.NameLeft, at.NameTop);
    row.EqualLabel = new QLabel("=", ScrollInner);
    row.EqualLabel->move(at.EqualLeft, at.EqualTop);
    row.Source = new QComboBox(ScrollInner);
    row.Source->setObjectName(field);
    row.Source->setEditable(false);
    row.Source->addItems(items);
    row.Source->setGeometry(at.ComboLeft, at.ComboTop, ComboWidth, RowHeight - 4);
    if (static_cast<size_t>(i) < chosen.size()) row.Source->setCurrentIndex(chosen[static_cast<size_t>(i)]);
    connect(row.Source, &QComboBox::currentIndexChanged, this, [this, i](int index) {
      std::vector<int>& s = Session.Selection();
      if (static_cast<size_t>(i) < s.size()) s[static_cast<size_t>(i)] = std::max(index, 0);
    });
    for (QWidget* w : {static_cast<QWidget*>(row.NameLabel), static_cast<QWidget*>(row.EqualLabel),
                       static_cast<QWidget*>(row.Source)})
      w->show();
    bottom = at.ComboTop + RowHeight;
    fieldArray_.push_back(row);
  }
  ScrollInner->resize(AddTableRowLayout(0).ComboLeft + ComboWidth + 15, bottom + 10);
}

void TAddDbfForm::FormHide() {
  Session.Disconnect();
  FreeMapping();
}

void TAddDbfForm::FreeMapping() {
  for (TFieldRow& r : fieldArray_) {
    delete r.NameLabel;
    delete r.EqualLabel;
    delete r.Source;
  }
  fieldArray_.clear();
}

void TAddDbfForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FreeMapping();
  if (Tables) Tables->Workspace().BulkUpdate = true;
  FormShow();
  Button3->setFocus();
}

void TAddDbfForm::hideEvent(QHideEvent* e) {
  FormHide();
  if (Tables) Tables->Workspace().BulkUpdate = false;
  QDialog::hideEvent(e);
}

void TAddDbfForm::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    ShowHelpContext(HelpContext);
    return;
  }
  QDialog::keyPressEvent(e);
}

void TAddDbfForm::Button3Click() {
  if (!Tables || !Tables->Workspace().IsOpen()) return;
  TTableWorkspace& ws = Tables->Workspace();
  TAddTableProgress progress;
  progress.Maximum = ProgressBar1->maximum();
  progress.SetPosition = [this](int position) { ProgressBar1->setValue(position); };
  progress.SetStatus = [this](const std::string& text) { Panel1->setText(ToQString(text)); };
  progress.Repaint = [this] { repaint(); };
  progress.Busy = [this](bool on) { on ? Tables->BeginBusy() : Tables->EndBusy(); };
  // A failed batch leaves the table as it was saved.
  ws.SaveTableState();
  bool failed = false;
  try {
    Session.Add(ws.ADOQuery1, progress);
  } catch (const std::exception& e) {
    failed = true;
    Panel1->clear();
    ErrorBox(e.what());
  }
  if (failed) ws.RestoreTableState();
  ws.FreeTableState();
  Tables->Grid()->Model()->Resync();
  if (ws.IsOpen()) Tables->ShowRecordCounter(RecordCounterText(ws.ADOQuery1.RecNo(), ws.ADOQuery1.RecordCount()));
  Tables->UpdateControls();
  if (!failed) accept();
}
