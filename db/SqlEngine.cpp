// SQL over a connection's tables: each statement runs on a fresh in-memory
// SQLite database into which the tables it names are loaded as it needs them.
// Column types travel through the declared types of the loaded tables, so a
// result column taken from a table keeps that field's type and size.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <set>

#include "db/DateParts.h"
#include "db/Driver.h"

namespace {

struct TDecl {
  TFieldType type;
  const char* name;
};
// Names chosen so SQLite gives each the affinity its values need.
const TDecl kDecls[] = {
    {ftString, "VARCHAR"},        {ftWideString, "NVARCHAR"},  {ftFixedChar, "CHARACTER"},
    {ftMemo, "MEMO_TEXT"},        {ftFmtMemo, "FMTMEMO_TEXT"}, {ftSmallint, "SMALLINT"},
    {ftInteger, "INTEGER"},       {ftWord, "WORD_INT"},        {ftAutoInc, "COUNTER_INT"},
    {ftLargeint, "BIGINT"},       {ftFloat, "DOUBLE"},         {ftCurrency, "CURRENCY_REAL"},
    {ftBCD, "DECIMAL_TEXT"},      {ftDate, "DATE"},            {ftTime, "TIME"},
    {ftDateTime, "DATETIME"},     {ftBoolean, "BOOLEAN"},      {ftBlob, "BLOB"},
    {ftBytes, "BINARY_BLOB"},     {ftGuid, "GUID_TEXT"},
};

std::string DeclOf(const TFieldDef& f) {
  for (const auto& d : kDecls)
    if (d.type == f.DataType) {
      std::string s = d.name;
      if (f.Size > 0) s += "(" + std::to_string(f.Size) + (f.Precision > 0 ? "," + std::to_string(f.Precision) : "") + ")";
      return s;
    }
  return "OTHER_TEXT";
}

bool TypeOfDecl(const char* decl, TFieldDef& f) {
  if (!decl) return false;
  std::string s = decl;
  size_t paren = s.find('(');
  std::string base = s.substr(0, paren);
  for (const auto& d : kDecls)
    if (base == d.name) {
      f.DataType = d.type;
      if (paren != std::string::npos) std::sscanf(s.c_str() + paren, "(%d,%d)", &f.Size, &f.Precision);
      return true;
    }
  if (base == "OTHER_TEXT") {
    f.DataType = ftString;
    return true;
  }
  return false;
}

bool IsDateType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime; }
bool IsFloatType(TFieldType t) { return t == ftFloat || t == ftCurrency; }
bool IsBlobType(TFieldType t) { return t == ftBlob || t == ftBytes; }

std::string IsoOf(double dt, TFieldType t) {
  int y, m, d;
  dbdate::Decode(dt, y, m, d);
  int64_t ms = dbdate::TimeMs(dt);
  int secs = static_cast<int>(ms / 1000);
  char buf[40];
  if (t == ftDate)
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  else if (t == ftTime)
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", secs / 3600, secs / 60 % 60, secs % 60);
  else
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, secs / 3600, secs / 60 % 60, secs % 60);
  return buf;
}

bool ParseIso(const std::string& s, double& out) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
  if (std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &se) >= 3) {
    if (!dbdate::ValidDate(y, mo, d)) return false;
    double day = dbdate::Encode(y, mo, d), frac = (h * 3600 + mi * 60 + se) / 86400.0;
    out = day >= 0 ? day + frac : day - frac;
    return true;
  }
  if (std::sscanf(s.c_str(), "%d:%d:%d", &h, &mi, &se) >= 2) {
    out = (h * 3600 + mi * 60 + se) / 86400.0;
    return true;
  }
  return false;
}

bool ParseNum(const std::string& s, double& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

std::string Quote(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    q += c;
    if (c == '"') q += '"';
  }
  return q + "\"";
}

// Text columns collate as the grid sorts; texts that differ only in case keep an
// order (and stay unequal) by their bytes.
constexpr const char* kTextCollation = "LPTEXT";

int CollateText(void*, int na, const void* a, int nb, const void* b) {
  const std::string sa(static_cast<const char*>(a), static_cast<size_t>(na));
  const std::string sb(static_cast<const char*>(b), static_cast<size_t>(nb));
  const int c = CompareSortText(sa, sb);
  return c != 0 ? c : sa.compare(sb);
}

