#include "withdrawal/ui/RespForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/ui/MemoText.h"
#include "platform/ui/QtText.h"
#include "workspace/CharsetTable.h"
#include "workspace/ui/PageKit.h"

TRespForm::TRespForm(QWidget* parent) : QDialog(parent) {
  setObjectName("RespForm");
  setWindowTitle("Response");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  CheckBox1 = Named(new QCheckBox("Respond To", this), "CheckBox1");
  Edit1 = Named(new QLineEdit(this), "Edit1");
  Edit2 = Named(new QLineEdit(this), "Edit2");
  CheckBox2 = Named(new QCheckBox("Forward To", this), "CheckBox2");
  Edit3 = Named(new QLineEdit(this), "Edit3");
  Edit4 = Named(new QLineEdit(this), "Edit4");
  ComboBox1 = Combo(this, "ComboBox1", false);
  for (int i = 0; i < static_cast<int>(CharsetTable.size()); ++i) ComboBox1->addItem(ToQString(CharsetLine(i)));
  ComboBox1->setCurrentIndex(0);
  form->addRow(CheckBox1);
  form->addRow(Edit1);
  form->addRow("Response Subject", Edit2);
  form->addRow(CheckBox2);
  form->addRow(Edit3);
  form->addRow("Forward Subject", Edit4);
  form->addRow("Encoding", ComboBox1);
  layout->addLayout(form);

  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  Memo1 = MemoBox(PageControl1, "Memo1");
  PageControl1->addTab(Memo1, "Edit");
  auto* preview = Named(new QWidget, "TabSheet2");
  auto* pl = new QVBoxLayout(preview);
  for (const char* caption : {"Respond To:", "Forward To:", "Response Subject:", "Forward Subject:"})
    pl->addWidget(new QLabel(caption, preview));
  Memo2 = MemoBox(preview, "Memo2", true, true);
  pl->addWidget(Memo2, 1);
  PageControl1->addTab(preview, "Preview");
  layout->addWidget(PageControl1, 1);

  Label7 = Named(new QLabel("Status", this), "Label7");
  ProgressBar1 = Named(new QProgressBar(this), "ProgressBar1");
  ProgressBar1->setValue(0);
  layout->addWidget(Label7);
  layout->addWidget(ProgressBar1);

  OkBtn = Named(new QPushButton("Ok", this), "OkBtn");
  CancelBtn = Named(new QPushButton("Cancel", this), "CancelBtn");
  SendBtn = Named(new QPushButton("Send", this), "SendBtn");
  HelpBtn = Named(new QPushButton("Help", this), "HelpBtn");
  // Nothing sends a response; the buttons are there as the window was laid out.
  SendBtn->setEnabled(false);
  HelpBtn->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SendBtn);
  buttons->addStretch();
  buttons->addWidget(OkBtn);
  buttons->addWidget(CancelBtn);
  buttons->addWidget(HelpBtn);
  layout->addLayout(buttons);
  resize(480, 520);

  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TRespForm::ShowResponse(const TResponseOptions& r) {
  CheckBox1->setChecked(r.RespondTo);
  CheckBox2->setChecked(r.ForwardTo);
  Edit1->setText(ToQString(r.RespondAddress));
  Edit2->setText(ToQString(r.ResponseSubject));
  Edit3->setText(ToQString(r.ForwardAddress));
  Edit4->setText(ToQString(r.ForwardSubject));
  SetMemoText(Memo1, r.ResponseText);
  ComboBox1->setCurrentIndex(ValidCharsetIndex(r.Charset) ? r.Charset : -1);
}

TResponseOptions TRespForm::Response() const {
  TResponseOptions r;
  r.RespondTo = CheckBox1->isChecked();
  r.ForwardTo = CheckBox2->isChecked();
  r.RespondAddress = ToStdString(Edit1->text());
  r.ResponseSubject = ToStdString(Edit2->text());
  r.ForwardAddress = ToStdString(Edit3->text());
  r.ForwardSubject = ToStdString(Edit4->text());
  r.ResponseText = MemoText(Memo1);
  r.Charset = ComboBox1->currentIndex();
  return r;
}

void TRespForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Memo1->setFocus();
}
