#include "withdrawal/Container.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <functional>
#include <thread>

#include "support/WithdrawalTestSupport.h"
#include "platform/FileHandle.h"
#include "withdrawal/Funct.h"

namespace {

std::string Slot(const std::string& name, const std::string& type, int32_t first) {
  std::string s(24, '\0');
  s[0] = static_cast<char>(name.size());
  s.replace(1, name.size(), name);
  s[10] = static_cast<char>(type.size());
  s.replace(11, type.size(), type);
  PutInt32At(s, 20, first);
  return s;
}

class ContainerTest : public ::testing::Test {
protected:
  void SetUp() override { file = temp.File("Test.dat"); }
  void TearDown() override {
    if (disk.File.IsOpen()) DiskClose(disk);
  }

  void Create() {
    DiskAssign(disk, file);
    DiskCreate(disk, 2, 3);
    ASSERT_EQ(disk.IoResult, 0);
  }
  void Open() {
    DiskAssign(disk, file);
    DiskOpen(disk, 2, 3);
    ASSERT_EQ(disk.IoResult, 0);
  }
  void Close() { DiskClose(disk); }

  void Write(const std::string& path, const std::string& name, const std::string& type, const std::string& data) {
    logdisk c;
    DiskOpenEntry(disk, c, path, name, type);
    DiskBeginWrite(c, 512);
    DiskWrite(c, data.data(), static_cast<int32_t>(data.size()), true, 512);
  }
  // The record's content up to count bytes; eof tells whether the chain ended first.
  std::string Read(const std::string& path, const std::string& name, const std::string& type, int32_t count,
                   bool* eof = nullptr) {
    logdisk c;
    DiskOpenEntry(disk, c, path, name, type);
    DiskOpenNamed(c);
    if (eof) *eof = DiskEof(c);
    if (DiskEof(c) || disk.IoResult != 0) return {};
    std::string s(static_cast<size_t>(count), '\0');
    DiskRead(c, s.data(), count);
    if (eof) *eof = DiskEof(c);
    return s;
  }
  void AddFolder(const std::string& path, const std::string& name) {
    logdisk c;
    DiskOpenEntry(disk, c, path, name, "");
    DiskAddEntry(c, "");
  }
  std::vector<TDiskSlot> Slots(const std::string& path) {
    logdisk c;
    DiskOpenEntry(disk, c, path, "", "");
    DiskFindEntry(c);
    if (DiskEof(c)) return {};
    return DiskReadFolder(c);
  }
  // The free table as the file holds it.
  std::vector<TDiskExtent> SavedFreeTable() {
    diskfile d;
    DiskAssign(d, file);
    DiskOpen(d, 2, 3);
    DiskLoadFreeTable(d);
    auto t = d.FreeTable;
    EXPECT_EQ(d.IoResult, 0);
    DiskClose(d);
    return t;
  }

