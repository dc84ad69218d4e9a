#include "withdrawal/Container.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Bytes.h"
#include "withdrawal/Funct.h"

namespace {

constexpr int64_t MaxFileSize = INT32_MAX;
constexpr int32_t OpenRetrySeconds = 10;
constexpr int32_t OpenRetryDelayMs = 10;

// A failing step ends the operation; nothing is shown to the user.
void DiskError(diskfile& d, int32_t code) {
  if (d.IoResult == dioOk) d.IoResult = code;
}

void DiskError(logdisk& c, int32_t code) { DiskError(*c.Disk, code); }

bool Ok(const diskfile& d) { return d.IoResult == dioOk; }

bool Ok(const logdisk& c) { return Ok(*c.Disk); }

// Cuts a name or type to 9 bytes without splitting a UTF-8 character.
std::string ShortString(const std::string& s) {
  if (s.size() <= static_cast<size_t>(DiskNameLength)) return s;
  size_t n = DiskNameLength;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

int32_t ErrnoToResult(int err, bool creating) {
  switch (err) {
    case ENOENT: return creating ? dioPathNotFound : dioFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return dioPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EWOULDBLOCK: return dioAccessDenied;
    default: return creating ? dioWriteError : dioReadError;
  }
}

// Raw file access. Every call checks the result and the bounds.

constexpr int64_t PageSize = 2048;
constexpr int64_t MaxCachedBytes = 16 << 20;

bool PreadAll(int fd, char* p, int64_t count, int64_t pos) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd, p + done, static_cast<size_t>(count - done), pos + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

void DropPages(diskfile& d) {
  d.Pages.clear();
  d.PageBytes = 0;
}

// The cached page holding pos, loaded (or reloaded when the file has grown
// past what it holds) as needed; null on a read failure.
const std::string* Page(diskfile& d, int64_t index, int64_t need) {
  auto it = d.Pages.find(index);
  if (it != d.Pages.end() && static_cast<int64_t>(it->second.size()) >= need) return &it->second;
  if (it != d.Pages.end()) {
    d.PageBytes -= static_cast<int64_t>(it->second.size());
    d.Pages.erase(it);
  }
  if (d.PageBytes >= MaxCachedBytes) DropPages(d);
  int64_t start = index * PageSize;
  int64_t length = std::min(PageSize, d.FileSize - start);
  std::string bytes(static_cast<size_t>(std::max<int64_t>(length, 0)), '\0');
  if (length < need || !PreadAll(d.File.Descriptor(), bytes.data(), length, start)) return nullptr;
  d.PageBytes += length;
  return &d.Pages.emplace(index, std::move(bytes)).first->second;
}

bool ReadAt(diskfile& d, int64_t pos, void* buffer, int64_t count) {
  if (!Ok(d)) return false;
  if (!d.File.IsOpen()) {
    DiskError(d, dioNotOpen);
    return false;
  }
  if (pos < 0 || count < 0 || pos + count > d.FileSize) {
    DiskError(d, dioReadError);
    return false;
  }
  auto* p = static_cast<char*>(buffer);
  if (count > 4 * PageSize) {  // large reads go straight to the file
    if (!PreadAll(d.File.Descriptor(), p, count, pos)) {
      DiskError(d, dioReadError);
      return false;
    }
    return true;
  }
  while (count > 0) {
    int64_t index = pos / PageSize, within = pos % PageSize;
    int64_t n = std::min(count, PageSize - within);
    const std::string* page = Page(d, index, within + n);
    if (!page) {
      DiskError(d, dioReadError);
      return false;
    }
    std::memcpy(p, page->data() + within, static_cast<size_t>(n));
    p += n;
    pos += n;
    count -= n;
  }
  return true;
}

void DropFolderIndex(diskfile& d, int32_t first) {
  auto it = d.Folders.find(first);
  if (it == d.Folders.end()) return;
  for (const TDiskExtent& b : it->second.Blocks) {
    auto owner = d.FolderBlocks.find(b.Position);
    if (owner != d.FolderBlocks.end() && owner->second.second == first) d.FolderBlocks.erase(owner);
  }
  d.Folders.erase(it);
}

void DropFolderIndexes(diskfile& d) {
  d.Folders.clear();
  d.FolderBlocks.clear();
}

// A write into a folder's block by anything but that folder's own slot
// writes (only a damaged free table hands such a block out) makes its index
// stale.
void ForgetFoldersAt(diskfile& d, int64_t pos, int64_t count) {
  if (d.FolderBlocks.empty() || count <= 0) return;
  auto it = d.FolderBlocks.upper_bound(static_cast<int32_t>(std::min<int64_t>(pos, INT32_MAX)));
  if (it != d.FolderBlocks.begin()) --it;
  std::vector<int32_t> stale;
  for (; it != d.FolderBlocks.end() && it->first < pos + count; ++it)
    if (it->second.first > pos && it->second.second != d.WritingFolder) stale.push_back(it->second.second);
  for (int32_t folder : stale) DropFolderIndex(d, folder);
}

bool WriteAt(diskfile& d, int64_t pos, const void* buffer, int64_t count) {
  if (!Ok(d)) return false;
  if (!d.File.IsOpen()) {
    DiskError(d, dioNotOpen);
    return false;
  }
  if (pos < 0 || count < 0 || pos + count > MaxFileSize) {
    DiskError(d, dioWriteError);
    return false;
  }
  ForgetFoldersAt(d, pos, count);
  const auto* p = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(d.File.Descriptor(), p + done, static_cast<size_t>(count - done), pos + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      DropPages(d);
      DropFolderIndexes(d);
      DiskError(d, dioWriteError);
      return false;
    }
    done += n;
  }
  // Keep cached pages in step: bytes inside what a page holds are copied,
  // bytes past it extend it when they follow on directly.
  for (int64_t index = pos / PageSize; index <= (pos + count - 1) / PageSize && count > 0; ++index) {
    auto it = d.Pages.find(index);
    if (it == d.Pages.end()) continue;
    std::string& page = it->second;
    int64_t start = index * PageSize;
    int64_t from = std::max(pos, start) - start;
    int64_t to = std::min(pos + count, start + PageSize) - start;
    if (from > static_cast<int64_t>(page.size())) {
      d.PageBytes -= static_cast<int64_t>(page.size());
      d.Pages.erase(it);
      continue;
    }
    if (to > static_cast<int64_t>(page.size())) {
      d.PageBytes += to - static_cast<int64_t>(page.size());
      page.resize(static_cast<size_t>(to));
    }
    std::memcpy(page.data() + from, p + (start + from - pos), static_cast<size_t>(to - from));
  }
  d.FileSize = std::max(d.FileSize, pos + count);
  return true;
}

// Grows the file with spaces up to end.
bool ExtendTo(diskfile& d, int64_t end) {
  if (end > MaxFileSize) {
    DiskError(d, dioWriteError);
    return false;
  }
  static const std::string spaces(4096, ' ');
  while (Ok(d) && d.FileSize < end) {
    int64_t n = std::min<int64_t>(end - d.FileSize, static_cast<int64_t>(spaces.size()));
    if (!WriteAt(d, d.FileSize, spaces.data(), n)) return false;
  }
  return Ok(d);
}

// Reads a block header; a block that does not lie inside the file, or whose
// next block cannot, is damage.
bool ReadHeader(diskfile& d, int32_t pos, int32_t& size, int32_t& next) {
  unsigned char b[8];
  if (!ReadAt(d, pos, b, 8)) return false;
  size = GetLE32(b);
  next = GetLE32(b + 4);
  if (size < 0 || int64_t(pos) + DiskBlockHeaderSize + size > d.FileSize ||
      (next != DiskNoBlock && (next < 0 || int64_t(next) + DiskBlockHeaderSize > d.FileSize))) {
    DiskError(d, dioReadError);
    return false;
  }
  return true;
}

bool WriteHeader(diskfile& d, int32_t pos, int32_t size, int32_t next) {
  unsigned char b[8];
  PutLE32(b, size);
  PutLE32(b + 4, next);
  return WriteAt(d, pos, b, 8);
}

// The most blocks a sound chain of this file can have: every block takes at
// least its 8-byte header.
int64_t MaxChainSteps(const diskfile& d) { return d.FileSize / DiskBlockHeaderSize + 1; }

// Puts the cursor on the record starting at first and measures its capacity.
// A chain that leaves the file, loops or holds more than the file is damage.
bool OpenChain(logdisk& c, int32_t first) {
  c.First = first;
  c.Position = first;
  c.Offset = 0;
  c.RecordOffset = 0;
  c.Capacity = 0;
  c.Eof = false;
  diskfile& d = *c.Disk;
  if (!ReadHeader(d, first, c.BlockSize, c.BlockNext)) return false;
  int64_t capacity = c.BlockSize;
  int32_t next = c.BlockNext;
  int64_t steps = MaxChainSteps(d);
  while (next != DiskNoBlock) {
    if (--steps <= 0) {
      DiskError(c, dioReadError);
      return false;
    }
    int32_t size, following;
    if (!ReadHeader(d, next, size, following)) return false;
    capacity += size;
    if (capacity > d.FileSize) {
      DiskError(c, dioReadError);
      return false;
    }
    next = following;
  }
  c.Capacity = static_cast<int32_t>(capacity);
  return true;
}

bool NextBlock(logdisk& c) {
  // A sound record never reads past its capacity; more means the chain changed
  // under us or loops.
  if (c.RecordOffset > c.Capacity) {
    DiskError(c, dioReadError);
    return false;
  }
  c.Position = c.BlockNext;
  c.Offset = 0;
  return ReadHeader(*c.Disk, c.Position, c.BlockSize, c.BlockNext);
}

// Moves forward n data bytes; the end flag when the chain ends first (the
// cursor then stands at the end of the last block).
bool Advance(logdisk& c, int64_t n) {
  while (Ok(c)) {
    int64_t room = c.BlockSize - c.Offset;
    if (n <= room) {
      c.Offset += static_cast<int32_t>(n);
      c.RecordOffset += static_cast<int32_t>(n);
      return true;
    }
    c.Offset = c.BlockSize;
    c.RecordOffset += static_cast<int32_t>(room);
    n -= room;
    if (c.BlockNext == DiskNoBlock) {
      c.Eof = true;
      return false;
    }
    if (!NextBlock(c)) return false;
  }
  return false;
}

int32_t Remaining(const logdisk& c) { return std::max(0, c.Capacity - c.RecordOffset); }

// A cursor on the record of the folder whose first block is given.
bool OpenFolderRecord(diskfile& d, int32_t first, logdisk& f) {
  f = logdisk{};
  f.Disk = &d;
  return OpenChain(f, first);
}

void EncodeSlot(const std::string& name, const std::string& type, int32_t first, unsigned char* b) {
  std::memset(b, 0, DiskSlotSize);
  b[0] = static_cast<unsigned char>(name.size());
  std::memcpy(b + 1, name.data(), name.size());
  b[10] = static_cast<unsigned char>(type.size());
  std::memcpy(b + 11, type.data(), type.size());
  PutLE32(b + 20, first);
}

TDiskSlot DecodeSlot(const unsigned char* b) {
  TDiskSlot s;
  int nameLen = std::min<int>(b[0], DiskNameLength);
  int typeLen = std::min<int>(b[10], DiskNameLength);
  s.Name.assign(reinterpret_cast<const char*>(b + 1), static_cast<size_t>(nameLen));
  s.Type.assign(reinterpret_cast<const char*>(b + 11), static_cast<size_t>(typeLen));
  s.First = GetLE32(b + 20);
  return s;
}

struct TFolderHeader {
  int32_t Parent = 0;
  int32_t Self = 0;
  int32_t Count = 0;
};

// Reads the header and the raw slots of a folder. complete is false when the
// count is negative or larger than the record holds; the slots then are the
// ones the record does hold.
bool ReadRawFolder(diskfile& d, int32_t first, TFolderHeader& header, std::vector<unsigned char>& bytes, int32_t& n,
                   bool& complete) {
  bytes.clear();
  n = 0;
  complete = false;
  logdisk f;
  if (!OpenFolderRecord(d, first, f)) return false;
  unsigned char hb[DiskFolderHeaderSize];
  DiskRead(f, hb, DiskFolderHeaderSize);
  if (!Ok(d)) return false;
  if (f.Eof) return true;
  header.Parent = GetLE32(hb);
  header.Self = GetLE32(hb + 4);
  header.Count = GetLE32(hb + 8);
  int32_t room = Remaining(f) / DiskSlotSize;
  n = std::clamp(header.Count, 0, room);
  complete = header.Count >= 0 && header.Count <= room;
  bytes.resize(static_cast<size_t>(n) * DiskSlotSize);
  if (n > 0) DiskRead(f, bytes.data(), static_cast<int32_t>(bytes.size()));
  return Ok(d);
}

// The header alone; zeros when the record is shorter than a header.
bool ReadFolderHeader(diskfile& d, int32_t first, TFolderHeader& header) {
  header = TFolderHeader{};
  logdisk f;
  if (!OpenFolderRecord(d, first, f)) return false;
  unsigned char hb[DiskFolderHeaderSize];
  DiskRead(f, hb, DiskFolderHeaderSize);
  if (!Ok(d)) return false;
  if (f.Eof) return true;
  header.Parent = GetLE32(hb);
  header.Self = GetLE32(hb + 4);
  header.Count = GetLE32(hb + 8);
  return true;
}

bool ReadFolder(diskfile& d, int32_t first, TFolderHeader& header, std::vector<TDiskSlot>& slots, bool& complete) {
  slots.clear();
  std::vector<unsigned char> bytes;
  int32_t n;
  if (!ReadRawFolder(d, first, header, bytes, n, complete)) return false;
  slots.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) slots.push_back(DecodeSlot(bytes.data() + size_t(i) * DiskSlotSize));
  return true;
}

