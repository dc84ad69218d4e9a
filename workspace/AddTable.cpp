#include "workspace/AddTable.h"

#include <cmath>
#include <filesystem>

#include "platform/SysUtils.h"
#include "workspace/TableWorkspace.h"
#include "workspace/ValueConvert.h"

namespace {

constexpr int ProgressStep = 3;  // the bar moves only by more than this

}  // namespace

TAddSourceKind AddSourceKindOf(const std::string& file) {
  const std::string ext = LowerCase(std::filesystem::path(file).extension().string());
  if (ext == ".dbf") return TAddSourceKind::DBase;
  if (ext == ".mdb") return TAddSourceKind::Access;
  return TAddSourceKind::None;
}

TAddTableRowLayout AddTableRowLayout(int fieldIndex) {
  TAddTableRowLayout l;
  l.NameTop = l.EqualTop = 25 * fieldIndex + 15;
  l.ComboTop = 25 * fieldIndex + 11;
  return l;
}

std::vector<std::string> AddTableComboItems(TDataSet& source) {
  std::vector<std::string> items{std::string()};
  for (int i = 0; i < source.FieldCount(); ++i) items.push_back(source.Fields(i).FieldName());
  return items;
}

std::vector<int> AddTablePreselection(TDataSet& target, TDataSet& source) {
  std::vector<int> sel;
  for (int i = 0; i < target.FieldCount(); ++i) {
    const std::string& name = target.Fields(i).FieldName();
    int pick = 0;
    for (int k = 0; k < source.FieldCount() && pick == 0; ++k)
      if (AnsiCompareText(source.Fields(k).FieldName(), name) == 0) pick = k + 1;
    sel.push_back(pick);
  }
  return sel;
}

bool AssignConverted(TField& target, TFieldType sourceType, const TValue& v) {
  if (ValueIsNull(v)) return false;
  const TFieldKind from = FieldKind(sourceType);
  const bool textual = from == fkText || from == fkMemo;
  switch (FieldKind(target.DataType())) {
    case fkText:
    case fkMemo: {
      std::string s;
      switch (from) {
        case fkNumber: s = FloatToStr(ValueToFloat(v)); break;
        case fkDateTime: s = DateTimeToStr(ValueToFloat(v)); break;
        case fkBoolean: s.assign(1, ValueBoolean(v) ? 'T' : 'F'); break;
        default: s = ValueText(v, sourceType); break;
      }
      target.SetValue(s);
      return true;
    }
    case fkNumber: {
      double d;
      if (textual) {
        long double ld;
        if (!TryStrToFloat(ValueText(v, sourceType), ld)) return false;
        d = static_cast<double>(ld);
      } else {
        d = from == fkBoolean ? (ValueBoolean(v) ? 1.0 : 0.0) : ValueToFloat(v);
      }
      if (!std::isfinite(d)) return false;
      target.SetAsFloat(d);
      return true;
    }
    case fkDateTime: {
      double d;
      if (textual) {
        if (!TryStrToDateTime(ValueText(v, sourceType), d)) return false;
      } else {
        d = from == fkBoolean ? (ValueBoolean(v) ? 1.0 : 0.0) : ValueToFloat(v);
      }
      if (!IsTableDate(d)) return false;
      target.SetAsDateTime(d);
      return true;
    }
    case fkBoolean: {
      if (textual) {
        const std::string l = LowerCase(ValueText(v, sourceType));
        if (l == "true" || l == "t")
          target.SetAsBoolean(true);
        else if (l == "false" || l == "f")
          target.SetAsBoolean(false);
        else
          return false;
        return true;
      }
      target.SetAsBoolean(from == fkBoolean ? ValueBoolean(v) : ValueToFloat(v) != 0.0);
      return true;
    }
  }
  return false;
}

