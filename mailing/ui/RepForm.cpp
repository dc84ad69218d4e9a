#include "mailing/ui/RepForm.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>

#include "mailing/PreparedMailing.h"
#include "mailing/ui/SafeWebPage.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/AppSettings.h"
#include "workspace/ui/PageKit.h"

namespace {

QLabel* Value(QWidget* parent, const char* name) {
  auto* l = Named(new QLabel(parent), name);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}

std::string DefaultChooseSaveFile(QWidget* parent, const std::string& startDir) {
  // The dialog asks before overwriting by itself.
  return ToStdString(QFileDialog::getSaveFileName(parent, "Save As", ToQString(startDir), "Text Files (*.txt)"));
}

}  // namespace

TRepForm::TRepForm(TAppSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setObjectName("RepForm");
  setWindowTitle("Report - ");
  resize(760, 560);

  PreparedValue = Value(this, "Label7");
  EncodingValue = Value(this, "Label8");
  MailTypeValue = Value(this, "Label9");
  AmountValue = Value(this, "Label10");
  SentValue = Value(this, "Label11");
  FailedValue = Value(this, "Label12");
  ListBox1 = Named(new QListWidget(this), "ListBox1");
  ListBox1->setMaximumHeight(80);
  TextListBox1 = Named(new QListWidget(this), "TextListBox1");
  QFont fixed("Courier New");
  fixed.setStyleHint(QFont::TypeWriter);
  TextListBox1->setFont(fixed);
  ToValue = Value(this, "Label15");
  SubjectValue = Value(this, "Label17");
  StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  Button1 = Named(new QPushButton("Close", this), "Button1");
  Button2 = Named(new QPushButton("Save As...", this), "Button2");
  Button1->setAutoDefault(false);
  Button2->setAutoDefault(false);

  auto* header = new QGridLayout;
  QLabel* const values[] = {PreparedValue, EncodingValue, MailTypeValue, AmountValue, SentValue, FailedValue};
  for (int i = 0; i < 6; ++i) {
    auto* caption = new QLabel(ReportHeaderLabels[i], this);
    caption->setObjectName(QString("Label%1").arg(i + 1));
    header->addWidget(caption, i % 3, (i / 3) * 2);
    header->addWidget(values[i], i % 3, (i / 3) * 2 + 1);
  }
  auto* attachments = new QVBoxLayout;
  attachments->addWidget(Named(new QLabel("Attachments", this), "Label13"));
  attachments->addWidget(ListBox1);
  auto* top = new QHBoxLayout;
  top->addLayout(header, 1);
  top->addLayout(attachments, 1);
  auto* item = new QGridLayout;
  item->addWidget(Named(new QLabel("To:", this), "Label14"), 0, 0);
  item->addWidget(ToValue, 0, 1);
  item->addWidget(Named(new QLabel("Subject:", this), "Label16"), 1, 0);
  item->addWidget(SubjectValue, 1, 1);
  item->setColumnStretch(1, 1);
  auto* body = new QWidget(this);
  bodyLayout_ = new QVBoxLayout(body);
  bodyLayout_->setContentsMargins(0, 0, 0, 0);
  bodyLayout_->addLayout(item);
  bodyLayout_->addStretch(1);  // the viewer's place
  bodyLayout_->addWidget(StatusBar1);
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(TextListBox1);
  split->addWidget(body);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button2);
  buttons->addWidget(Button1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addLayout(buttons);

  ChooseSaveFile = [this](const std::string& dir) { return DefaultChooseSaveFile(this, dir); };
  connect(TextListBox1, &QListWidget::currentRowChanged, this, [this] { TextListBox1Click(); });
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &TRepForm::Button2Click);
}

TRepForm::~TRepForm() {
  // The page goes before its profile.
  if (WebBrowser1) WebBrowser1->setPage(nullptr);
  delete page_;
}

void TRepForm::CreateViewer() {
  // Made when first needed: the browser engine starts only when a body is shown.
  if (WebBrowser1) return;
  WebBrowser1 = Named(new QWebEngineView(this), "WebBrowser1");
  auto* profile = new QWebEngineProfile(this);  // off the record: nothing kept on disk
  page_ = new TSafeWebPage(profile, WebBrowser1);
  WebBrowser1->setPage(page_);
  connect(page_, &QWebEnginePage::linkHovered, this, [this](const QString& url) { StatusBar1->showMessage(url); });
  const int place = bodyLayout_->count() - 2;
  delete bodyLayout_->takeAt(place);
  bodyLayout_->insertWidget(place, WebBrowser1, 1);
}

void TRepForm::ShowReport(const TPreparedMailing& mailing, QWidget* over) {
  SetList(mailing);
  // The viewer is made before the window is: made while the window shows, it
  // re-creates the window, which then comes up beneath the one it was opened
  // from and without input.
  if (!mailing.MailList.Items.empty()) CreateViewer();
  // The window belongs to the main window, but stands over the one it is opened from.
  QWidget* owner = over ? over->window() : nullptr;
  if (owner && owner->windowHandle()) {
    winId();
    windowHandle()->setTransientParent(owner->windowHandle());
  }
  exec();
  if (owner && windowHandle())
    windowHandle()->setTransientParent(parentWidget() ? parentWidget()->window()->windowHandle() : nullptr);
}

void TRepForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TRepForm::FormShow() {
  static const TMailList empty;
  const TMailList& list = mailing_ ? mailing_->MailList : empty;
  header_ = BuildReportHeader(list, mailing_ ? mailing_->SentCount : 0, mailing_ ? mailing_->FailedCount : 0);
  lines_ = ReportItemLines(list);
  setWindowTitle(ToQString(header_.Caption));
  PreparedValue->setText(ToQString(header_.Prepared));
  EncodingValue->setText(ToQString(header_.Encoding));
  MailTypeValue->setText(ToQString(header_.MailType));
  AmountValue->setText(ToQString(header_.Amount));
  SentValue->setText(ToQString(header_.Sent));
  FailedValue->setText(ToQString(header_.Failed));
  ListBox1->clear();
  for (const auto& a : header_.Attachments) ListBox1->addItem(ToQString(a));
  {
    const QSignalBlocker block(TextListBox1);
    TextListBox1->clear();
    for (const auto& l : lines_) TextListBox1->addItem(ToQString(l));
    TextListBox1->setCurrentRow(lines_.empty() ? -1 : 0);
  }
  TextListBox1->setFocus();
  TextListBox1Click();
}

void TRepForm::TextListBox1Click() {
  const int row = TextListBox1->currentRow();
  if (!mailing_ || row < 0 || row >= static_cast<int>(mailing_->MailList.Items.size())) {
    ToValue->clear();
    SubjectValue->clear();
    if (page_) page_->Clear();
    return;
  }
  const TMailItem& item = mailing_->MailList.Items[static_cast<size_t>(row)];
  ToValue->setText(ToQString(item.To));
  SubjectValue->setText(ToQString(item.Subject));
  const std::string file = viewer_.Write(item.Body);
  if (file.empty()) {
    ErrorBox("View Failed");
    return;
  }
  CreateViewer();
  page_->Open(QUrl::fromLocalFile(ToQString(file)));
}

void TRepForm::Button2Click() {
  const std::string chosen = ChooseSaveFile ? ChooseSaveFile(settings_.Values().ReportDir) : std::string();
  if (chosen.empty()) return;
  settings_.SetAndSave(stReportDir, ReportFolderOf(chosen));
  const std::string error = SaveTextLines(ReportSaveFileName(chosen), ReportFileLines(header_, lines_));
  if (!error.empty()) ErrorBox(error);
}
