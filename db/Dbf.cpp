#include "db/Dbf.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "db/DateParts.h"
#include "platform/Bytes.h"
#include "platform/SysUtils.h"
#include "platform/TextCodec.h"

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kFieldNullable = 0x02;  // Visual FoxPro field flag

uint32_t Get32BE(const unsigned char* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) | (static_cast<uint32_t>(p[2]) << 8) |
         static_cast<uint32_t>(p[3]);
}
void Put32BE(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * (3 - i))) & 0xFF);
}

std::string TrimSpaces(const char* p, size_t n, bool left) {
  size_t b = 0, e = n;
  while (e > b && (p[e - 1] == ' ' || p[e - 1] == '\0')) --e;
  if (left)
    while (b < e && (p[b] == ' ' || p[b] == '\0')) ++b;
  return std::string(p + b, e - b);
}

std::string NumberText(double v, int decimals) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return std::string();
  std::string s(buf, r.ptr);
  if (s == "-0" || (s.rfind("-0.", 0) == 0 && s.find_first_not_of("-0.") == std::string::npos)) s.erase(0, 1);
  return s;
}


bool ParseDouble(std::string s, double& out) {
  for (char& c : s)
    if (c == ',') c = '.';
  if (!s.empty() && s[0] == '+') s.erase(0, 1);
  if (s.empty()) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

}  // namespace

// ---- header pieces -------------------------------------------------------

uint8_t DbfYearByte(int year) {
  int y = ((year % 100) + 100) % 100;
  return static_cast<uint8_t>(year > 1950 ? y + 100 : y);
}

std::string DbfEncodeHeader(const TDbfHeader& h) {
  std::string b(32, '\0');
  b[0] = static_cast<char>(h.Version);
  b[1] = static_cast<char>(DbfYearByte(h.Year));
  b[2] = static_cast<char>(h.Month);
  b[3] = static_cast<char>(h.Day);
  PutLEU32(&b[4], h.RecordCount);
  PutLE16(&b[8], h.HeaderLength);
  PutLE16(&b[10], h.RecordLength);
  b[29] = static_cast<char>(h.LanguageDriver);
  return b;
}

std::string DbfEncodeDescriptor(const TDbfFieldDef& f) {
  std::string b(32, '\0');
  std::string name = Utf8CutBytes(f.Name, 10);
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  std::memcpy(&b[0], name.data(), name.size());
  b[11] = f.Type;
  b[16] = static_cast<char>(f.Length);
  b[17] = static_cast<char>(f.Decimals);
  return b;
}

std::string DbfEncodeTableHead(TDbfHeader h, const std::vector<TDbfFieldDef>& fields) {
  h.HeaderLength = static_cast<uint16_t>(32 * fields.size() + 33);
  unsigned rec = 1;
  for (const auto& f : fields) rec += f.Length;
  h.RecordLength = static_cast<uint16_t>(rec);
  std::string out = DbfEncodeHeader(h);
  for (const auto& f : fields) out += DbfEncodeDescriptor(f);
  out += '\x0D';
  return out;
}

std::string DbfDateText(int year, int month, int day) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", std::clamp(year, 0, 9999), std::clamp(month, 0, 99),
                std::clamp(day, 0, 99));
  return buf;
}

int DbfCodePageOfLanguageDriver(uint8_t ldid) {
  switch (ldid) {
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18: case 0x19:
    case 0x1B: return 437;
    case 0x02: case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A: case 0x1D:
    case 0x25: case 0x37: return 850;
    case 0x03: case 0x57: case 0x58: case 0x59: return 1252;
    case 0x04: return 10000;
    case 0x08: case 0x17: case 0x66: return 865;
    case 0x13: case 0x7B: return 932;
    case 0x1C: case 0x6C: return 863;
    case 0x1F: case 0x22: case 0x23: case 0x40: case 0x64: case 0x87: return 852;
    case 0x24: return 860;
    case 0x26: case 0x65: return 866;
    case 0x4D: case 0x7A: return 936;
    case 0x4E: case 0x79: return 949;
    case 0x4F: case 0x78: return 950;
    case 0x50: case 0x7C: return 874;
    case 0x67: return 861;
    case 0x6A: case 0x86: return 737;
    case 0x6B: case 0x88: return 857;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0x96: return 10007;
    case 0x97: return 10029;
    case 0x98: return 10006;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    case 0xCC: return 1257;
    default: return 0;
  }
}

bool DbfVersionIsFoxPro(uint8_t v) { return v == 0x30 || v == 0x31 || v == 0x32 || v == 0xF5 || v == 0xFB; }

// ---- memo files ----------------------------------------------------------

bool TDbfMemoFile::Create(const std::string& path) {
  TFileHandle f;
  if (!f.Create(path)) return false;
  std::string h(512, '\0');
  PutLEU32(&h[0], 1);
  return f.WriteExact(h.data(), static_cast<int64_t>(h.size()));
}

bool TDbfMemoFile::CreateFoxPro(const std::string& path) {
  TFileHandle f;
  if (!f.Create(path)) return false;
  std::string h(512, '\0');
  Put32BE(&h[0], 512 / 64);
  h[6] = 0;
  h[7] = 64;
  return f.WriteExact(h.data(), static_cast<int64_t>(h.size()));
}

bool TDbfMemoFile::CreateDBase4(const std::string& path) {
  TFileHandle f;
  if (!f.Create(path)) return false;
  std::string h(512, '\0');
  PutLEU32(&h[0], 1);
  std::string name = fs::path(path).stem().string().substr(0, 8);
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  std::memcpy(&h[8], name.data(), name.size());
  h[18] = 0x02;
  h[19] = 0x01;
  PutLE16(&h[20], 512);
  return f.WriteExact(h.data(), static_cast<int64_t>(h.size()));
}

