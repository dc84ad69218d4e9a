#include "workspace/ui/edb.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "platform/ui/QtText.h"

namespace {

QToolButton* NavButton(QWidget* parent, const char* name, const QString& text, const QString& tip) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(text);
  b->setToolTip(tip);
  return b;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

TEditDB::TEditDB(TTableWorkspace& ws, QWidget* parent) : QDialog(parent), ws_(ws) {
  setObjectName("EditDB");
  setWindowTitle("Edit Record");
  resize(560, 360);
  auto* top = new QVBoxLayout(this);
  auto* nav = new QHBoxLayout;
  NavFirst = NavButton(this, "NavFirst", "|<", "First");
  NavPrior = NavButton(this, "NavPrior", "<", "Prior");
  NavNext = NavButton(this, "NavNext", ">", "Next");
  NavLast = NavButton(this, "NavLast", ">|", "Last");
  for (QToolButton* b : {NavFirst, NavPrior, NavNext, NavLast}) nav->addWidget(b);
  nav->addStretch();
  top->addLayout(nav);

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  ScrollInner = new QWidget;
  ScrollInner->setObjectName("ScrollInner");
  ScrollBox1->setWidget(ScrollInner);
  top->addWidget(ScrollBox1, 1);

  auto* buttons = new QHBoxLayout;
  Button4 = Button(this, "Button4", "New");
  Button5 = Button(this, "Button5", "Delete");
  Button2 = Button(this, "Button2", "Apply");
  Button3 = Button(this, "Button3", "Restore");
  Button1 = Button(this, "Button1", "Close");
  Button6 = Button(this, "Button6", "Help");
  for (QPushButton* b : {Button4, Button5, Button2, Button3, Button1, Button6}) buttons->addWidget(b);
  top->addLayout(buttons);
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusPanel1 = new QLabel(StatusBar1);
  StatusPanel1->setObjectName("StatusPanel1");
  StatusBar1->addWidget(StatusPanel1, 1);
  top->addWidget(StatusBar1);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  Store1 = PopupMenu1->addAction("Template");
  Store1->setObjectName("Store1");
  Store1->setCheckable(true);
  Autocomplete1 = PopupMenu1->addAction("Autocomplete");
  Autocomplete1->setObjectName("Autocomplete1");
  Autocomplete1->setCheckable(true);
  connect(Store1, &QAction::triggered, this, [this] { Store1Click(); });
  connect(Autocomplete1, &QAction::triggered, this, [this] { Autocomplete1Click(); });

  connect(NavFirst, &QToolButton::clicked, this, [this] { Navigate(0); });
  connect(NavPrior, &QToolButton::clicked, this, [this] { Navigate(1); });
  connect(NavNext, &QToolButton::clicked, this, [this] { Navigate(2); });
  connect(NavLast, &QToolButton::clicked, this, [this] { Navigate(3); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
  UpdateRecordActions();
}

TEditDB::~TEditDB() {
  if (linkId_) ws_.ADOQuery1.RemoveDataLink(linkId_);
}

void TEditDB::ShowError(const std::exception& e) { ErrorBox(e.what()); }

void TEditDB::BuildEditors(TFormFieldsArray& fields) {
  FreeEditors(fields);
  fields_ = &fields;
  dirty_.assign(fields.size(), false);
  controls_.assign(fields.size(), TFieldControls{});
  TDataSet& q = ws_.ADOQuery1;
  for (size_t i = 0; i < fields.size(); ++i) {
    const TFormFieldsGroup& g = fields[i];
    TFieldControls& c = controls_[i];
    const int idx = static_cast<int>(i);
    const QString name = ToQString(q.Fields(idx).FieldName());
    QWidget* editor = nullptr;
    if (g.Kind == fkBoolean) {
      auto* box = new QCheckBox(name, ScrollInner);
      connect(box, &QCheckBox::toggled, this, [this, idx] { EditorChanged(idx); });
      editor = box;
      c.FieldLabel = new QLabel(QString(), ScrollInner);
    } else if (g.Kind == fkMemo) {
      auto* memo = new QPlainTextEdit(ScrollInner);
      memo->setFixedSize(185, 89);
      memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      connect(memo, &QPlainTextEdit::textChanged, this, [this, idx] { EditorChanged(idx); });
      editor = memo;
      c.FieldLabel = new QLabel(name, ScrollInner);
    } else {
      auto* box = new QComboBox(ScrollInner);
      box->setEditable(true);
      box->setInsertPolicy(QComboBox::NoInsert);
      box->setCompleter(nullptr);  // completion follows the field's mark, below
      box->lineEdit()->installEventFilter(this);
      box->lineEdit()->setProperty("field", idx);
      connect(box->lineEdit(), &QLineEdit::textEdited, this, [this, box, idx] {
        EditorChanged(idx);
        Complete(box, idx);
      });
      // An editable combo box also says "activated" when it loses the focus: only a
      // value other than the record's is a change.
      connect(box, &QComboBox::activated, this, [this, idx] {
        if (EditorDiffers(static_cast<size_t>(idx))) EditorChanged(idx);
      });
      editor = box;
      c.FieldLabel = new QLabel(name, ScrollInner);
    }
    editor->setObjectName(name);
    editor->setProperty("tag", idx);
    editor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(editor, &QWidget::customContextMenuRequested, this, [this, editor, idx](const QPoint& p) {
      PopupMenu1Popup(idx);
      PopupMenu1->popup(editor->mapToGlobal(p));
    });
    editor->installEventFilter(this);
    c.Editor = editor;
    c.FieldLabel->show();
    editor->show();
  }
  lastEditor_ = controls_.empty() ? nullptr : controls_[0].Editor;
  if (linkId_) q.RemoveDataLink(linkId_);
  linkId_ = q.AddDataLink([this](TDataSet& ds, TDataEvent) {
    if (ds.State() == dsBrowse) std::fill(dirty_.begin(), dirty_.end(), false);
    RefreshEditors();
    UpdateRecordActions();
  });
}

void TEditDB::FreeEditors(TFormFieldsArray& fields) {
  if (linkId_) ws_.ADOQuery1.RemoveDataLink(linkId_);
  linkId_ = 0;
  for (TFieldControls& c : controls_) {
    delete c.FieldLabel;
    delete c.Editor;
  }
  controls_.clear();
  if (fields_ == &fields) fields_ = nullptr;
  dirty_.clear();
  lastEditor_ = nullptr;
}

void TEditDB::RefreshPickLists() {
  if (!fields_) return;
  loading_ = true;
  for (size_t i = 0; i < fields_->size(); ++i) {
    const TFormFieldsGroup& g = (*fields_)[i];
    auto* box = qobject_cast<QComboBox*>(EditorOf(i));
    if (!box) continue;
    const QString text = box->currentText();
    box->clear();
    for (const std::string& s : g.PickList) box->addItem(ToQString(s));
    box->setEditText(text);
  }
  loading_ = false;
}

QString TEditDB::RecordText(size_t field) const {
  TDataSet& q = ws_.ADOQuery1;
  if (!ws_.IsOpen() || (q.IsEmpty() && q.State() != dsInsert)) return {};
  TField& f = q.Fields(static_cast<int>(field));
  return f.IsNull() ? QString() : ToQString(f.AsString());
}

bool TEditDB::RecordChecked(size_t field) const {
  TDataSet& q = ws_.ADOQuery1;
  if (!ws_.IsOpen() || (q.IsEmpty() && q.State() != dsInsert)) return false;
  return q.Fields(static_cast<int>(field)).AsBoolean();
}

bool TEditDB::EditorDiffers(size_t field) const {
  if (!fields_ || !ws_.IsOpen() || field >= fields_->size()) return false;
  if (auto* box = qobject_cast<QComboBox*>(EditorOf(field))) return box->currentText() != RecordText(field);
  if (auto* check = qobject_cast<QCheckBox*>(EditorOf(field))) return check->isChecked() != RecordChecked(field);
  if (auto* memo = qobject_cast<QPlainTextEdit*>(EditorOf(field))) return memo->toPlainText() != RecordText(field);
  return false;
}

bool TEditDB::HasChanges() const {
  if (!ws_.IsOpen()) return false;
  if (ws_.ADOQuery1.Modified()) return true;
  for (size_t i = 0; i < dirty_.size(); ++i)
    if (dirty_[i] && EditorDiffers(i)) return true;
  return false;
}

void TEditDB::RefreshEditors() {
  if (!fields_ || !ws_.IsOpen()) return;
  loading_ = true;
  for (size_t i = 0; i < fields_->size(); ++i) {
    if (i < dirty_.size() && dirty_[i]) continue;
    if (auto* box = qobject_cast<QComboBox*>(EditorOf(i))) {
      box->setEditText(RecordText(i));
    } else if (auto* check = qobject_cast<QCheckBox*>(EditorOf(i))) {
      check->setChecked(RecordChecked(i));
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(EditorOf(i))) {
      memo->setPlainText(RecordText(i));
    }
  }
  loading_ = false;
}

void TEditDB::EditorChanged(int field) {
  if (loading_ || !ws_.IsOpen()) return;
  if (field >= 0 && field < static_cast<int>(dirty_.size())) dirty_[static_cast<size_t>(field)] = true;
  if (ws_.ADOQuery1.State() == dsBrowse) {
    try {
      ws_.EditRecord();
    } catch (const std::exception& e) {
      ShowError(e);
    }
  }
  UpdateRecordActions();
}

void TEditDB::UpdateRecord() {
  if (!fields_ || !ws_.IsOpen()) return;
  TDataSet& q = ws_.ADOQuery1;
  if (q.State() != dsEdit && q.State() != dsInsert) return;
  for (size_t i = 0; i < fields_->size() && i < dirty_.size(); ++i) {
    if (!dirty_[i]) continue;
    TField& f = q.Fields(static_cast<int>(i));
    if (auto* box = qobject_cast<QComboBox*>(EditorOf(i))) {
      const std::string text = ToStdString(box->currentText());
      if (text.empty())
        f.Clear();
      else
        f.SetAsString(text);
    } else if (auto* check = qobject_cast<QCheckBox*>(EditorOf(i))) {
      f.SetAsBoolean(check->isChecked());
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(EditorOf(i))) {
      const std::string text = ToStdString(memo->toPlainText());
      if (text.empty())
        f.Clear();
      else
        f.SetAsString(text);
    }
    dirty_[i] = false;
  }
}

void TEditDB::UpdateRecordActions() {
  const TRecordActions a = RecordActionsFor(ws_.IsOpen() ? &ws_.ADOQuery1 : nullptr);
  Button2->setEnabled(a.Apply);
  Button3->setEnabled(a.Restore);
  Button4->setEnabled(a.New);
  Button5->setEnabled(a.Delete);
}

void TEditDB::ShowRecordCounter(const std::string& text) {
  StatusPanel1->setText(ToQString(text));
  if (isVisible()) FocusLastEditor();
}

void TEditDB::FormResize() {
  if (!fields_) return;
  const int width = ScrollBox1->viewport()->width();
  const std::vector<TEditorPlace> places = LayoutRecordEditors(*fields_, width);
  int bottom = 0, right = 0;
  for (size_t i = 0; i < places.size(); ++i) {
    TFormFieldsGroup& g = (*fields_)[i];
    const TEditorPlace& p = places[i];
    QLabel* label = i < controls_.size() ? controls_[i].FieldLabel : nullptr;
    QWidget* editor = EditorOf(i);
    if (label) {
      label->move(p.LabelX, p.LabelY);
      label->adjustSize();
    }
    if (!editor) continue;
    const int h = g.Kind == fkMemo ? 89 : editor->sizeHint().height();
    if (g.Kind == fkMemo)
      editor->setFixedSize(std::max(p.EditorWidth, 1), h);
    else
      editor->setGeometry(p.EditorX, p.EditorY, std::max(p.EditorWidth, 1), h);
    editor->move(p.EditorX, p.EditorY);
    if (auto* box = qobject_cast<QComboBox*>(EditorOf(i))) box->lineEdit()->deselect();
    bottom = std::max(bottom, p.EditorY + h + 10);
    right = std::max(right, p.EditorX + std::max(p.EditorWidth, 1) + 10);
  }
  ScrollInner->resize(std::max(right, width), std::max(bottom, 1));
}

void TEditDB::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

void TEditDB::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  RefreshPickLists();
  RefreshEditors();
  FormResize();
  UpdateRecordActions();
  if (ws_.IsOpen())
    StatusPanel1->setText(ToQString(RecordCounterText(ws_.ADOQuery1.RecNo(), ws_.ADOQuery1.RecordCount())));
  FocusLastEditor();
}

void TEditDB::Navigate(int how) {
  if (!ws_.IsOpen()) return;
  TDataSet& q = ws_.ADOQuery1;
  try {
    if (q.State() == dsEdit || q.State() == dsInsert) {
      UpdateRecord();
      if (!ws_.PostRecord()) return;
    }
    switch (how) {
      case 0: q.First(); break;
      case 1: q.Prior(); break;
      case 2: q.Next(); break;
      default: q.Last(); break;
    }
  } catch (const std::exception& e) {
    ShowError(e);
  }
  UpdateRecordActions();
}

void TEditDB::Button2Click() {
  if (ws_.IsOpen()) {
    TDataSet& q = ws_.ADOQuery1;
    try {
      UpdateRecord();
      if (!AllFieldsNull(q)) {
        ws_.PostRecord();
        UpdateRecordActions();
      }
    } catch (const std::exception& e) {
      ShowError(e);
    }
  }
  FocusLastEditor();
}

void TEditDB::Button3Click() {
  std::fill(dirty_.begin(), dirty_.end(), false);
  ws_.CancelRecord();
  RefreshEditors();
  UpdateRecordActions();
  FocusLastEditor();
}

void TEditDB::Button4Click() {
  if (!ws_.IsOpen() || !fields_) return;
  TDataSet& q = ws_.ADOQuery1;
  for (size_t i = 0; i < fields_->size(); ++i) {
    TFormFieldsGroup& g = (*fields_)[i];
    g.TemplateValue.clear();
    const bool hasValue = !q.IsEmpty() && !q.Fields(static_cast<int>(i)).IsNull();
    if (g.Template && hasValue) {
      g.SkipTemplate = false;
      if (auto* box = qobject_cast<QComboBox*>(EditorOf(i)))
        g.TemplateValue = ToStdString(box->currentText());
      else if (auto* check = qobject_cast<QCheckBox*>(EditorOf(i)))
        g.TemplateValue.assign(1, check->isChecked() ? 'X' : ' ');
      else if (auto* memo = qobject_cast<QPlainTextEdit*>(EditorOf(i)))
        g.TemplateValue = ToStdString(memo->toPlainText());
    } else {
      g.SkipTemplate = true;
    }
  }
  try {
    ws_.AppendRecord();
    if (q.State() != dsInsert) return;
    for (size_t i = 0; i < fields_->size(); ++i) {
      TFormFieldsGroup& g = (*fields_)[i];
      if (!g.Template || g.SkipTemplate) continue;
      TField& f = q.Fields(static_cast<int>(i));
      switch (g.Kind) {
        case fkText:
        case fkMemo: f.SetAsString(g.TemplateValue); break;
        case fkNumber: f.SetAsFloat(static_cast<double>(StrToFloat(g.TemplateValue))); break;
        case fkDateTime: f.SetAsDateTime(StrToDateTime(g.TemplateValue)); break;
        case fkBoolean: f.SetAsBoolean(g.TemplateValue == "X"); break;
      }
    }
  } catch (const std::exception& e) {
    ShowError(e);
  }
  RefreshEditors();
  UpdateRecordActions();
  FocusLastEditor();
}

void TEditDB::Button5Click() {
  if (OnDeleteRecords)
    OnDeleteRecords();
  else
    ws_.DeleteRecords();
  UpdateRecordActions();
  FocusLastEditor();
}

void TEditDB::Button6Click() { ShowHelpContext(HelpContext); }

void TEditDB::Button1Click() { close(); }

bool TEditDB::FormCloseQuery() {
  if (!Button2->isEnabled()) return true;
  if (!HasChanges()) {
    // Nothing was changed: nothing to ask, and a new record nothing went into is dropped.
    Button3Click();
    return true;
  }
  switch (ConfirmBox("Save Changes?", TMsgButtons::YesNoCancel)) {
    case TMsgResult::Yes: Button2Click(); return true;
    case TMsgResult::No: Button3Click(); return true;
    default: return false;
  }
}

void TEditDB::closeEvent(QCloseEvent* e) {
  if (FormCloseQuery())
    e->accept();
  else
    e->ignore();
}

void TEditDB::reject() {
  // Esc and the window's close button both ask first.
  if (FormCloseQuery()) QDialog::reject();
}

void TEditDB::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    Button6Click();
    return;
  }
  QDialog::keyPressEvent(e);
}

