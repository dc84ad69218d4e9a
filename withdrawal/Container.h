#pragma once
// A small file system inside one file: named folders holding named, typed
// entries whose data are records kept in chains of blocks, with a table of
// free extents that is reused before the file grows.
//
// File layout (little-endian Int32 throughout, positions are byte offsets):
//   block      {Int32 size, Int32 next (-1 = end)} then size data bytes
//   record     the data bytes of a chain of blocks, in chain order
//   folder     {Int32 parent, Int32 self, Int32 count} then count 24-byte slots
//   slot       {len, 9 name bytes, len, 9 type bytes, Int32 first block}
// The root folder's first block is at 0; its first slot "info"/"info" holds
// the free table {Int32 n; n x {Int32 position, Int32 size}}.
//
// Every file step stores its result in the diskfile's IoResult; once it is
// non-zero the operations on that file do nothing until the next open or
// create. Damaged files (chains outside the file or looping, oversized
// counts, truncated strings) set IoResult or the cursor's end flag; every
// chain walk is bounded by the file size.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FileHandle.h"

// Result codes stored in diskfile::IoResult.
enum : int32_t {
  dioOk = 0,
  dioFileNotFound = 2,
  dioPathNotFound = 3,
  dioAccessDenied = 5,
  dioInvalidAccess = 12,  // open mode outside the accepted codes
  dioReadError = 100,     // short read, or a block that lies outside the file or loops
  dioWriteError = 101,    // short write, or the file would outgrow 32-bit positions
  dioNotOpen = 103,
};

// The file-open mode: access code (0 read-only, 1 write-only, 2 read/write)
// plus share code (0x10 exclusive, 0x20 deny write, 0x30 deny read, 0x40 deny none).
constexpr int32_t DiskModeReadWriteShared = 0x42;

constexpr int32_t DiskNameLength = 9;
constexpr int32_t DiskSlotSize = 24;
constexpr int32_t DiskFolderHeaderSize = 12;
constexpr int32_t DiskBlockHeaderSize = 8;
constexpr int32_t DiskNoBlock = -1;
constexpr int32_t DiskEndOfFileExtent = 10000;  // nominal size of the space past the end

struct TDiskExtent {
  int32_t Position = 0;
  int32_t Size = 0;
  bool operator==(const TDiskExtent&) const = default;
};

// One directory slot as stored.
struct TDiskSlot {
  std::string Name;
  std::string Type;
  int32_t First = 0;
};

// What a folder record holds, kept so that finding or choosing a slot does
// not read the whole folder again: its chain, its header and its slots.
struct TDiskFolderIndex {
  std::vector<TDiskExtent> Blocks;  // position and data size of each block, in chain order
  std::vector<int64_t> Starts;      // record offset of each block's data
  int64_t Capacity = 0;
  int32_t Parent = 0;
  int32_t Self = 0;
  int32_t Count = 0;
  std::vector<TDiskSlot> Slots;                              // as many as the count and the record hold
  std::unordered_map<std::string, std::set<int32_t>> ByKey;  // name and type -> slot indexes
  std::set<int32_t> Free;                                    // indexes of the slots of type "free"
  bool Checked = false;                                      // compared with the file since it was opened
};

// The file as the last close left it; an open that finds it otherwise
// forgets the folder indexes.
struct TDiskFileStamp {
  bool Valid = false;
  std::string FileName;
  int64_t Device = 0, Inode = 0, Size = 0;
  int64_t ModifiedSec = 0, ModifiedNsec = 0, ChangedSec = 0, ChangedNsec = 0;
  bool operator==(const TDiskFileStamp&) const = default;
};

