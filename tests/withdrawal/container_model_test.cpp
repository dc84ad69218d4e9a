// Random adds, rewrites and deletes over four folders, several per open,
// checked against an in-memory model and against the file's own layout; the
// folder indexes the container keeps between opens are checked against the
// file, also after another writer changed it.

#include "withdrawal/Container.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

#include "support/WithdrawalTestSupport.h"

namespace {

constexpr int kFolders = 4;

std::string FolderPath(int f) { return ":F" + std::to_string(f); }

struct TChain {
  std::vector<TDiskExtent> Blocks;  // header included
  std::string Data;
  bool Sound = true;
};

// Follows a chain in the raw bytes, bounded by the file.
TChain ReadChain(const std::string& file, int32_t first) {
  TChain c;
  int32_t pos = first;
  for (size_t steps = 0; pos != DiskNoBlock; ++steps) {
    if (pos < 0 || size_t(pos) + 8 > file.size() || steps > file.size() / 8) {
      c.Sound = false;
      return c;
    }
    int32_t size = Int32At(file, size_t(pos));
    int32_t next = Int32At(file, size_t(pos) + 4);
    if (size < 0 || size_t(pos) + 8 + size_t(size) > file.size()) {
      c.Sound = false;
      return c;
    }
    c.Blocks.push_back({pos, size + DiskBlockHeaderSize});
    c.Data.append(file, size_t(pos) + 8, size_t(size));
    pos = next;
  }
  return c;
}

struct TRawSlot {
  std::string Name, Type;
  int32_t First;
};

std::vector<TRawSlot> FolderSlots(const std::string& data) {
  std::vector<TRawSlot> slots;
  if (data.size() < 12) return slots;
  int32_t count = Int32At(data, 8);
  for (int32_t i = 0; i < count && 12 + size_t(i + 1) * 24 <= data.size(); ++i) {
    size_t at = 12 + size_t(i) * 24;
    auto text = [&](size_t o) { return data.substr(at + o + 1, std::min<size_t>(uint8_t(data[at + o]), 9)); };
    slots.push_back({text(0), text(10), Int32At(data, at + 20)});
  }
  return slots;
}

// Returns an empty text when the file is consistent, else what is wrong.
std::string CheckLayout(const std::string& file, const std::map<std::pair<int, std::string>, std::string>& model) {
  std::ostringstream err;
  std::vector<TDiskExtent> live;
  std::vector<TDiskExtent> freeTable;
  auto take = [&](const std::string& what, int32_t first) -> TChain {
    TChain c = ReadChain(file, first);
    if (!c.Sound) err << what << ": chain at " << first << " leaves the file\n";
    live.insert(live.end(), c.Blocks.begin(), c.Blocks.end());
    return c;
  };
  TChain root = take("root", 0);
  for (const TRawSlot& s : FolderSlots(root.Data)) {
    if (s.Type == "free") continue;
    TChain c = take(s.Name, s.First);
    if (s.Type == "info") {
      if (c.Data.size() < 4) continue;
      int32_t n = Int32At(c.Data, 0);
      for (int32_t i = 0; i < n && 4 + size_t(i + 1) * 8 <= c.Data.size(); ++i)
        freeTable.push_back({Int32At(c.Data, 4 + size_t(i) * 8), Int32At(c.Data, 8 + size_t(i) * 8)});
    } else if (s.Type.rfind("dir", 0) == 0) {
      int f = s.Name.size() == 2 ? s.Name[1] - '0' : -1;
      std::vector<std::string> names;
      for (const TRawSlot& e : FolderSlots(c.Data)) {
        if (e.Type == "free") continue;
        take(s.Name + "/" + e.Name, e.First);
        names.push_back(e.Name);
      }
      std::vector<std::string> expected;
      for (const auto& [key, data] : model)
        if (key.first == f) expected.push_back(key.second);
      std::sort(names.begin(), names.end());
      if (names != expected) err << "folder " << s.Name << " lists other entries than the model\n";
    }
  }
  auto byPosition = [](const TDiskExtent& a, const TDiskExtent& b) { return a.Position < b.Position; };
  std::sort(live.begin(), live.end(), byPosition);
  for (size_t i = 1; i < live.size(); ++i)
    if (int64_t(live[i - 1].Position) + live[i - 1].Size > live[i].Position)
      err << "blocks at " << live[i - 1].Position << " and " << live[i].Position << " overlap\n";
  for (size_t i = 0; i < freeTable.size(); ++i) {
    const TDiskExtent& e = freeTable[i];
    if (e.Size <= 0) err << "saved free extent {" << e.Position << "," << e.Size << "} is empty\n";
    if (i > 0 && int64_t(freeTable[i - 1].Position) + freeTable[i - 1].Size > e.Position)
      err << "saved free extents at " << freeTable[i - 1].Position << " and " << e.Position << " out of order\n";
    for (const TDiskExtent& b : live)
      if (b.Position < int64_t(e.Position) + e.Size && e.Position < int64_t(b.Position) + b.Size)
        err << "free extent {" << e.Position << "," << e.Size << "} covers the live block at " << b.Position << "\n";
  }
  return err.str();
}

// Every folder index a container kept over its close must say what the file says.
std::string CheckIndexes(const std::string& file, const diskfile& disk) {
  std::ostringstream err;
  for (const auto& [first, ix] : disk.Folders) {
    TChain c = ReadChain(file, first);
    if (!c.Sound) {
      err << "indexed folder at " << first << " has no sound chain\n";
      continue;
    }
    std::vector<TDiskExtent> blocks;
    for (const TDiskExtent& b : ix.Blocks) blocks.push_back({b.Position, b.Size + DiskBlockHeaderSize});
    if (blocks != c.Blocks) err << "folder at " << first << ": other blocks than the file\n";
    if (ix.Capacity != int64_t(c.Data.size())) err << "folder at " << first << ": other capacity\n";
    if (c.Data.size() >= 12 && ix.Count != Int32At(c.Data, 8)) err << "folder at " << first << ": other count\n";
    std::vector<TRawSlot> slots = FolderSlots(c.Data);
    if (slots.size() != ix.Slots.size()) {
      err << "folder at " << first << ": " << ix.Slots.size() << " slots, the file " << slots.size() << "\n";
      continue;
    }
    for (size_t i = 0; i < slots.size(); ++i)
      if (slots[i].Name != ix.Slots[i].Name || slots[i].Type != ix.Slots[i].Type || slots[i].First != ix.Slots[i].First)
        err << "folder at " << first << ": slot " << i << " differs\n";
    size_t keyed = 0, free = 0;
    for (const auto& [key, indexes] : ix.ByKey) keyed += indexes.size();
    for (const TRawSlot& slot : slots) free += slot.Type == "free";
    if (keyed != slots.size() || free != ix.Free.size()) err << "folder at " << first << ": look-ups out of step\n";
  }
  return err.str();
}

// The table in memory: ascending, no empty entries, no overlaps.
std::string CheckFreeTable(const std::vector<TDiskExtent>& t) {
  std::ostringstream err;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].Size <= 0) err << "{" << t[i].Position << "," << t[i].Size << "} is empty; ";
    if (i > 0 && int64_t(t[i - 1].Position) + t[i - 1].Size > t[i].Position)
      err << "{" << t[i - 1].Position << "," << t[i - 1].Size << "} and {" << t[i].Position << "," << t[i].Size
          << "} overlap or are out of order; ";
  }
  return err.str();
}

