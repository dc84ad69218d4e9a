#pragma once
// What a connection's driver does: list its tables and read one into rows
// (with the store that writes it back, when it can be written).

#include <memory>
#include <string>
#include <vector>

#include "db/DataSet.h"

class TDbDriver {
public:
  virtual ~TDbDriver() = default;
  virtual std::vector<std::string> TableNames() = 0;
  // Case-insensitive; throws EDatabaseError when the table is missing or unreadable.
  virtual TTableData OpenTable(const std::string& name) = 0;
  // True when the name is one of the connection's tables.
  virtual bool HasTable(const std::string& name) = 0;
};

std::unique_ptr<TDbDriver> MakeDbfDriver(const std::string& folder);
std::unique_ptr<TDbDriver> MakeAccessDriver(const std::string& file);

// Runs a statement on SQLite over the driver's tables; the result is read-only.
TTableData RunSqlStatement(TDbDriver& driver, const std::string& sql);