  TTempFolder temp;
  std::string file;
  diskfile disk;
};

const std::string kFresh =
    LE32(36) + LE32(-1) + LE32(0) + LE32(0) + LE32(1) + Slot("info", "info", 44) + LE32(4) + LE32(-1) + LE32(0);

TEST_F(ContainerTest, CreateFormatsExactly56Bytes) {
  Create();
  Close();
  EXPECT_EQ(ReadFileBytes(file), kFresh);
  EXPECT_EQ(kFresh.size(), 56u);
}

TEST_F(ContainerTest, CreateTruncatesAnExistingFile) {
  WriteFileBytes(file, std::string(5000, 'x'));
  Create();
  Close();
  EXPECT_EQ(ReadFileBytes(file), kFresh);
}

TEST_F(ContainerTest, FirstEntryInFreshRootChainsTheRootAndGrowsInPlace) {
  Create();
  Write(":", "Version", "dat", LE32(1));
  EXPECT_EQ(disk.IoResult, 0);
  Close();
  std::string b = ReadFileBytes(file);
  ASSERT_EQ(b.size(), 1096u);
  // Root block: size 36, now chained to 56; count 2.
  EXPECT_EQ(Int32At(b, 0), 36);
  EXPECT_EQ(Int32At(b, 4), 56);
  EXPECT_EQ(Int32At(b, 16), 2);
  // The chained block at 56 holds the second slot.
  EXPECT_EQ(Int32At(b, 56), 512);
  EXPECT_EQ(Int32At(b, 60), -1);
  EXPECT_EQ(b.substr(64, 24), Slot("Version", "dat", 576));
  EXPECT_EQ(b.substr(88, 576 - 88), std::string(576 - 88, ' '));
  // The entry: a block at 576 grown in place to 512, the data first.
  EXPECT_EQ(Int32At(b, 576), 512);
  EXPECT_EQ(Int32At(b, 580), -1);
  EXPECT_EQ(Int32At(b, 584), 1);
  EXPECT_EQ(b.substr(588), std::string(1096 - 588, ' '));
  // The free table stays empty.
  EXPECT_EQ(b.substr(44, 12), LE32(4) + LE32(-1) + LE32(0));
}

TEST_F(ContainerTest, DataReadsBackAcrossChainedBlocks) {
  Create();
  std::string data;
  for (int i = 0; i < 3000; ++i) data += static_cast<char>('a' + i % 26);
  Write(":", "Big", "dat", data);
  Close();
  Open();
  bool eof = true;
  EXPECT_EQ(Read(":", "Big", "dat", 3000, &eof), data);
  EXPECT_FALSE(eof);
  logdisk c;
  DiskOpenEntry(disk, c, ":", "Big", "dat");
  DiskOpenNamed(c);
  EXPECT_EQ(c.Capacity, 3072);  // six steps of 512
  DiskSeek(c, 2990);
  char tail[10];
  DiskRead(c, tail, 10);
  EXPECT_EQ(std::string(tail, 10), data.substr(2990));
  EXPECT_FALSE(DiskEof(c));
}

TEST_F(ContainerTest, ReadingPastTheChainSetsEofAndLeavesTheRest) {
  Create();
  Write(":", "E", "dat", "abc");
  logdisk c;
  DiskOpenEntry(disk, c, ":", "E", "dat");
  DiskOpenNamed(c);
  ASSERT_EQ(c.Capacity, 512);
  std::string buf(600, '#');
  DiskRead(c, buf.data(), 600);
  EXPECT_TRUE(DiskEof(c));
  EXPECT_EQ(buf.substr(0, 3), "abc");
  EXPECT_EQ(buf.substr(512), std::string(88, '#'));
  EXPECT_EQ(disk.IoResult, 0);

  DiskSeek(c, 10000);
  EXPECT_TRUE(DiskEof(c));
  EXPECT_EQ(c.Offset, 512);
}

TEST_F(ContainerTest, RewritingReusesTheSlotAndTheFreedChain) {
  Create();
  Write(":", "A", "dat", "first");
  Write(":", "B", "dat", "other");
  Close();
  ASSERT_EQ(ReadFileBytes(file).size(), 1616u);
  Open();
  Write(":", "A", "dat", "again");
  // The old chain (576, 520) was freed and taken again whole.
  EXPECT_EQ(disk.FileSize, 1616);
  EXPECT_TRUE(disk.FreeTable.empty());  // taken whole, the entry is gone at once
  auto slots = Slots(":");
  ASSERT_EQ(slots.size(), 3u);
  EXPECT_EQ(slots[1].Name, "A");
  EXPECT_EQ(slots[1].Type, "dat");
  EXPECT_EQ(slots[1].First, 576);
  EXPECT_EQ(Read(":", "A", "dat", 5), "again");
  EXPECT_EQ(Read(":", "B", "dat", 5), "other");
  Close();
  // The emptied extent is not saved.
  EXPECT_TRUE(SavedFreeTable().empty());
}

TEST_F(ContainerTest, DeletedSlotIsMarkedFreeAndTakenByTheNextEntry) {
  Create();
  AddFolder(":", "Inbox");
  ASSERT_EQ(disk.IoResult, 0);
  Write(":Inbox", "One", "msg", "1111");
  logdisk c;
  DiskOpenEntry(disk, c, ":Inbox", "One", "msg");
  DiskDeleteEntry(c);
  EXPECT_EQ(disk.IoResult, 0);
  auto slots = Slots(":Inbox");
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].Name, "One");
  EXPECT_EQ(slots[0].Type, "free");
  bool eof = false;
  Read(":Inbox", "One", "msg", 4, &eof);
  EXPECT_TRUE(eof);

  Write(":Inbox", "Two", "msg", "2222");
  slots = Slots(":Inbox");
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].Name, "Two");
  EXPECT_EQ(slots[0].Type, "msg");
  EXPECT_EQ(Read(":Inbox", "Two", "msg", 4), "2222");
}

