#include "mailing/ui/TabForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "mailing/TableMarkup.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/PageKit.h"

namespace {

QSpinBox* Spin(QWidget* parent, const char* name, int max, int value) {
  auto* s = new QSpinBox(parent);
  s->setObjectName(name);
  s->setRange(0, max);
  s->setValue(value);
  return s;
}

}  // namespace

TTabForm::TTabForm(QWidget* parent) : QDialog(parent) {
  setObjectName("TabForm");
  setWindowTitle("Insert Table");
  auto* layout = new QVBoxLayout(this);

  auto* size = new QGroupBox("Size", this);
  auto* sl = new QGridLayout(size);
  Rows = Spin(size, "Edit1", 25, 2);
  Columns = Spin(size, "Edit2", 25, 2);
  sl->addWidget(new QLabel("Rows", size), 0, 0);
  sl->addWidget(Rows, 0, 1);
  sl->addWidget(new QLabel("Columns", size), 1, 0);
  sl->addWidget(Columns, 1, 1);
  layout->addWidget(size);

  auto* lay = new QGroupBox("Layout", this);
  auto* ll = new QGridLayout(lay);
  Border = Spin(lay, "Edit3", 100, 1);
  Padding = Spin(lay, "Edit4", 100, 1);
  Spacing = Spin(lay, "Edit5", 100, 1);
  ll->addWidget(new QLabel("Border Size", lay), 0, 0);
  ll->addWidget(Border, 0, 1);
  ll->addWidget(new QLabel("Cell Padding", lay), 1, 0);
  ll->addWidget(Padding, 1, 1);
  ll->addWidget(new QLabel("Call Spacing", lay), 2, 0);
  ll->addWidget(Spacing, 2, 1);
  layout->addWidget(lay);

  auto* width = new QGroupBox("Width", this);
  auto* wl = new QGridLayout(width);
  CheckBox1 = new QCheckBox("Specify Width", width);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setChecked(true);
  Edit6 = new QLineEdit("100", width);
  Edit6->setObjectName("Edit6");
  Edit6->setMaxLength(7);
  RadioButton1 = new QRadioButton("in Pixels", width);
  RadioButton1->setObjectName("RadioButton1");
  RadioButton2 = new QRadioButton("in Percent", width);
  RadioButton2->setObjectName("RadioButton2");
  RadioButton2->setChecked(true);
  wl->addWidget(CheckBox1, 0, 0);
  wl->addWidget(Edit6, 0, 1);
  wl->addWidget(RadioButton1, 1, 1);
  wl->addWidget(RadioButton2, 2, 1);
  layout->addWidget(width);

  layout->addLayout(ButtonRow(this, {{OKBtn, "OKBtn", "Ok"}, {CancelBtn, "CancelBtn", "Cancel"}}));
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

std::string TTabForm::WidthText() const {
  return TableWidthText(CheckBox1->isChecked(), RadioButton1->isChecked(), ToStdString(Edit6->text()));
}

void TTabForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Rows->setFocus();
}