// One open container. Its folder indexes outlive a close, so keeping the
// object between opens of the same file makes adding an entry cost the same
// however many entries the folder holds.
struct diskfile {
  std::string FileName;
  TFileHandle File;
  int32_t IoResult = dioOk;                    // the first failure since the last open or create
  int32_t FileMode = DiskModeReadWriteShared;  // the last open or create used it
  int64_t FileSize = 0;                        // kept in step with every write
  TDiskExtent Candidate;                       // found by the last free-space search
  std::vector<TDiskExtent> FreeTable;          // count = size(), capacity = capacity()
  bool FreeLoaded = false;
  bool FreeModified = false;
  int32_t CurrentFolder = 0;  // first block of the current folder (0 = root)
  // Pages of the file read while it is open (written through), so that the
  // many small reads of a folder scan or a record cost few system calls.
  std::unordered_map<int64_t, std::string> Pages;
  int64_t PageBytes = 0;
  // Folder indexes by the folder's first block, and the blocks they cover
  // (position -> {end, folder}). A write into such a block from anywhere but
  // the folder's own slot writes forgets that folder's index.
  std::unordered_map<int32_t, TDiskFolderIndex> Folders;
  std::map<int32_t, std::pair<int64_t, int32_t>> FolderBlocks;
  int32_t WritingFolder = -1;
  TDiskFileStamp Stamp;
};

// A cursor on one entry; several may share one diskfile.
struct logdisk {
  diskfile* Disk = nullptr;
  // The current block's header.
  int32_t BlockSize = 0;
  int32_t BlockNext = DiskNoBlock;
  // The current folder's header.
  int32_t FolderParent = 0;
  int32_t FolderSelf = 0;
  int32_t FolderCount = 0;
  std::string FolderName;
  // ":" followed by a folder name, repeated per level; "" or ":" is the root.
  std::string Path;
  std::string Name;
  std::string Type;
  int32_t First = 0;
  int32_t Position = 0;      // position of the current block
  int32_t Offset = 0;        // within the current block's data
  int32_t RecordOffset = 0;  // within the whole record
  int32_t Capacity = 0;      // of the entry's record
  bool Eof = false;
  int32_t LastSlot = -1;  // the directory slot the last entry write used
};

// Binding and opening.
void DiskAssign(diskfile& disk, const std::string& fileName);
void DiskOpenEntry(diskfile& disk, logdisk& cursor, const std::string& path, const std::string& name,
                   const std::string& type);
void DiskInit(diskfile& disk, const std::string& fileName, logdisk& cursor, const std::string& path,
              const std::string& name, const std::string& type);
// Sets the disk's open mode from access 0..2 and share 0..3. Any other value
// leaves the mode unchanged and returns false (the open then reports an
// invalid access code).
bool DiskSetFileMode(diskfile& disk, int32_t access, int32_t share);
void DiskCreate(diskfile& disk, int32_t access, int32_t share);
void DiskOpen(diskfile& disk, int32_t access, int32_t share);
void DiskClose(diskfile& disk);

// Folders and entries.
void DiskFindEntry(logdisk& cursor);
void DiskFindFolder(logdisk& cursor);
void DiskOpenData(logdisk& cursor);
void DiskOpenNamed(logdisk& cursor);
void DiskAddEntry(logdisk& cursor, const std::string& typeSuffix);
void DiskBeginWrite(logdisk& cursor, int32_t blockSize);
void DiskDeleteEntry(logdisk& cursor);

// The slots of the diskfile's current folder, in order, as many as its count
// and its record hold.
std::vector<TDiskSlot> DiskReadFolder(logdisk& cursor);
// Opens the entry a slot read by DiskReadFolder names, without searching the
// folder again: name, type and first block from the slot, capacity from its chain.
void DiskOpenSlot(logdisk& cursor, const TDiskSlot& slot);

// Data of the cursor's entry.
void DiskWrite(logdisk& cursor, const void* buffer, int32_t count, bool preallocate = true, int32_t blockSize = 512);
void DiskRead(logdisk& cursor, void* buffer, int32_t count);
void DiskSeek(logdisk& cursor, int32_t recordOffset);
void DiskWriteInt32(logdisk& cursor, int32_t value);
int32_t DiskReadInt32(logdisk& cursor);
void DiskWriteStr(logdisk& cursor, const std::string& s);
void DiskReadStr(logdisk& cursor, bool skip, std::string& s);
void DiskWriteStrings(logdisk& cursor, const std::vector<std::string>& strings);
std::vector<std::string> DiskReadStrings(logdisk& cursor, bool skip);
bool DiskEof(const logdisk& cursor);

// The free-space routines, exposed for tests.
void DiskLoadFreeTable(diskfile& disk);
void DiskFindFree(diskfile& disk, int32_t size);
void DiskTakeExtent(diskfile& disk, int32_t position, int32_t size);
void DiskReleaseExtent(diskfile& disk, int32_t position, int32_t size);
