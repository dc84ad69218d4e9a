#include "workspace/ui/Del.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TDelForm::TDelForm(QWidget* parent) : QDialog(parent) {
  setObjectName("DelForm");
  setWindowTitle("Delete Record");
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  CheckBox1 = new QCheckBox("Do not perform this confirmation", this);
  CheckBox1->setObjectName("CheckBox1");
  YesBtn = new QPushButton("Yes", this);
  YesBtn->setObjectName("YesBtn");
  YesBtn->setDefault(true);
  NoBtn = new QPushButton("No", this);
  NoBtn->setObjectName("NoBtn");
  connect(YesBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(NoBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(YesBtn);
  buttons->addWidget(NoBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(CheckBox1);
  layout->addLayout(buttons);
  setMinimumWidth(320);
}

void TDelForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  NoBtn->setFocus();
}
