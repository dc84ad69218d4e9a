#pragma once
// The "Calculated Fields" page: the list of calculated fields, the type and
// the expression of the chosen one. Bound to the page's rules over the
// project's fields (ICalcFieldStore, connected by app/).

#include <QWidget>
#include <functional>
#include <memory>

#include "workspace/CalcFieldPage.h"

class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TAddWordForm;
class TReader;

class TCalcFieldsPage : public QWidget, public ICalcFieldPageView {
  Q_OBJECT
public:
  explicit TCalcFieldsPage(QWidget* parent = nullptr);
  ~TCalcFieldsPage() override;

  // The fields edited here and the reader that names must fit; until bound the page stays empty.
  void Bind(ICalcFieldStore* store, const TReader* reader);
  TCalcFieldPage* Rules() const { return rules_.get(); }

  // Controls, by designer name.
  QListWidget* ListBox1;  // the calculated fields
  QComboBox* ComboBox1;   // "Type of Field"
  QPlainTextEdit* Memo2;  // "Expression"
  QPushButton* Button8;   // "Add"
  QPushButton* Button14;  // "Delete"

  // The name dialog of "Add"; none: no field can be added.
  TAddWordForm* NameDialog = nullptr;

  // The frame's project-modified flag.
  std::function<bool()> GetModified;
  std::function<void(bool)> PutModified;

  // Handlers (the rules' names).
  void ListCalcFields();
  void Button8Click();
  void Button14Click();
  void ListBox1Click();
  void Memo2Change();
  void Memo2Exit();
  void ComboBox1Change();
  void UpdateCalcFieldActions();
  void TabSheet7Show();

  // ICalcFieldPageView
  void ShowNames(const std::vector<std::string>& names) override;
  int SelectedIndex() const override;
  void SelectIndex(int index) override;
  std::string ExpressionText() const override;
  void ShowExpression(const std::string& text) override;
  int TypeIndex() const override;
  void ShowTypeIndex(int index) override;
  void EnableFieldControls(bool on) override;
  void FocusList() override;
  void RefreshEditCommands() override { emit EditCommandsChanged(); }
  bool AskNewFieldName(const std::vector<std::string>& existing, std::string& name) override;
  bool Modified() const override { return GetModified && GetModified(); }
  void SetModified(bool on) override {
    if (PutModified) PutModified(on);
  }

signals:
  // A definition changed: what the rules and the grid show may differ.
  void CalcFieldsChanged();
  void EditCommandsChanged();

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  std::unique_ptr<TCalcFieldPage> rules_;
  const TReader* reader_ = nullptr;
  bool showing_ = false;  // the rules set the controls: no handler of the user's edit
};