TEST_F(ContainerTest, SlotChoicePrefersSameEntryThenSameNameFreeThenAnyFree) {
  Create();
  for (const char* n : {"a", "b", "c", "d"}) Write(":", n, "t", n);
  logdisk c;
  DiskOpenEntry(disk, c, ":", "b", "t");
  DiskDeleteEntry(c);
  DiskOpenEntry(disk, c, ":", "d", "t");
  DiskDeleteEntry(c);
  // "b" was freed: a new "b" takes its own slot although "d" is the last free one.
  Write(":", "b", "t", "B");
  auto slots = Slots(":");
  ASSERT_EQ(slots.size(), 5u);
  EXPECT_EQ(slots[2].Name, "b");
  EXPECT_EQ(slots[2].Type, "t");
  EXPECT_EQ(slots[4].Type, "free");
  // Another name takes the last free slot.
  Write(":", "e", "t", "E");
  slots = Slots(":");
  ASSERT_EQ(slots.size(), 5u);
  EXPECT_EQ(slots[4].Name, "e");
  // No free slot left: the folder grows.
  Write(":", "f", "t", "F");
  EXPECT_EQ(Slots(":").size(), 6u);
}

TEST_F(ContainerTest, DeletingAnAbsentEntryChangesNothing) {
  Create();
  Write(":", "A", "dat", "x");
  Close();
  std::string before = ReadFileBytes(file);
  Open();
  logdisk c;
  DiskOpenEntry(disk, c, ":", "Nothing", "dat");
  DiskDeleteEntry(c);
  EXPECT_TRUE(DiskEof(c));
  EXPECT_EQ(disk.IoResult, 0);
  DiskOpenEntry(disk, c, ":Missing", "A", "dat");
  DiskDeleteEntry(c);
  EXPECT_TRUE(DiskEof(c));
  Close();
  EXPECT_EQ(ReadFileBytes(file), before);
}

TEST_F(ContainerTest, DeletingBetweenTwoFreeExtentsMergesAllThree) {
  Create();
  Write(":", "A", "dat", "a");  // 576..1096
  Write(":", "B", "dat", "b");  // 1096..1616
  Write(":", "C", "dat", "c");  // 1616..2136
  Close();
  ASSERT_EQ(ReadFileBytes(file).size(), 2136u);
  Open();
  for (const char* n : {"A", "C", "B"}) {
    logdisk c;
    DiskOpenEntry(disk, c, ":", n, "dat");
    DiskDeleteEntry(c);
  }
  EXPECT_EQ(disk.IoResult, 0);
  EXPECT_EQ(disk.FreeTable, (std::vector<TDiskExtent>{{576, 1560}}));
  Close();
  // Saving needs room for the table: its record chains into the free space,
  // and the emptied entry is gone.
  auto table = SavedFreeTable();
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0], (TDiskExtent{1096, 1040}));
}

TEST_F(ContainerTest, DeletedMultiBlockRecordIsReusedWhole) {
  Create();
  Write(":", "Keep", "dat", "k");
  Write(":", "Big", "dat", std::string(1500, 'b'));
  Write(":", "Tail", "dat", "t");
  logdisk c;
  DiskOpenEntry(disk, c, ":", "Big", "dat");
  DiskOpenNamed(c);
  int32_t first = c.First;
  DiskDeleteEntry(c);
  // Grown in place to one block of three steps; all of it goes back.
  EXPECT_EQ(disk.FreeTable, (std::vector<TDiskExtent>{{first, 1536 + 8}}));
  int64_t size = disk.FileSize;
  Write(":", "Big2", "dat", std::string(1500, 'c'));
  EXPECT_EQ(disk.FileSize, size);
  Close();
  Open();
  EXPECT_EQ(Read(":", "Big2", "dat", 1500), std::string(1500, 'c'));
  EXPECT_EQ(Read(":", "Tail", "dat", 1), "t");
}