class ContainerModel : public ::testing::TestWithParam<unsigned> {
protected:
  TTempFolder temp;
};

TEST_P(ContainerModel, RandomOperationsKeepEveryRecordAndNoSharedBlocks) {
  const std::string file = temp.File("Model.dat");
  std::mt19937 rng(GetParam());
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::map<std::pair<int, std::string>, std::string> model;
  int nextName = 0;

  diskfile kept;
  diskfile& disk = kept;
  DiskAssign(disk, file);
  DiskCreate(disk, 2, 3);
  for (int f = 0; f < kFolders; ++f) {
    logdisk c;
    DiskOpenEntry(disk, c, ":", "F" + std::to_string(f), "");
    DiskAddEntry(c, "");
  }
  DiskClose(disk);
  ASSERT_EQ(disk.IoResult, 0);

  int operations = 0;
  for (int batch = 0; operations < 500; ++batch) {
    // Now and then another writer changes the file between two opens of
    // the container that keeps its folder indexes.
    const bool outsider = batch % 7 == 6;
    diskfile other;
    diskfile& disk = outsider ? other : kept;
    DiskAssign(disk, file);
    DiskOpen(disk, 2, 3);
    ASSERT_EQ(disk.IoResult, 0);
    std::ostringstream done;
    for (int k = pick(1, 6); k > 0; --k, ++operations) {
      int f = pick(0, kFolders - 1);
      std::vector<std::string> names;
      for (const auto& [key, data] : model)
        if (key.first == f) names.push_back(key.second);
      int kind = names.empty() ? 0 : pick(0, 9);
      logdisk c;
      if (kind < 7) {
        std::string name = kind < 4 ? "M" + std::to_string(nextName++) : names[size_t(pick(0, int(names.size()) - 1))];
        std::string data(size_t(pick(0, 5000)), '\0');
        for (char& ch : data) ch = static_cast<char>(pick(0, 255));
        DiskOpenEntry(disk, c, FolderPath(f), name, "dat");
        DiskBeginWrite(c, 512);
        // In pieces, as the store writes its strings: each piece may search
        // free space again.
        for (size_t at = 0; at < data.size();) {
          size_t n = std::min(data.size() - at, size_t(pick(1, 1200)));
          DiskWrite(c, data.data() + at, static_cast<int32_t>(n), true, 512);
          at += n;
        }
        done << (kind < 4 ? "add " : "rewrite ") << FolderPath(f) << "/" << name << " " << data.size() << "; ";
        model[{f, name}] = std::move(data);
      } else {
        std::string name = names[size_t(pick(0, int(names.size()) - 1))];
        DiskOpenEntry(disk, c, FolderPath(f), name, "dat");
        DiskDeleteEntry(c);
        done << "delete " << FolderPath(f) << "/" << name << "; ";
        model.erase({f, name});
      }
      ASSERT_EQ(disk.IoResult, 0) << done.str();
      ASSERT_EQ(CheckFreeTable(disk.FreeTable), "") << "batch " << batch << ": " << done.str();
    }
    if (outsider) {
      // More than all free space: the file grows, which the kept container
      // must notice (a change of the same size within the clock's step would
      // go unseen by the file's times; only the folder headers catch it).
      int64_t freeBytes = 0;
      for (const TDiskExtent& e : disk.FreeTable) freeBytes += e.Size;
      int f = pick(0, kFolders - 1);
      std::string name = "G" + std::to_string(nextName++);
      std::string data(size_t(freeBytes + 1), static_cast<char>(batch));
      logdisk c;
      DiskOpenEntry(disk, c, FolderPath(f), name, "dat");
      DiskBeginWrite(c, 512);
      DiskWrite(c, data.data(), static_cast<int32_t>(data.size()), true, 512);
      done << "outside add " << FolderPath(f) << "/" << name << " " << data.size() << "; ";
      model[{f, name}] = std::move(data);
    }
    DiskClose(disk);
    ASSERT_EQ(disk.IoResult, 0);

    std::string bytes = ReadFileBytes(file);
    std::string problems = CheckLayout(bytes, model);
    ASSERT_EQ(problems, "") << "batch " << batch << ": " << done.str();
    if (!outsider) {
      ASSERT_EQ(CheckIndexes(bytes, kept), "") << "batch " << batch << ": " << done.str();
    }
    diskfile& reader = kept;
    DiskAssign(reader, file);
    DiskOpen(reader, 0, 3);
    for (const auto& [key, data] : model) {
      logdisk c;
      DiskOpenEntry(reader, c, FolderPath(key.first), key.second, "dat");
      DiskOpenNamed(c);
      ASSERT_FALSE(DiskEof(c)) << key.second << " is missing after batch " << batch;
      std::string back(data.size(), '\0');
      DiskRead(c, back.data(), static_cast<int32_t>(back.size()));
      ASSERT_FALSE(DiskEof(c)) << key.second << " is short after batch " << batch;
      ASSERT_TRUE(back == data) << key.second << " reads back other bytes after batch " << batch << ": " << done.str();
    }
    DiskClose(reader);
    ASSERT_EQ(reader.IoResult, 0);
    ASSERT_EQ(CheckIndexes(bytes, kept), "") << "after reading, batch " << batch << ": " << done.str();
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ContainerModel, ::testing::Range(1u, 25u));

}  // namespace
