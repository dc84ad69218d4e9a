#pragma once
// The rules of the "Calculated Fields" page: the name list, Add, Delete, the
// selection showing a field, the expression stored when its memo is left,
// the type stored at once. The page's controls are reached through
// ICalcFieldPageView; the fields live in an ICalcFieldStore (the project).

#include <string>
#include <vector>

#include "workspace/CalcFields.h"

class ICalcFieldPageView {
public:
  virtual ~ICalcFieldPageView() = default;
  virtual void ShowNames(const std::vector<std::string>& names) = 0;  // ListBox1, nothing selected
  virtual int SelectedIndex() const = 0;                              // -1 none
  virtual void SelectIndex(int index) = 0;
  virtual std::string ExpressionText() const = 0;  // Memo2
  // May run the memo's change handler, as typing would.
  virtual void ShowExpression(const std::string& text) = 0;
  virtual int TypeIndex() const = 0;  // ComboBox1, -1 none
  virtual void ShowTypeIndex(int index) = 0;
  // Delete button, memo and type combo.
  virtual void EnableFieldControls(bool on) = 0;
  virtual void FocusList() {}
  virtual void RefreshEditCommands() {}
  // The name dialog ("Add Field", upper-casing and validation on); false when cancelled.
  virtual bool AskNewFieldName(const std::vector<std::string>& existing, std::string& name) = 0;
  // The project-modified flag of the frame.
  virtual bool Modified() const = 0;
  virtual void SetModified(bool on) = 0;
};

class TCalcFieldPage {
public:
  TCalcFieldPage(ICalcFieldStore& store, ICalcFieldPageView& view) : store_(store), view_(view) {}

  bool CalcExprEdited = false;

  void ListCalcFields();
  void Button8Click();   // Add
  void Button14Click();  // Delete
  void ListBox1Click();
  void Memo2Change();
  void Memo2Exit();
  void ComboBox1Change();
  void UpdateCalcFieldActions();
  void TabSheet7Show() { UpdateCalcFieldActions(); }
  // After a project was opened or created: the list refilled, its first name selected.
  void ProjectReplaced();

  // The name selected in the list; empty for none.
  std::string SelectedName() const;

private:
  ICalcFieldStore& store_;
  ICalcFieldPageView& view_;
  std::vector<std::string> names_;
};
