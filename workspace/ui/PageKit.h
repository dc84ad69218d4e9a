#pragma once
// Small builders the main window and its pages share: every control gets its
// designer name as objectName.

#include <QString>
#include <initializer_list>

class QComboBox;
class QAction;
class QHBoxLayout;
class QPushButton;
class QPlainTextEdit;
class QToolBar;
class QToolButton;
class QWidget;

template <class W>
W* Named(W* w, const char* name) {
  w->setObjectName(name);
  return w;
}

// The sixteen highlight colours with their names and swatches.
QComboBox* ColorCombo(QWidget* parent, const char* name);
QComboBox* Combo(QWidget* parent, const char* name, bool editable);
QPlainTextEdit* MemoBox(QWidget* parent, const char* name, bool wrap = true, bool readOnly = false);
QToolButton* ToolBtn(QWidget* parent, const char* name, const QString& caption);
// A tool-bar command; the action and its button both carry the designer name,
// and the main window finds the action by it.
QAction* ToolAction(QToolBar* bar, const char* name, const QString& caption);

// One button of a dialog's row: the member it is made into, its designer name and caption.
struct TRowButton {
  QPushButton*& Button;
  const char* Name;
  QString Caption;
};
// A dialog's closing buttons, right-aligned in the given order; the first is
// the default button. The dialog connects their clicks.
QHBoxLayout* ButtonRow(QWidget* parent, std::initializer_list<TRowButton> buttons);
