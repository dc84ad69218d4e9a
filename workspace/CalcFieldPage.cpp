#include "workspace/CalcFieldPage.h"

#include <algorithm>

#include "platform/SysUtils.h"

std::string TCalcFieldPage::SelectedName() const {
  const int i = view_.SelectedIndex();
  return i >= 0 && i < static_cast<int>(names_.size()) ? names_[i] : std::string();
}

void TCalcFieldPage::ListCalcFields() {
  names_ = store_.CalcFieldNames();
  view_.ShowNames(names_);
  // Emptying the memo is no edit.
  const bool modified = view_.Modified();
  const bool edited = CalcExprEdited;
  view_.ShowExpression("");
  view_.ShowTypeIndex(-1);
  view_.SetModified(modified);
  CalcExprEdited = edited;
}

void TCalcFieldPage::Button8Click() {
  std::string name;
  if (view_.AskNewFieldName(names_, name) && !name.empty()) {
    view_.SetModified(true);
    store_.AddCalcField(name);
    ListCalcFields();
    const auto it = std::find(names_.begin(), names_.end(), name);
    if (it != names_.end()) view_.SelectIndex(static_cast<int>(it - names_.begin()));
  }
  ListBox1Click();
  view_.FocusList();
}

void TCalcFieldPage::Button14Click() {
  const int index = view_.SelectedIndex();
  const std::string name = SelectedName();
  if (!name.empty()) {
    view_.SetModified(true);
    store_.DeleteCalcField(AnsiUpperCase(name));
    ListCalcFields();
    if (!names_.empty()) {
      view_.SelectIndex(std::min(index, static_cast<int>(names_.size()) - 1));
      ListBox1Click();
    }
  }
  view_.FocusList();
  UpdateCalcFieldActions();
}

void TCalcFieldPage::ListBox1Click() {
  const bool modified = view_.Modified();
  const bool edited = CalcExprEdited;
  const std::string name = SelectedName();
  if (!name.empty()) {
    TCalcFieldDef def;
    if (store_.FindCalcField(name, def)) {
      view_.ShowExpression(def.Expression);
      view_.ShowTypeIndex(def.HasType ? def.TypeIndex : -1);
    }
  }
  view_.SetModified(modified);
  CalcExprEdited = edited;
  UpdateCalcFieldActions();
}

void TCalcFieldPage::Memo2Change() {
  view_.SetModified(true);
  CalcExprEdited = true;
  view_.RefreshEditCommands();
}

void TCalcFieldPage::Memo2Exit() {
  const std::string name = SelectedName();
  if (CalcExprEdited && !name.empty()) store_.SetCalcExpression(name, view_.ExpressionText());
}

void TCalcFieldPage::ComboBox1Change() {
  const std::string name = SelectedName();
  const int type = view_.TypeIndex();
  if (!name.empty() && type >= 0 && type < CalcFieldTypeCount) store_.SetCalcType(name, type);
}

void TCalcFieldPage::UpdateCalcFieldActions() {
  const bool selected = !SelectedName().empty();
  view_.EnableFieldControls(selected);
  if (!selected) {
    const bool modified = view_.Modified();
    const bool edited = CalcExprEdited;
    view_.ShowExpression("");
    view_.ShowTypeIndex(-1);
    view_.SetModified(modified);
    CalcExprEdited = edited;
  }
}

void TCalcFieldPage::ProjectReplaced() {
  ListCalcFields();
  if (!names_.empty()) view_.SelectIndex(0);
  ListBox1Click();
}
