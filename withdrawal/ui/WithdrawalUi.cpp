#include "withdrawal/ui/WithdrawalUi.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <cmath>

#include "db/FieldKind.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"
#include "platform/ui/MemoText.h"
#include "platform/ui/QtText.h"
#include "withdrawal/ExtractRecord.h"
#include "withdrawal/MailView.h"
#include "withdrawal/SchemesFile.h"
#include "withdrawal/WithdrawalEnabling.h"
#include "withdrawal/ui/GetListRunner.h"
#include "withdrawal/ui/RespForm.h"
#include "workspace/AppSettings.h"
#include "workspace/Profile.h"
#include "workspace/ui/AddWord.h"
#include "workspace/WorkspaceState.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/TableUi.h"
#include "workspace/ui/WithdrawalPage.h"

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& s) { return ToQString(s); }

fs::path FolderOr(const fs::path& folder) { return folder.empty() ? fs::path(ResolveAppDir()) : folder; }

// Runs its scope with the combo and list refills marked as the program's own.
class TFilling {
public:
  explicit TFilling(int& depth) : depth_(depth) { ++depth_; }
  ~TFilling() { --depth_; }
  TFilling(const TFilling&) = delete;
  TFilling& operator=(const TFilling&) = delete;

private:
  int& depth_;
};

