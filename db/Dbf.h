#pragma once
// dBase III/IV and FoxPro table and memo files: header, field descriptors,
// records and memo blocks, read and written byte by byte. The dataset's dBase
// store and the table writer both build on it.
//
// Field types read: C text, N/F numbers, D date, L logical, M memo, I integer,
// T date-time, Y currency, B double (Visual FoxPro) or binary memo (dBase), G/P
// binary memos. An N field with no decimals and at most 9 digits is ftInteger
// (its values always fit 32 bits); one with no decimals and more digits than a
// double holds (16 or more) is ftLargeint, its values 64-bit integers where they
// fit; every other N, and every F, is ftFloat.
//
// Visual FoxPro null flags: a nullable field (descriptor byte 18, bit 0x02) owns
// one bit of the hidden "_NullFlags" field (type '0'), counted from bit 0 of its
// first byte over the fields in order; a varchar or varbinary field (V, Q) owns a
// bit for its length before its null bit. A set bit means the field is null,
// whatever its bytes hold.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/DataSet.h"
#include "platform/FileHandle.h"

struct TDbfFieldDef {
  std::string Name;  // UTF-8; the file holds at most 10 bytes of it, in its code page
  char Type = 'C';
  uint8_t Length = 0;
  uint8_t Decimals = 0;
  uint8_t Flags = 0;  // Visual FoxPro field flags
  int Offset = 0;  // within the record, after the deletion flag (set by the reader)
  int NullBit = -1;  // bit in the null-flags field, -1 when the field has none (set by the reader)
};

struct TDbfHeader {
  uint8_t Version = 0x03;
  int Year = 0, Month = 1, Day = 1;  // date of the last update
  uint32_t RecordCount = 0;
  uint16_t HeaderLength = 0;
  uint16_t RecordLength = 0;
  uint8_t LanguageDriver = 0;
};

// The header's date bytes: (year mod 100) + 100 above 1950, else year mod 100.
uint8_t DbfYearByte(int year);
// The 32-byte file header (without descriptors).
std::string DbfEncodeHeader(const TDbfHeader& h);
// One 32-byte field descriptor: name upper-cased (A-Z) and cut to 10 bytes on a
// character boundary.
std::string DbfEncodeDescriptor(const TDbfFieldDef& f);
// The header, descriptors and 0x0D; header and record lengths are computed.
std::string DbfEncodeTableHead(TDbfHeader h, const std::vector<TDbfFieldDef>& fields);
// "yyyymmdd".
std::string DbfDateText(int year, int month, int day);

// Code page of a language-driver byte; 0 when none is declared or it is unknown.
int DbfCodePageOfLanguageDriver(uint8_t ldid);

bool DbfVersionIsFoxPro(uint8_t version);

// A memo file (.dbt of dBase III or IV, .fpt of FoxPro). Block 0 is the header:
//   dBase III  bytes 0-3 next free block (little-endian); 512-byte blocks; a memo is
//              its text ended by 0x1A 0x1A.
//   dBase IV   bytes 0-3 next free block, 8-15 the table's name, 20-21 the block size
//              (512); a memo starts FF FF 08 00, then its length with these 8 bytes
//              (little-endian 32 bits), then the bytes (this program adds 0x1F 0x1F).
//   FoxPro     bytes 0-3 next free block (big-endian), 6-7 the block size; a memo
//              starts with its type and its length (big-endian 32 bits each).
class TDbfMemoFile {
public:
  enum TFlavour { mfDBase3, mfDBase4, mfFoxPro };
  // Creates a dBase III memo file: next free block 1, then 508 zero bytes.
  static bool Create(const std::string& path);
  // Creates an empty FoxPro memo file (64-byte blocks).
  static bool CreateFoxPro(const std::string& path);
  // Creates an empty dBase IV memo file: next free block 1, the table's name, 512-byte blocks.
  static bool CreateDBase4(const std::string& path);
  static bool CreateFor(const std::string& path, TFlavour flavour);
  bool Open(const std::string& path, TFlavour flavour, bool writable);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  // The bytes of the memo that starts at block; false when the block lies outside
  // the file. Never reads past the end of the file: a memo the file ends inside is
  // read as far as it goes, and LastReadCut says so.
  bool Read(uint32_t block, std::string& bytes);
  bool LastReadCut() const { return cut_; }
  int64_t Size() const { return file_.IsOpen() ? file_.Size() : 0; }
  // Appends the memo at the next free block and updates the header. On failure the
  // file is put back as it was and false is returned.
  bool Append(const std::string& bytes, uint32_t& block);
  uint32_t BlockSize() const { return blockSize_; }
  // The file's size now, and cutting it back to such a size with the header it had
  // then, for undoing the memos of a record whose write failed. RollbackTo undoes
  // every append since the last SizeMark.
  int64_t SizeMark() const {
    header_.clear();
    return file_.IsOpen() ? file_.Size() : 0;
  }
  void RollbackTo(int64_t size);

private:
  TFileHandle file_;
  TFlavour flavour_ = mfDBase3;
  uint32_t blockSize_ = 512;
  mutable std::string header_;  // the first bytes as they were at the mark (empty: no append since)
  bool cut_ = false;
};