// Compares a stored short string (length byte, then up to 9 characters) with a value.
bool ShortIs(const unsigned char* stored, const std::string& value) {
  size_t len = std::min<size_t>(stored[0], DiskNameLength);
  return len == value.size() && std::memcmp(stored + 1, value.data(), len) == 0;
}

void CopyFolderHeader(logdisk& c, const TFolderHeader& h) {
  c.FolderParent = h.Parent;
  c.FolderSelf = h.Self;
  c.FolderCount = h.Count;
}

std::string SlotKey(const std::string& name, const std::string& type) {
  return std::string(1, static_cast<char>(name.size())) + name + type;
}

const std::string kFreeType = "free";

void IndexSlot(TDiskFolderIndex& ix, int32_t i) {
  const TDiskSlot& s = ix.Slots[size_t(i)];
  ix.ByKey[SlotKey(s.Name, s.Type)].insert(i);
  if (s.Type == kFreeType) ix.Free.insert(i);
}

void UnindexSlot(TDiskFolderIndex& ix, int32_t i) {
  const TDiskSlot& s = ix.Slots[size_t(i)];
  auto it = ix.ByKey.find(SlotKey(s.Name, s.Type));
  if (it != ix.ByKey.end()) {
    it->second.erase(i);
    if (it->second.empty()) ix.ByKey.erase(it);
  }
  ix.Free.erase(i);
}

