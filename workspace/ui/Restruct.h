#pragma once
// "Restructure Table": the field layout of a dBase table in a grid, edited
// through "Edit Field", and saved as a ".dbf": a new, empty table ("Create
// DBF") or the open table restructured with its rows ("Restructure/Save As
// DBF"). After a save the new file is the open table and the window stays open
// on its layout.

#include <QDialog>
#include <functional>
#include <string>

#include "workspace/CopyRowFilter.h"
#include "workspace/TableStructure.h"

class QPushButton;
class QTableWidget;
class QToolButton;
class TAppSettings;
class TCopyOptForm;
class TEditForm;
class TTableUi;

enum TRestructMode { rmCreate = 0, rmRestructure = 1 };

class TRestructForm : public QDialog {
  Q_OBJECT
public:
  // settings: the folder Save As starts in; it outlives this window.
  explicit TRestructForm(TAppSettings& settings, QWidget* parent = nullptr);
  ~TRestructForm() override;

  static constexpr int HelpContext = 1;

  QTableWidget* StringGrid1;  // "Name", "Type", "Size"; one row per field
  QPushButton* Button1;       // "Add"
  QPushButton* Button2;       // "Edit"
  QPushButton* Button4;       // "Delete"
  QToolButton* SpeedButton1;  // up
  QToolButton* SpeedButton2;  // down
  QPushButton* Button3;       // "Save As..."
  QPushButton* Button5;       // "Help"
  QPushButton* CloseBtn;

  // Set by the caller before showing: the open table's commands and the mode.
  TTableUi* Tables = nullptr;
  TRestructMode Mode = rmCreate;
  // The row filter of "Copy Only Filtered Records"; none: that choice copies every row.
  ICopyRowFilter* RowFilter = nullptr;
  // "Edit Field" (none: no field can be added or edited) and the copy's choices.
  TEditForm* FieldDialog = nullptr;
  TCopyOptForm* CopyDialog = nullptr;
  // The save dialog ("" when cancelled); tests replace it.
  std::function<std::string(const std::string& caption, const std::string& filter, const std::string& dir)>
      GetSaveFileName;

  const TTableStructure& Structure() const { return structure_; }
  int SelectedRow() const;
  void SelectRow(int row);

  void FormShow();
  void Button1Click();  // Add
  void Button2Click();  // Edit
  void Button4Click();  // Delete
  void SpeedButton1Click();
  void SpeedButton2Click();
  void Button3Click();  // Save As
  void RefreshGrid();

protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

private:
  // Edit Field on the selected row; true when the user pressed OK.
  bool EditSelected(const char* caption, bool isNew);

  TAppSettings& settings_;
  TTableStructure structure_;
};