TEST_F(ContainerTest, FragmentedRecordGoesBackWhole) {
  Create();
  // Interleave two records so that each is a chain of several blocks.
  logdisk a, b;
  DiskOpenEntry(disk, a, ":", "A", "dat");
  DiskBeginWrite(a, 512);
  DiskOpenEntry(disk, b, ":", "B", "dat");
  DiskBeginWrite(b, 512);
  for (int i = 0; i < 3; ++i) {
    std::string x(512, char('0' + i)), y(512, char('a' + i));
    DiskWrite(a, x.data(), 512, true, 512);
    DiskWrite(b, y.data(), 512, true, 512);
  }
  ASSERT_EQ(disk.IoResult, 0);
  EXPECT_EQ(Read(":", "A", "dat", 1536), std::string(512, '0') + std::string(512, '1') + std::string(512, '2'));
  logdisk c;
  DiskOpenEntry(disk, c, ":", "A", "dat");
  DiskOpenNamed(c);
  int32_t firstA = c.First;
  DiskDeleteEntry(c);
  int64_t freeBytes = 0;
  for (const auto& e : disk.FreeTable) freeBytes += e.Size;
  // B's first block came right after A's, so A's empty first block chains
  // to three full blocks: all four go back, headers included.
  EXPECT_EQ(freeBytes, 8 + 3 * (512 + 8));
  EXPECT_EQ(disk.FreeTable.front().Position, firstA);
  int64_t size = disk.FileSize;
  Write(":", "A2", "dat", std::string(1536, 'z'));
  EXPECT_EQ(disk.FileSize, size);
  Close();
  Open();
  EXPECT_EQ(Read(":", "A2", "dat", 1536), std::string(1536, 'z'));
  EXPECT_EQ(Read(":", "B", "dat", 1536), std::string(512, 'a') + std::string(512, 'b') + std::string(512, 'c'));
}

TEST_F(ContainerTest, FailedWriteStillSavesTheExtentsItTook) {
  Create();
  Write(":", "Old", "dat", std::string(3000, 'o'));
  Write(":", "Keep", "dat", "k");
  logdisk old;
  DiskOpenEntry(disk, old, ":", "Old", "dat");
  DiskDeleteEntry(old);
  Close();
  Open();
  // The file may not grow: the new record takes the freed space, then fails.
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = saved;
  limit.rlim_cur = static_cast<rlim_t>(disk.FileSize);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  logdisk c;
  DiskOpenEntry(disk, c, ":", "New", "dat");
  DiskBeginWrite(c, 512);
  std::string data(8000, 'n');
  DiskWrite(c, data.data(), static_cast<int32_t>(data.size()), true, 512);
  int32_t first = c.First;
  EXPECT_NE(disk.IoResult, 0);
  Close();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  disk.IoResult = 0;
  // No extent the file lists as free may hold the new record's first block.
  for (const TDiskExtent& e : SavedFreeTable())
    EXPECT_FALSE(first >= e.Position && first < e.Position + e.Size) << e.Position << " " << e.Size;
  Open();
  Write(":", "Next", "dat", std::string(600, 'x'));
  EXPECT_EQ(Read(":", "Keep", "dat", 1), "k");
  EXPECT_EQ(Read(":", "Next", "dat", 600), std::string(600, 'x'));
}

TEST_F(ContainerTest, ReadingLeavesTheFileAsItWas) {
  Create();
  Write(":", "A", "dat", "abc");
  logdisk c;
  DiskOpenEntry(disk, c, ":", "A", "dat");
  DiskDeleteEntry(c);
  Write(":", "B", "dat", "def");
  Close();
  const std::string before = ReadFileBytes(file);
  for (int32_t access : {0, 2}) {
    DiskAssign(disk, file);
    DiskOpen(disk, access, 3);
    ASSERT_EQ(disk.IoResult, 0);
    EXPECT_EQ(Read(":", "B", "dat", 3), "def");
    Slots(":");
    Close();
    EXPECT_EQ(disk.IoResult, 0);
    EXPECT_EQ(ReadFileBytes(file), before);
  }
}

TEST_F(ContainerTest, NamesAndTypesAreCutToNineCharacters) {
  Create();
  Write(":", "ABCDEFGHIJKL", "TYPELONGER", "data");
  auto slots = Slots(":");
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[1].Name, "ABCDEFGHI");
  EXPECT_EQ(slots[1].Type, "TYPELONGE");
  EXPECT_EQ(Read(":", "ABCDEFGHI", "TYPELONGE", 4), "data");
  EXPECT_EQ(Read(":", "ABCDEFGHIXYZ", "TYPELONGEQ", 4), "data");
  bool eof = false;
  Read(":", "abcdefghi", "TYPELONGE", 4, &eof);  // case matters
  EXPECT_TRUE(eof);
}