// The slots the count and the record hold, as a read of the folder gives them.
int32_t HeldSlots(const TDiskFolderIndex& ix) {
  if (ix.Capacity < DiskFolderHeaderSize) return 0;
  int64_t room = (ix.Capacity - DiskFolderHeaderSize) / DiskSlotSize;
  return static_cast<int32_t>(std::clamp<int64_t>(ix.Count, 0, room));
}

bool Complete(const TDiskFolderIndex& ix) {
  return ix.Capacity >= DiskFolderHeaderSize && ix.Count >= 0 &&
         ix.Count <= (ix.Capacity - DiskFolderHeaderSize) / DiskSlotSize;
}

// A cursor on the folder's record at a record offset, placed from the index
// the way DiskSeek walks the chain; false past the capacity.
bool IndexCursor(diskfile& d, int32_t first, const TDiskFolderIndex& ix, int64_t offset, logdisk& f) {
  if (offset < 0 || offset > ix.Capacity || ix.Blocks.empty()) return false;
  size_t lo = 0, hi = ix.Blocks.size() - 1;
  while (lo < hi) {  // the first block whose data end reaches offset
    size_t mid = (lo + hi) / 2;
    if (ix.Starts[mid] + ix.Blocks[mid].Size >= offset)
      hi = mid;
    else
      lo = mid + 1;
  }
  f = logdisk{};
  f.Disk = &d;
  f.First = first;
  f.Position = ix.Blocks[lo].Position;
  f.BlockSize = ix.Blocks[lo].Size;
  f.BlockNext = lo + 1 < ix.Blocks.size() ? ix.Blocks[lo + 1].Position : DiskNoBlock;
  f.Offset = static_cast<int32_t>(offset - ix.Starts[lo]);
  f.RecordOffset = static_cast<int32_t>(offset);
  f.Capacity = static_cast<int32_t>(ix.Capacity);
  return true;
}

void RegisterBlock(diskfile& d, int32_t folder, const TDiskExtent& b) {
  auto it = d.FolderBlocks.find(b.Position);
  if (it != d.FolderBlocks.end() && it->second.second != folder) DropFolderIndex(d, it->second.second);
  d.FolderBlocks[b.Position] = {int64_t(b.Position) + DiskBlockHeaderSize + b.Size, folder};
}

// Follows the chain on from the index's last block (which may have grown).
bool ExtendIndexChain(diskfile& d, int32_t first, TDiskFolderIndex& ix) {
  size_t k = ix.Blocks.size() - 1;
  int32_t size, next;
  if (!ReadHeader(d, ix.Blocks[k].Position, size, next)) return false;
  ix.Blocks[k].Size = size;
  ix.Capacity = ix.Starts[k] + size;
  RegisterBlock(d, first, ix.Blocks[k]);
  int64_t steps = MaxChainSteps(d);
  while (next != DiskNoBlock) {
    if (--steps <= 0 || static_cast<int64_t>(ix.Blocks.size()) > MaxChainSteps(d)) {
      DiskError(d, dioReadError);
      return false;
    }
    int32_t pos = next;
    if (!ReadHeader(d, pos, size, next)) return false;
    ix.Blocks.push_back({pos, size});
    ix.Starts.push_back(ix.Capacity);
    ix.Capacity += size;
    if (ix.Capacity > d.FileSize) {
      DiskError(d, dioReadError);
      return false;
    }
    RegisterBlock(d, first, ix.Blocks.back());
  }
  return true;
}

bool ReadIndexed(diskfile& d, int32_t first, const TDiskFolderIndex& ix, int64_t offset, void* buffer, int32_t count) {
  logdisk f;
  if (!IndexCursor(d, first, ix, offset, f)) return false;
  DiskRead(f, buffer, count);
  return Ok(d) && !f.Eof;
}

// Brings the header and the slots in [from, to) of the record, and the
// slots the count now takes in or leaves out, up to date from the file.
bool RefreshIndex(diskfile& d, int32_t first, TDiskFolderIndex& ix, int64_t from, int64_t to) {
  if (from < DiskFolderHeaderSize) {
    unsigned char hb[DiskFolderHeaderSize] = {};
    if (ix.Capacity >= DiskFolderHeaderSize && !ReadIndexed(d, first, ix, 0, hb, DiskFolderHeaderSize)) return false;
    ix.Parent = GetLE32(hb);
    ix.Self = GetLE32(hb + 4);
    ix.Count = GetLE32(hb + 8);
  }
  const int32_t held = HeldSlots(ix);
  while (static_cast<int32_t>(ix.Slots.size()) > held) {
    UnindexSlot(ix, static_cast<int32_t>(ix.Slots.size()) - 1);
    ix.Slots.pop_back();
  }
  auto load = [&](int32_t i) {
    unsigned char b[DiskSlotSize];
    if (!ReadIndexed(d, first, ix, DiskFolderHeaderSize + int64_t(DiskSlotSize) * i, b, DiskSlotSize)) return false;
    if (i < static_cast<int32_t>(ix.Slots.size())) {
      UnindexSlot(ix, i);
      ix.Slots[size_t(i)] = DecodeSlot(b);
    } else {
      ix.Slots.push_back(DecodeSlot(b));
    }
    IndexSlot(ix, i);
    return true;
  };
  const int32_t old = static_cast<int32_t>(ix.Slots.size());
  if (to > DiskFolderHeaderSize && old > 0) {
    int64_t lo = std::max<int64_t>(from - DiskFolderHeaderSize, 0) / DiskSlotSize;
    int64_t hi = std::min<int64_t>((to - DiskFolderHeaderSize + DiskSlotSize - 1) / DiskSlotSize, old);
    for (int64_t i = lo; i < hi; ++i)
      if (!load(static_cast<int32_t>(i))) return false;
  }
  for (int32_t i = old; i < held; ++i)
    if (!load(i)) return false;
  return true;
}

