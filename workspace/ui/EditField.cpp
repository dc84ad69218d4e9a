#include "workspace/ui/EditField.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/PageKit.h"

TEditForm::TEditForm(QWidget* parent) : QDialog(parent) {
  setObjectName("EditForm");
  setWindowTitle("Edit Field");
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setEditable(false);
  for (const std::string& t : FieldTypeNames()) ComboBox1->addItem(ToQString(t));
  Edit2 = new QLineEdit(this);
  Edit2->setObjectName("Edit2");
  auto* buttons = ButtonRow(this, {{OKBtn, "OKBtn", "OK"}, {CancelBtn, "CancelBtn", "Cancel"}});
  connect(OKBtn, &QPushButton::clicked, this, &TEditForm::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* form = new QFormLayout;
  form->addRow("Name", Edit1);
  form->addRow("Type", ComboBox1);
  form->addRow("Size", Edit2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  setMinimumWidth(280);
}

TEditForm::~TEditForm() = default;

TEditFieldInput TEditForm::Input() const {
  return {ToStdString(Edit1->text()), ComboBox1->currentIndex(), ToStdString(Edit2->text())};
}

void TEditForm::OKBtnClick() {
  const std::string problem = CheckEditField(Input(), Rows, SelectedRow);
  if (!problem.empty()) {
    ErrorBox(problem);
    return;
  }
  accept();
}

void TEditForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  const TEditFieldInput in = EditFieldOnShow(Rows, SelectedRow, NewField);
  Edit1->setText(ToQString(in.Name));
  ComboBox1->setCurrentIndex(in.TypeIndex);
  Edit2->setText(ToQString(in.SizeText));
  Edit1->setFocus();
  Edit1->selectAll();
}