bool TDbfMemoFile::CreateFor(const std::string& path, TFlavour flavour) {
  switch (flavour) {
    case mfFoxPro: return CreateFoxPro(path);
    case mfDBase4: return CreateDBase4(path);
    default: return Create(path);
  }
}

TDbfMemoFile::TFlavour DbfMemoFlavour(uint8_t v) {
  if (DbfVersionIsFoxPro(v)) return TDbfMemoFile::mfFoxPro;
  if (v == 0x8B || v == 0x8E || v == 0xCB || (v & 0x07) == 4) return TDbfMemoFile::mfDBase4;
  return TDbfMemoFile::mfDBase3;
}

bool TDbfMemoFile::Open(const std::string& path, TFlavour flavour, bool writable) {
  Close();
  if (!file_.Open(path, writable ? TFileAccess::ReadWrite : TFileAccess::Read)) return false;
  flavour_ = flavour;
  blockSize_ = 512;
  unsigned char h[24] = {};
  int64_t got = file_.Read(h, sizeof h);
  if (flavour_ == mfFoxPro && got >= 8) {
    uint32_t bs = (static_cast<uint32_t>(h[6]) << 8) | h[7];
    blockSize_ = bs == 0 ? 64 : bs;
  } else if (flavour_ == mfDBase4 && got >= 22) {
    uint32_t bs = GetLE16(h + 20);
    if (bs >= 32 && bs % 32 == 0) blockSize_ = bs;
  }
  return true;
}

void TDbfMemoFile::Close() { file_.Close(); }

bool TDbfMemoFile::Read(uint32_t block, std::string& bytes) {
  bytes.clear();
  cut_ = false;
  if (!file_.IsOpen() || block == 0) return false;
  const int64_t size = file_.Size();
  const int64_t start = static_cast<int64_t>(block) * blockSize_;
  if (start >= size) return false;
  unsigned char head[8] = {};
  file_.Seek(start);
  int64_t got = file_.Read(head, 8);
  if (got < 0) return false;
  int64_t dataStart = start, length = -1;
  if (flavour_ == mfFoxPro) {
    if (got < 8) return false;
    dataStart = start + 8;
    length = Get32BE(head + 4);
  } else if (got == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00) {
    // The stored length counts the 8 header bytes; binary data is taken to that
    // length whatever bytes it holds. Some writers count one byte short or leave the
    // header out and end the text with 0x1F: a mark within 8 bytes after the stored
    // length ends the memo there. A length beyond the file: up to the first mark.
    dataStart = start + 8;
    const int64_t avail = size - dataStart;
    const int64_t stored = static_cast<int64_t>(GetLEU32(head + 4)) - 8;
    const bool fits = stored <= avail;
    const int64_t want = fits ? std::min<int64_t>(std::max<int64_t>(stored, 0) + 9, avail) : avail;
    cut_ = !fits;
    if (want <= 0) return true;
    std::string data(static_cast<size_t>(want), '\0');
    file_.Seek(dataStart);
    if (!file_.ReadExact(data.data(), want)) return false;
    const size_t from = fits ? static_cast<size_t>(std::max<int64_t>(stored, 0)) : 0;
    const size_t mark = data.find_first_of("\x1A\x1F", from);
    size_t cut = fits ? from : data.size();
    if (mark != std::string::npos && (!fits || mark <= from + 8)) cut = mark;
    data.resize(std::min(cut, data.size()));
    bytes = std::move(data);
    return true;
  }
  if (length >= 0) {
    cut_ = length > size - dataStart;
    length = std::min<int64_t>(length, size - dataStart);
    if (length <= 0) return true;
    bytes.resize(static_cast<size_t>(length));
    file_.Seek(dataStart);
    if (!file_.ReadExact(bytes.data(), length)) {
      bytes.clear();
      return false;
    }
    return true;
  }
  // dBase III: up to the first end-of-file mark.
  file_.Seek(start);
  char buf[4096];
  for (;;) {
    int64_t n = file_.Read(buf, sizeof buf);
    if (n <= 0) {
      cut_ = true;  // the file ended before the mark
      break;
    }
    const char* end = static_cast<const char*>(std::memchr(buf, 0x1A, static_cast<size_t>(n)));
    if (end) {
      bytes.append(buf, static_cast<size_t>(end - buf));
      break;
    }
    bytes.append(buf, static_cast<size_t>(n));
  }
  return true;
}

void TDbfMemoFile::RollbackTo(int64_t size) {
  if (!file_.IsOpen()) return;
  if (file_.Size() > size) {
    file_.Seek(size);
    file_.Truncate();
  }
  if (!header_.empty()) {
    file_.Seek(0);
    file_.WriteExact(header_.data(), static_cast<int64_t>(header_.size()));
  }
  header_.clear();
}

