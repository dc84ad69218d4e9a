#include "workspace/ui/CopyOpt.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TCopyOptForm::TCopyOptForm(QWidget* parent) : QDialog(parent) {
  setObjectName("CopyOptForm");
  setWindowTitle("Data");
  // No system menu: no close button in the title bar.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  CheckBox1 = new QCheckBox("Copy Data", this);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setChecked(true);
  CheckBox2 = new QCheckBox("Copy Only Filtered Records", this);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox3 = new QCheckBox("Copy by Sorted Sequence", this);
  CheckBox3->setObjectName("CheckBox3");
  OKBtn = new QPushButton("Ok", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  connect(CheckBox1, &QCheckBox::clicked, this, &TCopyOptForm::CheckBox1Click);
  connect(OKBtn, &QPushButton::clicked, this, [this] {
    leaving_ = true;
    accept();
    leaving_ = false;
  });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(CheckBox1);
  layout->addWidget(CheckBox2);
  layout->addWidget(CheckBox3);
  layout->addLayout(buttons);
  setMinimumWidth(260);
}

TCopyOptForm::~TCopyOptForm() = default;

TCopyOptions TCopyOptForm::Options() const {
  return {CheckBox1->isChecked(), CheckBox2->isChecked(), CheckBox3->isChecked()};
}

TCopyOptions TCopyOptForm::Execute(bool tableFiltered, bool gridSorted) {
  tableFiltered_ = tableFiltered;
  gridSorted_ = gridSorted;
  exec();
  return Options();
}

void TCopyOptForm::CheckBox1Click() {
  const TCopyOptionsEnabled on = CopyOptionsEnabled(Options(), tableFiltered_, gridSorted_);
  CheckBox2->setEnabled(on.OnlyFiltered);
  CheckBox3->setEnabled(on.Sorted);
}

void TCopyOptForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  TCopyOptions o = Options();
  CopyOptionsOnShow(o, tableFiltered_, gridSorted_);
  CheckBox2->setChecked(o.OnlyFiltered);
  CheckBox3->setChecked(o.Sorted);
  CheckBox1Click();
  OKBtn->setFocus();
}

void TCopyOptForm::closeEvent(QCloseEvent* e) {
  if (!leaving_) e->ignore();
}

// Escape does not close it either.
void TCopyOptForm::reject() {
  if (leaving_) QDialog::reject();
}
