#include "mailing/ui/ProjectUi.h"

#include "mailing/ReportFieldList.h"

#include "mailing/Preview.h"

#include "mailing/ui/MailPreview.h"

#include "mailing/ui/HtmlEditor.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "db/FieldKind.h"
#include "mailing/Attachments.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/AppSettings.h"
#include "workspace/CharsetTable.h"
#include "workspace/ui/CalcFieldsPage.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/WorkspaceState.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/TableUi.h"

TProjectUi::TProjectUi(TLPMain& w, TWorkspaceState& state)
    : QObject(nullptr),
      TagValues(state.RowRules, state.FastEval1, Project, state.Table.ADOQuery1),
      Commands(Project, state.RowRules.HighlightSlots, *this, state.Settings, state.ProjectFileName),
      Merger(state.Reader1, TagValues, *this, *this),
      w_(w),
      state_(state) {
  setObjectName("ProjectUi");
  w.AdoptBoundChild(this);
  state_.RowRules.SetCalcFieldSource(&Project);
  w.CalcFieldsPage().Bind(&Project, &state_.Reader1);

  OpenDialog = [this](const std::string& dir, std::string& fileName) {
    const QString f =
        QFileDialog::getOpenFileName(&w_, "Open Project", ToQString(dir), "Larkpost Files (*.lkp);;All Files (*)");
    fileName = ToStdString(f);
    return !f.isEmpty();
  };
  SaveDialog = [this](const std::string& dir, const std::string& name, std::string& fileName) {
    // The name alone when one is given: the dialog starts in the project folder.
    const std::string start = name.empty() ? dir : name;
    const QString f = QFileDialog::getSaveFileName(&w_, "Save Project As", ToQString(start), "Larkpost Files (*.lkp)");
    fileName = ToStdString(f);
    return !f.isEmpty();
  };
  AttachDialog = [this] {
    std::vector<std::string> files;
    for (const QString& f : QFileDialog::getOpenFileNames(&w_, "Attach Files", QString(), "All Files (*)"))
      files.push_back(ToStdString(f));
    return files;
  };

  auto on = [this](const char* name, std::function<void()> fn) {
    if (QAction* a = w_.Action(name)) connect(a, &QAction::triggered, this, std::move(fn));
  };
  on("NewMail0", [this] { NewMail0Click(); });
  on("OpenMail0", [this] { OpenMail0Click(); });
  on("SaveMail0", [this] { SaveMail0Click(); });
  on("SaveMailAs0", [this] { SaveMailAs0Click(); });

  TMailingPage& page = w.MailingPage();
  connect(page.Button19, &QPushButton::clicked, this, [this] { Button19Click(); });
  connect(page.Button24, &QPushButton::clicked, this, [this] { Button24Click(); });
  connect(page.ListBox3, &QListWidget::itemClicked, this, [this] { ListBox3Click(); });
  connect(page.ListBox3, &QListWidget::currentRowChanged, this, [this] { UpdateAttachActions(); });
  connect(page.PageControl2, &QTabWidget::currentChanged, this, [this, &page] {
    if (page.PageControl2->currentWidget() == page.TabSheet6) TabSheet6Show();
  });
  connect(page.ComboBox2, &QComboBox::activated, this, [this] {
    if (!Preview) ComboBox2Change();  // the preview's own handler does it otherwise
  });

  // The To list follows the open table.
  connect(&w.Tables(), &TTableUi::Opened, this, &TProjectUi::FillToFieldList);
  connect(&w.Tables(), &TTableUi::Closed, this, &TProjectUi::FillToFieldList);
}

TProjectUi::~TProjectUi() {
  state_.RowRules.SetCalcFieldSource(nullptr);
  w_.CalcFieldsPage().Bind(nullptr, nullptr);
  TFrameServices& s = w_.Services();
  if (s.Project == this) s.Project = nullptr;
}

void TProjectUi::ListToProject() {
  ::ListToProject(Project, *this, state_.RowRules.HighlightSlots, state_.Settings);
  // The Filter page shows the rule of the colour the project names.
  ReapplyHighlight();
}

