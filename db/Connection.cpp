#include "db/Connection.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "db/Dbf.h"
#include "platform/SysUtils.h"
#include "db/Driver.h"

namespace fs = std::filesystem;

namespace {

// key=value pairs separated by ';'; a value may be wrapped in double quotes.
std::vector<std::pair<std::string, std::string>> SplitPairs(const std::string& s) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t i = 0;
  while (i < s.size()) {
    size_t eq = s.find('=', i);
    if (eq == std::string::npos) break;
    std::string key = TrimWs(s.substr(i, eq - i));
    size_t j = eq + 1;
    while (j < s.size() && (s[j] == ' ' || s[j] == '\t')) ++j;
    std::string value;
    if (j < s.size() && s[j] == '"') {
      size_t close = s.find('"', j + 1);
      if (close == std::string::npos) close = s.size();
      value = s.substr(j + 1, close - j - 1);
      j = close + 1;
      size_t semi = s.find(';', j);
      i = semi == std::string::npos ? s.size() : semi + 1;
    } else {
      size_t semi = s.find(';', j);
      if (semi == std::string::npos) semi = s.size();
      value = TrimWs(s.substr(j, semi - j));
      i = semi + 1;
    }
    out.emplace_back(LowerCase(key), value);
  }
  return out;
}

class TDbfFolderDriver : public TDbDriver {
public:
  explicit TDbfFolderDriver(std::string folder) : folder_(std::move(folder)) {}

  std::vector<std::string> TableNames() override {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder_, ec)) {
      if (LowerCase(e.path().extension().string()) != ".dbf") continue;
      std::error_code ec2;
      if (!e.is_regular_file(ec2)) continue;
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return LowerCase(a) < LowerCase(b); });
    return names;
  }

  bool HasTable(const std::string& name) override { return !Resolve(name).empty(); }

  TTableData OpenTable(const std::string& name) override {
    std::string path = Resolve(name);
    if (path.empty()) throw EDatabaseError("File not found: " + (fs::path(folder_) / name).string());
    return DbfReadTable(path);
  }

private:
  // The file named with or without its extension, letters compared without case.
  std::string Resolve(const std::string& name) {
    const std::string want = LowerCase(name);
    for (const std::string& file : TableNames()) {
      const std::string l = LowerCase(file);
      if (l == want || l.substr(0, l.size() - 4) == want) return (fs::path(folder_) / file).string();
    }
    return {};
  }
  std::string folder_;
};

}  // namespace

TConnectionParams ParseConnectionString(const std::string& connectionString) {
  TConnectionParams p;
  auto apply = [&](const std::vector<std::pair<std::string, std::string>>& pairs, auto& self) -> void {
    for (const auto& [k, v] : pairs) {
      if (k == "provider")
        p.Provider = v;
      else if (k == "dsn")
        p.DSN = v;
      else if (k == "dbq")
        p.DBQ = v;
      else if (k == "defaultdir")
        p.DefaultDir = v;
      else if (k == "driver")
        p.Driver = v;
      else if (k == "extended properties")
        self(SplitPairs(v), self);
    }
  };
  apply(SplitPairs(connectionString), apply);
  const std::string drv = LowerCase(p.Driver);
  if (drv == "{microsoft dbase driver (*.dbf)}" || drv == "{dbase driver (*.dbf)}") {
    p.Kind = TDriverKind::DBase;
    p.Path = p.DBQ.empty() ? p.DefaultDir : p.DBQ;
  } else if (drv == "{microsoft access driver (*.mdb)}") {
    p.Kind = TDriverKind::Access;
    fs::path dbq(p.DBQ);
    p.Path = (dbq.is_absolute() || p.DefaultDir.empty()) ? p.DBQ : (fs::path(p.DefaultDir) / dbq).string();
  } else {
    throw EDatabaseError(p.Driver.empty() ? "The connection string names no driver"
                                          : "Data source name not found and no default driver specified: " + p.Driver);
  }
  if (p.Path.empty()) throw EDatabaseError("The connection string names no database (DBQ)");
  return p;
}

TADOConnection::TADOConnection() = default;
TADOConnection::~TADOConnection() {
  for (TADOQuery* q : queries_) q->connection_ = nullptr;
}

void TADOConnection::Open() {
  if (Connected()) return;
  TConnectionParams p = ParseConnectionString(ConnectionString);
  std::error_code ec;
  if (p.Kind == TDriverKind::DBase) {
    if (!fs::is_directory(p.Path, ec)) throw EDatabaseError("Folder not found: " + p.Path);
    driver_ = std::make_unique<TDbfFolderDriver>(p.Path);
  } else {
    if (!fs::is_regular_file(p.Path, ec)) throw EDatabaseError("File not found: " + p.Path);
    driver_ = MakeAccessDriver(p.Path);
  }
  params_ = p;
}

void TADOConnection::Close() {
  for (TADOQuery* q : queries_) q->Close();
  driver_.reset();
}

TDriverKind TADOConnection::Kind() const { return Connected() ? params_.Kind : TDriverKind::None; }

void TADOConnection::GetTableNames(std::vector<std::string>& list, bool) {
  Open();
  list = driver_->TableNames();
}

TADOQuery::~TADOQuery() {
  Close();
  SetConnection(nullptr);
}

void TADOQuery::SetConnection(TADOConnection* connection) {
  if (connection_) {
    auto& q = connection_->queries_;
    q.erase(std::remove(q.begin(), q.end(), this), q.end());
  }
  connection_ = connection;
  if (connection_) connection_->queries_.push_back(this);
}

std::string TADOQuery::SingleTableOf(const std::string& sql) {
  std::string s = TrimWs(sql);
  while (!s.empty() && (s.back() == ';' || s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.pop_back();
  auto word = [&](size_t& i, const char* w) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    size_t n = std::char_traits<char>::length(w);
    if (LowerCase(s.substr(i, n)) != w) return false;
    i += n;
    return true;
  };
  size_t i = 0;
  if (!word(i, "select") || !word(i, "*") || !word(i, "from")) return {};
  if (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])) && s[i] != '"' && s[i] != '[') return {};
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  if (i >= s.size()) return {};
  std::string name;
  if (s[i] == '"' || s[i] == '[' || s[i] == '`') {
    const char close = s[i] == '[' ? ']' : s[i];
    size_t e = s.find(close, i + 1);
    if (e == std::string::npos) return {};
    name = s.substr(i + 1, e - i - 1);
    i = e + 1;
  } else {
    size_t e = i;
    while (e < s.size() && !std::isspace(static_cast<unsigned char>(s[e]))) ++e;
    name = s.substr(i, e - i);
    i = e;
  }
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  return i == s.size() ? name : std::string();
}

void TADOQuery::Open() {
  if (Active()) return;
  if (!connection_) throw EDatabaseError("The query has no connection");
  connection_->Open();
  TDbDriver& driver = *connection_->Driver();
  const std::string table = SingleTableOf(SQL);
  if (!table.empty() && driver.HasTable(table)) {
    OpenData(driver.OpenTable(table));
    return;
  }
  TTableData data;
  try {
    data = RunSqlStatement(driver, SQL);
  } catch (const EDatabaseError& e) {
    // A table opened by name that is not there: the driver's own message names the file.
    if (table.empty() || std::string(e.what()).rfind("no such table", 0) != 0) throw;
    data = driver.OpenTable(table);
  }
  OpenData(std::move(data));
}

std::unique_ptr<TDbDriver> MakeDbfDriver(const std::string& folder) {
  return std::make_unique<TDbfFolderDriver>(folder);
}