TEST_F(ContainerTest, RootPathEmptyOrColon) {
  Create();
  Write("", "R", "dat", "root");
  EXPECT_EQ(Read(":", "R", "dat", 4), "root");
  Write(":", "S", "dat", "also");
  EXPECT_EQ(Read("", "S", "dat", 4), "also");
}

TEST_F(ContainerTest, NestedFoldersAndMissingFolder) {
  Create();
  AddFolder(":", "Outer");
  AddFolder(":Outer", "Inner");
  Write(":Outer:Inner", "Deep", "dat", "deep");
  Write(":Outer", "Mid", "dat", "mid");
  Close();
  Open();
  EXPECT_EQ(Read(":Outer:Inner", "Deep", "dat", 4), "deep");
  EXPECT_EQ(Read(":Outer", "Mid", "dat", 3), "mid");
  bool eof = false;
  Read(":Outer", "Deep", "dat", 4, &eof);
  EXPECT_TRUE(eof);
  Read(":Nowhere", "Mid", "dat", 3, &eof);
  EXPECT_TRUE(eof);
  // Writing into a missing folder does nothing.
  logdisk c;
  DiskOpenEntry(disk, c, ":Nowhere", "X", "dat");
  DiskBeginWrite(c, 512);
  EXPECT_TRUE(DiskEof(c));
  EXPECT_EQ(disk.IoResult, 0);
  auto root = Slots(":");
  ASSERT_EQ(root.size(), 2u);
  EXPECT_EQ(root[1].Type, "dir");
  auto outer = Slots(":Outer");
  ASSERT_EQ(outer.size(), 2u);
  EXPECT_EQ(outer[0].Name, "Inner");
  EXPECT_EQ(outer[1].Name, "Mid");
  // A folder header names its parent and itself.
  logdisk f;
  DiskOpenEntry(disk, f, ":Outer:Inner", "", "");
  DiskFindEntry(f);
  EXPECT_EQ(f.FolderSelf, outer[0].First);
  EXPECT_EQ(f.FolderParent, root[1].First);
  EXPECT_EQ(f.FolderCount, 1);
  EXPECT_EQ(f.FolderName, "Inner");
}

TEST_F(ContainerTest, AddedFolderHeaderAndTypeSuffix) {
  Create();
  logdisk c;
  DiskOpenEntry(disk, c, ":", "Box", "");
  DiskAddEntry(c, "123456789");
  EXPECT_EQ(disk.IoResult, 0);
  EXPECT_EQ(c.Type, "dir12345");
  Close();
  // The folder's first block is taken before the root grows, so the root's
  // second block follows it and the folder record chains on past that.
  std::string b = ReadFileBytes(file);
  ASSERT_EQ(b.size(), 1104u);
  EXPECT_EQ(b.substr(56, 8), LE32(0) + LE32(584));
  EXPECT_EQ(Int32At(b, 4), 64);
  EXPECT_EQ(b.substr(72, 24), Slot("Box", "dir12345", 56));
  EXPECT_EQ(b.substr(584, 20), LE32(512) + LE32(-1) + LE32(0) + LE32(56) + LE32(0));
}

TEST_F(ContainerTest, StringsAndListsWithSkip) {
  Create();
  logdisk c;
  DiskOpenEntry(disk, c, ":", "S", "dat");
  DiskBeginWrite(c, 512);
  std::string longText(700, 'L');
  DiskWriteStr(c, std::string("ab\0cd", 5));
  DiskWriteStrings(c, {"one", "", longText});
  DiskWriteStr(c, "tail");
  DiskWriteStrings(c, {"x", "y"});
  ASSERT_EQ(disk.IoResult, 0);
  Close();
  Open();
  for (bool skip : {false, true}) {
    SCOPED_TRACE(skip);
    DiskOpenEntry(disk, c, ":", "S", "dat");
    DiskOpenNamed(c);
    std::string s;
    DiskReadStr(c, skip, s);
    EXPECT_EQ(s, skip ? "" : "ab");
    auto list = DiskReadStrings(c, skip);
    if (skip)
      EXPECT_TRUE(list.empty());
    else
      EXPECT_EQ(list, (std::vector<std::string>{"one", "", longText}));
    DiskReadStr(c, false, s);
    EXPECT_EQ(s, "tail");
    EXPECT_EQ(DiskReadStrings(c, false), (std::vector<std::string>{"x", "y"}));
    EXPECT_FALSE(DiskEof(c));
  }
}