bool TDbfMemoFile::Append(const std::string& bytes, uint32_t& block) {
  if (!file_.IsOpen()) return false;
  const int64_t oldSize = file_.Size();
  if (oldSize < 0) return false;
  std::string before(8, '\0');
  file_.Seek(0);
  if (oldSize >= 8 && !file_.ReadExact(before.data(), 8)) return false;
  if (oldSize < 8) before.resize(static_cast<size_t>(oldSize));
  const unsigned char* h = reinterpret_cast<const unsigned char*>(before.data());
  uint32_t next = before.size() < 4 ? 0 : flavour_ == mfFoxPro ? Get32BE(h) : GetLEU32(h);
  uint32_t fileBlocks = static_cast<uint32_t>((oldSize + blockSize_ - 1) / blockSize_);
  if (fileBlocks == 0) fileBlocks = 1;
  // Never overwrite what is in the file, whatever the header says.
  if (next < fileBlocks || static_cast<int64_t>(next) * blockSize_ > oldSize + (1 << 20)) next = fileBlocks;
  std::string out;
  if (flavour_ == mfFoxPro) {
    out.assign(8, '\0');
    Put32BE(&out[0], 1);
    Put32BE(&out[4], static_cast<uint32_t>(bytes.size()));
    out += bytes;
  } else if (flavour_ == mfDBase4) {
    out.assign(8, '\0');
    out[0] = '\xFF';
    out[1] = '\xFF';
    out[2] = '\x08';
    PutLEU32(&out[4], static_cast<uint32_t>(bytes.size() + 8));
    out += bytes;
    // Readers that take the length without its header stop at this mark.
    out += "\x1F\x1F";
  } else {
    out = bytes + "\x1A\x1A";
  }
  const int64_t start = static_cast<int64_t>(next) * blockSize_;
  std::string pad(static_cast<size_t>(start - oldSize), '\0');
  int64_t end = start + static_cast<int64_t>(out.size());
  if (flavour_ != mfDBase3) {
    int64_t rounded = (end + blockSize_ - 1) / blockSize_ * blockSize_;
    out.append(static_cast<size_t>(rounded - end), '\0');
    end = rounded;
  }
  uint32_t newNext = static_cast<uint32_t>((end + blockSize_ - 1) / blockSize_);
  char nh[4];
  if (flavour_ == mfFoxPro)
    Put32BE(nh, newNext);
  else
    PutLEU32(nh, newNext);
  bool ok = file_.Seek(oldSize) == oldSize && file_.WriteExact(pad.data(), static_cast<int64_t>(pad.size())) &&
            file_.WriteExact(out.data(), static_cast<int64_t>(out.size())) && file_.Seek(0) == 0 &&
            file_.WriteExact(nh, 4);
  if (!ok) {
    if (file_.Size() > oldSize) {
      file_.Seek(oldSize);
      file_.Truncate();
    }
    if (!before.empty()) {
      file_.Seek(0);
      file_.WriteExact(before.data(), static_cast<int64_t>(before.size()));
    }
    return false;
  }
  if (header_.empty()) header_ = before;  // the first append since the mark
  block = next;
  return true;
}

// ---- table files ---------------------------------------------------------

void TDbfFile::Open(const std::string& path, bool writable) {
  Close();
  path_ = path;
  writable_ = writable;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) throw EDatabaseError("File not found: " + path);
  if (!file_.Open(path, writable ? TFileAccess::ReadWrite : TFileAccess::Read)) {
    if (writable) throw EDatabaseError("Table is read-only: " + path);
    throw EDatabaseError("Cannot open the table: " + path + " (" + std::strerror(file_.LastError()) + ")");
  }
  ReadHeader();
  OpenMemo(writable);
}

void TDbfFile::Close() {
  memoMissing_ = false;
  memoDamaged_ = false;
  file_.Close();
  memo_.Close();
  fields_.clear();
  visible_.clear();
  usable_ = 0;
}

void TDbfFile::ReadHeader() {
  const int64_t size = file_.Size();
  auto damaged = [&](const std::string& why) { return EDatabaseError("The table is damaged: " + why + ": " + path_); };
  unsigned char h[32];
  if (size < 32 || !file_.ReadExact(h, 32)) throw damaged("file too short");
  header_.Version = h[0];
  header_.Year = h[1] + 1900;
  if (header_.Year < 1980) header_.Year += 100;
  header_.Month = h[2];
  header_.Day = h[3];
  header_.RecordCount = GetLEU32(h + 4);
  header_.HeaderLength = GetLE16(h + 8);
  header_.RecordLength = GetLE16(h + 10);
  header_.LanguageDriver = h[29];
  if (header_.HeaderLength < 33 || header_.HeaderLength > size) throw damaged("header length does not fit the file");
  if (header_.RecordLength < 2) throw damaged("record length does not fit");
  codePage_ = DbfCodePageOfLanguageDriver(header_.LanguageDriver);
  if (codePage_ && !CodePageSupported(codePage_)) codePage_ = 0;
  const int maxFields = (header_.HeaderLength - 32) / 32;
  std::string desc(static_cast<size_t>(header_.HeaderLength - 32), '\0');
  if (!file_.ReadExact(desc.data(), static_cast<int64_t>(desc.size()))) throw damaged("truncated field descriptors");
  fields_.clear();
  bool ended = false;
  for (int i = 0; i < maxFields; ++i) {
    const unsigned char* d = reinterpret_cast<const unsigned char*>(desc.data()) + 32 * i;
    if (d[0] == 0x0D) {
      ended = true;
      break;
    }
    TDbfFieldDef f;
    size_t n = 0;
    while (n < 11 && d[n] != 0) ++n;
    f.Name = ToUtf8(TrimSpaces(reinterpret_cast<const char*>(d), n, true));
    f.Type = static_cast<char>(d[11]);
    if (f.Type >= 'a' && f.Type <= 'z') f.Type = static_cast<char>(f.Type - 'a' + 'A');
    f.Length = d[16];
    f.Decimals = d[17];
    f.Flags = d[18];
    // Every later field would be read from the wrong bytes, and written there too.
    if (f.Length == 0) throw damaged("the field " + f.Name + " has the length 0");
    fields_.push_back(f);
  }
  // What follows the last whole descriptor inside the header must end the list: a
  // descriptor cut by the header's end leaves the header length short of the fields.
  const size_t rest = desc.size() - 32 * static_cast<size_t>(maxFields);
  if (!ended && rest > 0 && desc[32 * static_cast<size_t>(maxFields)] != '\x0D')
    throw damaged("a field descriptor runs past the end of the header");
  if (fields_.empty()) throw damaged("no field descriptors");
  int offset = 1;
  for (auto& f : fields_) {
    f.Offset = offset;
    offset += f.Length;
  }
  if (offset > header_.RecordLength) throw damaged("the fields do not fit the record length");
  const uint64_t inFile = static_cast<uint64_t>(size - header_.HeaderLength) / header_.RecordLength;
  usable_ = static_cast<uint32_t>(std::min<uint64_t>(header_.RecordCount, inFile));
  visible_.clear();
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i].Type != '0' && fields_[i].Length > 0) visible_.push_back(static_cast<int>(i));
  AssignNullBits();
}