// Whether the index still describes the file: its first and last block
// headers and the folder header as stored.
bool IndexMatchesFile(diskfile& d, int32_t first, const TDiskFolderIndex& ix) {
  for (size_t k : {size_t(0), ix.Blocks.size() - 1}) {
    const TDiskExtent& b = ix.Blocks[k];
    int32_t next = k + 1 < ix.Blocks.size() ? ix.Blocks[k + 1].Position : DiskNoBlock;
    unsigned char h[8];
    if (int64_t(b.Position) + DiskBlockHeaderSize + b.Size > d.FileSize || !ReadAt(d, b.Position, h, 8)) return false;
    if (GetLE32(h) != b.Size || GetLE32(h + 4) != next) return false;
  }
  if (ix.Capacity < DiskFolderHeaderSize) return true;
  unsigned char hb[DiskFolderHeaderSize];
  if (!ReadIndexed(d, first, ix, 0, hb, DiskFolderHeaderSize)) return false;
  return GetLE32(hb) == ix.Parent && GetLE32(hb + 4) == ix.Self && GetLE32(hb + 8) == ix.Count;
}

// The index of the folder whose record starts at first, made from the file
// when there is none (or the one kept no longer matches); null on a failure.
TDiskFolderIndex* FolderIndex(diskfile& d, int32_t first) {
  if (!Ok(d)) return nullptr;
  auto it = d.Folders.find(first);
  if (it != d.Folders.end()) {
    if (!it->second.Checked && IndexMatchesFile(d, first, it->second)) it->second.Checked = true;
    if (it->second.Checked) return &it->second;
    DropFolderIndex(d, first);
    if (!Ok(d)) return nullptr;
  }
  TFolderHeader h;
  std::vector<unsigned char> bytes;
  int32_t n;
  bool complete;
  if (!ReadRawFolder(d, first, h, bytes, n, complete)) return nullptr;
  TDiskFolderIndex ix;
  // The chain was found sound by the read.
  for (int32_t pos = first; pos != DiskNoBlock && Ok(d);) {
    int32_t size, next;
    if (!ReadHeader(d, pos, size, next)) return nullptr;
    ix.Blocks.push_back({pos, size});
    ix.Starts.push_back(ix.Capacity);
    ix.Capacity += size;
    pos = next;
  }
  ix.Parent = h.Parent;
  ix.Self = h.Self;
  ix.Count = h.Count;
  ix.Slots.reserve(size_t(n));
  for (int32_t i = 0; i < n; ++i) {
    ix.Slots.push_back(DecodeSlot(bytes.data() + size_t(i) * DiskSlotSize));
    IndexSlot(ix, i);
  }
  ix.Checked = true;
  TDiskFolderIndex& kept = d.Folders[first] = std::move(ix);
  for (const TDiskExtent& b : kept.Blocks) RegisterBlock(d, first, b);
  auto found = d.Folders.find(first);  // a damaged file may make two folders share a block
  return found == d.Folders.end() ? nullptr : &found->second;
}

// Writes at a record offset of the folder's record, growing it as needed,
// and keeps the folder's index in step.
void WriteFolderRecord(diskfile& d, int32_t first, int32_t offset, const void* buffer, int32_t count) {
  TDiskFolderIndex* ix = FolderIndex(d, first);
  if (!ix) return;
  logdisk f;
  if (!IndexCursor(d, first, *ix, offset, f)) {
    DiskError(d, dioReadError);
    return;
  }
  const int64_t capacity = ix->Capacity;
  d.WritingFolder = first;
  DiskWrite(f, buffer, count, true, 512);
  d.WritingFolder = -1;
  ix = Ok(d) ? FolderIndex(d, first) : nullptr;
  if (!ix || (f.Capacity != capacity && !ExtendIndexChain(d, first, *ix)) ||
      !RefreshIndex(d, first, *ix, offset, int64_t(offset) + count)) {
    DropFolderIndex(d, first);
  }
}

void WriteSlot(diskfile& d, int32_t folder, int32_t index, const std::string& name, const std::string& type,
               int32_t first) {
  unsigned char b[DiskSlotSize];
  EncodeSlot(name, type, first, b);
  WriteFolderRecord(d, folder, DiskFolderHeaderSize + DiskSlotSize * index, b, DiskSlotSize);
}

// Chooses the slot for the cursor's entry in the current folder and writes it:
// the last slot of the same name and type, else the last of that name marked
// free, else the last free one, else a new slot.
void DiskPutEntry(logdisk& c, int32_t knownIndex = -1) {
  if (!Ok(c)) return;
  diskfile& d = *c.Disk;
  if (knownIndex >= 0) {  // the slot this entry took a moment ago
    WriteSlot(d, d.CurrentFolder, knownIndex, c.Name, c.Type, c.First);
    return;
  }
  const int32_t folder = d.CurrentFolder;
  TDiskFolderIndex* ix = FolderIndex(d, folder);
  if (!ix) return;
  if (!Complete(*ix)) {  // a damaged count would grow the folder without bound
    DiskError(c, dioReadError);
    return;
  }
  auto last = [&](const std::string& type) {
    auto it = ix->ByKey.find(SlotKey(c.Name, type));
    return it == ix->ByKey.end() ? -1 : *it->second.rbegin();
  };
  int32_t same = last(c.Type), nameFree = last(kFreeType);
  int32_t anyFree = ix->Free.empty() ? -1 : *ix->Free.rbegin();
  int32_t index = same >= 0 ? same : nameFree >= 0 ? nameFree : anyFree;
  if (index < 0) {
    if (ix->Count == INT32_MAX) {
      DiskError(c, dioWriteError);
      return;
    }
    index = ix->Count;
    unsigned char b[4];
    PutLE32(b, ix->Count + 1);
    WriteFolderRecord(d, folder, 8, b, 4);
  }
  WriteSlot(d, folder, index, c.Name, c.Type, c.First);
  if (!Ok(c)) return;
  ix = FolderIndex(d, folder);
  if (!ix) return;
  CopyFolderHeader(c, TFolderHeader{ix->Parent, ix->Self, ix->Count});
  c.LastSlot = index;
}