TEST_F(ContainerTest, ReleaseMergesExtents) {
  struct Case {
    const char* what;
    std::vector<TDiskExtent> table;
    TDiskExtent release;
    std::vector<TDiskExtent> expected;
  };
  const Case cases[] = {
      {"both sides merge into the first", {{100, 10}, {120, 10}}, {110, 10}, {{100, 30}}},
      {"only before", {{100, 10}, {200, 10}}, {110, 5}, {{100, 15}, {200, 10}}},
      {"only after", {{100, 10}, {200, 10}}, {190, 10}, {{100, 10}, {190, 20}}},
      {"neither, inserted in order", {{100, 10}, {200, 10}}, {150, 5}, {{100, 10}, {150, 5}, {200, 10}}},
      {"neither, at the end", {{100, 10}}, {300, 5}, {{100, 10}, {300, 5}}},
      {"into an empty table", {}, {300, 5}, {{300, 5}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    diskfile d;
    d.FreeLoaded = true;
    d.FreeTable = k.table;
    DiskReleaseExtent(d, k.release.Position, k.release.Size);
    EXPECT_EQ(d.FreeTable, k.expected);
    EXPECT_TRUE(d.FreeModified);
  }
}

TEST_F(ContainerTest, FreeSearchTakesTheLastFittingExtent) {
  diskfile d;
  d.FreeLoaded = true;
  d.FileSize = 5000;
  d.FreeTable = {{100, 600}, {800, 100}, {1000, 520}, {2000, 50}};
  DiskFindFree(d, 512);
  EXPECT_EQ(d.Candidate, (TDiskExtent{1000, 520}));
  DiskFindFree(d, 4);  // at least 8
  EXPECT_EQ(d.Candidate, (TDiskExtent{2000, 50}));
  DiskFindFree(d, 700);
  EXPECT_EQ(d.Candidate, (TDiskExtent{5000, 10000}));
  DiskTakeExtent(d, 1000, 520);
  EXPECT_EQ(d.FreeTable, (std::vector<TDiskExtent>{{100, 600}, {800, 100}, {2000, 50}}));  // emptied: gone
  DiskTakeExtent(d, 100, 512);
  EXPECT_EQ(d.FreeTable[0], (TDiskExtent{612, 88}));
}

TEST_F(ContainerTest, InvalidAccessIsAnErrorNotAnExit) {
  EXPECT_FALSE(DiskSetFileMode(disk, 3, 3));
  EXPECT_FALSE(DiskSetFileMode(disk, 2, 4));
  EXPECT_FALSE(DiskSetFileMode(disk, -1, 0));
  EXPECT_TRUE(DiskSetFileMode(disk, 0, 0));
  EXPECT_EQ(disk.FileMode, 0x10);
  EXPECT_TRUE(DiskSetFileMode(disk, 1, 2));
  EXPECT_EQ(disk.FileMode, 0x31);
  EXPECT_TRUE(DiskSetFileMode(disk, 2, 3));
  EXPECT_EQ(disk.FileMode, 0x42);
  DiskAssign(disk, file);
  DiskCreate(disk, 3, 3);
  EXPECT_EQ(disk.IoResult, dioInvalidAccess);
  EXPECT_FALSE(disk.File.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ContainerTest, OpenMissingFileFails) {
  DiskAssign(disk, file);
  DiskOpen(disk, 2, 3);
  EXPECT_EQ(disk.IoResult, dioFileNotFound);
  // Everything after a failure does nothing.
  logdisk c;
  DiskOpenEntry(disk, c, ":", "A", "dat");
  DiskBeginWrite(c, 512);
  DiskClose(disk);
  EXPECT_FALSE(std::filesystem::exists(file));
  // A later open resets the result.
  Create();
  EXPECT_EQ(disk.IoResult, 0);
}

TEST_F(ContainerTest, SharedOpensCoexist) {
  Create();
  diskfile other;
  DiskAssign(other, file);
  DiskOpen(other, 2, 3);
  EXPECT_EQ(other.IoResult, 0);
  DiskClose(other);
}

TEST_F(ContainerTest, OpenRetriesWhileAnExclusiveHolderHasTheFile) {
  Create();
  Close();
  TFileHandle holder;
  ASSERT_TRUE(holder.Open(file, TFileAccess::ReadWrite, TFileShare::DenyReadWrite));
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.Close();
  });
  auto t0 = std::chrono::steady_clock::now();
  DiskAssign(disk, file);
  DiskOpen(disk, 2, 3);
  auto waited = std::chrono::steady_clock::now() - t0;
  release.join();
  EXPECT_EQ(disk.IoResult, 0);
  EXPECT_GE(waited, std::chrono::milliseconds(250));
  EXPECT_TRUE(disk.File.IsOpen());
}

TEST_F(ContainerTest, OpenGivesUpAfterTenSecondsOfAccessDenied) {
  Create();
  Close();
  TFileHandle holder;
  ASSERT_TRUE(holder.Open(file, TFileAccess::ReadWrite, TFileShare::DenyReadWrite));
  auto t0 = std::chrono::steady_clock::now();
  DiskAssign(disk, file);
  DiskOpen(disk, 2, 3);
  auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_EQ(disk.IoResult, dioAccessDenied);
  EXPECT_GE(waited, std::chrono::seconds(9));
  EXPECT_LE(waited, std::chrono::seconds(12));
  // An exclusive open is refused while a shared holder has it.
  holder.Close();
  ASSERT_TRUE(holder.Open(file, TFileAccess::Read, TFileShare::DenyNone));
  TFileHandle exclusive;
  EXPECT_FALSE(exclusive.Open(file, TFileAccess::ReadWrite, TFileShare::DenyWrite));
}

TEST_F(ContainerTest, DelayWaitsAndClockCountsTheDay) {
  auto t0 = std::chrono::steady_clock::now();
  Delay(30);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(29));
  int32_t s = TimeOfDaySeconds();
  int32_t ms = TimeOfDayMs();
  EXPECT_GE(s, 0);
  EXPECT_LT(ms, 86400000);
  EXPECT_LE(std::abs(ms / 1000 - s), 1);
}

