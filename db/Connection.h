#pragma once
// The connection and the query: the connection string picks the driver
// (dBase folder, Access database); the query runs a statement over it.
// "SELECT * FROM "T"" on one table gives an updatable dataset; any other
// statement runs on an embedded SQLite engine over the connection's tables
// and gives a read-only result.

#include <memory>
#include <string>
#include <vector>

#include "db/DataSet.h"

class TDbDriver;

enum class TDriverKind { None, DBase, Access };

// The parts of a connection string that matter here (keys compared without case).
struct TConnectionParams {
  std::string Provider, DSN, DBQ, DefaultDir, Driver;
  TDriverKind Kind = TDriverKind::None;
  // The dBase folder, or the Access database's full path.
  std::string Path;
};
// Throws EDatabaseError for an unknown driver or a string without DBQ.
TConnectionParams ParseConnectionString(const std::string& connectionString);

class TADOConnection {
public:
  TADOConnection();
  ~TADOConnection();
  TADOConnection(const TADOConnection&) = delete;
  TADOConnection& operator=(const TADOConnection&) = delete;

  std::string ConnectionString;
  bool LoginPrompt = false;

  // Throws EDatabaseError: "File not found: ...", "Folder not found: ...", driver messages.
  void Open();
  void Close();  // the queries on it close first
  bool Connected() const { return driver_ != nullptr; }
  void SetConnected(bool on) { on ? Open() : Close(); }
  TDriverKind Kind() const;

  // User tables only: the .dbf files of the folder (file names with extension), or the
  // Access database's user tables (no MSys tables), sorted without regard to case.
  void GetTableNames(std::vector<std::string>& list, bool systemTables = false);

  TDbDriver* Driver() const { return driver_.get(); }

private:
  friend class TADOQuery;
  std::unique_ptr<TDbDriver> driver_;
  TConnectionParams params_;
  std::vector<class TADOQuery*> queries_;
};

class TADOQuery : public TDataSet {
public:
  TADOQuery() = default;
  ~TADOQuery() override;

  void SetConnection(TADOConnection* connection);
  TADOConnection* Connection() const { return connection_; }
  std::string SQL;  // the statement text

  // Opens the statement (the connection opens when it is not yet connected).
  // Throws EDatabaseError; the dataset stays closed then.
  void Open();
  void SetActive(bool on) { on ? Open() : Close(); }
  // The table a "SELECT * FROM "T"" names; empty for any other statement.
  static std::string SingleTableOf(const std::string& sql);

private:
  friend class TADOConnection;
  TADOConnection* connection_ = nullptr;
};