// --- the mailing's view of the project ------------------------------------------

TPrepareProject TProjectUi::PrepareProject() const {
  // The mailing takes what was typed into the editor, not the last copy of it.
  if (Editor) Editor->SyncEditedHtml();
  const TProjectValues v = ProjectValues();
  TPrepareProject p;
  p.ProjectFileName = state_.ProjectFileName;
  p.Charset = CharsetName();
  p.MailMode = v.MailMode;
  p.Subject = v.Subject;
  p.HtmlSource = v.Document;
  p.PlainText = v.Plain;
  p.ToAddr = v.ToAddr;
  p.Attachments = ::LoadAttachList(Project);
  return p;
}

std::string TProjectUi::CharsetName() const { return CharsetMimeName(Charset()); }

int32_t TProjectUi::Charset() const { return Editor ? Editor->CharsetIndex : charsetIndex_; }

void TProjectUi::SetCharset(int32_t index) {
  if (Editor)
    Editor->CharsetIndex = index;
  else
    charsetIndex_ = index;
}

std::string TProjectUi::To() const { return Preview ? Preview->ToAddr : toAddr_; }

void TProjectUi::SetTo(const std::string& field) {
  if (Preview)
    Preview->ToAddr = field;
  else
    toAddr_ = field;
}

char TProjectUi::TagSign() const { return TagSignOf(state_.Settings.Values().TagSign); }

// --- IProjectHost --------------------------------------------------------------

bool TProjectUi::OpenProjectDialog(const std::string& dir, std::string& fileName) {
  return OpenDialog && OpenDialog(dir, fileName);
}

bool TProjectUi::SaveProjectDialog(const std::string& dir, const std::string& name, std::string& fileName) {
  return SaveDialog && SaveDialog(dir, name, fileName);
}

void TProjectUi::ShowWarning(const std::string& text) { InfoBox(text); }

TMsgResult TProjectUi::AskYesNoCancel(const std::string& question) {
  return ConfirmBox(question, TMsgButtons::YesNoCancel);
}

bool TProjectUi::ProjectModified() const { return w_.IsProjectModified(); }

void TProjectUi::SnapshotProject() { w_.SnapshotProject(); }

void TProjectUi::CommitCalcFieldEdit() { w_.CalcFieldsPage().Memo2Exit(); }

void TProjectUi::ProjectReplaced() {
  if (TCalcFieldPage* rules = w_.CalcFieldsPage().Rules()) rules->ProjectReplaced();
  LoadAttachList();
  if (w_.MailingPage().ListBox3->count() > 0) SelectAttachment(0);
  UpdateAttachActions();
  // Other fields, other rules: the colours worked out so far are stale.
  state_.RowRules.InvalidateRowColors();
}

void TProjectUi::ReapplyHighlight() { w_.FilterPage().ColorComboBox1Click(); }

// --- IProjectView --------------------------------------------------------------

TProjectValues TProjectUi::ProjectValues() const {
  const TFilterPage& f = w_.FilterPage();
  const TMailingPage& m = w_.MailingPage();
  TProjectValues v;
  const TRowFilterSettings filter = state_.Filter();
  v.FilterText = FromMemoText(ToQString(filter.Text));
  v.UseFilter = filter.UseFilter;
  v.UseHighlight = filter.UseHighlight;
  v.ColorIndex = f.ColorComboBox1->currentIndex();
  // The HTML editor keeps its source in the Source view until it takes part itself.
  v.Document = FromMemoText(m.RxRichEdit1->toPlainText());
  v.MailMode = state_.MailMode;
  v.Subject = ToStdString(m.Edit2->text());
  v.ToAddr = To();
  v.Plain = FromMemoText(m.RxRichEdit2->toPlainText());
  v.CharsetIndex = Charset();
  v.Report = ReportFields ? ReportFields->ReportEntry() : report_;
  return v;
}