// Finds the cursor's entry in the current folder; its slot index or -1.
int32_t FindSlot(logdisk& c, TDiskSlot* found = nullptr) {
  diskfile& d = *c.Disk;
  TDiskFolderIndex* ix = FolderIndex(d, d.CurrentFolder);
  if (!ix) return -1;
  CopyFolderHeader(c, TFolderHeader{ix->Parent, ix->Self, ix->Count});
  auto it = ix->ByKey.find(SlotKey(c.Name, c.Type));
  if (it == ix->ByKey.end()) return -1;
  int32_t i = *it->second.begin();
  if (found) *found = ix->Slots[size_t(i)];
  return i;
}

// Frees the record of the cursor's entry in the current folder and marks its
// slot free. False when there is no such entry.
bool DeleteInCurrentFolder(logdisk& c) {
  diskfile& d = *c.Disk;
  TDiskSlot slot;
  int32_t index = FindSlot(c, &slot);
  if (!Ok(c)) return false;
  if (index < 0) {
    c.Eof = true;
    return false;
  }
  logdisk r = c;
  if (!OpenChain(r, slot.First)) return false;
  // Gather the chain before its first header is rewritten.
  std::vector<TDiskExtent> blocks;
  blocks.push_back({r.Position, r.BlockSize});
  int32_t next = r.BlockNext;
  while (next != DiskNoBlock && Ok(c)) {
    int32_t size, following;
    if (!ReadHeader(d, next, size, following)) return false;
    blocks.push_back({next, size});
    next = following;
  }
  if (blocks[0].Size > 0) DiskReleaseExtent(d, blocks[0].Position + DiskBlockHeaderSize, blocks[0].Size);
  WriteHeader(d, blocks[0].Position, 0, DiskNoBlock);
  for (size_t i = 1; i < blocks.size() && Ok(c); ++i)
    DiskReleaseExtent(d, blocks[i].Position, blocks[i].Size + DiskBlockHeaderSize);
  if (!Ok(c)) return false;
  DiskReleaseExtent(d, blocks[0].Position, DiskBlockHeaderSize);
  WriteSlot(d, d.CurrentFolder, index, slot.Name, "free", slot.First);
  return Ok(c);
}

bool WriteFreeTable(diskfile& d, logdisk& t, bool onlyUsed) {
  std::vector<unsigned char> buf(4);
  int32_t n = 0;
  for (const TDiskExtent& e : d.FreeTable) {
    if (onlyUsed && e.Size <= 0) continue;
    unsigned char b[8];
    PutLE32(b, e.Position);
    PutLE32(b + 4, e.Size);
    buf.insert(buf.end(), b, b + 8);
    ++n;
  }
  PutLE32(buf.data(), n);
  DiskWrite(t, buf.data(), static_cast<int32_t>(buf.size()), true, 512);
  return Ok(d);
}

bool ReadStamp(diskfile& d, TDiskFileStamp& stamp) {
  struct stat st {};
  if (::fstat(d.File.Descriptor(), &st) != 0) return false;
  stamp.Valid = true;
  stamp.FileName = d.FileName;
  stamp.Device = static_cast<int64_t>(st.st_dev);
  stamp.Inode = static_cast<int64_t>(st.st_ino);
  stamp.Size = static_cast<int64_t>(st.st_size);
  stamp.ModifiedSec = st.st_mtim.tv_sec;
  stamp.ModifiedNsec = st.st_mtim.tv_nsec;
  stamp.ChangedSec = st.st_ctim.tv_sec;
  stamp.ChangedNsec = st.st_ctim.tv_nsec;
  return true;
}

// The folder indexes are kept only for the file exactly as the last close
// left it, and each is compared with the file again before its first use.
void CheckFolderIndexes(diskfile& d, bool opened, bool created) {
  TDiskFileStamp now;
  if (!opened || created || !d.Stamp.Valid || !ReadStamp(d, now) || !(now == d.Stamp)) DropFolderIndexes(d);
  d.Stamp = TDiskFileStamp{};
  for (auto& [first, ix] : d.Folders) ix.Checked = false;
}

void OpenOrCreate(diskfile& d, int32_t access, int32_t share, bool create) {
  d.File.Close();
  d.WritingFolder = -1;
  DropPages(d);
  d.FreeTable.clear();
  d.FreeLoaded = false;
  d.FreeModified = false;
  d.CurrentFolder = 0;
  d.FileSize = 0;
  if (!DiskSetFileMode(d, access, share)) {
    d.IoResult = dioInvalidAccess;
    CheckFolderIndexes(d, false, create);
    return;
  }
  TFileAccess fa = (d.FileMode & 0x0F) == 0   ? TFileAccess::Read
                   : (d.FileMode & 0x0F) == 1 ? TFileAccess::Write
                                              : TFileAccess::ReadWrite;
  TFileShare fs;
  switch (d.FileMode & 0xF0) {
    case 0x10: fs = TFileShare::DenyReadWrite; break;
    case 0x20: fs = TFileShare::DenyWrite; break;
    case 0x30: fs = TFileShare::DenyRead; break;
    default: fs = TFileShare::DenyNone; break;
  }
  int32_t t0 = TimeOfDaySeconds();
  for (;;) {
    bool opened = create ? d.File.Create(d.FileName, fs) : d.File.Open(d.FileName, fa, fs);
    d.IoResult = opened ? dioOk : ErrnoToResult(d.File.LastError(), create);
    if (opened) {
      CheckFolderIndexes(d, true, create);
      int64_t size = d.File.Size();
      d.FileSize = std::clamp<int64_t>(size, 0, MaxFileSize);
      if (create) {
        // The empty root: its "info" slot and an empty free table.
        unsigned char b[56] = {};
        PutLE32(b + 0, 36);
        PutLE32(b + 4, DiskNoBlock);
        PutLE32(b + 8, 0);
        PutLE32(b + 12, 0);
        PutLE32(b + 16, 1);
        EncodeSlot("info", "info", 44, b + 20);
        PutLE32(b + 44, 4);
        PutLE32(b + 48, DiskNoBlock);
        PutLE32(b + 52, 0);
        WriteAt(d, 0, b, sizeof b);
      }
      break;
    }
    if (d.IoResult != dioAccessDenied) {
      CheckFolderIndexes(d, false, create);
      break;
    }
    int32_t elapsed = (TimeOfDaySeconds() - t0 + 86400) % 86400;
    if (elapsed >= OpenRetrySeconds) {
      CheckFolderIndexes(d, false, create);
      break;
    }
    Delay(OpenRetryDelayMs);
  }
}

}  // namespace