void TEditDB::PopupMenu1Popup(int field) {
  popupField_ = field;
  if (!fields_ || field < 0 || field >= static_cast<int>(fields_->size())) return;
  const TFormFieldsGroup& g = (*fields_)[static_cast<size_t>(field)];
  Store1->setChecked(g.Template);
  Autocomplete1->setChecked(g.Autocomplete);
  Autocomplete1->setEnabled(g.Kind == fkText || g.Kind == fkNumber || g.Kind == fkDateTime);
}

void TEditDB::Store1Click() {
  if (!fields_ || popupField_ < 0 || popupField_ >= static_cast<int>(fields_->size())) return;
  TFormFieldsGroup& g = (*fields_)[static_cast<size_t>(popupField_)];
  g.Template = !g.Template;
}

void TEditDB::Autocomplete1Click() {
  if (!fields_ || popupField_ < 0 || popupField_ >= static_cast<int>(fields_->size())) return;
  TFormFieldsGroup& g = (*fields_)[static_cast<size_t>(popupField_)];
  g.Autocomplete = !g.Autocomplete;
}

void TEditDB::FocusLastEditor() {
  if (!lastEditor_) return;
  lastEditor_->setFocus();
  if (auto* box = qobject_cast<QComboBox*>(lastEditor_)) box->lineEdit()->selectAll();
}

void TEditDB::Complete(QComboBox* box, int field) {
  if (!completeAllowed_ || !fields_ || field < 0 || field >= static_cast<int>(fields_->size())) return;
  if (!(*fields_)[static_cast<size_t>(field)].Autocomplete) return;
  const QString typed = box->lineEdit()->text();
  if (typed.isEmpty()) return;
  for (int i = 0; i < box->count(); ++i) {
    const QString item = box->itemText(i);
    if (item.length() > typed.length() && item.startsWith(typed, Qt::CaseInsensitive)) {
      box->lineEdit()->setText(typed + item.mid(typed.length()));
      box->lineEdit()->setSelection(typed.length(), item.length() - typed.length());
      return;
    }
  }
}

bool TEditDB::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::FocusIn) {
    QWidget* w = qobject_cast<QWidget*>(watched);
    if (auto* line = qobject_cast<QLineEdit*>(watched)) w = line->parentWidget();
    if (w && w->property("tag").isValid()) lastEditor_ = w;
  } else if (e->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched)) {
    auto* k = static_cast<QKeyEvent*>(e);
    completeAllowed_ = k->key() != Qt::Key_Delete && k->key() != Qt::Key_Backspace &&
                       !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  }
  return QDialog::eventFilter(watched, e);
}
