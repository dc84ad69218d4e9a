#pragma once
// The clients table the mailing benches merge from, written as a dBase file:
// NAME C30, FIRST C20, CITY C25, EMAIL C50 (unique per record), AMOUNT N12.2,
// BORN D; the same rows for the same count.

#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "db/Connection.h"
#include "db/Dbf.h"

namespace bench {

inline std::string Pad(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

inline void WriteClientsTable(const std::string& path, int rows) {
  std::vector<TDbfFieldDef> f = {{"NAME", 'C', 30, 0}, {"FIRST", 'C', 20, 0}, {"CITY", 'C', 25, 0},
                                 {"EMAIL", 'C', 50, 0}, {"AMOUNT", 'N', 12, 2}, {"BORN", 'D', 8, 0}};
  TDbfHeader h;
  h.Year = 2026;
  h.RecordCount = static_cast<uint32_t>(rows);
  std::ofstream out(path, std::ios::binary);
  out << DbfEncodeTableHead(h, f);
  std::mt19937 rng(7);
  for (int i = 0; i < rows; ++i) {
    std::string r = " ";
    r += Pad("Name" + std::to_string(rng() % 100000), 30);
    r += Pad("First" + std::to_string(i % 977), 20);
    r += Pad("City" + std::to_string(rng() % 500), 25);
    r += Pad("person" + std::to_string(i) + "@example.com", 50);
    std::string amount = std::to_string(rng() % 100000) + ".25";
    r += std::string(12 - amount.size(), ' ') + amount;
    r += DbfDateText(1950 + static_cast<int>(rng() % 60), 1 + static_cast<int>(rng() % 12), 1 + static_cast<int>(rng() % 28));
    out << r;
  }
  out << '\x1A';
}

// Opens "SELECT * FROM file" over the dBase folder dir (no trailing "/").
inline void OpenDbfTable(TADOConnection& conn, TADOQuery& q, const std::string& dir, const std::string& file) {
  conn.ConnectionString = "Provider=MSDataShape;Extended Properties=\"DBQ=" + dir + "/;DefaultDir=" + dir +
                          "/;Driver={Microsoft DBase Driver (*.dbf)}\"";
  q.SetConnection(&conn);
  q.SQL = "SELECT * FROM \"" + file + "\"";
  q.Open();
}

// An HTML body of about size bytes with five tags: the calculated field
// SALUTATION and the fields CITY, EMAIL, FIRST and NAME.
inline std::string ClientsBody(size_t size) {
  const std::string filler =
      "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut labore. ";
  std::string b = "<html><body><p>%SALUTATION</p>\r\n<p>";
  while (b.size() < size / 2) b += filler;
  b += "Your city: %CITY, your address %EMAIL.</p>\r\n<p>";
  while (b.size() < size - 60) b += filler;
  b += "Best regards to %FIRST %NAME.</p></body></html>";
  return b;
}

}  // namespace bench