void DiskAssign(diskfile& disk, const std::string& fileName) {
  if (disk.FileName != fileName) DropFolderIndexes(disk);
  disk.FileName = fileName;
}

void DiskOpenEntry(diskfile& disk, logdisk& cursor, const std::string& path, const std::string& name,
                   const std::string& type) {
  disk.CurrentFolder = 0;
  cursor = logdisk{};
  cursor.Disk = &disk;
  cursor.Path = path;
  cursor.Name = ShortString(name);
  cursor.Type = ShortString(type);
}

void DiskInit(diskfile& disk, const std::string& fileName, logdisk& cursor, const std::string& path,
              const std::string& name, const std::string& type) {
  DiskAssign(disk, fileName);
  DiskOpenEntry(disk, cursor, path, name, type);
}

bool DiskSetFileMode(diskfile& disk, int32_t access, int32_t share) {
  if (access < 0 || access > 2 || share < 0 || share > 3) return false;
  disk.FileMode = access + (share + 1) * 0x10;
  return true;
}

void DiskCreate(diskfile& disk, int32_t access, int32_t share) { OpenOrCreate(disk, access, share, true); }

void DiskOpen(diskfile& disk, int32_t access, int32_t share) { OpenOrCreate(disk, access, share, false); }

void DiskClose(diskfile& disk) {
  if (disk.File.IsOpen() && disk.FreeLoaded && disk.FreeModified) {
    // Written also after a failed step: extents taken before the failure may
    // already be named by a slot, and a table that still lists them as free
    // would hand them out again and overwrite that record. The failure stays
    // the result the caller sees.
    const int32_t failed = disk.IoResult;
    disk.IoResult = dioOk;
    logdisk t;
    DiskOpenEntry(disk, t, ":", "info", "info");
    DiskOpenNamed(t);
    if (Ok(disk) && !t.Eof) {
      // The first pass may grow the record, which changes the table it holds;
      // the second writes the table as it then stands, without emptied extents.
      if (WriteFreeTable(disk, t, false)) {
        DiskSeek(t, 0);
        WriteFreeTable(disk, t, true);
      }
    }
    if (failed != dioOk) disk.IoResult = failed;
  }
  // The indexes outlive the close only when every step went through.
  if (!disk.File.IsOpen() || !Ok(disk) || !ReadStamp(disk, disk.Stamp)) {
    disk.Stamp = TDiskFileStamp{};
    DropFolderIndexes(disk);
  }
  disk.WritingFolder = -1;
  disk.FreeTable.clear();
  disk.FreeTable.shrink_to_fit();
  disk.FreeLoaded = false;
  disk.FreeModified = false;
  DropPages(disk);
  disk.File.Close();
}

void DiskLoadFreeTable(diskfile& disk) {
  if (!Ok(disk)) return;
  disk.FreeTable.clear();
  disk.FreeLoaded = false;
  TFolderHeader h;
  std::vector<TDiskSlot> slots;
  bool complete;
  if (!ReadFolder(disk, 0, h, slots, complete)) return;
  for (const TDiskSlot& s : slots) {
    if (s.Name != "info" || s.Type != "info") continue;
    logdisk t;
    t.Disk = &disk;
    if (!OpenChain(t, s.First)) return;
    int32_t n = DiskReadInt32(t);
    if (!Ok(disk)) return;
    n = std::clamp(n, 0, Remaining(t) / 8);
    std::vector<unsigned char> buf(size_t(n) * 8);
    if (n > 0) DiskRead(t, buf.data(), n * 8);
    if (!Ok(disk)) return;
    disk.FreeTable.reserve(size_t(n));
    // Extents that lie outside the file, overlap or go backwards are dropped:
    // losing free space is harmless, handing out used space is not.
    int64_t end = DiskBlockHeaderSize + DiskFolderHeaderSize + DiskSlotSize;  // past the root's info slot
    for (int32_t i = 0; i < n; ++i) {
      TDiskExtent e{GetLE32(buf.data() + size_t(i) * 8), GetLE32(buf.data() + size_t(i) * 8 + 4)};
      if (e.Size <= 0 || e.Position < end || int64_t(e.Position) + e.Size > disk.FileSize) continue;
      disk.FreeTable.push_back(e);
      end = int64_t(e.Position) + e.Size;
    }
    disk.FreeLoaded = true;
    return;
  }
}

void DiskFindFree(diskfile& disk, int32_t size) {
  if (!Ok(disk)) return;
  if (!disk.FreeLoaded) DiskLoadFreeTable(disk);
  disk.Candidate = {static_cast<int32_t>(disk.FileSize), DiskEndOfFileExtent};
  size = std::max(size, DiskBlockHeaderSize);
  for (const TDiskExtent& e : disk.FreeTable)
    if (e.Size >= size) disk.Candidate = e;
}

// The table stays ascending, without empty entries and without overlaps
// after every step: an emptied entry left in place would be found by the
// next look-up at its position instead of the live extent that starts there.
void DiskTakeExtent(diskfile& disk, int32_t position, int32_t size) {
  if (!disk.FreeLoaded) DiskLoadFreeTable(disk);
  disk.FreeModified = true;
  if (disk.FileSize <= position || size <= 0) return;
  const int64_t from = position, to = int64_t(position) + size;
  auto& t = disk.FreeTable;
  // Every extent the taken range touches gives up that part; normally this
  // is the one extent that starts at position.
  auto first = std::lower_bound(t.begin(), t.end(), from,
                                [](const TDiskExtent& e, int64_t p) { return int64_t(e.Position) + e.Size <= p; });
  auto last = first;
  while (last != t.end() && last->Position < to) ++last;
  if (first == last) return;
  std::vector<TDiskExtent> rest;
  if (first->Position < from) rest.push_back({first->Position, static_cast<int32_t>(from - first->Position)});
  int64_t tailEnd = int64_t(std::prev(last)->Position) + std::prev(last)->Size;
  if (tailEnd > to) rest.push_back({static_cast<int32_t>(to), static_cast<int32_t>(tailEnd - to)});
  auto at = t.erase(first, last);
  t.insert(at, rest.begin(), rest.end());
}

void DiskReleaseExtent(diskfile& disk, int32_t position, int32_t size) {
  if (size <= 0) return;
  // A delete may come before any allocation; without the table its space
  // would never be reused.
  if (!disk.FreeLoaded) DiskLoadFreeTable(disk);
  disk.FreeModified = true;
  // The released range joins every extent it touches or (in a damaged file)
  // overlaps, so neighbours on both sides merge into one entry.
  int64_t from = position, to = std::min<int64_t>(int64_t(position) + size, INT32_MAX);
  auto& t = disk.FreeTable;
  auto first = std::lower_bound(t.begin(), t.end(), from,
                                [](const TDiskExtent& e, int64_t p) { return int64_t(e.Position) + e.Size < p; });
  auto last = first;
  while (last != t.end() && last->Position <= to) {
    from = std::min<int64_t>(from, last->Position);
    to = std::max<int64_t>(to, int64_t(last->Position) + last->Size);
    ++last;
  }
  auto at = t.erase(first, last);
  t.insert(at, TDiskExtent{static_cast<int32_t>(from), static_cast<int32_t>(to - from)});
}

