#include "workspace/ui/FilterPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "platform/ui/QtText.h"
#include "workspace/ui/PageKit.h"

namespace {

// The caret after the first place bytes of the memo's text, as the evaluator
// was given it (UTF-8); the memo counts its own units.
void PlaceCaret(QPlainTextEdit* memo, int place) {
  memo->setEnabled(true);
  memo->setFocus();
  const std::string text = ToStdString(memo->toPlainText());
  const size_t bytes = place < 0 ? 0 : std::min(static_cast<size_t>(place), text.size());
  QTextCursor c = memo->textCursor();
  c.setPosition(static_cast<int>(ToQString(text.substr(0, bytes)).size()));
  memo->setTextCursor(c);
}

}  // namespace

TFilterPage::TFilterPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheet9");
  auto* layout = new QVBoxLayout(this);

  SpeedBar3 = Named(new QToolBar(this), "SpeedBar3");
  ToolAction(SpeedBar3, "SpeedItem24", "Refresh");
  layout->addWidget(SpeedBar3);

  auto* filter = Named(new QGroupBox("Filter", this), "GroupBox1");
  auto* fl = new QVBoxLayout(filter);
  Memo1 = MemoBox(filter, "Memo1");
  CheckBox1 = Named(new QCheckBox("Use Filter", filter), "CheckBox1");
  fl->addWidget(Memo1);
  fl->addWidget(CheckBox1);

  auto* highlight = Named(new QGroupBox("Highlight", this), "GroupBox2");
  auto* hl = new QGridLayout(highlight);
  ColorComboBox1 = ColorCombo(highlight, "ColorComboBox1");
  ColorComboBox1->setCurrentIndex(8);
  CheckBox5 = Named(new QCheckBox("Enabled", highlight), "CheckBox5");
  Memo5 = MemoBox(highlight, "Memo5");
  CheckBox3 = Named(new QCheckBox("Use Filter", highlight), "CheckBox3");
  hl->addWidget(ColorComboBox1, 0, 0);
  hl->addWidget(CheckBox5, 0, 1);
  hl->addWidget(Memo5, 1, 0, 1, 2);
  hl->addWidget(CheckBox3, 2, 0, 1, 2);

  auto* row = new QHBoxLayout;
  row->addWidget(filter, 1);
  row->addWidget(highlight, 1);
  layout->addLayout(row, 1);

  // A changed filter takes effect at the next open or refresh.
  connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
    StoreFilter();
    if (!showing_) emit Modified();
  });
  connect(CheckBox1, &QCheckBox::toggled, this, [this] { StoreFilter(); });
  connect(CheckBox3, &QCheckBox::toggled, this, [this] { StoreFilter(); });
  connect(CheckBox1, &QCheckBox::clicked, this, &TFilterPage::Modified);
  connect(ColorComboBox1, &QComboBox::activated, this, [this] { ColorComboBox1Click(); });
  connect(CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(); });
  connect(CheckBox5, &QCheckBox::clicked, this, [this] { CheckBox5Click(); });
  connect(Memo5, &QPlainTextEdit::textChanged, this, [this] {
    if (!showing_) Memo5Change();
  });
}

void TFilterPage::Bind(TWorkspaceState* state) {
  state_ = state;
  rules_ = state ? &state->RowRules : nullptr;
  filterChanged_.Reset();
  if (!state) return;
  filterChanged_ = state->FilterChanged.Subscribe([this] { ShowFilter(); });
  ShowFilter();
}

void TFilterPage::StoreFilter() {
  if (!state_ || showingFilter_) return;
  state_->SetFilter({ToStdString(Memo1->toPlainText()), CheckBox1->isChecked(), CheckBox3->isChecked()});
}

void TFilterPage::ShowFilter() {
  const TRowFilterSettings f = state_->Filter();
  const bool was = showingFilter_;
  showingFilter_ = true;
  // Unchanged text keeps the caret where the user is typing.
  if (ToStdString(Memo1->toPlainText()) != f.Text) Memo1->setPlainText(ToQString(f.Text));
  CheckBox1->setChecked(f.UseFilter);
  CheckBox3->setChecked(f.UseHighlight);
  showingFilter_ = was;
}

void TFilterPage::CheckBox3Click() {
  if (rules_) rules_->HighlightChanged();
  emit Modified();
  emit RepaintGrid();
}

void TFilterPage::CheckBox5Click() {
  if (rules_) rules_->SetSlotEnabled(ColorComboBox1->currentIndex(), CheckBox5->isChecked());
}

void TFilterPage::ColorComboBox1Click() {
  if (!rules_) return;
  rules_->HighlightChanged();
  const int i = ColorComboBox1->currentIndex();
  if (i >= 0 && i < HighlightSlotCount) {
    showing_ = true;
    CheckBox5->setChecked(rules_->HighlightSlots[i].Enabled);
    Memo5->setPlainText(ToQString(rules_->HighlightSlots[i].Expression));
    showing_ = false;
  }
  rules_->CompileHighlightRules();
  emit RepaintGrid();
}

void TFilterPage::Memo5Change() {
  if (rules_) rules_->SetSlotExpression(ColorComboBox1->currentIndex(), ToStdString(Memo5->toPlainText()));
  emit Modified();
  emit EditCommandsChanged();
}

void TFilterPage::PlaceFilterCaret(int place) { PlaceCaret(Memo1, place); }

void TFilterPage::ShowHighlightSlot(int slot, int place) {
  if (slot < 0 || slot >= HighlightSlotCount) return;
  ColorComboBox1->setCurrentIndex(slot);
  if (rules_) {
    showing_ = true;
    CheckBox5->setChecked(rules_->HighlightSlots[slot].Enabled);
    Memo5->setPlainText(ToQString(rules_->HighlightSlots[slot].Expression));
    showing_ = false;
  }
  PlaceCaret(Memo5, place);
}
