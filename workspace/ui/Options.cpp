#include "workspace/ui/Options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/Help.h"
#include "platform/ui/QtText.h"
#include "workspace/CharsetTable.h"

const std::array<unsigned, 16> SortColors{0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                          0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                          0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
const std::array<const char*, 16> SortColorNames{"Black", "Maroon", "Green", "Olive",  "Navy",   "Purple",
                                                 "Teal",  "Gray",   "Silver", "Red",   "Lime",   "Yellow",
                                                 "Blue",  "Fuchsia", "Aqua",  "White"};

namespace {

int FindExact(const QComboBox* box, const std::string& text) {
  if (text.empty()) return -1;
  return box->findText(ToQString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

}  // namespace

TOptForm::TOptForm(QWidget* parent) : QDialog(parent) {
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
  ColorComboBox1 = new QComboBox(this);
  ColorComboBox1->setObjectName("ColorComboBox1");
  ComboBox2 = new QComboBox(this);
  ComboBox2->setObjectName("ComboBox2");
  OKBtn = new QPushButton("Ok", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  HelpBtn = new QPushButton("Help", this);
  HelpBtn->setObjectName("HelpBtn");
  HelpBtn->setAutoDefault(false);

  auto* form = new QFormLayout;
  form->addRow(CheckBox2);
  form->addRow("Tag Sign", ComboBox3);
  form->addRow("Default Encoding", ComboBox1);
  form->addRow("Threads", UpDown1);
  form->addRow("DataBase Font", FontComboBox1);
  form->addRow("Color of Sorted Colum", ColorComboBox1);
  form->addRow("Active Account for Mailing", ComboBox2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  buttons->addWidget(HelpBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);

  for (const char* sign : TagSigns) ComboBox3->addItem(sign);
  for (size_t i = 0; i < SortColors.size(); ++i) {
    QPixmap swatch(16, 16);
    swatch.fill(QColor::fromRgb(SortColors[i]));
    ColorComboBox1->addItem(QIcon(swatch), SortColorNames[i]);
  }

  // User changes only: the values shown by LoadOptions are not changes.
  connect(CheckBox2, &QCheckBox::clicked, this, [this] { Mark(omConfirmDel); });
  connect(UpDown1, &QSpinBox::valueChanged, this, [this] { Mark(omThreads); });
  connect(ComboBox1, &QComboBox::activated, this, [this] { Mark(omDefaultCharset); });
  connect(ComboBox2, &QComboBox::activated, this, [this] { Mark(omActiveProfile); });
  connect(ColorComboBox1, &QComboBox::activated, this, [this] { Mark(omSortColor); });
  connect(FontComboBox1, &QComboBox::activated, this, [this] { Mark(omDBFont); });
  connect(ComboBox3, &QComboBox::activated, this, [this] { Mark(omTagSign); });
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpBtn, &QPushButton::clicked, this, &TOptForm::HelpBtnClick);

  FormCreate();
  ShowValues(TOptionValues());
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
  const std::string selected = ActiveProfile();
  QSignalBlocker block(ComboBox2);
  ComboBox2->clear();
  for (const auto& n : names) ComboBox2->addItem(ToQString(n));
  ComboBox2->setCurrentIndex(FindExact(ComboBox2, selected));
}

void TOptForm::LoadOptions() { AppSettings().LoadOptions(*this); }

bool TOptForm::Options1Click(const std::function<void()>& onSortColorWritten) {
  return AppSettings().Options1Click(*this, onSortColorWritten);
}

bool TOptForm::ShowModal() { return exec() == QDialog::Accepted; }

TOptionValues TOptForm::Values() const {
  TOptionValues v;
  v.ConfirmDel = ConfirmDel();
  v.Threads = Threads();
  v.DefaultCharset = DefaultCharset();
  v.ActiveProfile = ActiveProfile();
  v.SortColor = SortColor();
  v.DBFont = DBFont();
  v.TagSign = TagSignIndex();
  return v;
}

void TOptForm::ShowValues(const TOptionValues& v) {
  const QSignalBlocker b1(CheckBox2), b2(UpDown1), b3(ComboBox1), b4(ComboBox2), b5(ColorComboBox1),
      b6(FontComboBox1), b7(ComboBox3);
  CheckBox2->setChecked(v.ConfirmDel);
  UpDown1->setValue(v.Threads);
  ComboBox1->setCurrentIndex(ValidCharsetIndex(v.DefaultCharset) ? v.DefaultCharset : -1);
  ComboBox2->setCurrentIndex(FindExact(ComboBox2, v.ActiveProfile));
  ColorComboBox1->setCurrentIndex(v.SortColor >= 0 && v.SortColor < ColorComboBox1->count() ? v.SortColor : -1);
  FontComboBox1->setCurrentIndex(FindExact(FontComboBox1, v.DBFont));
  ComboBox3->setCurrentIndex(v.TagSign >= 0 && v.TagSign < ComboBox3->count() ? v.TagSign : -1);
}

bool TOptForm::ConfirmDel() const { return CheckBox2->isChecked(); }

void TOptForm::SetConfirmDel(bool value) {
  const QSignalBlocker block(CheckBox2);
  CheckBox2->setChecked(value);
}

int TOptForm::Threads() const { return UpDown1->value(); }
int TOptForm::DefaultCharset() const { return ComboBox1->currentIndex(); }
int TOptForm::ActiveProfileIndex() const { return ComboBox2->currentIndex(); }

std::string TOptForm::ActiveProfile() const {
  return ComboBox2->currentIndex() >= 0 ? ToStdString(ComboBox2->currentText()) : std::string();
}

int TOptForm::SortColor() const { return ColorComboBox1->currentIndex(); }

unsigned TOptForm::SortColorRgb() const {
  const int i = SortColor();
  return (i >= 0 && i < static_cast<int>(SortColors.size())) ? SortColors[static_cast<size_t>(i)] : SortColors[14];
}

std::string TOptForm::DBFont() const {
  return FontComboBox1->currentIndex() >= 0 ? ToStdString(FontComboBox1->currentText()) : std::string();
}

int TOptForm::TagSignIndex() const { return ComboBox3->currentIndex(); }

std::string TOptForm::TagSign() const {
  const int i = TagSignIndex();
  return (i >= 0 && i < static_cast<int>(TagSigns.size())) ? TagSigns[static_cast<size_t>(i)] : TagSigns[0];
}