void TDbfFile::AssignNullBits() {
  nullFlags_ = -1;
  if (!DbfVersionIsFoxPro(header_.Version)) return;
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i].Type == '0' && LowerCase(fields_[i].Name) == "_nullflags" && fields_[i].Length > 0)
      nullFlags_ = static_cast<int>(i);
  if (nullFlags_ < 0) return;
  const int bits = 8 * fields_[static_cast<size_t>(nullFlags_)].Length;
  int next = 0;
  for (auto& f : fields_) {
    if (f.Type == '0') continue;
    if (f.Type == 'V' || f.Type == 'Q') ++next;  // the length bit
    if ((f.Flags & kFieldNullable) && next < bits) f.NullBit = next++;
  }
}

bool TDbfFile::NullFlagSet(const TDbfFieldDef& f, const char* record) const {
  if (f.NullBit < 0 || nullFlags_ < 0) return false;
  const auto& nf = fields_[static_cast<size_t>(nullFlags_)];
  const auto byte = static_cast<unsigned char>(record[nf.Offset + f.NullBit / 8]);
  return (byte >> (f.NullBit % 8)) & 1;
}

void TDbfFile::SetNullFlag(const TDbfFieldDef& f, char* record, bool on) const {
  if (f.NullBit < 0 || nullFlags_ < 0) return;
  const auto& nf = fields_[static_cast<size_t>(nullFlags_)];
  char& byte = record[nf.Offset + f.NullBit / 8];
  const auto mask = static_cast<unsigned char>(1u << (f.NullBit % 8));
  byte = static_cast<char>(on ? (static_cast<unsigned char>(byte) | mask) : (static_cast<unsigned char>(byte) & ~mask));
}

bool TDbfFile::HasMemoFields() const {
  for (const auto& f : fields_)
    if (f.Type == 'M' || f.Type == 'G' || f.Type == 'P' || (f.Type == 'B' && f.Length != 8)) return true;
  return false;
}

void TDbfFile::OpenMemo(bool writable) {
  memoPath_.clear();
  if (!HasMemoFields()) return;
  fs::path p(path_);
  const std::string stem = LowerCase(p.stem().string());
  fs::path dir = p.parent_path();
  if (dir.empty()) dir = ".";
  std::string dbt, fpt;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    const std::string ext = LowerCase(e.path().extension().string());
    if (LowerCase(e.path().stem().string()) != stem) continue;
    if (ext == ".dbt" && dbt.empty()) dbt = e.path().string();
    if (ext == ".fpt" && fpt.empty()) fpt = e.path().string();
  }
  const bool fox = DbfVersionIsFoxPro(header_.Version);
  TDbfMemoFile::TFlavour flavour;
  memoMissing_ = false;
  if ((fox && !fpt.empty()) || (dbt.empty() && !fpt.empty())) {
    memoPath_ = fpt;
    flavour = TDbfMemoFile::mfFoxPro;
  } else if (!dbt.empty()) {
    memoPath_ = dbt;
    flavour = DbfMemoFlavour(header_.Version) == TDbfMemoFile::mfDBase4 ? TDbfMemoFile::mfDBase4 : TDbfMemoFile::mfDBase3;
  } else {
    memoPath_ = (dir / (p.stem().string() + (fox ? ".fpt" : ".dbt"))).string();
    // Records that point at memos have lost them: say so, and never make up a memo
    // file whose blocks would collide with theirs. A table that never held a memo
    // gets one, in its own format, when a memo is first written.
    if (HighestMemoBlock() > 0) {
      memoMissing_ = true;
      return;
    }
    if (!writable) return;
    flavour = DbfMemoFlavour(header_.Version);
    if (!TDbfMemoFile::CreateFor(memoPath_, flavour)) return;
  }
  if (memo_.Open(memoPath_, flavour, writable)) CheckMemoLength();
}

void TDbfFile::CheckMemoLength() {
  // A memo file cut short: the last memo named must start inside it and end there.
  const uint32_t highest = HighestMemoBlock();
  if (highest == 0) return;
  std::string bytes;
  if (static_cast<int64_t>(highest) * memo_.BlockSize() >= memo_.Size() || !memo_.Read(highest, bytes) ||
      memo_.LastReadCut())
    memoDamaged_ = true;
}

uint32_t TDbfFile::MemoBlockOf(const TDbfFieldDef& f, const char* record) const {
  const char* raw = record + f.Offset;
  if (f.Length == 4) return GetLEU32(reinterpret_cast<const unsigned char*>(raw));
  const std::string s = TrimSpaces(raw, f.Length, true);
  uint32_t block = 0;
  if (s.empty() || std::from_chars(s.data(), s.data() + s.size(), block).ec != std::errc()) return 0;
  return block;
}

uint32_t TDbfFile::HighestMemoBlock() {
  const uint32_t recLen = header_.RecordLength;
  const uint32_t chunk = std::max<uint32_t>(1, (1u << 20) / recLen);
  std::vector<const TDbfFieldDef*> memos;
  for (const auto& f : fields_) {
    const TFieldType t = DataSetField(f).DataType;
    if (t == ftMemo || t == ftBlob) memos.push_back(&f);
  }
  uint32_t highest = 0;
  std::string buf;
  for (uint32_t first = 0; first < usable_ && !memos.empty(); first += chunk) {
    const uint32_t count = std::min(chunk, usable_ - first);
    if (!ReadRecords(first, count, buf)) break;
    for (uint32_t r = 0; r < count; ++r) {
      const char* rec = buf.data() + static_cast<size_t>(r) * recLen;
      for (const TDbfFieldDef* f : memos)
        if (!NullFlagSet(*f, rec)) highest = std::max(highest, MemoBlockOf(*f, rec));
    }
  }
  return highest;
}