bool IsTextDecl(TFieldType t) {
  return t == ftString || t == ftWideString || t == ftFixedChar || t == ftMemo || t == ftFmtMemo;
}

class TDb {
public:
  TDb() {
    if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw EDatabaseError("Cannot start the SQL engine");
    sqlite3_create_collation(db_, kTextCollation, SQLITE_UTF8, nullptr, CollateText);
  }
  ~TDb() { sqlite3_close(db_); }
  sqlite3* get() const { return db_; }
  void Exec(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::string msg = err ? err : "SQL error";
      sqlite3_free(err);
      throw EDatabaseError(msg);
    }
  }

private:
  sqlite3* db_ = nullptr;
};

class TStmt {
public:
  TStmt() = default;
  ~TStmt() { sqlite3_finalize(st_); }
  sqlite3_stmt*& ref() { return st_; }
  sqlite3_stmt* get() const { return st_; }

private:
  sqlite3_stmt* st_ = nullptr;
};

void LoadTable(TDb& db, TDbDriver& driver, const std::string& name) {
  TTableData t = driver.OpenTable(name);
  std::string create = "CREATE TABLE " + Quote(name) + " (";
  for (size_t i = 0; i < t.Fields.size(); ++i) {
    if (i) create += ", ";
    create += Quote(t.Fields[i].Name) + " " + DeclOf(t.Fields[i]);
    if (IsTextDecl(t.Fields[i].DataType)) create += std::string(" COLLATE ") + kTextCollation;
  }
  create += ")";
  db.Exec(create);
  std::string insert = "INSERT INTO " + Quote(name) + " VALUES (";
  for (size_t i = 0; i < t.Fields.size(); ++i) insert += i ? ",?" : "?";
  insert += ")";
  TStmt st;
  if (sqlite3_prepare_v2(db.get(), insert.c_str(), -1, &st.ref(), nullptr) != SQLITE_OK)
    throw EDatabaseError(sqlite3_errmsg(db.get()));
  db.Exec("BEGIN");
  for (const std::string& packed : t.Rows) {
    std::vector<TValue> row = UnpackRow(packed, t.Fields.size());
    for (size_t i = 0; i < row.size(); ++i) {
      const int c = static_cast<int>(i) + 1;
      const TFieldType ty = t.Fields[i].DataType;
      const TValue& v = row[i];
      switch (v.index()) {
        case 0: sqlite3_bind_null(st.get(), c); break;
        case 1: sqlite3_bind_int64(st.get(), c, std::get<int64_t>(v)); break;
        case 2:
          if (IsDateType(ty)) {
            std::string iso = IsoOf(std::get<double>(v), ty);
            sqlite3_bind_text(st.get(), c, iso.c_str(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
          } else {
            sqlite3_bind_double(st.get(), c, std::get<double>(v));
          }
          break;
        case 3: sqlite3_bind_int(st.get(), c, std::get<bool>(v) ? 1 : 0); break;
        case 4: {
          const std::string& s = std::get<std::string>(v);
          if (IsBlobType(ty))
            sqlite3_bind_blob(st.get(), c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
          else
            sqlite3_bind_text(st.get(), c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
          break;
        }
      }
    }
    if (sqlite3_step(st.get()) != SQLITE_DONE) throw EDatabaseError(sqlite3_errmsg(db.get()));
    sqlite3_reset(st.get());
  }
  db.Exec("COMMIT");
}

// SQLite's values as the column's field type; numbers in text are SQLite's own
// (C locale) spelling, everything else follows db/ValueConvert.h.
TValue Convert(const TValue& raw, TFieldType t) {
  if (ValueIsNull(raw)) return raw;
  double d;
  const bool text = raw.index() == 4;
  if (IsDateType(t)) {
    if (text) return ParseIso(std::get<std::string>(raw), d) ? TValue(d) : TValue();
    return ValueToFloat(raw);
  }
  if (t == ftBoolean) return ValueToBoolean(raw);
  if (IsIntegerFieldType(t)) {
    if (raw.index() == 1) return raw;
    if (text && !ParseNum(std::get<std::string>(raw), d)) return TValue();
    try {
      return ValueToLargeInt(text ? TValue(d) : raw);
    } catch (const EConvertError&) {
      return TValue();
    }
  }
  if (IsFloatType(t)) {
    if (text) return ParseNum(std::get<std::string>(raw), d) ? TValue(d) : TValue();
    return ValueToFloat(raw);
  }
  if (raw.index() == 1) return std::to_string(std::get<int64_t>(raw));
  if (raw.index() == 2) return FloatToStr(std::get<double>(raw));
  return raw;
}

}  // namespace

TTableData RunSqlStatement(TDbDriver& driver, const std::string& sql) {
  TDb db;
  TStmt st;
  std::set<std::string> loaded;
  for (;;) {
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st.ref(), nullptr) == SQLITE_OK) break;
    const std::string msg = sqlite3_errmsg(db.get());
    const std::string prefix = "no such table: ";
    if (msg.rfind(prefix, 0) == 0) {
      const std::string name = msg.substr(prefix.size());
      std::string key = name;
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (!loaded.count(key) && driver.HasTable(name)) {
        loaded.insert(key);
        LoadTable(db, driver, name);
        continue;
      }
    }
    throw EDatabaseError(msg);
  }
  if (!st.get()) throw EDatabaseError("The statement is empty");
  const int ncols = sqlite3_column_count(st.get());
  if (ncols == 0 || !sqlite3_stmt_readonly(st.get()))
    throw EDatabaseError("Only SELECT statements can be run over these tables");

  TTableData data;
  std::vector<bool> declared(static_cast<size_t>(ncols));
  for (int c = 0; c < ncols; ++c) {
    TFieldDef f;
    f.Name = sqlite3_column_name(st.get(), c);
    declared[static_cast<size_t>(c)] = TypeOfDecl(sqlite3_column_decltype(st.get(), c), f);
    data.Fields.push_back(f);
  }
  struct TSeen {
    bool i = false, r = false, t = false, b = false, wide = false;
    int maxLen = 0;
  };
  std::vector<TSeen> seen(static_cast<size_t>(ncols));
  std::vector<std::vector<TValue>> rows;
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    std::vector<TValue> row(static_cast<size_t>(ncols));
    for (int c = 0; c < ncols; ++c) {
      TSeen& s = seen[static_cast<size_t>(c)];
      switch (sqlite3_column_type(st.get(), c)) {
        case SQLITE_INTEGER: {
          int64_t v = sqlite3_column_int64(st.get(), c);
          s.i = true;
          if (v < INT32_MIN || v > INT32_MAX) s.wide = true;
          row[static_cast<size_t>(c)] = v;
          break;
        }
        case SQLITE_FLOAT: s.r = true; row[static_cast<size_t>(c)] = sqlite3_column_double(st.get(), c); break;
        case SQLITE_TEXT: {
          const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), c));
          std::string v(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st.get(), c)));
          s.t = true;
          s.maxLen = std::max(s.maxLen, Utf8Length(v));
          row[static_cast<size_t>(c)] = std::move(v);
          break;
        }
        case SQLITE_BLOB: {
          const char* p = static_cast<const char*>(sqlite3_column_blob(st.get(), c));
          s.b = true;
          row[static_cast<size_t>(c)] = std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st.get(), c)));
          break;
        }
        default: break;
      }
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) throw EDatabaseError(sqlite3_errmsg(db.get()));
  for (int c = 0; c < ncols; ++c) {
    if (declared[static_cast<size_t>(c)]) continue;
    TFieldDef& f = data.Fields[static_cast<size_t>(c)];
    const TSeen& s = seen[static_cast<size_t>(c)];
    if (s.b && !s.t && !s.i && !s.r) {
      f.DataType = ftBlob;
    } else if (s.t || s.b || (!s.i && !s.r)) {
      f.DataType = ftString;
      f.Size = std::max(1, s.maxLen);
    } else if (s.r) {
      f.DataType = ftFloat;
    } else {
      f.DataType = s.wide ? ftLargeint : ftInteger;
    }
  }
  data.Rows.reserve(rows.size());
  for (auto& row : rows) {
    for (int c = 0; c < ncols; ++c)
      row[static_cast<size_t>(c)] = Convert(row[static_cast<size_t>(c)], data.Fields[static_cast<size_t>(c)].DataType);
    data.Rows.push_back(PackRow(row));
  }
  data.ReadOnlyReason = "Table is read-only: the result of an SQL statement cannot be changed";
  return data;
}
