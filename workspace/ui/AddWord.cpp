#include "workspace/ui/AddWord.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/NameCheck.h"
#include "workspace/ui/PageKit.h"

TAddWordForm::TAddWordForm(QWidget* parent) : QDialog(parent) {
  setObjectName("AddWordForm");
  setWindowTitle("Add");
  Label1 = new QLabel("Enter Name", this);
  Label1->setObjectName("Label1");
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  auto* buttons = ButtonRow(this, {{OKBtn, "OKBtn", "OK"}, {CancelBtn, "CancelBtn", "Cancel"}});
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(Edit1);
  layout->addLayout(buttons);
  setFixedWidth(300);
}

void TAddWordForm::showEvent(QShowEvent* e) {
  Edit1->clear();
  Edit1->setFocus();
  QDialog::showEvent(e);
}

void TAddWordForm::InputName(const std::string& Caption, const std::string& ExistsFmt, std::string& Name, bool Check,
                             const std::vector<std::string>& Names, const TReader& Reader) {
  Name.clear();
  setWindowTitle(ToQString(Caption));
  if (exec() != QDialog::Accepted || Edit1->text().isEmpty()) return;
  const auto r = CheckInputName(ToStdString(Edit1->text()), ExistsFmt, Check, Names, NameCharRulesOf(Reader));
  switch (r.outcome) {
    case TNameCheck::Accepted: Name = r.name; break;
    case TNameCheck::Invalid: ErrorBox(r.message); break;
    case TNameCheck::Duplicate: InfoBox(r.message); break;
    case TNameCheck::Refused: break;
  }
}