int FindExact(const QComboBox* box, const std::string& text) {
  return box->findText(Q(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

std::vector<std::string> ComboItems(const QComboBox* box) {
  std::vector<std::string> items;
  for (int i = 0; i < box->count(); ++i) items.push_back(ToStdString(box->itemText(i)));
  return items;
}

std::vector<std::string> ListItems(const QListWidget* list) {
  std::vector<std::string> items;
  for (int i = 0; i < list->count(); ++i) items.push_back(ToStdString(list->item(i)->text()));
  return items;
}

QString ListDate(TDateTime date) { return std::isfinite(date) ? Q(DateToStr(date)) : QString(); }

QTreeWidgetItem* MailRow(const TIdMessage& m) {
  return new QTreeWidgetItem({Q(m.Subject), Q(m.From.Text()), ListDate(m.Date)});
}

}  // namespace

TWithdrawalUi::TWithdrawalUi(TLPMain& main, TWorkspaceState& state, TTableUi& tables, const fs::path& folder)
    : Data(FolderOr(folder)),
      Commands(Data, *this, (FolderOr(folder) / SchemesFileName).string()),
      main_(main),
      state_(state),
      tables_(tables),
      page_(main.WithdrawalPage()),
      folder_(FolderOr(folder)) {
  Data.DefaultCharset = [&settings = state.Settings] { return DefaultSchemeCharset(settings); };
  if (const std::string damaged = Commands.Load(); !damaged.empty()) ErrorBox(damaged);
  Bind();
  FillSchemeCombo();
  LoadAccountNames();
  {
    TFilling f(filling_);
    QComboBox* schemes = page_.ComboBox3;
    schemes->setCurrentIndex(FindExact(schemes, state_.Settings.Values().ActiveScheme));
    if (schemes->count() > 0 && schemes->currentIndex() < 0) schemes->setCurrentIndex(0);
  }
  ClearParserLists();
  RefreshParserPage();
  SetGetListRunner(nullptr);
  main.Services().Withdrawal = this;
}

TWithdrawalUi::~TWithdrawalUi() {
  if (main_.Services().Withdrawal == this) main_.Services().Withdrawal = nullptr;
}

void TWithdrawalUi::Bind() {
  TWithdrawalPage& p = page_;
  auto action = [this](const char* name, void (TWithdrawalUi::*fn)()) {
    if (QAction* a = main_.Action(name)) connect(a, &QAction::triggered, this, [this, fn] { (this->*fn)(); });
  };
  // The tool-bar items forward to these menu items.
  action("AddScheme1", &TWithdrawalUi::SpeedItem43Click);
  action("DeleteScheme1", &TWithdrawalUi::SpeedItem44Click);
  action("GetMailList1", &TWithdrawalUi::SpeedItem39Click);
  action("DeleteMail1", &TWithdrawalUi::SpeedItem41Click);
  action("Extract1", &TWithdrawalUi::SpeedItem46Click);
  action("Response1", &TWithdrawalUi::SpeedItem45Click);

  auto user = [this](auto* sender, auto signal, void (TWithdrawalUi::*fn)()) {
    connect(sender, signal, this, [this, fn] {
      if (filling_ == 0) (this->*fn)();
    });
  };
  user(p.ComboBox3, &QComboBox::activated, &TWithdrawalUi::ComboBox3Click);
  user(p.Button1, &QPushButton::clicked, &TWithdrawalUi::Button1Click);
  user(p.Button2, &QPushButton::clicked, &TWithdrawalUi::Button2Click);
  user(p.Button3, &QPushButton::clicked, &TWithdrawalUi::Button3Click);
  user(p.Button4, &QPushButton::clicked, &TWithdrawalUi::Button4Click);
  user(p.TextListBox1, &QListWidget::currentRowChanged, &TWithdrawalUi::UpdateWithdrawalControls);
  user(p.ListBox4, &QListWidget::currentRowChanged, &TWithdrawalUi::ListBox4Click);
  user(p.ComboBox6, &QComboBox::activated, &TWithdrawalUi::ComboBox6Click);
  user(p.ComboBox7, &QComboBox::activated, &TWithdrawalUi::ComboBox7Click);
  user(p.ComboBox11, &QComboBox::editTextChanged, &TWithdrawalUi::ComboBox11Change);
  user(p.ComboBox10, &QComboBox::editTextChanged, &TWithdrawalUi::ComboBox10Change);
  user(p.ComboBox13, &QComboBox::editTextChanged, &TWithdrawalUi::ComboBox13Change);
  user(p.ComboBox14, &QComboBox::editTextChanged, &TWithdrawalUi::ComboBox14Change);
  user(p.ComboBox15, &QComboBox::editTextChanged, &TWithdrawalUi::ComboBox15Change);
  user(p.ComboBox16, &QComboBox::editTextChanged, &TWithdrawalUi::ComboBox16Change);
  user(p.ComboBox12, &QComboBox::activated, &TWithdrawalUi::ComboBox12Click);
  user(p.ComboBox4, &QComboBox::activated, &TWithdrawalUi::ComboBox4Click);
  user(p.SpeedButton3, &QToolButton::clicked, &TWithdrawalUi::SpeedButton3Click);
  user(p.SpeedButton1, &QToolButton::clicked, &TWithdrawalUi::SpeedButton1Click);
  user(p.SpeedButton2, &QToolButton::clicked, &TWithdrawalUi::SpeedButton2Click);
  user(p.SpeedButton4, &QToolButton::clicked, &TWithdrawalUi::SpeedButton4Click);
  connect(p.PageControl3, &QTabWidget::currentChanged, this, [this] {
    if (PreviewTabCurrent()) TabSheet15Show();
  });
  p.ListView1->installEventFilter(this);
  p.ListView1->viewport()->installEventFilter(this);

  // The field lists follow the open table.
  connect(&tables_, &TTableUi::Opened, this, &TWithdrawalUi::RefreshParserPage);
  connect(&tables_, &TTableUi::Closed, this, &TWithdrawalUi::RefreshParserPage);
}

bool TWithdrawalUi::eventFilter(QObject* watched, QEvent* e) {
  if (watched == page_.ListView1->viewport() && e->type() == QEvent::MouseButtonRelease)
    ListView1Click();
  else if (watched == page_.ListView1 && e->type() == QEvent::KeyRelease)
    ListView1KeyUp(static_cast<QKeyEvent*>(e)->key());
  return QObject::eventFilter(watched, e);
}

void TWithdrawalUi::SetGetListRunner(IGetListRunner* runner) {
  runner_ = runner;
  for (const char* name : {"SpeedItem39", "GetMailList1"})
    if (QAction* a = main_.Action(name)) a->setEnabled(runner_ != nullptr);
  UpdateWithdrawalControls();
}

// ---------------------------------------------------------------- selections

bool TWithdrawalUi::TableOpen() const { return tables_.TableOpen(); }

int TWithdrawalUi::SelectedScheme() const {
  const int i = page_.ComboBox3->currentIndex();
  return i >= 0 && i < static_cast<int>(Data.Schemes.size()) ? i : -1;
}

int TWithdrawalUi::SelectedMarker() const {
  const QListWidget* list = page_.TextListBox1;
  return list->currentItem() && list->currentItem()->isSelected() ? list->currentRow() : -1;
}

int TWithdrawalUi::SelectedRule() const {
  const QListWidget* list = page_.ListBox4;
  return list->currentItem() && list->currentItem()->isSelected() ? list->currentRow() : -1;
}

std::vector<int> TWithdrawalUi::SelectedRows() const {
  std::vector<int> rows;
  const QTreeWidget* view = page_.ListView1;
  for (int i = 0; i < view->topLevelItemCount(); ++i)
    if (view->topLevelItem(i)->isSelected()) rows.push_back(i);
  return rows;
}

int TWithdrawalUi::SelectedRow() const {
  const QTreeWidget* view = page_.ListView1;
  for (int i = 0; i < view->topLevelItemCount(); ++i)
    if (view->topLevelItem(i)->isSelected()) return i;
  return -1;
}

int TWithdrawalUi::SelectedAccount() const { return page_.ComboBox12->currentIndex(); }

std::optional<std::string> TWithdrawalUi::SelectedSchemeAccount() const {
  const int s = SelectedScheme();
  if (s < 0) return std::nullopt;
  return Data.Schemes[static_cast<size_t>(s)].Account;
}

// ---------------------------------------------------------------- enabling

void TWithdrawalUi::UpdateWithdrawalControls() {
  TWithdrawalPage& p = page_;
  TWithdrawalState s;
  s.SchemeCount = p.ComboBox3->count();
  s.SchemeSelected = SelectedScheme() >= 0;
  s.GetListAvailable = runner_ != nullptr;
  s.GetListRunning = getListRunning_;
  if (IMailingWindow* mailing = main_.Services().Mailing) {
    s.MailingWindowExists = true;
    s.MailingState = mailing->SendState();
  }
  s.MarkerCount = p.TextListBox1->count();
  s.MarkerSelected = SelectedMarker() >= 0;
  s.RuleCount = p.ListBox4->count();
  s.RuleSelected = SelectedRule() >= 0;
  s.ValueCount = p.ComboBox4->count();
  const TWithdrawalEnabling e = ComputeWithdrawalEnabling(s);

  auto en = [this](const char* name, bool on) {
    if (QAction* a = main_.Action(name)) a->setEnabled(on);
  };
  p.ComboBox3->setEnabled(e.SchemeCombo);
  en("DeleteScheme1", e.SchemeCommands);
  en("SpeedItem44", e.SchemeCommands);
  p.ComboBox12->setEnabled(e.SchemeCommands);
  en("SpeedItem45", e.Response);
  en("Response1", e.Response);
  en("SpeedItem46", e.Extract);
  en("Extract1", e.Extract);
  p.Button1->setEnabled(e.SchemeCommands);
  p.Button3->setEnabled(e.SchemeCommands);
  if (e.GetList) en("SpeedItem39", *e.GetList);
  if (QAction* bar = main_.Action("SpeedItem39")) en("GetMailList1", bar->isEnabled());
  en("SpeedItem41", e.DeleteMail);
  en("DeleteMail1", e.DeleteMail);
  en("SpeedItem43", true);
  en("AddScheme1", true);
  p.TextListBox1->setEnabled(e.MarkerList);
  p.ListBox4->setEnabled(e.RuleList);
  p.ComboBox4->setEnabled(e.ValueCombo);
  p.Button2->setEnabled(e.DeleteMarker);
  p.ComboBox6->setEnabled(e.RuleControls);
  p.ComboBox7->setEnabled(e.RuleControls);
  p.ComboBox11->setEnabled(e.RuleControls);
  p.Button4->setEnabled(e.RuleControls);
}

// ---------------------------------------------------------------- schemes

void TWithdrawalUi::FillSchemeCombo() {
  TFilling f(filling_);
  page_.ComboBox3->clear();
  for (const TScheme& s : Data.Schemes) page_.ComboBox3->addItem(Q(s.Name));
}

void TWithdrawalUi::SaveActiveScheme() {
  state_.Settings.SetAndSave(stActiveScheme, ToStdString(page_.ComboBox3->currentText()));
}

void TWithdrawalUi::ClearParserLists() {
  TFilling f(filling_);
  page_.TextListBox1->clear();
  page_.ListBox4->clear();
}

void TWithdrawalUi::RefreshParserPage() {
  FillParserFieldCombos();
  FillValueRules();
  ShowValueRule();
}

void TWithdrawalUi::FillParserFieldCombos() {
  TFilling f(filling_);
  TWithdrawalPage& p = page_;
  const int s = SelectedScheme();
  if (s < 0) {
    p.ComboBox12->setCurrentIndex(-1);
    return;
  }
  const TScheme& scheme = Data.Schemes[static_cast<size_t>(s)];
  p.ComboBox12->setCurrentIndex(FindExact(p.ComboBox12, scheme.Account));
  QComboBox* time = p.ComboBox13;
  QComboBox* fromName = p.ComboBox14;
  QComboBox* fromEmail = p.ComboBox15;
  QComboBox* subject = p.ComboBox16;
  QComboBox* content = p.ComboBox10;
  for (QComboBox* box : {time, fromName, fromEmail, subject, content}) {
    box->clear();
    box->setEditText(QString());
  }
  if (TableOpen()) {
    TDataSet& table = state_.Table.ADOQuery1;
    for (int i = 0; i < table.FieldCount(); ++i) {
      const QString name = Q(table.Fields(i).FieldName());
      switch (FieldKind(table.Fields(i).DataType())) {
        case fkText:
          for (QComboBox* box : {time, fromName, fromEmail, subject}) box->addItem(name);
          break;
        case fkDateTime: time->addItem(name); break;
        case fkMemo: content->addItem(name); break;
        case fkNumber:
        case fkBoolean: break;
      }
    }
  }
  time->setEditText(Q(scheme.TimeField));
  fromName->setEditText(Q(scheme.FromNameField));
  fromEmail->setEditText(Q(scheme.FromEmailField));
  subject->setEditText(Q(scheme.SubjectField));
  content->setEditText(Q(scheme.ContentField));

  QListWidget* markers = p.TextListBox1;
  const int previous = markers->currentRow();
  markers->clear();
  for (const std::string& m : scheme.Markers) markers->addItem(Q(m));
  if (previous >= 0 && previous < markers->count()) markers->setCurrentRow(previous);
  if (markers->count() > 0 && markers->currentRow() < 0) markers->setCurrentRow(0);
}

void TWithdrawalUi::FillValueRules() {
  TFilling f(filling_);
  TWithdrawalPage& p = page_;
  const int rulePrevious = p.ListBox4->currentRow();
  const int valuePrevious = p.ComboBox4->currentIndex();
  p.ListBox4->clear();
  p.ComboBox4->clear();
  p.ComboBox6->clear();
  p.ComboBox7->clear();
  p.ComboBox11->clear();
  p.ComboBox11->setEditText(QString());
  if (TableOpen()) {
    TDataSet& table = state_.Table.ADOQuery1;
    for (int i = 0; i < table.FieldCount(); ++i) p.ComboBox11->addItem(Q(table.Fields(i).FieldName()));
  }
  if (const int s = SelectedScheme(); s >= 0) {
    const TScheme& scheme = Data.Schemes[static_cast<size_t>(s)];
    for (size_t n = 0; n < scheme.Values.size(); ++n) {
      const QString caption = Q(ValueRuleCaption(static_cast<int>(n)));
      p.ListBox4->addItem(caption);
      p.ComboBox4->addItem(caption);
    }
    if (p.ListBox4->count() > 0) p.ListBox4->setCurrentRow(0);
    if (p.ComboBox4->count() > 0) p.ComboBox4->setCurrentIndex(0);
    p.ComboBox6->addItem(Q(BeginningOfTextMarker));
    p.ComboBox7->addItem(Q(EndOfLineMarker));
    p.ComboBox7->addItem(Q(AnyMarkerMarker));
    for (const std::string& m : scheme.Markers) {
      p.ComboBox6->addItem(Q(m));
      p.ComboBox7->addItem(Q(m));
    }
    p.ComboBox7->addItem(Q(EndOfTextMarker));
  }
  if (rulePrevious >= 0 && rulePrevious < p.ListBox4->count()) p.ListBox4->setCurrentRow(rulePrevious);
  if (valuePrevious >= 0 && valuePrevious < p.ComboBox4->count()) p.ComboBox4->setCurrentIndex(valuePrevious);
  if (p.ListBox4->count() > 0 && p.ListBox4->currentRow() < 0) p.ListBox4->setCurrentRow(0);
  if (p.ComboBox4->count() > 0 && p.ComboBox4->currentIndex() < 0) p.ComboBox4->setCurrentIndex(0);
}

void TWithdrawalUi::ShowValueRule() {
  TFilling f(filling_);
  TWithdrawalPage& p = page_;
  const int s = SelectedScheme();
  const int r = SelectedRule();
  if (s >= 0 && r >= 0 && r < static_cast<int>(Data.Schemes[static_cast<size_t>(s)].Values.size())) {
    const TScheme::TValue& rule = Data.Schemes[static_cast<size_t>(s)].Values[static_cast<size_t>(r)];
    p.ComboBox6->setCurrentIndex(FindExact(p.ComboBox6, rule.AfterMarker));
    p.ComboBox7->setCurrentIndex(FindExact(p.ComboBox7, rule.UpToMarker));
    p.ComboBox11->setEditText(Q(rule.Field));
  } else {
    p.ComboBox6->setCurrentIndex(-1);
    p.ComboBox7->setCurrentIndex(-1);
    p.ComboBox11->setEditText(QString());
  }
}

void TWithdrawalUi::SpeedItem43Click() {
  if (!nameDialog_) return;
  std::string name;
  nameDialog_->InputName(AddSchemeCaption, SchemeExistsFormat, name, true, ComboItems(page_.ComboBox3), state_.Reader1);
  if (name.empty()) return;
  const int index = Commands.AddScheme(name);
  FillSchemeCombo();
  {
    TFilling f(filling_);
    page_.ComboBox3->setCurrentIndex(index);
  }
  SaveActiveScheme();
  ClearParserLists();
  RefreshParserPage();
  UpdateWithdrawalControls();
  PreviewParse(false);
}

bool TWithdrawalUi::ConfirmDelete(const std::string& question) {
  return ConfirmBox(question, TMsgButtons::YesNo) == TMsgResult::Yes;
}

void TWithdrawalUi::SpeedItem44Click() {
  const int s = SelectedScheme();
  if (s < 0) return;
  const std::optional<int> next = Commands.DeleteScheme(s);
  if (!next) return;
  FillSchemeCombo();
  {
    TFilling f(filling_);
    page_.ComboBox3->setCurrentIndex(*next);
  }
  SaveActiveScheme();
  ClearParserLists();
  RefreshParserPage();
  UpdateWithdrawalControls();
  PreviewParse(false);
}

void TWithdrawalUi::ComboBox3Click() {
  SaveActiveScheme();
  ClearParserLists();
  RefreshParserPage();
  UpdateWithdrawalControls();
  PreviewParse(false);
}

void TWithdrawalUi::Button1Click() {
  const int s = SelectedScheme();
  if (s < 0 || !nameDialog_) return;
  std::string marker;
  nameDialog_->InputName(AddMarkerCaption, MarkerExistsFormat, marker, false, ListItems(page_.TextListBox1),
                         state_.Reader1);
  if (marker.empty()) return;
  const int index = Commands.AddMarker(s, marker);
  RefreshParserPage();
  {
    TFilling f(filling_);
    page_.TextListBox1->setCurrentRow(index);
  }
  UpdateWithdrawalControls();
}

void TWithdrawalUi::Button2Click() {
  const int s = SelectedScheme();
  const int m = SelectedMarker();
  if (s < 0 || m < 0) return;
  const std::optional<int> next = Commands.DeleteMarker(s, m);
  if (!next) return;
  RefreshParserPage();
  {
    TFilling f(filling_);
    page_.TextListBox1->setCurrentRow(*next);
  }
  UpdateWithdrawalControls();
}

void TWithdrawalUi::Button3Click() {
  const int s = SelectedScheme();
  if (s < 0) return;
  const int index = Commands.AddValueRule(s);
  FillValueRules();
  {
    TFilling f(filling_);
    page_.ListBox4->setCurrentRow(index);
  }
  ShowValueRule();
  UpdateWithdrawalControls();
}

void TWithdrawalUi::Button4Click() {
  const int s = SelectedScheme();
  const int r = SelectedRule();
  if (s < 0 || r < 0) return;
  const std::optional<int> next = Commands.DeleteValueRule(s, r);
  if (!next) return;
  FillValueRules();
  {
    TFilling f(filling_);
    page_.ListBox4->setCurrentRow(*next);
  }
  ShowValueRule();
  UpdateWithdrawalControls();
}

void TWithdrawalUi::ListBox4Click() {
  ShowValueRule();
  UpdateWithdrawalControls();
}

void TWithdrawalUi::ComboBox6Click() {
  Commands.SetRuleAfterMarker(SelectedScheme(), SelectedRule(), ToStdString(page_.ComboBox6->currentText()));
}

void TWithdrawalUi::ComboBox7Click() {
  Commands.SetRuleUpToMarker(SelectedScheme(), SelectedRule(), ToStdString(page_.ComboBox7->currentText()));
}

void TWithdrawalUi::ComboBox11Change() {
  Commands.SetRuleField(SelectedScheme(), SelectedRule(), ToStdString(page_.ComboBox11->currentText()));
}

void TWithdrawalUi::SetField(TSchemeField which, const QComboBox* box) {
  Commands.SetField(SelectedScheme(), which, ToStdString(box->currentText()));
}

void TWithdrawalUi::ComboBox10Change() { SetField(TSchemeField::Content, page_.ComboBox10); }
void TWithdrawalUi::ComboBox13Change() { SetField(TSchemeField::Time, page_.ComboBox13); }
void TWithdrawalUi::ComboBox14Change() { SetField(TSchemeField::FromName, page_.ComboBox14); }
void TWithdrawalUi::ComboBox15Change() { SetField(TSchemeField::FromEmail, page_.ComboBox15); }
void TWithdrawalUi::ComboBox16Change() { SetField(TSchemeField::Subject, page_.ComboBox16); }

void TWithdrawalUi::ComboBox12Click() {
  Commands.SetAccount(SelectedScheme(), ToStdString(page_.ComboBox12->currentText()));
}

void TWithdrawalUi::SpeedItem45Click() {
  const int s = SelectedScheme();
  if (s < 0 || !respForm_) return;
  respForm_->ShowResponse(Data.Schemes[static_cast<size_t>(s)].Response);
  if (respForm_->exec() == QDialog::Accepted) Commands.SetResponse(s, respForm_->Response());
}

void TWithdrawalUi::FillAccountCombo(const std::vector<std::string>& names) {
  TFilling f(filling_);
  QComboBox* box = page_.ComboBox12;
  box->clear();
  for (const std::string& n : names) box->addItem(Q(n));
  const std::optional<std::string> account = SelectedSchemeAccount();
  box->setCurrentIndex(account ? FindExact(box, *account) : -1);
}

void TWithdrawalUi::LoadAccountNames() {
  TProfiles profiles;
  LoadAccounts((folder_ / ProfFileName).string(), profiles);
  std::vector<std::string> names;
  for (const TProfile& p : profiles) names.push_back(p.AccountName);
  FillAccountCombo(names);
}

// ---------------------------------------------------------------- extraction and preview

void TWithdrawalUi::SpeedItem46Click() {
  const int s = SelectedScheme();
  TDataSet& table = state_.Table.ADOQuery1;
  const bool freeText = page_.CheckBox4->isChecked();
  TExtractResult extracted;
  if (freeText) {
    if (!TableOpen()) tables_.OpenDB0Click();
    if (!TableOpen()) return;
    extracted = ExtractFreeText(Data, s, table, MemoText(page_.Memo6), Now());
  } else {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    if (!TableOpen()) tables_.OpenDB0Click();
    if (!TableOpen()) return;
    std::vector<TExtractSource> sources;
    for (int row : rows)
      if (row < static_cast<int>(Data.MailList.size()))
        sources.push_back({Data.MailList[static_cast<size_t>(row)].Message.get(), row});
    extracted = ExtractMessages(Data, s, table, sources, [this](int row) {
      RefreshMailMemo(row);
      return viewerText_;
    });
  }
  if (!extracted.Error.empty()) ErrorBox(extracted.Error);
  if (!freeText) RefreshMailMemo(SelectedRow());
  if (extracted.Posted > 0) {
    tables_.ShowDatabasePage();
    tables_.UpdateRecordActions();
    // The counter was last set when the new record was appended (not yet counted, no number).
    tables_.ShowRecordCounter(RecordCounterText(table.RecNo(), table.RecordCount()));
  }
}

std::string TWithdrawalUi::PreviewText() const {
  return page_.CheckBox4->isChecked() ? MemoText(page_.Memo6) : viewerText_;
}

bool TWithdrawalUi::PreviewTabCurrent() const {
  const QWidget* tab = page_.PageControl3->currentWidget();
  return tab && tab->objectName() == "TabSheet15";
}

void TWithdrawalUi::PreviewParse(bool focus) {
  TWithdrawalPage& p = page_;
  const TPreviewValue v = ::PreviewParse(Data, SelectedScheme(), PreviewText(), p.ComboBox4->currentIndex());
  SetMemoText(p.Memo4, v.Value);
  p.Label13->setText(Q(v.Marker));
  const bool previewShown = p.isVisible() && PreviewTabCurrent();
  if (focus && previewShown && p.ComboBox4->isEnabled()) p.ComboBox4->setFocus();
}

void TWithdrawalUi::ComboBox4Click() {
  TWithdrawalPage& p = page_;
  const int s = SelectedScheme();
  const int v = p.ComboBox4->currentIndex();
  if (s >= 0 && v >= 0 && v < static_cast<int>(Data.Schemes[static_cast<size_t>(s)].Values.size())) {
    const TScheme::TValue& rule = Data.Schemes[static_cast<size_t>(s)].Values[static_cast<size_t>(v)];
    SetMemoText(p.Memo4, rule.Value);
    p.Label13->setText(Q(rule.AfterMarker));
  } else {
    p.Memo4->clear();
    p.Label13->clear();
  }
}

void TWithdrawalUi::TabSheet15Show() { PreviewParse(true); }

void TWithdrawalUi::SetPreviewIndex(int index) {
  TFilling f(filling_);
  page_.ComboBox4->setCurrentIndex(index);
}

void TWithdrawalUi::SpeedButton3Click() {
  SetPreviewIndex(0);
  PreviewParse(true);
}

void TWithdrawalUi::SpeedButton1Click() {
  if (page_.ComboBox4->currentIndex() > 0) SetPreviewIndex(page_.ComboBox4->currentIndex() - 1);
  PreviewParse(true);
}

void TWithdrawalUi::SpeedButton2Click() {
  if (page_.ComboBox4->currentIndex() < page_.ComboBox4->count() - 1)
    SetPreviewIndex(page_.ComboBox4->currentIndex() + 1);
  PreviewParse(true);
}

void TWithdrawalUi::SpeedButton4Click() {
  SetPreviewIndex(page_.ComboBox4->count() - 1);
  PreviewParse(true);
}

// ---------------------------------------------------------------- the message list

void TWithdrawalUi::TabSheet4Show() {
  RefreshMailList();
  RefreshMailControl();
  RefreshMailMemo(SelectedRow());
  page_.ListView1->setFocus();
}

void TWithdrawalUi::RefreshMailList() {
  Data.ReadMailList();
  listRead_ = true;
}

void TWithdrawalUi::SelectRow(int row) {
  QTreeWidget* view = page_.ListView1;
  QTreeWidgetItem* item = view->topLevelItem(row);
  if (!item) return;
  view->clearSelection();
  item->setSelected(true);
  view->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
  view->scrollToItem(item);
}

void TWithdrawalUi::ShowMessageCount() {
  page_.StatusPanel3b->setText(Q(" " + std::to_string(Data.MailList.size()) + " message(s)"));
}

void TWithdrawalUi::RefreshMailControl() {
  TFilling f(filling_);
  QTreeWidget* view = page_.ListView1;
  const int remembered = SelectedRow();
  view->clear();
  QList<QTreeWidgetItem*> rows;
  const TIdMessage none;
  for (const TPop3Mail& mail : Data.MailList) rows.append(MailRow(mail.Message ? *mail.Message : none));
  view->addTopLevelItems(rows);
  const int count = view->topLevelItemCount();
  if (count > 0) SelectRow(remembered < count ? (remembered >= 0 ? remembered : 0) : count - 1);
  ShowMessageCount();
}

void TWithdrawalUi::ShowViewerText(const std::string& text) {
  viewerText_ = text;
  SetMemoText(page_.Memo3, text);
}

void TWithdrawalUi::RefreshMailMemo(int row) {
  ShowViewerText(std::string());
  viewerEntry_.clear();
  if (row < 0 || row >= static_cast<int>(Data.MailList.size())) return;
  const std::string& entry = Data.MailList[static_cast<size_t>(row)].EntryName;
  std::unique_ptr<TIdMessage> message = Data.ReadFullMessage(entry);
  if (!message) return;
  viewerEntry_ = entry;
  ShowViewerText(MessageViewerText(*message));
}

void TWithdrawalUi::SpeedItem41Click() {
  const std::vector<int> rows = SelectedRows();
  std::error_code ec;
  if (rows.empty() || !fs::exists(Data.StoreFileName(), ec)) return;
  if (ConfirmBox("Delete Selected Mail(s)?", TMsgButtons::YesNo) != TMsgResult::Yes) return;
  std::vector<std::string> names;
  for (int row : rows)
    if (row < static_cast<int>(Data.MailList.size()))
      names.push_back(Data.MailList[static_cast<size_t>(row)].EntryName);
  Data.DeleteMessages(names);  // reads the list again
  listRead_ = true;
  RefreshMailControl();
  RefreshMailMemo(SelectedRow());
  if (page_.isVisible()) page_.ListView1->setFocus();
}

void TWithdrawalUi::ListView1Click() {
  RefreshMailMemo(SelectedRow());
  PreviewParse(false);
}

void TWithdrawalUi::ListView1KeyUp(int key) {
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: ListView1Click(); break;
    case Qt::Key_Delete: SpeedItem41Click(); break;
    default: break;
  }
}

void TWithdrawalUi::SpeedItem39Click() {
  if (runner_ && !getListRunning_) runner_->GetMailList();
}

void TWithdrawalUi::MessageInserted(int index) {
  if (!listRead_ || index < 0 || static_cast<size_t>(index) >= Data.MailList.size()) {
    RefreshMailList();
    RefreshMailControl();
    RefreshMailMemo(SelectedRow());
    return;
  }
  const TIdMessage none;
  const TPop3Mail& mail = Data.MailList[static_cast<size_t>(index)];
  TFilling f(filling_);
  ShowInsertedRow(index, MailRow(mail.Message ? *mail.Message : none));
}

void TWithdrawalUi::ShowInsertedRow(int at, QTreeWidgetItem* row) {
  page_.ListView1->insertTopLevelItem(at, row);
  if (SelectedRow() < 0) SelectRow(0);
  ShowMessageCount();
  // The viewer is read again only when the selection now names another message.
  const int selected = SelectedRow();
  if (selected < 0 || Data.MailList[static_cast<size_t>(selected)].EntryName != viewerEntry_) RefreshMailMemo(selected);
}

void TWithdrawalUi::SetGetListStatus(const std::string& text) {
  page_.StatusPanel3a->setText(Q(text));
  page_.StatusPanel3a->repaint();
}

void TWithdrawalUi::SetGetListRunning(bool running) {
  getListRunning_ = running;
  // Ending a run gives Get List back; the enabling then applies the mailing window's state.
  if (!running && runner_)
    for (const char* name : {"SpeedItem39", "GetMailList1"})
      if (QAction* a = main_.Action(name)) a->setEnabled(true);
  UpdateWithdrawalControls();
}