void DiskFindFolder(logdisk& cursor) {
  if (!Ok(cursor)) return;
  diskfile& d = *cursor.Disk;
  TFolderHeader h;
  std::vector<unsigned char> bytes;
  int32_t n;
  bool complete;
  if (!ReadRawFolder(d, d.CurrentFolder, h, bytes, n, complete)) return;
  for (int32_t i = 0; i < n; ++i) {
    const unsigned char* slot = bytes.data() + size_t(i) * DiskSlotSize;
    if (!ShortIs(slot, cursor.Name) || slot[10] < 3 || std::memcmp(slot + 11, "dir", 3) != 0) continue;
    TDiskSlot s = DecodeSlot(slot);
    // Entering a folder needs only its header, which its index keeps.
    TDiskFolderIndex* sub = FolderIndex(d, s.First);
    if (!sub) return;
    d.CurrentFolder = s.First;
    CopyFolderHeader(cursor, TFolderHeader{sub->Parent, sub->Self, sub->Count});
    cursor.FolderName = s.Name;
    cursor.Position = s.First;
    return;
  }
  cursor.Eof = true;
}

void DiskFindEntry(logdisk& cursor) {
  if (!Ok(cursor)) return;
  diskfile& d = *cursor.Disk;
  d.CurrentFolder = 0;
  cursor.Position = 0;
  cursor.Eof = false;
  cursor.FolderName.clear();
  TFolderHeader h;
  if (!ReadFolderHeader(d, 0, h)) return;
  CopyFolderHeader(cursor, h);
  if (cursor.Path == ":") return;
  std::string name = cursor.Name, type = cursor.Type;
  std::string rest = cursor.Path;
  while (!rest.empty() && rest[0] == ':' && Ok(cursor) && !cursor.Eof) {
    size_t colon = rest.find(':', 1);
    std::string folder = rest.substr(1, colon == std::string::npos ? std::string::npos : colon - 1);
    rest = colon == std::string::npos ? std::string() : rest.substr(colon);
    cursor.Name = ShortString(folder);
    DiskFindFolder(cursor);
  }
  cursor.Name = name;
  cursor.Type = type;
}

void DiskOpenData(logdisk& cursor) {
  if (!Ok(cursor)) return;
  TDiskSlot slot;
  if (FindSlot(cursor, &slot) < 0) {
    if (Ok(cursor)) cursor.Eof = true;
    return;
  }
  OpenChain(cursor, slot.First);
}

void DiskOpenNamed(logdisk& cursor) {
  DiskFindEntry(cursor);
  if (Ok(cursor) && !cursor.Eof) DiskOpenData(cursor);
}

std::vector<TDiskSlot> DiskReadFolder(logdisk& cursor) {
  std::vector<TDiskSlot> slots;
  if (!Ok(cursor)) return slots;
  TFolderHeader h;
  bool complete;
  if (!ReadFolder(*cursor.Disk, cursor.Disk->CurrentFolder, h, slots, complete)) return {};
  CopyFolderHeader(cursor, h);
  if (!complete) cursor.Eof = true;
  return slots;
}

void DiskOpenSlot(logdisk& cursor, const TDiskSlot& slot) {
  if (!Ok(cursor)) return;
  cursor.Name = slot.Name;
  cursor.Type = slot.Type;
  OpenChain(cursor, slot.First);
}

void DiskAddEntry(logdisk& cursor, const std::string& typeSuffix) {
  if (!Ok(cursor)) return;
  diskfile& d = *cursor.Disk;
  DiskFindFree(d, 512);
  DiskFindEntry(cursor);
  if (!Ok(cursor) || cursor.Eof) return;
  cursor.Type = ShortString("dir" + typeSuffix.substr(0, 5));
  int32_t first = d.Candidate.Position;
  if (!WriteHeader(d, first, 0, DiskNoBlock)) return;
  DiskTakeExtent(d, first, DiskBlockHeaderSize);
  cursor.First = first;
  int32_t parent = d.CurrentFolder;
  DiskPutEntry(cursor);
  if (!Ok(cursor)) return;
  logdisk f;
  if (!OpenFolderRecord(d, first, f)) return;
  unsigned char b[DiskFolderHeaderSize];
  PutLE32(b, parent);
  PutLE32(b + 4, first);
  PutLE32(b + 8, 0);
  DiskWrite(f, b, DiskFolderHeaderSize, true, 512);
  if (!Ok(cursor)) return;
  d.CurrentFolder = first;
  cursor.FolderParent = parent;
  cursor.FolderSelf = first;
  cursor.FolderCount = 0;
  cursor.FolderName = cursor.Name;
  cursor.Position = first;
}

void DiskBeginWrite(logdisk& cursor, int32_t blockSize) {
  if (!Ok(cursor)) return;
  diskfile& d = *cursor.Disk;
  cursor.LastSlot = -1;
  DiskFindFree(d, blockSize);
  DiskFindEntry(cursor);
  if (!Ok(cursor) || cursor.Eof) return;
  DeleteInCurrentFolder(cursor);  // an absent entry is no error
  if (!Ok(cursor)) return;
  cursor.Eof = false;
  DiskPutEntry(cursor);
  DiskFindFree(d, blockSize);
  if (!Ok(cursor)) return;
  cursor.First = d.Candidate.Position;
  // The slot just chosen is the last of this name and type now, so choosing
  // again would give the same one.
  DiskPutEntry(cursor, cursor.LastSlot);
  if (!WriteHeader(d, cursor.First, 0, DiskNoBlock)) return;
  DiskTakeExtent(d, cursor.First, DiskBlockHeaderSize);
  cursor.Position = cursor.First;
  cursor.BlockSize = 0;
  cursor.BlockNext = DiskNoBlock;
  cursor.Offset = 0;
  cursor.RecordOffset = 0;
  cursor.Capacity = 0;
  cursor.Eof = false;
}

void DiskDeleteEntry(logdisk& cursor) {
  if (!Ok(cursor)) return;
  DiskFindEntry(cursor);
  if (!Ok(cursor) || cursor.Eof) return;
  DeleteInCurrentFolder(cursor);
}