std::vector<std::string> TDbfFile::OpenWarnings() const {
  std::vector<std::string> out;
  if (header_.RecordCount > usable_)
    out.push_back("The table is damaged: " + std::to_string(header_.RecordCount) + " records declared, " +
                  std::to_string(usable_) + " could be read: " + path_);
  if (memoMissing_) out.push_back("The memo file is missing: " + memoPath_);
  if (memoDamaged_)
    out.push_back("The table is damaged: its memo file ends before the memos its records name: " + memoPath_);
  return out;
}

bool TDbfFile::ReadRecords(uint32_t first, uint32_t count, std::string& bytes) {
  if (first > usable_ || count > usable_ - first) return false;
  bytes.resize(static_cast<size_t>(count) * header_.RecordLength);
  const int64_t pos = header_.HeaderLength + static_cast<int64_t>(first) * header_.RecordLength;
  return file_.Seek(pos) == pos && file_.ReadExact(bytes.data(), static_cast<int64_t>(bytes.size()));
}

std::string TDbfFile::ToUtf8(const std::string& bytes) const {
  return codePage_ ? CodePageToUtf8(bytes, codePage_) : GuessToUtf8(bytes);
}

std::string TDbfFile::FromUtf8(const std::string& text, size_t maxBytes) const {
  if (!codePage_) return Utf8CutBytes(text, maxBytes);
  std::string b = Utf8ToCodePage(text, codePage_);
  if (b.size() <= maxBytes) return b;
  // Cut whole characters, never a multi-byte page's (Shift-JIS, GBK...) lead byte from its
  // trail: every character takes at least one byte, so start from maxBytes characters.
  std::string t = text;
  size_t chars = 0, i = 0;
  while (i < t.size() && chars < maxBytes) {
    ++chars;
    ++i;
    while (i < t.size() && (static_cast<unsigned char>(t[i]) & 0xC0) == 0x80) ++i;
  }
  t.resize(i);
  for (;;) {
    b = Utf8ToCodePage(t, codePage_);
    if (b.size() <= maxBytes || t.empty()) return b.size() <= maxBytes ? b : std::string();
    size_t cut = t.size() - 1;
    while (cut > 0 && (static_cast<unsigned char>(t[cut]) & 0xC0) == 0x80) --cut;
    t.resize(cut);
  }
}

TFieldDef TDbfFile::DataSetField(const TDbfFieldDef& f) const {
  TFieldDef d;
  d.Name = f.Name;
  d.Size = f.Length;
  d.Precision = f.Decimals;
  switch (f.Type) {
    case 'C': d.DataType = ftString; break;
    case 'N':
      d.DataType = f.Decimals != 0 ? ftFloat : f.Length <= 9 ? ftInteger : f.Length >= 16 ? ftLargeint : ftFloat;
      break;
    case 'F': d.DataType = ftFloat; break;
    case 'D': d.DataType = f.Length == 8 ? ftDate : ftString; break;
    case 'L': d.DataType = ftBoolean; break;
    case 'M': d.DataType = f.Length == 4 || f.Length == 10 ? ftMemo : ftString; break;
    case 'I': d.DataType = f.Length == 4 ? ftInteger : ftString; break;
    case 'T': d.DataType = f.Length == 8 ? ftDateTime : ftString; break;
    case 'Y': d.DataType = f.Length == 8 ? ftCurrency : ftString; break;
    case 'B': d.DataType = (f.Length == 8 && DbfVersionIsFoxPro(header_.Version)) ? ftFloat : ftBlob; break;
    case 'G': case 'P': d.DataType = ftBlob; break;
    default: d.DataType = ftString; break;
  }
  if (d.DataType != ftString) d.Size = 0;
  return d;
}

