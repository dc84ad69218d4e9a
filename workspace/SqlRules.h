#pragma once
// The "Execute SQL" window's rules that need no window.

#include <string>

// The name a statement is saved under: ".sql" added when the name has no extension.
std::string SqlSaveFileName(const std::string& chosen);
// 0 "Microsoft Access Database" when the path has a file extension, else 1 "DBase Directory".
int SqlDatabaseTypeFor(const std::string& path);