void TProjectUi::ShowProjectValues(const TProjectValues& v) {
  TFilterPage& f = w_.FilterPage();
  TMailingPage& m = w_.MailingPage();
  state_.SetFilter({ToStdString(ToMemoText(v.FilterText)), v.UseFilter, v.UseHighlight});
  f.ColorComboBox1->setCurrentIndex(v.ColorIndex);
  if (Editor)
    Editor->SetSourceText(ToStdString(ToMemoText(v.Document)));  // not typing: no edit mark
  else
    m.RxRichEdit1->setPlainText(ToMemoText(v.Document));
  m.Edit2->setText(ToQString(v.Subject));
  SetTo(v.ToAddr);
  m.RxRichEdit2->setPlainText(ToMemoText(v.Plain));
  SetCharset(v.CharsetIndex);
  if (ReportFields)
    ReportFields->SetReportEntry(v.Report);
  else
    report_ = v.Report;
}

void TProjectUi::ApplyMailMode(TMailMode mode) {
  // The menu's switch: it marks the project modified, as the designed switch does.
  if (QAction* a = w_.Action(mode == mmPlainText ? "PlainText1" : "HTML1")) a->trigger();
}

void TProjectUi::FillToFieldList() {
  if (Preview) return Preview->FillToFieldList();
  TDataSet& q = state_.Table.ADOQuery1;
  const TToFieldList list = ::FillToFieldList(q.Active() ? &q : nullptr, toAddr_);
  QComboBox* to = w_.MailingPage().ComboBox2;
  to->clear();
  for (const std::string& item : list.Items) to->addItem(ToQString(item));
  to->setCurrentIndex(list.ItemIndex);
}

void TProjectUi::SyncHtmlEditor() {
  if (Editor) Editor->SyncEditedHtml();
}

void TProjectUi::LoadHtmlEditorIfShown() {
  // The editor loads the Source into its document on its timer; a hidden Edit
  // tab loads when it is shown.
  TMailingPage& m = w_.MailingPage();
  if (Editor && m.isVisible() && m.PageControl2->currentWidget() == m.TabSheet3) Editor->Timer1->start();
}

void TProjectUi::UpdateCaption() { w_.UpdateCaption(); }

// --- attachments and the To field ----------------------------------------------

void TProjectUi::LoadAttachList() {
  QListWidget* list = w_.MailingPage().ListBox3;
  list->clear();
  for (const std::string& name : ::LoadAttachList(Project)) list->addItem(ToQString(name));
}

void TProjectUi::SelectAttachment(int index) {
  QListWidget* list = w_.MailingPage().ListBox3;
  if (index >= 0 && index < list->count()) list->setCurrentRow(index);
}

void TProjectUi::UpdateAttachActions() {
  const QListWidget* list = w_.MailingPage().ListBox3;
  const QListWidgetItem* item = list->currentItem();
  w_.MailingPage().Button24->setEnabled(item && item->isSelected());
}

void TProjectUi::Button19Click() {
  QListWidget* list = w_.MailingPage().ListBox3;
  EnsureAttachEntry(Project);
  const std::vector<std::string> files = AttachDialog ? AttachDialog() : std::vector<std::string>();
  if (files.empty()) {
    list->setFocus();
    return;
  }
  w_.SetModified(true);
  const int last = AddAttachments(Project, files);
  LoadAttachList();
  SelectAttachment(last);
  UpdateAttachActions();
  list->setFocus();
}

void TProjectUi::Button24Click() {
  QListWidget* list = w_.MailingPage().ListBox3;
  const QListWidgetItem* item = list->currentItem();
  if (item && item->isSelected()) {
    bool removed = false;
    const int next = RemoveAttachment(Project, list->row(item), removed);
    if (removed) {
      w_.SetModified(true);
      LoadAttachList();
      SelectAttachment(next);
    }
  }
  UpdateAttachActions();
  list->setFocus();
}

void TProjectUi::TabSheet6Show() {
  UpdateAttachActions();
  w_.MailingPage().ListBox3->setFocus();
}

void TProjectUi::ComboBox2Change() {
  w_.SetModified(true);
  SetTo(ToStdString(w_.MailingPage().ComboBox2->currentText()));
}
