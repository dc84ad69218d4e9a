#include "mailing/ui/LogForm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "mailing/ReportConfig.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/ui/PageKit.h"

TLogForm::TLogForm(std::function<const TDataSet*()> table, QWidget* parent)
    : QDialog(parent), table_(std::move(table)) {
  setObjectName("LogForm");
  setWindowTitle("Report Configuration");
  ComboBox1 = Named(new QComboBox(this), "ComboBox1");
  ComboBox1->setEditable(false);
  ListBox1 = Named(new QListWidget(this), "ListBox1");
  Button1 = Named(new QPushButton("Add Field", this), "Button1");
  Button2 = Named(new QPushButton("Delete", this), "Button2");
  Button3 = Named(new QPushButton("Close", this), "Button3");
  Button4 = Named(new QPushButton("Help", this), "Button4");
  for (QPushButton* b : {Button1, Button2, Button3, Button4}) b->setAutoDefault(false);

  auto* fields = new QHBoxLayout;
  fields->addWidget(new QLabel("Fields", this));
  fields->addWidget(ComboBox1, 1);
  fields->addWidget(Button1);
  auto* list = new QHBoxLayout;
  auto* listBox = new QVBoxLayout;
  listBox->addWidget(new QLabel("Report Fields", this));
  listBox->addWidget(ListBox1);
  list->addLayout(listBox, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(Button2);
  side->addStretch();
  list->addLayout(side);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button3);
  buttons->addWidget(Button4);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(list);
  layout->addLayout(buttons);

  connect(ComboBox1, &QComboBox::activated, this, [this] { UpdateLogButtons(); });
  connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { UpdateLogButtons(); });
  connect(Button1, &QPushButton::clicked, this, &TLogForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TLogForm::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button4, &QPushButton::clicked, this, &TLogForm::Button4Click);
  UpdateLogButtons();
}

std::string TLogForm::ReportEntry() const { return ReportEntryText(fields_); }

void TLogForm::SetReportEntry(const std::string& text) {
  fields_ = ReportFieldsFromEntry(text);
  ShowFields(fields_.empty() ? -1 : 0);
}

void TLogForm::ShowFields(int selected) {
  {
    const QSignalBlocker block(ListBox1);
    ListBox1->clear();
    for (const auto& f : fields_) ListBox1->addItem(ToQString(f));
    ListBox1->setCurrentRow(selected);
  }
  UpdateLogButtons();
}

void TLogForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TLogForm::FormShow() {
  ComboBox1->clear();
  for (const auto& name : ReportFieldChoices(table_ ? table_() : nullptr)) ComboBox1->addItem(ToQString(name));
  ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
  ShowFields(fields_.empty() ? -1 : 0);
}

void TLogForm::UpdateLogButtons() {
  const TLogButtons b = ::UpdateLogButtons(ComboBox1->currentIndex() >= 0, ListBox1->currentRow() >= 0);
  Button1->setEnabled(b.AddField);
  Button2->setEnabled(b.Delete);
}

void TLogForm::Button1Click() {
  if (ComboBox1->currentIndex() < 0) return;
  const int index = AddReportField(fields_, ToStdString(ComboBox1->currentText()));
  if (index >= 0)
    ShowFields(index);
  else
    ErrorBox(ReportFieldExistsText);
}

void TLogForm::Button2Click() {
  const int selected = ListBox1->currentRow();
  if (selected < 0) return;
  ShowFields(DeleteReportField(fields_, selected));
}

void TLogForm::Button4Click() { ShowHelpContext(HelpContext); }

void TLogForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    Button4Click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