TValue TDbfFile::DecodeField(const TDbfFieldDef& f, const char* record) {
  if (NullFlagSet(f, record)) return {};
  const char* raw = record + f.Offset;
  const unsigned char* u = reinterpret_cast<const unsigned char*>(raw);
  const TFieldType type = DataSetField(f).DataType;
  const size_t n = f.Length;
  switch (type) {
    case ftString: {
      std::string s = TrimSpaces(raw, n, false);
      if (s.empty()) return {};
      return ToUtf8(s);
    }
    case ftLargeint: {
      std::string s = TrimSpaces(raw, n, true);
      if (!s.empty() && s[0] == '+') s.erase(0, 1);
      int64_t i = 0;
      auto r = std::from_chars(s.data(), s.data() + s.size(), i);
      if (!s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size()) return i;
      double d;
      if (!ParseDouble(s, d)) return {};
      return d;  // beyond 64 bits
    }
    case ftInteger:
      if (f.Type == 'I') return static_cast<int64_t>(static_cast<int32_t>(GetLEU32(u)));
      [[fallthrough]];
    case ftFloat:
    case ftCurrency: {
      if (f.Type == 'B') {
        double d;
        std::memcpy(&d, raw, 8);
        return std::isfinite(d) ? TValue(d) : TValue();
      }
      if (f.Type == 'Y') {
        int64_t v;
        std::memcpy(&v, raw, 8);
        return static_cast<double>(v) / 10000.0;
      }
      std::string s = TrimSpaces(raw, n, true);
      double d;
      if (!ParseDouble(s, d)) return {};  // blank, ".", overflow stars
      if (type == ftInteger) return static_cast<int64_t>(std::llround(d));
      return d;
    }
    case ftDate: {
      int y = 0, m = 0, d = 0;
      for (int i = 0; i < 8; ++i)
        if (raw[i] < '0' || raw[i] > '9') return {};
      y = (raw[0] - '0') * 1000 + (raw[1] - '0') * 100 + (raw[2] - '0') * 10 + (raw[3] - '0');
      m = (raw[4] - '0') * 10 + (raw[5] - '0');
      d = (raw[6] - '0') * 10 + (raw[7] - '0');
      if (!dbdate::ValidDate(y, m, d)) return {};
      return dbdate::Encode(y, m, d);
    }
    case ftDateTime: {
      int32_t jd = static_cast<int32_t>(GetLEU32(u)), ms = static_cast<int32_t>(GetLEU32(u + 4));
      if (jd <= 0 || jd == 0x20202020) return {};
      if (ms < 0 || ms >= 86400000) ms = 0;
      // Before day 0 the time counts away from zero, as TDateTime has it.
      const double day = dbdate::FromJulianDay(jd), time = ms / 86400000.0;
      return day < 0 ? day - time : day + time;
    }
    case ftBoolean: {
      bool b = false;
      return TryLetterToBoolean(raw[0], b) ? TValue(b) : TValue();
    }
    case ftMemo:
    case ftBlob: {
      const uint32_t block = MemoBlockOf(f, record);
      if (block == 0) return {};
      std::string bytes;
      const bool read = memo_.Read(block, bytes);
      // A memo the memo file does not hold (whole) is damage to tell, not an empty memo.
      if (memo_.IsOpen() && (!read || memo_.LastReadCut())) memoDamaged_ = true;
      if (!read || bytes.empty()) return {};
      if (type == ftMemo) return ToUtf8(bytes);
      return bytes;
    }
    default: return {};
  }
}

void TDbfFile::EncodeField(const TDbfFieldDef& f, const TValue& v, char* record) {
  const bool null = ValueIsNull(v);
  SetNullFlag(f, record, null);
  char* raw = record + f.Offset;
  const TFieldType type = DataSetField(f).DataType;
  const size_t n = f.Length;
  auto place = [&](const std::string& s, bool right) {
    std::memset(raw, ' ', n);
    size_t len = std::min(s.size(), n);
    std::memcpy(raw + (right ? n - len : 0), s.data(), len);
  };
  auto checkDate = [&](double dt) {
    // Years 1..9999: what the eight date digits and the Julian day can hold.
    if (!std::isfinite(dt) || dt < dbdate::Encode(1, 1, 1) || dt >= dbdate::Encode(9999, 12, 31) + 1)
      throw EDatabaseError("Value does not fit the field " + f.Name);
  };
  switch (type) {
    case ftString:
      place(null ? std::string() : FromUtf8(ValueToString(v, ftString), n), false);
      return;
    case ftInteger:
    case ftLargeint:
    case ftFloat:
    case ftCurrency: {
      if (f.Type == 'N' && !null && std::holds_alternative<int64_t>(v)) {
        // Exactly, however many digits: a double would round the wide ones.
        const std::string whole = std::to_string(std::get<int64_t>(v));
        std::string s = whole;
        for (int dec = f.Decimals; dec > 0; --dec)
          if (whole.size() + 1 + static_cast<size_t>(dec) <= n) {
            s = whole + "." + std::string(static_cast<size_t>(dec), '0');
            break;
          }
        if (s.size() > n) throw EDatabaseError("Value " + whole + " does not fit the field " + f.Name);
        place(s, true);
        return;
      }
      double d = null ? 0.0 : ValueToFloat(v);
      if (!std::isfinite(d)) throw EDatabaseError("Value does not fit the field " + f.Name);
      if (f.Type == 'I') {
        if (d < INT32_MIN || d > INT32_MAX) throw EDatabaseError("Value does not fit the field " + f.Name);
        PutLEU32(raw, static_cast<uint32_t>(static_cast<int32_t>(std::llround(d))));
        return;
      }
      if (f.Type == 'B') {
        std::memcpy(raw, &d, 8);
        return;
      }
      if (f.Type == 'Y') {
        int64_t c = std::llround(d * 10000.0);
        std::memcpy(raw, &c, 8);
        return;
      }
      if (null) {
        place("", true);
        return;
      }
      std::string s = NumberText(d, f.Decimals);
      // Like dBase, give up decimals before refusing a number that has too many digits.
      for (int dec = f.Decimals - 1; s.size() > n && dec >= 0; --dec) s = NumberText(d, dec);
      if (s.size() > n) throw EDatabaseError("Value " + NumberText(d, 0) + " does not fit the field " + f.Name);
      place(s, true);
      return;
    }
    case ftDate: {
      if (null) {
        place("", false);
        return;
      }
      int y, m, d;
      checkDate(ValueToFloat(v));
      dbdate::Decode(ValueToFloat(v), y, m, d);
      place(DbfDateText(y, m, d), false);
      return;
    }
    case ftDateTime: {
      if (null) {
        std::memset(raw, 0, n);
        return;
      }
      double dt = ValueToFloat(v);
      checkDate(dt);
      PutLEU32(raw, static_cast<uint32_t>(dbdate::JulianDay(dt)));
      PutLEU32(raw + 4, static_cast<uint32_t>(dbdate::TimeMs(dt)));
      return;
    }
    case ftBoolean:
      raw[0] = null ? ' ' : (ValueToBoolean(v) ? 'T' : 'F');
      return;
    case ftMemo:
    case ftBlob: {
      std::string text = null ? std::string() : ValueToString(v, type);
      if (text.empty()) {
        if (n == 4) std::memset(raw, 0, 4);
        else place("", false);
        return;
      }
      if (memoMissing_) throw EDatabaseError("The memo file is missing: " + memoPath_);
      if (memoDamaged_)
        throw EDatabaseError("The memo file is damaged: no memo can be written into it before it is mended: " +
                             memoPath_);
      if (!memo_.IsOpen()) throw EDatabaseError("Cannot write the memo file: " + memoPath_);
      std::string bytes = type == ftMemo ? (codePage_ ? Utf8ToCodePage(text, codePage_) : text) : text;
      uint32_t block = 0;
      if (!memo_.Append(bytes, block)) throw EDatabaseError("Cannot write the memo file: " + memoPath_);
      if (n == 4) {
        PutLEU32(raw, block);
      } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%010u", block);
        place(std::string(buf).substr(std::string(buf).size() > n ? std::string(buf).size() - n : 0), true);
      }
      return;
    }
    default:
      place(null ? std::string() : ValueToString(v, ftString), false);
  }
}

