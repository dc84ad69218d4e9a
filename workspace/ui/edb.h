#pragma once
// The record editor "Edit Record": one editor per field of the open table,
// laid out in rows, with a navigator, New (with templates), Delete, Apply,
// Restore, and the "Template" / "Autocomplete" pop-up marks.

#include <QDialog>
#include <string>
#include <vector>

#include "workspace/TableWorkspace.h"

class QComboBox;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QToolButton;

class TEditDB : public QDialog {
  Q_OBJECT
public:
  explicit TEditDB(TTableWorkspace& ws, QWidget* parent = nullptr);
  ~TEditDB() override;

  static constexpr int HelpContext = 5;

  // Open and close duties: the editors of every field, owned by the scroll area.
  void BuildEditors(TFormFieldsArray& fields);
  void FreeEditors(TFormFieldsArray& fields);
  // Loads the current record into the editors.
  void RefreshEditors();
  void RefreshPickLists();
  // Writes what the user changed into the record (throws EConvertError for a bad value).
  void UpdateRecord();

  // TLPMain.UpdateRecordActions for this window.
  void UpdateRecordActions();
  void ShowRecordCounter(const std::string& text);

  void FormResize();
  void Button1Click();  // Close
  void Button2Click();  // Apply
  void Button3Click();  // Restore
  void Button4Click();  // New
  void Button5Click();  // Delete
  void Button6Click();  // Help
  void PopupMenu1Popup(int field);
  void Store1Click();
  void Autocomplete1Click();
  void FocusLastEditor();
  bool FormCloseQuery();
  // A value of the window differs from the record's.
  bool HasChanges() const;

  // Controls by designer name.
  QToolButton* NavFirst;
  QToolButton* NavPrior;
  QToolButton* NavNext;
  QToolButton* NavLast;
  QPushButton* Button4;  // "New"
  QPushButton* Button5;  // "Delete"
  QPushButton* Button2;  // "Apply"
  QPushButton* Button3;  // "Restore"
  QPushButton* Button1;  // "Close"
  QPushButton* Button6;  // "Help"
  QScrollArea* ScrollBox1;
  QWidget* ScrollInner;
  QStatusBar* StatusBar1;
  QLabel* StatusPanel1;
  QMenu* PopupMenu1;
  QAction* Store1;         // "Template"
  QAction* Autocomplete1;  // "Autocomplete"

  // What Delete runs (DeleteRecords of the main window).
  std::function<void()> OnDeleteRecords;

protected:
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void EditorChanged(int field);
  // What the record holds for a field as its editor shows it.
  QString RecordText(size_t field) const;
  bool RecordChecked(size_t field) const;
  bool EditorDiffers(size_t field) const;
  void Complete(QComboBox* box, int field);
  void Navigate(int how);
  void ShowError(const std::exception& e);

  // A field's label and editor, by field index beside the workspace's per-field state.
  struct TFieldControls {
    QLabel* FieldLabel = nullptr;  // owned by the scroll area
    QWidget* Editor = nullptr;
  };
  QWidget* EditorOf(size_t field) const { return field < controls_.size() ? controls_[field].Editor : nullptr; }

  TTableWorkspace& ws_;
  TFormFieldsArray* fields_ = nullptr;
  std::vector<TFieldControls> controls_;
  std::vector<bool> dirty_;
  QWidget* lastEditor_ = nullptr;
  int popupField_ = -1;
  bool loading_ = false;
  bool completeAllowed_ = false;
  int linkId_ = 0;
};
