#include "mailing/ui/MailPreview.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>

#include "mailing/ui/HtmlEditor.h"
#include "mailing/ui/SafeWebPage.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/WorkspaceState.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/TableUi.h"
#include "workspace/AppSettings.h"

TPreviewView::TPreviewView(QWidget* parent) : QWebEngineView(parent) {
  page_ = new TSafeWebPage(this);
  setPage(page_);
  // The page's own menu offers navigation; the preview has none.
  setContextMenuPolicy(Qt::NoContextMenu);
}

TMailPreview::TMailPreview(TLPMain& main, TWorkspaceState& state, THtmlEditor& editor)
    : QObject(&main), main_(main), state_(state), page_(main.MailingPage()), editor_(editor) {
  setObjectName("MailPreview");
  QWidget* place = page_.WebBrowser1;
  WebBrowser1 = new TPreviewView(place->parentWidget());
  WebBrowser1->setObjectName("WebBrowser1");
  if (QLayout* l = place->parentWidget()->layout()) delete l->replaceWidget(place, WebBrowser1);
  delete place;
  page_.WebBrowser1 = WebBrowser1;

  connect(WebBrowser1->Page(), &QWebEnginePage::loadFinished, this, [this] { WebBrowser1DocumentComplete(); });
  for (QToolButton* b : page_.DBNavigator1->findChildren<QToolButton*>()) {
    const QString name = b->objectName();
    connect(b, &QToolButton::clicked, this, [this, name] { DBNavigator1Click(name); });
  }
  connect(page_.ComboBox2, &QComboBox::activated, this, [this] { ComboBox2Change(); });
  page_.Edit2->installEventFilter(this);
  // The frame's own destruction moves the focus too; its pages are going then.
  connect(&main_, &TLPMain::PagesClosing, this, [this] { page_.Edit2->removeEventFilter(this); });

  editor_.OnPreviewTabShown = [this] { TabSheet5Show(); };
  editor_.OnRebuildPreview = [this] { BuildPreview(); };

  // The To list follows the open table, and a table opened under the preview shows its record.
  TTableUi* tables = &main_.Tables();
  connect(tables, &TTableUi::Opened, this, [this] {
    FillToFieldList();
    if (editor_.PreviewTabShown()) BuildPreview();
  });
  connect(tables, &TTableUi::Closed, this, &TMailPreview::FillToFieldList);
}

bool TMailPreview::eventFilter(QObject* watched, QEvent* e) {
  if (watched == page_.Edit2 && e->type() == QEvent::FocusOut &&
      static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason)
    Edit2Exit();
  return QObject::eventFilter(watched, e);
}

// ---------------------------------------------------------------- the rules' view

std::string TMailPreview::ToFieldText() { return ToStdString(page_.ComboBox2->currentText()); }
void TMailPreview::ShowTo(const std::string& text) { page_.PreviewTo->setText(ToQString(text)); }
std::string TMailPreview::SubjectText() { return ToStdString(page_.Edit2->text()); }
void TMailPreview::ShowSubject(const std::string& text) { page_.PreviewSubject->setText(ToQString(text)); }
void TMailPreview::SyncEditedHtml() { editor_.SyncEditedHtml(); }
TMailMode TMailPreview::MailMode() { return state_.MailMode; }
std::string TMailPreview::SourceText() { return editor_.SourceText(); }
std::string TMailPreview::PlainText() { return ToStdString(page_.RxRichEdit2->toPlainText()); }
int32_t TMailPreview::CharsetIndex() { return editor_.CharsetIndex; }

bool TMailPreview::Navigate(const std::string& fileName) {
  WebBrowser1->Page()->LoadFile(ToQString(fileName));
  return true;
}

void TMailPreview::ShowWarning(const std::string& text) { InfoBox(text); }
void TMailPreview::ShowError(const std::string& text) { ErrorBox(text); }

char TMailPreview::TagSign() const { return TagSignOf(state_.Settings.Values().TagSign); }

// ---------------------------------------------------------------- operations

void TMailPreview::BuildPreview() {
  if (!Preview.PreviewReady) return;
  if (!TagValues) {
    ErrorBox("Preview Failed");
    return;
  }
  TMerger merger(state_.Reader1, *TagValues, *this, *this);
  Preview.BuildPreview(*this, merger);
}

void TMailPreview::UpdateToPreview() {
  if (!TagValues) return;
  TMerger merger(state_.Reader1, *TagValues, *this, *this);
  ::UpdateToPreview(*this, merger);
}

void TMailPreview::UpdateSubjectPreview() {
  if (!TagValues) return;
  TMerger merger(state_.Reader1, *TagValues, *this, *this);
  ::UpdateSubjectPreview(*this, merger);
}

void TMailPreview::FillToFieldList() {
  TTableUi& tables = main_.Tables();
  const TToFieldList list = ::FillToFieldList(tables.TableOpen() ? &state_.Table.ADOQuery1 : nullptr, ToAddr);
  QComboBox* combo = page_.ComboBox2;
  combo->clear();
  for (const std::string& item : list.Items) combo->addItem(ToQString(item));
  combo->setCurrentIndex(list.ItemIndex);
}

void TMailPreview::ComboBox2Change() {
  main_.SetModified(true);
  ToAddr = ToFieldText();
  UpdateToPreview();
}

void TMailPreview::Edit2Exit() {
  UpdateSubjectPreview();
  main_.UpdateHtmlMenus();
}

void TMailPreview::TabSheet5Show() {
  BuildPreview();
  WebBrowser1->setFocus();
  main_.UpdateControls();
}

void TMailPreview::DBNavigator1Click(const QString& button) {
  TTableUi& tables = main_.Tables();
  if (tables.TableOpen()) {
    TDataSet& data = state_.Table.ADOQuery1;
    if (button == "First")
      data.First();
    else if (button == "Prior")
      data.Prior();
    else if (button == "Next")
      data.Next();
    else if (button == "Last")
      data.Last();
  }
  BuildPreview();
}

void TMailPreview::WebBrowser1DocumentComplete() { Preview.DocumentComplete(); }
