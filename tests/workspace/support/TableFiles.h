#pragma once
// Small dBase tables written byte by byte for the table tests.

#include <string>
#include <vector>

struct TTestField {
  std::string Name;
  char Type;  // C, N, L, D
  int Length;
  int Decimals = 0;
};

// Rows hold the values as text: C as is, N the number, L "T"/"F"/"" , D "yyyymmdd".
void WriteTestDbf(const std::string& path, const std::vector<TTestField>& fields,
                  const std::vector<std::vector<std::string>>& rows);

// Cuts the file a few bytes into the record after the first kept ones; the
// header still declares every record.
void CutTestDbf(const std::string& path, int keptRecords);

// A fresh folder under the system temporary folder.
std::string MakeTestFolder(const std::string& tag);