std::string TDbfFile::EncodeRecord(const std::vector<TValue>& values) {
  std::string rec(header_.RecordLength, ' ');
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i].Type == '0') std::memset(&rec[static_cast<size_t>(fields_[i].Offset)], 0, fields_[i].Length);
  for (size_t k = 0; k < visible_.size() && k < values.size(); ++k) {
    const auto& f = fields_[static_cast<size_t>(visible_[k])];
    EncodeField(f, values[k], rec.data());
  }
  return rec;
}

void TDbfFile::WriteRecord(uint32_t index, const std::string& record) {
  if (index >= usable_) throw EDatabaseError("The record is no longer in the table: " + path_);
  if (record.size() != header_.RecordLength) throw EDatabaseError("Bad record length for " + path_);
  const int64_t pos = header_.HeaderLength + static_cast<int64_t>(index) * header_.RecordLength;
  std::string old(record.size(), '\0');
  if (file_.Seek(pos) != pos || !file_.ReadExact(old.data(), static_cast<int64_t>(old.size())))
    throw EDatabaseError("Cannot read the table: " + path_);
  if (file_.Seek(pos) != pos || !file_.WriteExact(record.data(), static_cast<int64_t>(record.size()))) {
    const int err = file_.LastError();
    file_.Seek(pos);
    file_.WriteExact(old.data(), static_cast<int64_t>(old.size()));
    throw EDatabaseError("Cannot write the table: " + path_ + " (" + std::strerror(err) + ")");
  }
}

void TDbfFile::WriteHeaderCountAndDate(uint32_t count) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char b[7];
  b[0] = static_cast<char>(DbfYearByte(tm.tm_year + 1900));
  b[1] = static_cast<char>(tm.tm_mon + 1);
  b[2] = static_cast<char>(tm.tm_mday);
  PutLEU32(b + 3, count);
  if (file_.Seek(1) != 1 || !file_.WriteExact(b, 7)) throw EDatabaseError("Cannot write the table: " + path_);
  header_.RecordCount = count;
  header_.Year = tm.tm_year + 1900;
  header_.Month = tm.tm_mon + 1;
  header_.Day = tm.tm_mday;
}

uint32_t TDbfFile::AppendRecord(const std::string& record) {
  if (record.size() != header_.RecordLength) throw EDatabaseError("Bad record length for " + path_);
  // Another program may have appended since the table was read.
  unsigned char h[8];
  if (file_.Seek(0) != 0 || !file_.ReadExact(h, 8)) throw EDatabaseError("Cannot read the table: " + path_);
  const int64_t size = file_.Size();
  const uint64_t inFile = static_cast<uint64_t>(size - header_.HeaderLength) / header_.RecordLength;
  const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(GetLEU32(h + 4), inFile));
  const int64_t pos = header_.HeaderLength + static_cast<int64_t>(count) * header_.RecordLength;
  const int64_t span = static_cast<int64_t>(record.size()) + 1;
  std::string old(static_cast<size_t>(std::clamp<int64_t>(size - pos, 0, span)), '\0');
  if (!old.empty() && (file_.Seek(pos) != pos || !file_.ReadExact(old.data(), static_cast<int64_t>(old.size()))))
    throw EDatabaseError("Cannot read the table: " + path_);
  std::string out = record + "\x1A";
  auto undo = [&]() {
    if (file_.Size() > size) {
      file_.Seek(size);
      file_.Truncate();
    }
    if (!old.empty()) {
      file_.Seek(pos);
      file_.WriteExact(old.data(), static_cast<int64_t>(old.size()));
    }
    file_.Seek(1);
    file_.WriteExact(h + 1, 7);
  };
  if (file_.Seek(pos) != pos || !file_.WriteExact(out.data(), static_cast<int64_t>(out.size()))) {
    const int err = file_.LastError();
    undo();
    throw EDatabaseError("Cannot write the table: " + path_ + " (" + std::strerror(err) + ")");
  }
  try {
    WriteHeaderCountAndDate(count + 1);
  } catch (...) {
    undo();
    throw;
  }
  usable_ = count + 1;
  return count;
}

void TDbfFile::MarkDeleted(uint32_t index) {
  if (index >= usable_) throw EDatabaseError("The record is no longer in the table: " + path_);
  const int64_t pos = header_.HeaderLength + static_cast<int64_t>(index) * header_.RecordLength;
  if (file_.Seek(pos) != pos || !file_.WriteExact("*", 1)) throw EDatabaseError("Cannot write the table: " + path_);
}

// ---- the dataset's store -------------------------------------------------

