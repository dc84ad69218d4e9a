#include "workspace/ui/PageKit.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include "platform/ui/QtText.h"
#include "workspace/HighlightSlots.h"

QComboBox* ColorCombo(QWidget* parent, const char* name) {
  auto* c = Named(new QComboBox(parent), name);
  for (size_t i = 0; i < HighlightColors().size(); ++i) {
    const TRgb rgb = HighlightColors()[i];
    QPixmap swatch(16, 12);
    swatch.fill(QColor(rgb.R, rgb.G, rgb.B));
    c->addItem(QIcon(swatch), ToQString(HighlightColorNames()[i]));
  }
  return c;
}

QComboBox* Combo(QWidget* parent, const char* name, bool editable) {
  auto* c = Named(new QComboBox(parent), name);
  c->setEditable(editable);
  return c;
}

QPlainTextEdit* MemoBox(QWidget* parent, const char* name, bool wrap, bool readOnly) {
  auto* m = Named(new QPlainTextEdit(parent), name);
  m->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  m->setReadOnly(readOnly);
  return m;
}

QToolButton* ToolBtn(QWidget* parent, const char* name, const QString& caption) {
  auto* b = Named(new QToolButton(parent), name);
  b->setText(caption);
  b->setToolTip(caption);
  return b;
}

QAction* ToolAction(QToolBar* bar, const char* name, const QString& caption) {
  auto* a = new QAction(caption, bar);
  a->setObjectName(name);
  a->setToolTip(caption);
  // A tool button shows the icon text, which would lose a trailing "...".
  a->setIconText(caption);
  bar->addAction(a);
  if (QWidget* w = bar->widgetForAction(a)) w->setObjectName(name);
  return a;
}

QHBoxLayout* ButtonRow(QWidget* parent, std::initializer_list<TRowButton> buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  bool first = true;
  for (const TRowButton& b : buttons) {
    b.Button = Named(new QPushButton(b.Caption, parent), b.Name);
    if (first) b.Button->setDefault(true);
    first = false;
    row->addWidget(b.Button);
  }
  return row;
}
