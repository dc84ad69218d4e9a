#pragma once
// The "Filter" page: the filter expression and the highlight rule of the
// chosen colour slot. The row rules bind to it (IHighlightSlots).

#include <QWidget>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QToolBar;

class TFilterPage : public QWidget {
  Q_OBJECT
public:
  explicit TFilterPage(QWidget* parent = nullptr);

  // Controls, by designer name.
  QToolBar* SpeedBar3;
  QPlainTextEdit* Memo1;      // the filter
  QCheckBox* CheckBox1;       // "Use Filter"
  QComboBox* ColorComboBox1;  // the highlight colour slot
  QCheckBox* CheckBox5;       // "Enabled"
  QPlainTextEdit* Memo5;      // the highlight rule
  QCheckBox* CheckBox3;       // "Use Filter" of the highlight

signals:
  // The user changed what the project stores.
  void Modified();
  // A colour slot was picked.
  void ColorSlotChosen();
};