// Damaged files: every case ends with an error result or the end flag, never
// a crash or a hang.
TEST_F(ContainerTest, DamagedContainersStopCleanly) {
  Create();
  Write(":", "A", "dat", std::string(1200, 'a'));
  AddFolder(":", "Inbox");
  Write(":Inbox", "M", "msg", "mmmm");
  Close();
  const std::string good = ReadFileBytes(file);
  // Find the positions of interest from the sound file.
  Open();
  auto root = Slots(":");
  ASSERT_EQ(root.size(), 3u);
  int32_t a = root[1].First, inbox = root[2].First;
  Close();

  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  };
  const Case cases[] = {
      {"chain outside the file", [&](std::string& b) { PutInt32At(b, size_t(a) + 4, 1 << 30); }},
      {"chain loops",
       [&](std::string& b) {
         PutInt32At(b, size_t(a), 8);
         PutInt32At(b, size_t(a) + 4, a);
       }},
      {"negative block size", [&](std::string& b) { PutInt32At(b, size_t(a), -5); }},
      {"block larger than the file", [&](std::string& b) { PutInt32At(b, size_t(a), 1 << 29); }},
      {"folder count too large", [&](std::string& b) { PutInt32At(b, size_t(inbox) + 16, 1 << 28); }},
      {"root count negative", [&](std::string& b) { PutInt32At(b, 16, -3); }},
      {"free table count huge", [&](std::string& b) { PutInt32At(b, 52, 0x7fffffff); }},
      {"free table overlapping blocks",
       [&](std::string& b) {
         PutInt32At(b, 44, 20);
         b.replace(52, 20, LE32(2) + LE32(0) + LE32(600) + LE32(a) + LE32(520));
       }},
      {"truncated file", [&](std::string& b) { b.resize(size_t(a) + 100); }},
      {"empty file", [&](std::string& b) { b.clear(); }},
      {"slot length bytes out of range",
       [&](std::string& b) {
         b[64] = char(200);
         b[74] = char(255);
       }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::string bytes = good;
    k.damage(bytes);
    WriteFileBytes(file, bytes);
    disk.IoResult = 0;
    Open();
    bool eof = false;
    std::string s = Read(":", "A", "dat", 1200, &eof);
    int32_t r1 = disk.IoResult;
    disk.IoResult = 0;
    Read(":Inbox", "M", "msg", 4, &eof);
    disk.IoResult = 0;
    Slots(":Inbox");
    disk.IoResult = 0;
    Write(":Inbox", "N", "msg", std::string(2000, 'n'));
    disk.IoResult = 0;
    logdisk c;
    DiskOpenEntry(disk, c, ":", "A", "dat");
    DiskDeleteEntry(c);
    Close();
    (void)r1;
    SUCCEED();
  }
}