namespace {

std::string CodePageName(int cp) {
  if (cp == 874 || (cp >= 1250 && cp <= 1258)) return "windows-" + std::to_string(cp);
  if (cp == 10000) return "macintosh";
  return "cp" + std::to_string(cp);
}

// The first character of the text that the code page has no byte for; empty when
// it holds them all.
std::string FirstUnstorableChar(const std::string& text, int codePage) {
  const auto marks = [](const std::string& t) { return std::count(t.begin(), t.end(), '?'); };
  if (marks(Utf8ToCodePage(text, codePage)) == marks(text)) return {};
  for (size_t i = 0; i < text.size();) {
    size_t j = i + 1;
    while (j < text.size() && (static_cast<unsigned char>(text[j]) & 0xC0) == 0x80) ++j;
    const std::string c = text.substr(i, j - i);
    if (c != "?" && Utf8ToCodePage(c, codePage) == "?") return c;
    i = j;
  }
  return {};
}

class TDbfStore : public TTableStore {
public:
  TDbfStore(std::string path, int codePage, std::vector<TFieldDef> fields)
      : path_(std::move(path)), codePage_(codePage), fields_(std::move(fields)) {}
  std::string ReadOnlyReason() const override { return {}; }

  std::string CheckRecord(const std::vector<TValue>& original, const std::vector<TValue>& values) const override {
    if (!codePage_) return {};  // UTF-8 holds everything
    for (size_t k = 0; k < values.size() && k < fields_.size(); ++k) {
      // What was read stays as it is (an undefined byte reads as U+FFFD, which no page holds).
      if (k < original.size() && SameValue(original[k], values[k])) continue;
      const TFieldType t = fields_[k].DataType;
      if ((t != ftString && t != ftMemo) || !std::holds_alternative<std::string>(values[k])) continue;
      const std::string c = FirstUnstorableChar(std::get<std::string>(values[k]), codePage_);
      if (!c.empty())
        return "The character \"" + c + "\" cannot be stored in the field " + fields_[k].Name +
               ": the table's code page " + CodePageName(codePage_) + " has no such character";
    }
    return {};
  }

  void UpdateRecord(int64_t sourceRecord, const std::vector<TValue>& original,
                    const std::vector<TValue>& values) override {
    TDbfFile& f = File();
    std::string rec;
    if (sourceRecord < 0 || !f.ReadRecords(static_cast<uint32_t>(sourceRecord), 1, rec))
      throw EDatabaseError("The record is no longer in the table: " + path_);
    // Only the fields the user changed are encoded: the others keep their bytes as
    // they are in the file now (wide numbers, memos, what another program wrote).
    const int64_t memoMark = f.Memo().SizeMark();
    try {
      const auto& vis = f.VisibleFields();
      for (size_t k = 0; k < vis.size() && k < values.size(); ++k) {
        if (k < original.size() && SameValue(original[k], values[k])) continue;
        f.EncodeField(f.Fields()[static_cast<size_t>(vis[k])], values[k], rec.data());
      }
      f.WriteRecord(static_cast<uint32_t>(sourceRecord), rec);
    } catch (...) {
      f.Memo().RollbackTo(memoMark);
      throw;
    }
  }

  int64_t AppendRecord(const std::vector<TValue>& values) override {
    TDbfFile& f = File();
    const int64_t memoMark = f.Memo().SizeMark();
    try {
      return f.AppendRecord(f.EncodeRecord(values));
    } catch (...) {
      f.Memo().RollbackTo(memoMark);
      throw;
    }
  }

  void DeleteRecord(int64_t sourceRecord) override {
    if (sourceRecord < 0) return;
    File().MarkDeleted(static_cast<uint32_t>(sourceRecord));
  }

private:
  TDbfFile& File() {
    if (!open_) {
      file_.Open(path_, true);
      open_ = true;
    }
    return file_;
  }
  std::string path_;
  int codePage_ = 0;
  std::vector<TFieldDef> fields_;
  TDbfFile file_;
  bool open_ = false;
};

}  // namespace

TTableData DbfReadTable(const std::string& path) {
  TDbfFile f;
  f.Open(path, false);
  TTableData data;
  for (int i : f.VisibleFields()) data.Fields.push_back(f.DataSetField(f.Fields()[static_cast<size_t>(i)]));
  const uint32_t total = f.UsableRecords();
  const uint32_t recLen = f.Header().RecordLength;
  const uint32_t chunk = std::max<uint32_t>(1, (1u << 20) / recLen);
  // Records of a sound file never share memo blocks, so all memos together come to at
  // most the memo file (three times over once converted to UTF-8). A damaged file whose
  // records all point at one large memo reads it only until that much is held.
  const int64_t memoBudget = 3 * f.Memo().SizeMark() + (64 << 10);
  int64_t memoHeld = 0;
  std::string buf;
  for (uint32_t first = 0; first < total; first += chunk) {
    const uint32_t count = std::min(chunk, total - first);
    if (!f.ReadRecords(first, count, buf)) throw EDatabaseError("Cannot read the table: " + path);
    for (uint32_t r = 0; r < count; ++r) {
      const char* rec = buf.data() + static_cast<size_t>(r) * recLen;
      if (rec[0] == '*') continue;
      std::vector<TValue> row;
      row.reserve(f.VisibleFields().size());
      for (int i : f.VisibleFields()) {
        const auto& fd = f.Fields()[static_cast<size_t>(i)];
        const TFieldType t = data.Fields[row.size()].DataType;
        const bool memo = t == ftMemo || t == ftBlob;
        if (memo && memoHeld > memoBudget) {
          row.emplace_back();
          continue;
        }
        row.push_back(f.DecodeField(fd, rec));
        if (memo && row.back().index() == 4) memoHeld += static_cast<int64_t>(std::get<std::string>(row.back()).size());
      }
      data.Rows.push_back(PackRow(row));
      data.SourceRecords.push_back(first + r);
    }
  }
  data.Warnings = f.OpenWarnings();
  if (access(path.c_str(), W_OK) == 0)
    data.Store = std::make_unique<TDbfStore>(path, f.CodePage(), data.Fields);
  else
    data.ReadOnlyReason = "Table is read-only: " + path;
  return data;
}