// The memo format that belongs to a table of this version byte.
TDbfMemoFile::TFlavour DbfMemoFlavour(uint8_t version);

// Reads and writes the records of one table file.
class TDbfFile {
public:
  TDbfFile() = default;
  // Throws EDatabaseError "File not found: ..." or a message naming the damage.
  void Open(const std::string& path, bool writable);
  void Close();
  const TDbfHeader& Header() const { return header_; }
  const std::vector<TDbfFieldDef>& Fields() const { return fields_; }
  // Records that are both counted and present in the file.
  uint32_t UsableRecords() const { return usable_; }
  int CodePage() const { return codePage_; }  // 0 when undeclared
  bool HasMemoFields() const;
  TDbfMemoFile& Memo() { return memo_; }
  const std::string& Path() const { return path_; }
  const std::string& MemoPath() const { return memoPath_; }
  // True when records point at memos but the memo file is not there.
  bool MemoMissing() const { return memoMissing_; }
  // True when the memo file ends before the memos its records name: nothing is
  // written into it then (its next blocks are still named by records).
  bool MemoDamaged() const { return memoDamaged_; }
  // What is wrong with a table that still opened: fewer records than declared, a
  // missing memo file. One message each, for the user.
  std::vector<std::string> OpenWarnings() const;

  // Reads records [first, first+count) into one buffer of count * RecordLength bytes.
  bool ReadRecords(uint32_t first, uint32_t count, std::string& bytes);

  // Writes of whole records; each leaves the file as it was when it fails (and throws).
  void WriteRecord(uint32_t index, const std::string& record);
  uint32_t AppendRecord(const std::string& record);  // then the header's count and date
  void MarkDeleted(uint32_t index);

  // Field mapping between the file and the dataset.
  TFieldDef DataSetField(const TDbfFieldDef& f) const;
  // The field's value in a whole record (deletion flag first), null flags applied.
  TValue DecodeField(const TDbfFieldDef& f, const char* record);
  // Encodes into the field's bytes of a whole record, and its null flag; memo values
  // are appended to the memo file.
  void EncodeField(const TDbfFieldDef& f, const TValue& v, char* record);
  std::string EncodeRecord(const std::vector<TValue>& values);  // fields the dataset shows

  // The fields the dataset shows (the VFP null-flags field is hidden).
  const std::vector<int>& VisibleFields() const { return visible_; }

private:
  void ReadHeader();
  void WriteHeaderCountAndDate(uint32_t count);
  std::string ToUtf8(const std::string& bytes) const;
  std::string FromUtf8(const std::string& text, size_t maxBytes) const;
  void AssignNullBits();
  bool NullFlagSet(const TDbfFieldDef& f, const char* record) const;
  void SetNullFlag(const TDbfFieldDef& f, char* record, bool on) const;
  void OpenMemo(bool writable);
  // The memo block a memo field of the record names (0: none).
  uint32_t MemoBlockOf(const TDbfFieldDef& f, const char* record) const;
  // The highest memo block any record names, 0 when none.
  uint32_t HighestMemoBlock();
  void CheckMemoLength();

  std::string path_, memoPath_;
  TFileHandle file_;
  bool writable_ = false;
  TDbfHeader header_;
  std::vector<TDbfFieldDef> fields_;
  std::vector<int> visible_;
  int nullFlags_ = -1;  // index of the null-flags field
  bool memoMissing_ = false;
  bool memoDamaged_ = false;
  uint32_t usable_ = 0;
  int codePage_ = 0;
  TDbfMemoFile memo_;
};

// Reads the whole table (deleted records left out) into dataset rows.
TTableData DbfReadTable(const std::string& path);
