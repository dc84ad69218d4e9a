#pragma once
// The field layout of the Restructure Table window and its rules: building it
// from the open table, the grid's rows, the Edit Field dialog's checks and how
// the dialog's input is applied, Add/Delete/Up/Down, the Data options, and the
// record-editor settings given back after a save. The window's handlers only
// move values between their controls and these functions.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/FieldKind.h"
#include "workspace/TableWorkspace.h"

class TDataSet;

// One field of the layout.
struct TFieldStructure {
  std::string SourceName;  // the field in the open table; empty for an added field
  std::string Name;        // the field in the new table, upper-cased
  TFieldKind Kind = fkText;
  int32_t Size = 0;  // text 1..254; number 15, date 8, logical 1, memo 10
  // The record editor's settings of the field (TFormFieldsGroup), carried over a save.
  int32_t EditorWidth = 0;
  int32_t ColumnWidth = 0;
  std::optional<std::vector<std::string>> PickList;  // kinds 0..2; none for an added field
  bool Template = false;
  bool Autocomplete = true;
};
using TTableStructure = std::vector<TFieldStructure>;

// The fixed sizes of the kinds; a text field keeps textSize.
int32_t StructureFieldSize(TFieldKind kind, int32_t textSize);
// "C", "N", "D", "L", "M".
char KindLetter(TFieldKind kind);
// The kind (= the type combo's index) of a grid letter; -1 for any other text.
int KindOfLetter(const std::string& letter);

// The type combo of the Edit Field dialog, in kind order.
const std::vector<std::string>& FieldTypeNames();

// The layout of the open table: names, kinds and sizes from its fields, the editor
// settings from fields (the record editor's, same index; missing ones keep the defaults).
TTableStructure BuildTableStructure(TDataSet& table, const TFormFieldsArray& fields);

// One grid row: name, type letter, size (only for text fields).
struct TStructureGridRow {
  std::string Name, Type, Size;
  bool operator==(const TStructureGridRow&) const = default;
};
std::vector<TStructureGridRow> StructureGridRows(const TTableStructure& s);
// The titles of the grid's columns.
const std::vector<std::string>& StructureGridTitles();

// Add: a new entry at the end (empty names, text, size 0, no pick list); its index.
int AddStructureEntry(TTableStructure& s);
// Removes the entry at index (an added entry whose dialog was cancelled, or Delete).
void DeleteStructureEntry(TTableStructure& s, int index);
// Up / Down: the entry changes places with its neighbour; the new selected index
// (unchanged on the first row for Up and on the last for Down).
int MoveStructureEntryUp(TTableStructure& s, int index);
int MoveStructureEntryDown(TTableStructure& s, int index);

// What the Edit Field dialog shows and returns.
struct TEditFieldInput {
  std::string Name;
  int TypeIndex = -1;  // -1: no type selected
  std::string SizeText;
};
// The dialog on show: a new field is empty with the type "Character"; an existing
// one shows the grid row's name, type and size.
TEditFieldInput EditFieldOnShow(const std::vector<TStructureGridRow>& rows, int selectedRow, bool isNew);
// The checks of OK in order: the first failing message, or "" when the input is
// accepted. Names are compared with the names shown in every row but selectedRow.
std::string CheckEditField(const TEditFieldInput& input, const std::vector<TStructureGridRow>& rows, int selectedRow);
// Applies accepted input: the name upper-cased, kind and size by the type. The
// source name is kept, so an edited field still reads its old values.
void ApplyEditField(TFieldStructure& entry, const TEditFieldInput& input);

// The Data options of a copy.
struct TCopyOptions {
  bool CopyData = true;
  bool OnlyFiltered = false;
  bool Sorted = false;
};
struct TCopyOptionsEnabled {
  bool OnlyFiltered = false;
  bool Sorted = false;
  bool operator==(const TCopyOptionsEnabled&) const = default;
};
// On show: the choices that cannot apply are unchecked.
void CopyOptionsOnShow(TCopyOptions& options, bool tableFiltered, bool gridSorted);
// Which boxes can be used (again after each click of "Copy Data").
TCopyOptionsEnabled CopyOptionsEnabled(const TCopyOptions& options, bool tableFiltered, bool gridSorted);

// After a save, when the reopened table has as many fields as the structure: the
// editor values above 0, the pick lists of kinds 0..2 (none clears the list) and
// the flags go back to the record editor's settings. False when the counts differ.
bool GiveBackEditorSettings(const TTableStructure& s, TFormFieldsArray& fields);