TEST_F(ContainerTest, TruncatedStringsSetTheEndFlag) {
  Create();
  logdisk c;
  DiskOpenEntry(disk, c, ":", "S", "dat");
  DiskBeginWrite(c, 512);
  DiskWriteInt32(c, 100000);  // a length beyond the record
  DiskWriteStr(c, "after");
  Close();
  Open();
  for (bool skip : {false, true}) {
    DiskOpenEntry(disk, c, ":", "S", "dat");
    DiskOpenNamed(c);
    std::string s;
    DiskReadStr(c, skip, s);
    EXPECT_TRUE(DiskEof(c));
    EXPECT_LE(s.size(), 512u);
    EXPECT_EQ(disk.IoResult, 0);
  }
  // A list count beyond the record reads what there is and stops.
  DiskOpenEntry(disk, c, ":", "L", "dat");
  DiskBeginWrite(c, 512);
  DiskWriteInt32(c, 0x7fffffff);
  DiskWriteStr(c, "one");
  Close();
  Open();
  DiskOpenEntry(disk, c, ":", "L", "dat");
  DiskOpenNamed(c);
  auto list = DiskReadStrings(c, false);
  EXPECT_TRUE(DiskEof(c));
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list[0], "one");
  EXPECT_LT(list.size(), 200u);
}

}  // namespace

// A folder index kept across operations must give the same file as reading
// the folder afresh for each one, also when a damaged free table hands out
// the block of another folder's record.
TEST_F(ContainerTest, KeptFolderIndexFollowsAFolderBlockOverwrittenThroughADamagedFreeTable) {
  Create();
  AddFolder(":", "Inbox");
  AddFolder(":", "Other");
  for (int i = 0; i < 4; ++i) Write(":Inbox", "E" + std::to_string(i), "dat", std::string(100, 'e'));
  for (int i = 0; i < 3; ++i) Write(":Other", "F" + std::to_string(i), "dat", std::string(100, 'f'));
  ASSERT_EQ(disk.IoResult, 0);
  logdisk folder;
  DiskOpenEntry(disk, folder, ":Other", "", "");
  DiskFindEntry(folder);
  const int32_t other = disk.CurrentFolder;
  ASSERT_GT(other, 0);
  std::string bytes = ReadFileBytes(file);
  ASSERT_EQ(Int32At(bytes, size_t(other) + 4), DiskNoBlock);
  const TDiskExtent otherBlock{other, Int32At(bytes, size_t(other)) + DiskBlockHeaderSize};
  Close();
  ASSERT_EQ(disk.IoResult, 0);
  bytes = ReadFileBytes(file);
  const std::string reference = temp.File("Reference.dat");
  WriteFileBytes(reference, bytes);

  struct Step {
    const char* path;
    const char* entry;
    int size;  // 0 deletes
  };
  const Step steps[] = {{":Other", "F9", 40}, {":Inbox", "X1", 600}, {":Other", "F1", 0},
                        {":Other", "F8", 40}, {":Inbox", "E2", 0},   {":Inbox", "X2", 50}};
  auto run = [&](const std::string& name, bool forgetBetween) {
    diskfile d;
    DiskAssign(d, name);
    DiskOpen(d, 2, 3);
    std::vector<int32_t> results;
    for (const Step& s : steps) {
      // Damage after the first step: the table lists the other folder's record as free.
      if (&s == &steps[1]) d.FreeTable = {otherBlock};
      if (forgetBetween) {
        d.Folders.clear();
        d.FolderBlocks.clear();
      }
      logdisk c;
      DiskOpenEntry(d, c, s.path, s.entry, "dat");
      if (s.size == 0) {
        DiskDeleteEntry(c);
      } else {
        std::string data(size_t(s.size), 'x');
        DiskBeginWrite(c, 512);
        DiskWrite(c, data.data(), s.size, true, 512);
      }
      results.push_back(d.IoResult);
      d.IoResult = dioOk;
    }
    DiskClose(d);
    return std::make_pair(results, ReadFileBytes(name));
  };
  auto kept = run(file, false);
  auto fresh = run(reference, true);
  EXPECT_EQ(kept.first, fresh.first);
  EXPECT_TRUE(kept.second == fresh.second) << "the kept index wrote another file";
}
