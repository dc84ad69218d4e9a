#include "workspace/ui/Seltab.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "workspace/ui/PageKit.h"

TSelTabForm::TSelTabForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SelTabForm");
  setWindowTitle("Select Table");
  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  auto* buttons = ButtonRow(this, {{SelectBtn, "SelectBtn", "Select"}, {CancelBtn, "CancelBtn", "Cancel"}});
  connect(SelectBtn, &QPushButton::clicked, this, [this] {
    if (SelectBtn->isEnabled()) accept();
  });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(ListBox1, &QListWidget::itemSelectionChanged, this, &TSelTabForm::ListBox1Click);
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] {
    ListBox1Click();
    if (SelectBtn->isEnabled()) accept();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ListBox1);
  layout->addLayout(buttons);
  resize(300, 320);
}

QString TSelTabForm::SelectedTable() const {
  auto items = ListBox1->selectedItems();
  return items.isEmpty() ? QString() : items.first()->text();
}

void TSelTabForm::ListBox1Click() { SelectBtn->setEnabled(!ListBox1->selectedItems().isEmpty()); }

void TSelTabForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (ListBox1->count() > 0 && ListBox1->selectedItems().isEmpty()) ListBox1->setCurrentRow(0);
  ListBox1Click();
  ListBox1->setFocus();
}
