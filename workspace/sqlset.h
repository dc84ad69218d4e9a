#pragma once
// Named SQL statements with variables filled in by whole-word substitution.
// The set reads statements with a tokenizer of its own so that every blank of
// the statement survives and variable words are matched whole.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Reader.h"

class TSQLItems;

class TSQLItem {
public:
  explicit TSQLItem(TSQLItems* collection = nullptr) : collection_(collection) {}
  const std::string& Title() const { return title_; }
  const std::string& SQLText() const { return sqlText_; }
  void SetTitle(const std::string& v);
  void SetSQLText(const std::string& v);
  void Assign(const TSQLItem& source);

private:
  friend class TSQLItems;
  void Changed();
  TSQLItems* collection_;
  std::string title_, sqlText_;
};

class TSQLItems {
public:
  TSQLItems() = default;
  TSQLItems(const TSQLItems&) = delete;
  TSQLItems& operator=(const TSQLItems&) = delete;

  TSQLItem& Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TSQLItem& Items(int i) { return *items_[static_cast<size_t>(i)]; }
  const TSQLItem& Items(int i) const { return *items_[static_cast<size_t>(i)]; }
  void Clear();
  // Copies the items of another collection.
  void Assign(const TSQLItems& source);

  std::function<void()> OnChange;  // an item's property changed

private:
  friend class TSQLItem;
  std::vector<std::unique_ptr<TSQLItem>> items_;
};

class TSQLSet {
public:
  TSQLSet();
  ~TSQLSet();
  TSQLSet(const TSQLSet&) = delete;
  TSQLSet& operator=(const TSQLSet&) = delete;

  TSQLItems& SQLItems() { return items_; }

  // Registers or replaces the variable. A name that is empty or holds a delimiter
  // is refused: false, with the refusal's text (an error for the window to
  // show) in refusal when given.
  bool AddVariable(const std::string& Name, const std::string& Value, std::string* refusal = nullptr);
  // The statement of the first item titled so (case ignored); empty when none.
  std::string GetSQLText(const std::string& Title) const;
  // The statement with every variable word replaced by its value.
  std::string BuildSQL(const std::string& Title);

  TReader& Reader() { return reader_; }

private:
  TSQLItems items_;
  TReader reader_;
};

// The main window's set: one item "Main", SELECT * FROM "TabName".
void InitMainSQLSet(TSQLSet& set);
