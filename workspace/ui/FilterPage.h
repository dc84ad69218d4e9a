#pragma once
// The "Filter" page: the filter expression and the highlight rule of the
// chosen colour slot. Bound to the shared state: its filter, which the page
// shows and edits, and its row rules, whose sixteen slots the highlight part
// edits (IHighlightSlots).

#include <QWidget>

#include "workspace/FrameInterfaces.h"
#include "workspace/WorkspaceState.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QToolBar;

class TFilterPage : public QWidget, public IHighlightSlots {
  Q_OBJECT
public:
  explicit TFilterPage(QWidget* parent = nullptr);

  // The filter and the rules the page edits; until bound the handlers only show.
  void Bind(TWorkspaceState* state);

  // Controls, by designer name.
  QToolBar* SpeedBar3;
  QPlainTextEdit* Memo1;      // the filter
  QCheckBox* CheckBox1;       // "Use Filter"
  QComboBox* ColorComboBox1;  // the highlight colour slot
  QCheckBox* CheckBox5;       // "Enabled"
  QPlainTextEdit* Memo5;      // the highlight rule
  QCheckBox* CheckBox3;       // "Use Filter" of the highlight

  // Handlers.
  void CheckBox3Click();
  void CheckBox5Click();
  // Also after a project was created or opened: the chosen slot shown, every rule compiled.
  void ColorComboBox1Click() override;
  void Memo5Change();
  // The error report's page effects: the caret in a memo, the slot of a rule.
  void PlaceFilterCaret(int place);
  void ShowHighlightSlot(int slot, int place);

signals:
  // The user changed what the project stores.
  void Modified();
  // The rules changed so that the grid shows other colours.
  void RepaintGrid();
  // The edit commands follow the memo's text.
  void EditCommandsChanged();

private:
  // The controls' filter into the state, and back when it changes there.
  void StoreFilter();
  void ShowFilter();

  TWorkspaceState* state_ = nullptr;
  TRowRules* rules_ = nullptr;
  TMulticast<>::TSubscription filterChanged_;
  bool showingFilter_ = false;  // the controls follow the state: nothing to store
  bool showing_ = false;        // the page shows a slot: no edit of the user
};
