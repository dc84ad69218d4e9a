#include "workspace/ui/FilterPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

#include "workspace/ui/PageKit.h"

TFilterPage::TFilterPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheet9");
  auto* layout = new QVBoxLayout(this);

  SpeedBar3 = Named(new QToolBar(this), "SpeedBar3");
  ToolAction(SpeedBar3, "SpeedItem24", "Refresh");
  layout->addWidget(SpeedBar3);

  auto* filter = Named(new QGroupBox("Filter", this), "GroupBox1");
  auto* fl = new QVBoxLayout(filter);
  Memo1 = MemoBox(filter, "Memo1");
  CheckBox1 = Named(new QCheckBox("Use Filter", filter), "CheckBox1");
  fl->addWidget(Memo1);
  fl->addWidget(CheckBox1);

  auto* highlight = Named(new QGroupBox("Highlight", this), "GroupBox2");
  auto* hl = new QGridLayout(highlight);
  ColorComboBox1 = ColorCombo(highlight, "ColorComboBox1");
  ColorComboBox1->setCurrentIndex(8);
  CheckBox5 = Named(new QCheckBox("Enabled", highlight), "CheckBox5");
  Memo5 = MemoBox(highlight, "Memo5");
  CheckBox3 = Named(new QCheckBox("Use Filter", highlight), "CheckBox3");
  hl->addWidget(ColorComboBox1, 0, 0);
  hl->addWidget(CheckBox5, 0, 1);
  hl->addWidget(Memo5, 1, 0, 1, 2);
  hl->addWidget(CheckBox3, 2, 0, 1, 2);

  auto* row = new QHBoxLayout;
  row->addWidget(filter, 1);
  row->addWidget(highlight, 1);
  layout->addLayout(row, 1);

  connect(Memo1, &QPlainTextEdit::textChanged, this, &TFilterPage::Modified);
  connect(CheckBox1, &QCheckBox::clicked, this, &TFilterPage::Modified);
  connect(ColorComboBox1, &QComboBox::activated, this, &TFilterPage::ColorSlotChosen);
}