void DiskWrite(logdisk& cursor, const void* buffer, int32_t count, bool preallocate, int32_t blockSize) {
  if (!Ok(cursor) || count <= 0) return;
  diskfile& d = *cursor.Disk;
  blockSize = std::max(blockSize, 1);
  const auto* p = static_cast<const char*>(buffer);
  int32_t remaining = count;
  auto put = [&]() {
    int32_t n = std::min(remaining, cursor.BlockSize - cursor.Offset);
    if (n <= 0) return;
    if (!WriteAt(d, int64_t(cursor.Position) + DiskBlockHeaderSize + cursor.Offset, p, n)) return;
    cursor.Offset += n;
    cursor.RecordOffset += n;
    p += n;
    remaining -= n;
  };
  put();
  // Every pass writes a byte or steps over a block of the file; a chain that
  // damage made circular cannot keep it going.
  int64_t passes = int64_t(count) + 2 * MaxChainSteps(d) + 16;
  while (remaining > 0 && Ok(cursor)) {
    if (--passes < 0) {
      DiskError(cursor, dioWriteError);
      return;
    }
    if (cursor.BlockNext != DiskNoBlock) {
      if (!NextBlock(cursor)) return;
      put();
      continue;
    }
    DiskFindFree(d, blockSize);
    if (!Ok(cursor)) return;
    TDiskExtent cand = d.Candidate;
    int64_t blockEnd = int64_t(cursor.Position) + DiskBlockHeaderSize + cursor.BlockSize;
    if (cand.Position == blockEnd) {
      int32_t z = std::min(preallocate ? blockSize : remaining, cand.Size);
      if (blockEnd + z > d.FileSize && !ExtendTo(d, blockEnd + z)) return;
      cursor.BlockSize += z;
      if (!WriteHeader(d, cursor.Position, cursor.BlockSize, cursor.BlockNext)) return;
      DiskTakeExtent(d, cand.Position, z);
      cursor.Capacity += z;
    } else {
      int32_t size = std::min(preallocate ? blockSize : remaining, cand.Size - DiskBlockHeaderSize);
      size = std::max(size, 0);
      cursor.BlockNext = cand.Position;
      if (!WriteHeader(d, cursor.Position, cursor.BlockSize, cursor.BlockNext)) return;
      int64_t end = int64_t(cand.Position) + DiskBlockHeaderSize + size;
      if (end > d.FileSize && !ExtendTo(d, end)) return;
      cursor.Position = cand.Position;
      cursor.BlockSize = size;
      cursor.BlockNext = DiskNoBlock;
      cursor.Offset = 0;
      if (!WriteHeader(d, cursor.Position, size, DiskNoBlock)) return;
      DiskTakeExtent(d, cand.Position, size + DiskBlockHeaderSize);
      cursor.Capacity += size;
    }
    put();
  }
}

void DiskRead(logdisk& cursor, void* buffer, int32_t count) {
  if (!Ok(cursor) || count <= 0) return;
  auto* p = static_cast<char*>(buffer);
  int32_t remaining = count;
  for (;;) {
    int32_t n = std::min(remaining, cursor.BlockSize - cursor.Offset);
    if (n > 0) {
      if (!ReadAt(*cursor.Disk, int64_t(cursor.Position) + DiskBlockHeaderSize + cursor.Offset, p, n)) return;
      cursor.Offset += n;
      cursor.RecordOffset += n;
      p += n;
      remaining -= n;
    }
    if (remaining <= 0) return;
    if (cursor.BlockNext == DiskNoBlock) {
      cursor.Eof = true;
      return;
    }
    if (!NextBlock(cursor)) return;
  }
}

void DiskSeek(logdisk& cursor, int32_t recordOffset) {
  if (!Ok(cursor)) return;
  cursor.Eof = false;
  cursor.Position = cursor.First;
  if (!ReadHeader(*cursor.Disk, cursor.Position, cursor.BlockSize, cursor.BlockNext)) return;
  cursor.Offset = 0;
  cursor.RecordOffset = 0;
  Advance(cursor, std::max(recordOffset, 0));
}

void DiskWriteInt32(logdisk& cursor, int32_t value) {
  unsigned char b[4];
  PutLE32(b, value);
  DiskWrite(cursor, b, 4, true, 512);
}

int32_t DiskReadInt32(logdisk& cursor) {
  unsigned char b[4] = {};
  DiskRead(cursor, b, 4);
  return GetLE32(b);
}

void DiskWriteStr(logdisk& cursor, const std::string& s) {
  if (s.size() > static_cast<size_t>(INT32_MAX - 4)) {
    DiskError(cursor, dioWriteError);
    return;
  }
  std::string buf(4 + s.size(), '\0');
  PutLE32(reinterpret_cast<unsigned char*>(buf.data()), static_cast<int32_t>(s.size()));
  std::memcpy(buf.data() + 4, s.data(), s.size());
  DiskWrite(cursor, buf.data(), static_cast<int32_t>(buf.size()), true, 512);
}

void DiskReadStr(logdisk& cursor, bool skip, std::string& s) {
  s.clear();
  if (!Ok(cursor)) return;
  int32_t n = DiskReadInt32(cursor);
  if (!Ok(cursor) || cursor.Eof) return;
  if (n < 0) {  // damaged: nothing sensible follows
    cursor.Eof = true;
    return;
  }
  // A length beyond the record is a truncated string: what is there is read
  // and the end flag is set.
  bool truncated = n > Remaining(cursor);
  int32_t take = truncated ? Remaining(cursor) : n;
  if (skip) {
    Advance(cursor, take);
  } else {
    s.resize(static_cast<size_t>(take));
    DiskRead(cursor, s.data(), take);
    if (!Ok(cursor)) {
      s.clear();
      return;
    }
    size_t zero = s.find('\0');
    if (zero != std::string::npos) s.resize(zero);
  }
  if (truncated) cursor.Eof = true;
}

void DiskWriteStrings(logdisk& cursor, const std::vector<std::string>& strings) {
  if (strings.size() > static_cast<size_t>(INT32_MAX)) {
    DiskError(cursor, dioWriteError);
    return;
  }
  DiskWriteInt32(cursor, static_cast<int32_t>(strings.size()));
  for (const std::string& s : strings) {
    if (!Ok(cursor)) return;
    DiskWriteStr(cursor, s);
  }
}

std::vector<std::string> DiskReadStrings(logdisk& cursor, bool skip) {
  std::vector<std::string> list;
  if (!Ok(cursor)) return list;
  int32_t n = DiskReadInt32(cursor);
  if (!Ok(cursor) || cursor.Eof) return list;
  if (n < 0) {
    cursor.Eof = true;
    return list;
  }
  // Every string takes at least its 4-byte length, which bounds the loop by
  // what the record holds whatever the count says.
  for (int32_t i = 0; i < n && Ok(cursor) && !cursor.Eof; ++i) {
    std::string s;
    DiskReadStr(cursor, skip, s);
    if (!skip && Ok(cursor) && !cursor.Eof) list.push_back(std::move(s));
  }
  return list;
}

bool DiskEof(const logdisk& cursor) { return cursor.Eof; }
