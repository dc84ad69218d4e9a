#include "workspace/ui/PageKit.h"

#include <QAction>
#include <QComboBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace {

const char* kColorNames[16] = {"Black", "Maroon", "Green", "Olive", "Navy", "Purple", "Teal", "Gray",
                               "Silver", "Red", "Lime", "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
const QColor kColors[16] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},   {128, 128, 0},
                            {0, 0, 128},     {128, 0, 128},   {0, 128, 128}, {128, 128, 128},
                            {192, 192, 192}, {255, 0, 0},     {0, 255, 0},   {255, 255, 0},
                            {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};

}  // namespace

QComboBox* ColorCombo(QWidget* parent, const char* name) {
  auto* c = Named(new QComboBox(parent), name);
  for (int i = 0; i < 16; ++i) {
    QPixmap swatch(16, 12);
    swatch.fill(kColors[i]);
    c->addItem(QIcon(swatch), kColorNames[i]);
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
