#include "workspace/ui/Options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/Help.h"
#include "platform/ui/QtText.h"
#include "workspace/CharsetTable.h"
#include "workspace/ui/PageKit.h"

namespace {

int FindExact(const QComboBox* box, const std::string& text) {
  if (text.empty()) return -1;
  return box->findText(ToQString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

}  // namespace

TOptForm::TOptForm(TAppSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setObjectName("OptForm");
  setWindowTitle("Options");

  CheckBox2 = new QCheckBox("Confirmation of Deleting Records", this);
  CheckBox2->setObjectName("CheckBox2");
  ComboBox3 = new QComboBox(this);
  ComboBox3->setObjectName("ComboBox3");
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  UpDown1 = new QSpinBox(this);
  UpDown1->setObjectName("UpDown1");
  UpDown1->setRange(MinThreads, MaxThreads);
  Edit1 = UpDown1->findChild<QLineEdit*>();
  if (Edit1) Edit1->setObjectName("Edit1");
  FontComboBox1 = new QFontComboBox(this);
  FontComboBox1->setObjectName("FontComboBox1");
  FontComboBox1->setEditable(false);
  FontComboBox1->setFontFilters(QFontComboBox::ScalableFonts);
  ColorComboBox1 = ColorCombo(this, "ColorComboBox1");
  ComboBox2 = new QComboBox(this);
  ComboBox2->setObjectName("ComboBox2");

  auto* form = new QFormLayout;
  form->addRow(CheckBox2);
  form->addRow("Tag Sign", ComboBox3);
  form->addRow("Default Encoding", ComboBox1);
  form->addRow("Threads", UpDown1);
  form->addRow("DataBase Font", FontComboBox1);
  form->addRow("Color of Sorted Colum", ColorComboBox1);
  form->addRow("Active Account for Mailing", ComboBox2);
  auto* buttons =
      ButtonRow(this, {{OKBtn, "OKBtn", "Ok"}, {CancelBtn, "CancelBtn", "Cancel"}, {HelpBtn, "HelpBtn", "Help"}});
  HelpBtn->setAutoDefault(false);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);

  for (const char* sign : TagSigns) ComboBox3->addItem(sign);

  // User changes only: the values shown by LoadOptions are not changes.
  connect(CheckBox2, &QCheckBox::clicked, this, [this] { Mark(stConfirmDel); });
  connect(UpDown1, &QSpinBox::valueChanged, this, [this] { Mark(stThreads); });
  connect(ComboBox1, &QComboBox::activated, this, [this] { Mark(stDefaultCharset); });
  connect(ComboBox2, &QComboBox::activated, this, [this] { Mark(stActiveProfile); });
  connect(ColorComboBox1, &QComboBox::activated, this, [this] { Mark(stSortColor); });
  connect(FontComboBox1, &QComboBox::activated, this, [this] { Mark(stDBFont); });
  connect(ComboBox3, &QComboBox::activated, this, [this] { Mark(stTagSign); });
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpBtn, &QPushButton::clicked, this, &TOptForm::HelpBtnClick);

  FormCreate();
  // A value the dialog cannot show (an account no longer listed, a font not
  // installed) reads as none.
  std::vector<std::string> fonts;
  for (int i = 0; i < FontComboBox1->count(); ++i) fonts.push_back(ToStdString(FontComboBox1->itemText(i)));
  settings_.SetChoices(stDBFont, std::move(fonts));
  settings_.SetChoices(stActiveProfile, {});
  ShowValues(TSettingValues());
  marks_ = {};
}

void TOptForm::FormCreate() {
  ComboBox1->clear();
  for (size_t i = 0; i < CharsetTable.size(); ++i) ComboBox1->addItem(ToQString(CharsetLine(static_cast<int>(i))));
  ComboBox1->setCurrentIndex(-1);
}

void TOptForm::FormShow() {
  CheckBox2->setFocus();
  marks_ = {};
  const bool sending = host_ && host_->SendState() == ssSending;
  UpDown1->setEnabled(!sending);
  ComboBox2->setEnabled(!sending);
}

void TOptForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

// F1 reaches the dialog from whichever control has the focus, as no control takes it.
void TOptForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    HelpBtnClick();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TOptForm::HelpBtnClick() { ShowHelpContext(HelpContext); }

void TOptForm::SetAccountNames(const std::vector<std::string>& names) {
  settings_.SetChoices(stActiveProfile, names);
  QSignalBlocker block(ComboBox2);
  ComboBox2->clear();
  for (const auto& n : names) ComboBox2->addItem(ToQString(n));
  ComboBox2->setCurrentIndex(FindExact(ComboBox2, settings_.Values().ActiveProfile));
}

// The controls keep what they show when the key cannot be opened.
void TOptForm::LoadOptions() {
  if (settings_.LoadOptions()) ShowValues(settings_.Values());
}

bool TOptForm::Options1Click() { return settings_.Options1Click(*this); }

bool TOptForm::ShowModal() { return exec() == QDialog::Accepted; }

TSettingValues TOptForm::Values() const {
  TSettingValues v;
  v.ConfirmDel = ConfirmDel();
  v.Threads = Threads();
  v.DefaultCharset = DefaultCharset();
  v.ActiveProfile = ActiveProfile();
  v.SortColor = SortColor();
  v.DBFont = DBFont();
  v.TagSign = TagSignIndex();
  return v;
}

void TOptForm::ShowValues(const TSettingValues& v) {
  const QSignalBlocker b1(CheckBox2), b2(UpDown1), b3(ComboBox1), b4(ComboBox2), b5(ColorComboBox1), b6(FontComboBox1),
      b7(ComboBox3);
  CheckBox2->setChecked(v.ConfirmDel);
  UpDown1->setValue(v.Threads);
  ComboBox1->setCurrentIndex(ValidCharsetIndex(v.DefaultCharset) ? v.DefaultCharset : -1);
  ComboBox2->setCurrentIndex(FindExact(ComboBox2, v.ActiveProfile));
  ColorComboBox1->setCurrentIndex(v.SortColor >= 0 && v.SortColor < ColorComboBox1->count() ? v.SortColor : -1);
  FontComboBox1->setCurrentIndex(FindExact(FontComboBox1, v.DBFont));
  ComboBox3->setCurrentIndex(v.TagSign >= 0 && v.TagSign < ComboBox3->count() ? v.TagSign : -1);
}

bool TOptForm::ConfirmDel() const { return CheckBox2->isChecked(); }

int TOptForm::Threads() const { return UpDown1->value(); }
int TOptForm::DefaultCharset() const { return ComboBox1->currentIndex(); }
int TOptForm::ActiveProfileIndex() const { return ComboBox2->currentIndex(); }

std::string TOptForm::ActiveProfile() const {
  return ComboBox2->currentIndex() >= 0 ? ToStdString(ComboBox2->currentText()) : std::string();
}

int TOptForm::SortColor() const { return ColorComboBox1->currentIndex(); }

std::string TOptForm::DBFont() const {
  return FontComboBox1->currentIndex() >= 0 ? ToStdString(FontComboBox1->currentText()) : std::string();
}

int TOptForm::TagSignIndex() const { return ComboBox3->currentIndex(); }

std::string TOptForm::TagSign() const {
  const int i = TagSignIndex();
  return (i >= 0 && i < static_cast<int>(TagSigns.size())) ? TagSigns[static_cast<size_t>(i)] : TagSigns[0];
}