TAddTableResult AppendMappedRows(TDataSet& target, TDataSet& source, const std::vector<std::string>& mappedSource,
                                 const TAddTableProgress& progress) {
  TAddTableResult result;
  auto status = [&](const std::string& s) {
    if (progress.SetStatus) progress.SetStatus(s);
  };
  auto repaint = [&] {
    if (progress.Repaint) progress.Repaint();
  };
  int shown = 0;
  status("");
  if (progress.SetPosition) progress.SetPosition(0);
  repaint();
  target.DisableControls();
  if (progress.Busy) progress.Busy(true);
  struct TRestore {
    TDataSet& t;
    const TAddTableProgress& p;
    ~TRestore() {
      t.EnableControls();
      if (p.Busy) p.Busy(false);
    }
  } restore{target, progress};

  // The source field of each target field, looked up once.
  const int fields = target.FieldCount();
  std::vector<int> from(static_cast<size_t>(fields), -1);
  for (int i = 0; i < fields && static_cast<size_t>(i) < mappedSource.size(); ++i)
    if (!mappedSource[static_cast<size_t>(i)].empty())
      from[static_cast<size_t>(i)] = source.FieldIndex(mappedSource[static_cast<size_t>(i)]);

  source.Last();
  const int total = source.RecNo();
  source.First();
  while (source.RecNo() <= total && !source.Eof()) {
    target.Append();
    try {
      for (int i = 0; i < fields; ++i) {
        const int k = from[static_cast<size_t>(i)];
        if (k < 0) continue;
        const TValue& v = source.CurrentValue(k);
        if (ValueIsNull(v)) continue;
        try {
          AssignConverted(target.Fields(i), source.FieldDefs()[static_cast<size_t>(k)].DataType, v);
        } catch (const EConvertError&) {
          // The field stays null and the row goes on.
        }
      }
      bool any = false;
      for (int i = 0; i < fields && !any; ++i) any = !ValueIsNull(target.CurrentValue(i));
      if (any) {
        target.Post();
        ++result.Added;
      } else {
        target.Cancel();
        ++result.Skipped;
      }
    } catch (...) {
      if (target.State() == dsInsert) target.Cancel();
      throw;
    }
    source.Next();
    if (total > 0) {
      const int pos = static_cast<int>(std::lround(static_cast<double>(progress.Maximum) * source.RecNo() / total));
      if (pos > shown + ProgressStep) {
        shown = pos;
        if (progress.SetPosition) progress.SetPosition(pos);
        repaint();
      }
    }
  }
  status("Updating the table, please wait");
  repaint();
  try {
    target.UpdateBatch();
  } catch (...) {
    status("");
    throw;
  }
  status("");
  return result;
}

TAddTableSession::TAddTableSession() {
  connection_.LoginPrompt = false;
  source_.SetConnection(&connection_);
}

TAddTableSession::~TAddTableSession() { Disconnect(); }

TAddSourceKind TAddTableSession::Connect(const std::string& file) {
  const TAddSourceKind kind = AddSourceKindOf(file);
  if (kind == TAddSourceKind::None) return kind;
  Disconnect();
  const TConnectionTarget t = kind == TAddSourceKind::Access ? AccessFileTarget(file) : DBaseFileTarget(file);
  connection_.ConnectionString = t.ConnectionString();
  defaultTable_ = t.Table;
  connection_.Open();
  return kind;
}

std::vector<std::string> TAddTableSession::TableNames() {
  std::vector<std::string> names;
  if (connection_.Connected()) connection_.GetTableNames(names, false);
  return names;
}

void TAddTableSession::OpenSource(const std::string& table) {
  source_.Close();
  source_.SQL = "SELECT * FROM \"" + table + "\"";
  source_.Open();
}

void TAddTableSession::BuildMapping(TDataSet& target) {
  items_ = AddTableComboItems(source_);
  selection_ = AddTablePreselection(target, source_);
}

TAddTableResult TAddTableSession::Add(TDataSet& target, const TAddTableProgress& progress) {
  std::vector<std::string> mapped;
  for (int pick : selection_)
    mapped.push_back(pick > 0 && static_cast<size_t>(pick) < items_.size() ? items_[static_cast<size_t>(pick)]
                                                                           : std::string());
  return AppendMappedRows(target, source_, mapped, progress);
}

void TAddTableSession::Disconnect() {
  source_.Close();
  connection_.Close();
  items_.clear();
  selection_.clear();
}
