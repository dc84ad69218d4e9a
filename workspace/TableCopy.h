#pragma once
// Writing a new dBase table from a field layout and filling it with the rows
// of the open table, converted field by field.
//
// Table file (little-endian):
//   0      1   0x03, or 0x83 when a field is a memo
//   1      3   year byte ((year mod 100) + 100 above 1950), month, day
//   4      4   record count (0 until the copy sets it)
//   8      2   header length = 32 * fields + 33
//   10     2   record length = 1 + the sum of the field lengths
//   12    20   zero (so no language driver: the text is UTF-8, read as such)
//   32    32   per field: name (upper-cased, at most 10 bytes, zero-filled to 11),
//              type letter, 4 zero bytes, length, decimals, 14 zero bytes
//   then       0x0D, the records, 0x1A
// Field types: C text (its size), N number (15, 5 decimals), D date (8, "yyyymmdd"),
// L logical (1, "T"/"F"), M memo (10: the first block's number in 10 digits).
// A record: " " then each field in its length; spaces where there is no value.
//
// Memo file (the table's name with ".dbt"): 512-byte blocks. Block 0: Int32 next
// free block, then 508 zero bytes. Each memo starts at a block boundary (zero
// padding before it) and is the text followed by 0x1A 0x1A; an empty text has no memo.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/DataSet.h"
#include "db/FieldKind.h"
#include "workspace/TableStructure.h"

// A field of the new table and where its values come from.
struct TCopyFieldDef {
  std::string Name;        // the new name (the writer cuts it to 10 bytes, upper-cased)
  std::string SourceName;  // the open table's field; empty or missing: the field stays blank
  TFieldKind Kind = fkText;
  int32_t Size = 0;
};
using TCopyFieldDefs = std::vector<TCopyFieldDef>;

// The definitions of the layout over the open table (null: none). An entry whose
// source field is missing but whose new name is a field of the table reads that
// field, and its SourceName is set to it.
TCopyFieldDefs BuildCopyFieldDefs(TTableStructure& structure, TDataSet* source);

// The dBase type letter, length and decimals of a kind (text: size, kept within 1..254).
char DbfTypeLetter(TFieldKind kind);
int DbfFieldLength(TFieldKind kind, int32_t size);
int DbfFieldDecimals(TFieldKind kind);

struct TDbfDate {
  int Year = 0, Month = 0, Day = 0;
};
TDbfDate TodayForDbf();

// The table file's head as the writer stores it: the 32-byte header with
// recordCount, the descriptors and 0x0D. Names are cut and upper-cased in defs
// as in the file.
std::string DbfTableHeadBytes(TCopyFieldDefs& defs, const TDbfDate& date, uint32_t recordCount = 0);

// Creates the empty table (and memo file) under tableFile: written under other
// names first and renamed into place, replacing the old table's companion files
// and nothing else. Names are cut and upper-cased in defs as in the file. False
// when the table file could not be written (the target then stays as it was).
bool WriteDbfHeader(const std::string& tableFile, TCopyFieldDefs& defs, const TDbfDate& date);
bool WriteDbfHeader(const std::string& tableFile, TCopyFieldDefs& defs);

// "yyyymmdd" of a date; "" when it has no date of the years 1..9999.
std::string DateToDbf(TDateTime value);

// The text a value gives a field of the target kind (source field of sourceType);
// "" leaves the field blank. A memo's text is returned whole. A text that does not
// read as a number or date gives "".
std::string CopyFieldText(TFieldKind target, TFieldType sourceType, const TValue& value);

// Puts text into a field of the record: C, D, L left-aligned and cut (never inside
// a character), N right-aligned, a longer text keeping its first characters.
void PlaceFieldText(TFieldKind kind, const std::string& text, char* field, int length);

// What CopyTable copies.
struct TCopyRowsRequest {
  // Restructuring the open table (else a new, empty table is created).
  bool Restructure = false;
  // Asked only in restructure mode with rows to copy: the Data options the user chose.
  std::function<TCopyOptions()> AskOptions;
  // The row filter ("Copy Only Filtered Records"); the caller compiles it before the copy
  // and frees it after. Unset: every row passes.
  std::function<bool(TDataSet&)> Accept;
  // Hourglass on and off around the row copy.
  std::function<void(bool busy)> Busy;
  // The date written into the header; unset: today.
  TDbfDate Date;
};

struct TCopyResult {
  bool TableWritten = false;  // the empty table was created
  bool RowsCopied = false;    // rows were asked for and every one was written
  int64_t Rows = 0;
  std::string Error;  // a write that failed part-way
};

// WriteDbfHeader for the layout, then (restructure mode, "Copy Data") the rows of
// source: a clone, filtered and sorted as the options say, each field converted.
TCopyResult CopyTable(const std::string& tableFile, TTableStructure& structure, TDataSet* source,
                      const TCopyRowsRequest& request);
