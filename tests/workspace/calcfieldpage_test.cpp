#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "workspace/CalcFieldPage.h"

namespace {

class TStore : public ICalcFieldStore {
public:
  std::map<std::string, TCalcFieldDef> fields;
  bool FindCalcField(const std::string& name, TCalcFieldDef& def) const override {
    auto it = fields.find(name);
    if (it == fields.end()) return false;
    def = it->second;
    return true;
  }
  std::vector<std::string> CalcFieldNames() override {
    std::vector<std::string> n;
    for (const auto& [k, v] : fields) n.push_back(k);
    return n;
  }
  void AddCalcField(const std::string& name) override { fields[name] = {"", true, cftString}; }
  void DeleteCalcField(const std::string& name) override { fields.erase(name); }
  void SetCalcExpression(const std::string& name, const std::string& e) override { fields[name].Expression = e; }
  void SetCalcType(const std::string& name, int32_t t) override { fields[name].TypeIndex = t; }
};

// Setting the memo runs its change handler, as the real control does.
class TView : public ICalcFieldPageView {
public:
  TCalcFieldPage* page = nullptr;
  std::vector<std::string> names;
  int selected = -1;
  std::string memo;
  int type = -1;
  bool enabled = false;
  bool modified = false;
  std::deque<std::string> answers;  // "" cancels

  void ShowNames(const std::vector<std::string>& n) override {
    names = n;
    selected = -1;
  }
  int SelectedIndex() const override { return selected; }
  void SelectIndex(int i) override { selected = i; }
  std::string ExpressionText() const override { return memo; }
  void ShowExpression(const std::string& t) override {
    memo = t;
    page->Memo2Change();
  }
  int TypeIndex() const override { return type; }
  void ShowTypeIndex(int i) override { type = i; }
  void EnableFieldControls(bool on) override { enabled = on; }
  bool AskNewFieldName(const std::vector<std::string>&, std::string& name) override {
    if (answers.empty()) return false;
    name = answers.front();
    answers.pop_front();
    return !name.empty();
  }
  bool Modified() const override { return modified; }
  void SetModified(bool on) override { modified = on; }
};

class CalcFieldPage : public ::testing::Test {
protected:
  CalcFieldPage() { view.page = &page; }
  TStore store;
  TView view;
  TCalcFieldPage page{store, view};
};

}  // namespace

TEST_F(CalcFieldPage, AddListsInCharacterCodeOrderAndSelectsTheNewName) {
  view.answers = {"BA", "B2"};
  page.Button8Click();
  page.Button8Click();
  EXPECT_EQ(view.names, (std::vector<std::string>{"B2", "BA"}));
  EXPECT_EQ(view.selected, 0);
  EXPECT_EQ(store.fields["B2"].TypeIndex, cftString);
  EXPECT_TRUE(view.modified);
  EXPECT_TRUE(view.enabled);
  EXPECT_EQ(view.type, cftString);

  // Cancelled: nothing added, nothing marked.
  view.modified = false;
  page.Button8Click();
  EXPECT_EQ(store.fields.size(), 2u);
  EXPECT_FALSE(view.modified);
}

TEST_F(CalcFieldPage, SelectionShowsAFieldWithoutMarkingAnEdit) {
  store.fields["A"] = {"1 + 1", true, cftInteger};
  store.fields["B"] = {"'x'", true, cftString};
  page.ProjectReplaced();
  EXPECT_EQ(view.selected, 0);
  EXPECT_EQ(view.memo, "1 + 1");
  EXPECT_EQ(view.type, cftInteger);
  EXPECT_FALSE(view.modified);
  EXPECT_FALSE(page.CalcExprEdited);

  // Leaving the memo without an edit stores nothing; an edit is stored on leaving.
  view.memo = "changed";
  page.Memo2Exit();
  EXPECT_EQ(store.fields["A"].Expression, "1 + 1");
  page.Memo2Change();
  EXPECT_TRUE(view.modified);
  EXPECT_EQ(store.fields["A"].Expression, "1 + 1");
  page.Memo2Exit();
  EXPECT_EQ(store.fields["A"].Expression, "changed");

  // The type is stored at once and marks nothing.
  view.modified = false;
  view.selected = 1;
  page.ListBox1Click();
  view.type = cftBoolean;
  page.ComboBox1Change();
  EXPECT_EQ(store.fields["B"].TypeIndex, cftBoolean);
  EXPECT_FALSE(view.modified);
}

TEST_F(CalcFieldPage, DeleteSelectsTheSameIndexOrTheNewLast) {
  for (const char* n : {"A", "B", "C"}) store.fields[n] = {std::string("'") + n + "'", true, cftString};
  page.ListCalcFields();
  view.selected = 2;
  page.ListBox1Click();
  page.Button14Click();
  EXPECT_EQ(view.names, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(view.selected, 1);
  EXPECT_EQ(view.memo, "'B'");
  EXPECT_TRUE(view.modified);
  view.selected = 0;
  page.Button14Click();
  EXPECT_EQ(view.names, std::vector<std::string>{"B"});
  EXPECT_EQ(view.selected, 0);
  page.Button14Click();
  EXPECT_TRUE(view.names.empty());
  EXPECT_EQ(view.selected, -1);
  EXPECT_EQ(view.memo, "");
  EXPECT_EQ(view.type, -1);
  EXPECT_FALSE(view.enabled);
  // Nothing selected: nothing deleted.
  store.fields["Z"] = {};
  page.ListCalcFields();
  page.Button14Click();
  EXPECT_EQ(store.fields.size(), 1u);
}
