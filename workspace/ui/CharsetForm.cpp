#include "workspace/ui/CharsetForm.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Help.h"
#include "platform/ui/QtText.h"
#include "workspace/CharsetTable.h"
#include "workspace/ui/PageKit.h"

TCharSetForm::TCharSetForm(QWidget* parent) : QDialog(parent) {
  setObjectName("CharSetForm");
  setWindowTitle("Select Charset");
  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);

  auto* buttons =
      ButtonRow(this, {{OKBtn, "OKBtn", "Ok"}, {CancelBtn, "CancelBtn", "Cancel"}, {HelpBtn, "HelpBtn", "Help"}});
  HelpBtn->setAutoDefault(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ListBox1);
  layout->addLayout(buttons);
  resize(320, 380);

  connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
  connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] { ListBox1Click(); });
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpBtn, &QPushButton::clicked, this, [] { ShowHelpContext(HelpContext); });

  FormCreate();
}

void TCharSetForm::FormCreate() {
  ListBox1->clear();
  for (size_t i = 0; i < CharsetTable.size(); ++i) ListBox1->addItem(ToQString(CharsetLine(static_cast<int>(i))));
  ListBox1Click();
}

int TCharSetForm::ItemIndex() const {
  const auto selected = ListBox1->selectedItems();
  return selected.isEmpty() ? -1 : ListBox1->row(selected.first());
}

void TCharSetForm::SetItemIndex(int index) {
  if (index >= 0 && index < ListBox1->count()) {
    ListBox1->setCurrentRow(index);
    ListBox1->item(index)->setSelected(true);
  } else {
    ListBox1->clearSelection();
    ListBox1->setCurrentRow(-1);
  }
  ListBox1Click();
}

void TCharSetForm::FormShow() {
  if (ListBox1->count() > 0 && ItemIndex() < 0) SetItemIndex(0);
  ListBox1->setFocus();
  if (ItemIndex() >= 0) ListBox1->scrollToItem(ListBox1->item(ItemIndex()));
  ListBox1Click();
}

void TCharSetForm::ListBox1Click() { OKBtn->setEnabled(ItemIndex() >= 0); }

void TCharSetForm::ListBox1DblClick() {
  if (ItemIndex() >= 0) accept();
}

void TCharSetForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

// F1 reaches the dialog from whichever control has the focus, as no control takes it.
void TCharSetForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    ShowHelpContext(HelpContext);
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
