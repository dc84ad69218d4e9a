#include "workspace/ui/CalcFieldsPage.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui/QtText.h"
#include "toolkit/Reader.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/PageKit.h"

TCalcFieldsPage::TCalcFieldsPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheet7");
  auto* layout = new QHBoxLayout(this);

  auto* left = new QVBoxLayout;
  ListBox1 = Named(new QListWidget(this), "ListBox1");
  Button8 = Named(new QPushButton("Add", this), "Button8");
  Button14 = Named(new QPushButton("Delete", this), "Button14");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button8);
  buttons->addWidget(Button14);
  left->addWidget(ListBox1, 1);
  left->addLayout(buttons);

  auto* right = new QVBoxLayout;
  ComboBox1 = Combo(this, "ComboBox1", false);
  for (int i = 0; i < CalcFieldTypeCount; ++i) ComboBox1->addItem(ToQString(CalcFieldTypeName(i)));
  ComboBox1->setCurrentIndex(-1);
  Memo2 = MemoBox(this, "Memo2");
  right->addWidget(new QLabel("Type of Field", this));
  right->addWidget(ComboBox1);
  right->addWidget(new QLabel("Expression", this));
  right->addWidget(Memo2, 1);

  layout->addLayout(left, 1);
  layout->addLayout(right, 2);
  Button14->setEnabled(false);
  Memo2->setEnabled(false);
  ComboBox1->setEnabled(false);

  connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
  connect(Button14, &QPushButton::clicked, this, [this] { Button14Click(); });
  // A mouse click makes the row current before it selects it: the field shows once selected,
  // by the mouse or by the keys.
  connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] {
    if (!showing_) ListBox1Click();
  });
  connect(Memo2, &QPlainTextEdit::textChanged, this, [this] { Memo2Change(); });
  connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
  Memo2->installEventFilter(this);
}

TCalcFieldsPage::~TCalcFieldsPage() = default;

void TCalcFieldsPage::Bind(ICalcFieldStore* store, const TReader* reader) {
  reader_ = reader;
  rules_ = store ? std::make_unique<TCalcFieldPage>(*store, *this) : nullptr;
}

bool TCalcFieldsPage::eventFilter(QObject* watched, QEvent* e) {
  // Opening a menu is no leaving: the expression is stored when the memo really loses the focus.
  if (watched == Memo2 && e->type() == QEvent::FocusOut &&
      static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason)
    Memo2Exit();
  return QWidget::eventFilter(watched, e);
}

// --- handlers ----------------------------------------------------------------

void TCalcFieldsPage::ListCalcFields() {
  if (rules_) rules_->ListCalcFields();
}

void TCalcFieldsPage::Button8Click() {
  if (!rules_) return;
  rules_->Button8Click();
  emit CalcFieldsChanged();
}

void TCalcFieldsPage::Button14Click() {
  if (!rules_) return;
  rules_->Button14Click();
  emit CalcFieldsChanged();
}

void TCalcFieldsPage::ListBox1Click() {
  if (rules_) rules_->ListBox1Click();
}

void TCalcFieldsPage::Memo2Change() {
  if (rules_ && !showing_) rules_->Memo2Change();
}

void TCalcFieldsPage::Memo2Exit() {
  if (!rules_ || !rules_->CalcExprEdited) return;
  rules_->Memo2Exit();
  emit CalcFieldsChanged();
}

void TCalcFieldsPage::ComboBox1Change() {
  if (!rules_) return;
  rules_->ComboBox1Change();
  emit CalcFieldsChanged();
}

void TCalcFieldsPage::UpdateCalcFieldActions() {
  if (rules_) rules_->UpdateCalcFieldActions();
}

void TCalcFieldsPage::TabSheet7Show() { UpdateCalcFieldActions(); }

// --- the view ----------------------------------------------------------------

void TCalcFieldsPage::ShowNames(const std::vector<std::string>& names) {
  showing_ = true;
  ListBox1->clear();
  for (const std::string& n : names) ListBox1->addItem(ToQString(n));
  ListBox1->setCurrentRow(-1);
  showing_ = false;
}

int TCalcFieldsPage::SelectedIndex() const {
  const QListWidgetItem* item = ListBox1->currentItem();
  return item && item->isSelected() ? ListBox1->row(item) : -1;
}

void TCalcFieldsPage::SelectIndex(int index) {
  showing_ = true;
  ListBox1->setCurrentRow(index);
  showing_ = false;
}

std::string TCalcFieldsPage::ExpressionText() const { return ToStdString(Memo2->toPlainText()); }

void TCalcFieldsPage::ShowExpression(const std::string& text) {
  // Typing's handler runs as in the designed memo; the rules restore the flags after showing.
  Memo2->setPlainText(ToQString(text));
}

int TCalcFieldsPage::TypeIndex() const { return ComboBox1->currentIndex(); }

void TCalcFieldsPage::ShowTypeIndex(int index) {
  ComboBox1->setCurrentIndex(index >= 0 && index < ComboBox1->count() ? index : -1);
}

void TCalcFieldsPage::EnableFieldControls(bool on) {
  Button14->setEnabled(on);
  Memo2->setEnabled(on);
  ComboBox1->setEnabled(on);
}

void TCalcFieldsPage::FocusList() { ListBox1->setFocus(); }

bool TCalcFieldsPage::AskNewFieldName(const std::vector<std::string>& existing, std::string& name) {
  if (!NameDialog || !reader_) return false;
  NameDialog->InputName("Add Field", "Field \"%s\" already exists", name, true, existing, *reader_);
  return !name.empty();
}
