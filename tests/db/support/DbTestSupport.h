#pragma once
#include <cstdint>
#include <string>

#include "db/Connection.h"

// The shared sample files, from the environment or next to the source tree.
std::string TestDataDir();
// A fresh empty folder under the system temporary folder.
std::string MakeTempDir(const std::string& tag);
std::string DbfConnectionString(const std::string& folder);
std::string MdbConnectionString(const std::string& file);
// Copies a file into a folder; returns the new path.
std::string CopyInto(const std::string& file, const std::string& folder, const std::string& newName = "");
// Opens SELECT * FROM "table" on the connection.
void OpenTable(TADOConnection& conn, TADOQuery& q, const std::string& table);
// Runs a Python script with the system's python3 (python3-dbf, python3-dbfread); its output.
std::string RunPython(const std::string& script);
// A file's bytes, and writing them.
std::string Slurp(const std::string& path);
void Spit(const std::string& path, const std::string& bytes);
// Little-endian numbers written into file bytes.
void Put16(std::string& bytes, size_t at, uint16_t v);
void Put32(std::string& bytes, size_t at, uint32_t v);
