// The Access driver: Jet 3 and Jet 4 databases read through mdbtools.
#include <glib.h>
#include <mdbtools.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "db/DateParts.h"
#include "db/Driver.h"

namespace {

// mdbtools walks a table's pages through its usage map without checking it:
// a map too short for its type byte and first page number is a damaged table.
bool UsageMapReadable(const MdbTableDef* table) { return table->usage_map && table->map_sz >= 5; }

bool ParseNumber(const char* s, size_t n, double& out) {
  auto r = std::from_chars(s, s + n, out);
  return r.ec == std::errc() && r.ptr != s;
}

// "yyyy-mm-dd hh:mm:ss" as the date format set below.
bool ParseDate(const char* s, size_t n, double& out) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
  std::string t(s, n);
  int got = std::sscanf(t.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &se);
  if (got < 3 || !dbdate::ValidDate(y, mo, d)) return false;
  double day = dbdate::Encode(y, mo, d);
  double frac = (h * 3600 + mi * 60 + se) / 86400.0;
  out = day >= 0 ? day + frac : day - frac;
  return true;
}

class TMdbHandle {
public:
  explicit TMdbHandle(const std::string& path) : mdb_(mdb_open(path.c_str(), MDB_NOFLAGS)) {
    if (!mdb_) return;
    mdb_set_date_fmt(mdb_, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb_, "%Y-%m-%d");
    mdb_set_boolean_fmt_numbers(mdb_);
    // A value, once turned into UTF-8 text, is at most a few times the bytes
    // of the file it comes from: a small file needs small buffers.
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(path, ec);
    bindSize_ = ec || fileSize >= kBindSize / kUtf8Growth ? kBindSize : static_cast<size_t>(fileSize) * kUtf8Growth;
    mdb_set_bind_size(mdb_, bindSize_);
    if (!ReadCatalog()) {
      mdb_close(mdb_);
      mdb_ = nullptr;
    }
  }
  ~TMdbHandle() {
    if (mdb_) mdb_close(mdb_);
  }
  MdbHandle* get() const { return mdb_; }
  // What one value of a column can take.
  size_t BindSize() const { return bindSize_; }
  static constexpr size_t kBindSize = 256 * 1024;
  static constexpr size_t kUtf8Growth = 4;
  // Access holds at most this many columns in a table; a larger count is a damaged file.
  static constexpr unsigned kMaxColumns = 255;

private:
  // The objects of the database from its system table MSysObjects, without
  // their property blocks: mdbtools' reader of those loops for ever on a
  // record of length 0, and nothing here needs them.
  bool ReadCatalog() {
    mdb_free_catalog(mdb_);
    mdb_->catalog = g_ptr_array_new();
    mdb_->num_catalog = 0;
    MdbCatalogEntry system{};
    system.mdb = mdb_;
    system.object_type = MDB_TABLE;
    system.table_pg = kSystemTablePage;
    std::strcpy(system.object_name, "MSysObjects");
    MdbTableDef* table = mdb_read_table(&system);
    if (!table) return false;
    bool ok = UsageMapReadable(table) && mdb_read_columns(table) != nullptr;
    char id[kCatalogText] = {}, name[kCatalogText] = {}, type[kCatalogText] = {}, flags[kCatalogText] = {};
    const size_t saved = mdb_->bind_size;
    mdb_->bind_size = kCatalogText - 1;
    ok = ok && mdb_bind_column_by_name(table, const_cast<gchar*>("Id"), id, nullptr) != -1 &&
         mdb_bind_column_by_name(table, const_cast<gchar*>("Name"), name, nullptr) != -1 &&
         mdb_bind_column_by_name(table, const_cast<gchar*>("Type"), type, nullptr) != -1 &&
         mdb_bind_column_by_name(table, const_cast<gchar*>("Flags"), flags, nullptr) != -1;
    if (ok) {
      mdb_rewind_table(table);
      while (mdb_fetch_row(table)) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_malloc0(sizeof(MdbCatalogEntry)));
        entry->mdb = mdb_;
        g_strlcpy(entry->object_name, name, sizeof entry->object_name);
        entry->object_type = static_cast<int>(std::atol(type) & 0x7F);
        entry->table_pg = static_cast<unsigned long>(std::atol(id) & 0x00FFFFFF);
        entry->flags = static_cast<int>(std::atol(flags));
        g_ptr_array_add(mdb_->catalog, entry);
        id[0] = name[0] = type[0] = flags[0] = '\0';
      }
      mdb_->num_catalog = mdb_->catalog->len;
    }
    mdb_->bind_size = saved;
    mdb_free_tabledef(table);
    return ok;
  }

  static constexpr unsigned long kSystemTablePage = 2;
  static constexpr size_t kCatalogText = MDB_MAX_OBJ_NAME + 1;

  MdbHandle* mdb_;
  size_t bindSize_ = kBindSize;
};

class TAccessDriver : public TDbDriver {
public:
  explicit TAccessDriver(std::string path) : path_(std::move(path)), mdb_(path_) {
    if (!mdb_.get()) throw EDatabaseError("Not an Access database, or it is damaged: " + path_);
  }

