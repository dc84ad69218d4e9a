#include "mailing/ui/PromptForms.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "mailing/ui/DomWork.h"
#include "workspace/ui/PageKit.h"

namespace {

void AddButtons(QDialog* d, QVBoxLayout* layout, QPushButton*& ok, QPushButton*& cancel) {
  layout->addLayout(ButtonRow(d, {{ok, "OKBtn", "Ok"}, {cancel, "CancelBtn", "Cancel"}}));
  QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::reject);
}

}  // namespace

TUrlForm::TUrlForm(QWidget* parent, const QString& caption) : QDialog(parent) {
  setObjectName("UrlForm");
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setMinimumWidth(320);
  form->addRow("URL:", Edit1);
  layout->addLayout(form);
  AddButtons(this, layout, OKBtn, CancelBtn);
}

bool TUrlForm::Ask(QWidget* parent, const QString& caption, QString& url) {
  TUrlForm f(parent, caption);
  f.Edit1->setText(url);
  if (f.exec() != QDialog::Accepted) return false;
  url = f.Edit1->text().trimmed();
  return true;
}

TFontForm::TFontForm(QWidget* parent) : QDialog(parent) {
  setObjectName("FontForm");
  setWindowTitle("Font");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  FontName = new QFontComboBox(this);
  FontName->setObjectName("FontName");
  FontSize = new QComboBox(this);
  FontSize->setObjectName("FontSize");
  FontSize->addItems({"", "1", "2", "3", "4", "5", "6", "7"});
  ColorBtn = new QPushButton("Color...", this);
  ColorBtn->setObjectName("ColorBtn");
  form->addRow("Font:", FontName);
  form->addRow("Size:", FontSize);
  form->addRow("Color:", ColorBtn);
  layout->addLayout(form);
  AddButtons(this, layout, OKBtn, CancelBtn);
  connect(ColorBtn, &QPushButton::clicked, this, [this] {
    const QColor c = QColorDialog::getColor(Color.isValid() ? Color : Qt::black, this);
    if (c.isValid()) Color = c;
  });
}

bool TFontForm::Ask(QWidget* parent, TFontChoice& font) {
  TFontForm f(parent);
  if (!font.Name.isEmpty()) f.FontName->setCurrentFont(QFont(font.Name));
  f.FontSize->setCurrentIndex(qMax(0, f.FontSize->findText(font.Size)));
  if (f.exec() != QDialog::Accepted) return false;
  font.Name = f.FontName->currentFont().family();
  font.Size = f.FontSize->currentText();
  font.Color = f.Color;
  return true;
}
