#include "workspace/ui/Find.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/Help.h"
#include "workspace/ui/PageKit.h"

TFindForm::TFindForm(QWidget* parent) : QDialog(parent) {
  setObjectName("FindForm");
  setWindowTitle("Find");
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setEditable(false);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  RadioGroup1 = new QGroupBox("Mode", this);
  RadioGroup1->setObjectName("RadioGroup1");
  ExactlyBtn = new QRadioButton("Exactly", RadioGroup1);
  ExactlyBtn->setObjectName("ExactlyBtn");
  IncludingBtn = new QRadioButton("Including", RadioGroup1);
  IncludingBtn->setObjectName("IncludingBtn");
  IncludingBtn->setChecked(true);
  auto* modes = new QVBoxLayout(RadioGroup1);
  modes->addWidget(ExactlyBtn);
  modes->addWidget(IncludingBtn);

  auto* buttons =
      ButtonRow(this, {{OKBtn, "OKBtn", "OK"}, {CancelBtn, "CancelBtn", "Cancel"}, {HelpBtn, "HelpBtn", "Help"}});
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpBtn, &QPushButton::clicked, this, [] { ShowHelpContext(HelpContext); });

  auto* form = new QFormLayout;
  form->addRow("Field", ComboBox1);
  form->addRow("Value", Edit1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(RadioGroup1);
  layout->addLayout(buttons);
  setMinimumWidth(320);
  ComboBox1->setFocus();
}

bool TFindForm::Including() const { return IncludingBtn->isChecked(); }

void TFindForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  ComboBox1->setFocus();
}

void TFindForm::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    ShowHelpContext(HelpContext);
    return;
  }
  QDialog::keyPressEvent(e);
}