  std::vector<std::string> TableNames() override {
    std::vector<std::string> names;
    MdbHandle* mdb = mdb_.get();
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
      auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
      if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry)) continue;
      names.emplace_back(entry->object_name);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return LowerCase(a) < LowerCase(b); });
    return names;
  }

  bool HasTable(const std::string& name) override { return Find(name) != nullptr; }

  TTableData OpenTable(const std::string& name) override {
    MdbCatalogEntry* entry = Find(name);
    if (!entry) throw EDatabaseError("Table not found: " + name);
    MdbHandle* mdb = mdb_.get();
    MdbTableDef* table = mdb_read_table(entry);
    if (!table) throw EDatabaseError("Cannot read the table " + name + " of " + path_);
    if (!UsageMapReadable(table)) {
      mdb_free_tabledef(table);
      throw EDatabaseError("The table " + name + " of " + path_ + " is damaged.");
    }
    TTableData data;
    try {
      Read(mdb, table, data);
    } catch (...) {
      mdb_free_tabledef(table);
      throw;
    }
    mdb_free_tabledef(table);
    data.ReadOnlyReason = "Access databases can only be read on this system: " + path_;
    return data;
  }

private:
  MdbCatalogEntry* Find(const std::string& name) {
    MdbHandle* mdb = mdb_.get();
    const std::string want = LowerCase(name);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
      auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
      if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry) && LowerCase(entry->object_name) == want)
        return entry;
    }
    return nullptr;
  }

  void Read(MdbHandle* mdb, MdbTableDef* table, TTableData& data) {
    if (!mdb_read_columns(table)) throw EDatabaseError("Cannot read the columns of " + std::string(table->name));
    const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
    const unsigned ncols = table->num_cols;
    // Each column sets a buffer aside: a count from a damaged file must not size that.
    if (ncols > TMdbHandle::kMaxColumns || ncols > table->columns->len)
      throw EDatabaseError("The table " + std::string(table->name) + " of " + path_ + " is damaged.");
    std::vector<std::vector<char>> bufs(ncols);
    std::vector<int> lens(ncols, 0);
    std::vector<MdbColumn*> cols(ncols);
    for (unsigned i = 0; i < ncols; ++i) {
      MdbColumn* c = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      cols[i] = c;
      TFieldDef f;
      f.Name = c->name;
      switch (c->col_type) {
        case MDB_BOOL: f.DataType = ftBoolean; break;
        case MDB_BYTE: f.DataType = ftWord; break;
        case MDB_INT: f.DataType = ftSmallint; break;
        case MDB_LONGINT: f.DataType = c->is_long_auto ? ftAutoInc : ftInteger; break;
        case MDB_MONEY: f.DataType = ftCurrency; break;
        case MDB_FLOAT:
        case MDB_DOUBLE: f.DataType = ftFloat; break;
        case MDB_DATETIME: f.DataType = ftDateTime; break;
        case MDB_BINARY:
          f.DataType = ftBytes;
          f.Size = c->col_size;
          break;
        case MDB_TEXT:
          f.DataType = ftWideString;
          f.Size = jet3 ? c->col_size : c->col_size / 2;
          break;
        case MDB_OLE: f.DataType = ftBlob; break;
        case MDB_MEMO: f.DataType = ftMemo; break;
        case MDB_REPID:
          f.DataType = ftGuid;
          f.Size = 38;
          break;
        case MDB_NUMERIC:
          f.DataType = ftBCD;
          f.Size = c->col_prec;
          f.Precision = c->col_scale;
          break;
        default: f.DataType = ftUnknown; break;
      }
      data.Fields.push_back(f);
      bufs[i].assign(mdb_.BindSize() + 16, '\0');
      mdb_bind_column(table, static_cast<int>(i) + 1, bufs[i].data(), &lens[i]);
    }
    mdb_rewind_table(table);
    std::vector<TValue> row(ncols);
    while (mdb_fetch_row(table)) {
      for (unsigned i = 0; i < ncols; ++i) {
        const char* s = bufs[i].data();
        const size_t n = lens[i] > 0 ? std::min<size_t>(static_cast<size_t>(lens[i]), mdb_.BindSize()) : 0;
        TValue v;
        switch (data.Fields[i].DataType) {
          case ftBoolean: v = n > 0 && s[0] == '1'; break;
          case ftWord:
          case ftSmallint:
          case ftInteger:
          case ftAutoInc: {
            double d;
            if (n > 0 && ParseNumber(s, n, d)) v = static_cast<int64_t>(std::llround(d));
            break;
          }
          case ftCurrency:
          case ftFloat: {
            double d;
            if (n > 0 && ParseNumber(s, n, d)) v = d;
            break;
          }
          case ftDateTime: {
            double d;
            if (n > 0 && ParseDate(s, n, d)) v = d;
            break;
          }
          case ftBlob: {
            if (n == 0) break;
            size_t size = 0;
            void* ole = mdb_ole_read_full(mdb, cols[i], &size);
            if (ole) {
              if (size > 0) v = std::string(static_cast<const char*>(ole), size);
              std::free(ole);
            }
            break;
          }
          default:
            if (n > 0) v = std::string(s, n);
            break;
        }
        row[i] = std::move(v);
      }
      data.Rows.push_back(PackRow(row));
    }
  }

  std::string path_;
  TMdbHandle mdb_;
};

}  // namespace

std::unique_ptr<TDbDriver> MakeAccessDriver(const std::string& file) { return std::make_unique<TAccessDriver>(file); }
