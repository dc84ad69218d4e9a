#include "withdrawal/ExtractData.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "platform/Paths.h"
#include "withdrawal/Container.h"

namespace {

// Closes the container however the steps in between end.
struct TDiskCloser {
  diskfile& disk;
  ~TDiskCloser() { DiskClose(disk); }
};

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

// Opens the store, or creates it (and the program's folder when missing)
// with its "Version" entry.
void OpenOrCreateStore(diskfile& disk, const std::string& fileName) {
  if (FileExists(fileName)) {
    DiskOpen(disk, 2, 3);
    return;
  }
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(fileName).parent_path(), ec);
  DiskCreate(disk, 2, 3);
  logdisk version;
  DiskOpenEntry(disk, version, ":", "Version", "dat");
  DiskBeginWrite(version, 512);
  DiskWriteInt32(version, 1);
}

std::string InboxPath() { return std::string(":") + InboxFolderName; }

void SplitEntryName(const std::string& entryName, std::string& name, std::string& type) {
  name = entryName.substr(0, 8);
  type = entryName.size() > 8 ? entryName.substr(8, 8) : std::string();
}

// The attachment files the record says were saved on receipt.
std::vector<std::filesystem::path> ReceivedFiles(const TIdMessage& message) {
  std::vector<std::filesystem::path> files;
  for (int i = 0; i < message.MessageParts.Count(); ++i) {
    const TIdMessagePart& part = message.MessageParts[i];
    if (part.Kind() == TIdPartKind::Attachment && part.FileIsTempFile && !part.StoredPathName.empty())
      files.push_back(part.StoredPathName);
  }
  return files;
}

// Removes each file that lies in a message's own folder directly below the
// attachments folder, then that folder once empty. A path that leads
// anywhere else (a damaged record, "..", a link out) is left alone.
void RemoveReceivedFiles(const std::vector<std::filesystem::path>& files, const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(folder, ec);
  if (ec || root.empty() || root == root.root_path()) return;
  for (const fs::path& file : files) {
    const fs::path real = fs::weakly_canonical(file, ec);
    if (ec) continue;
    const fs::path messageFolder = real.parent_path();
    if (messageFolder.parent_path() != root || !fs::is_regular_file(fs::symlink_status(real, ec))) continue;
    fs::remove(real, ec);
    fs::remove(messageFolder, ec);  // only when nothing else is left in it
  }
}

}  // namespace

void SortMessagesByDate(TPop3MailList& list) {
  if (list.size() < 2) return;
  // Newest first, and among equal dates the later item first: the order a
  // selection of the greatest (the last of equals) gives, in n log n.
  auto key = [&](size_t i) {
    double d = list[i].Message ? list[i].Message->Date : 0;
    return std::isnan(d) ? -std::numeric_limits<double>::infinity() : d;
  };
  std::vector<size_t> order(list.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    double ka = key(a), kb = key(b);
    return ka != kb ? ka > kb : a > b;
  });
  TPop3MailList sorted;
  sorted.reserve(list.size());
  for (size_t i : order) sorted.push_back(std::move(list[i]));
  list = std::move(sorted);
}

std::filesystem::path DefaultStoreFolder() { return std::filesystem::path(ResolveAppDir()); }

TExtractData::TExtractData(std::filesystem::path storeFolder) : StoreFolder(std::move(storeFolder)) {
  LoadMessageIds();
}

std::string TExtractData::StoreFileName() const { return (StoreFolder / PopmailFileName).string(); }

std::string TExtractData::StoreMessage(const TIdMessage& message, const std::string& folder) {
  std::string text = MessageTimeText(Clock());
  std::string name, type;
  SplitEntryName(text, name, type);
  std::string fileName = StoreFileName();
  diskfile& disk = store_;
  logdisk cursor;
  DiskInit(disk, fileName, cursor, ":" + folder, name, type);
  bool written = false;
  {
    TDiskCloser closer{disk};
    OpenOrCreateStore(disk, fileName);
    DiskFindEntry(cursor);
    if (DiskEof(cursor)) {
      logdisk folderCursor;
      DiskOpenEntry(disk, folderCursor, ":", folder, "");
      DiskAddEntry(folderCursor, "");
      DiskFindEntry(cursor);
    }
    DiskBeginWrite(cursor, 512);
    if (disk.IoResult == dioOk && !DiskEof(cursor)) {
      WriteMessage(cursor, message);
      written = disk.IoResult == dioOk;
    }
  }
  // The close writes the free table: a failure there loses the record too.
  return written && disk.IoResult == dioOk ? name + type : std::string();
}

void TExtractData::LoadMessageIds() {
  KnownIds.clear();
  std::string fileName = StoreFileName();
  if (!FileExists(fileName)) return;
  diskfile& disk = store_;
  logdisk cursor;
  DiskInit(disk, fileName, cursor, ":", "Ids", "dat");
  TDiskCloser closer{disk};
  DiskOpen(disk, 2, 3);
  DiskOpenNamed(cursor);
  if (DiskEof(cursor) || disk.IoResult != dioOk) return;
  int32_t count = DiskReadInt32(cursor);
  for (int32_t i = 0; i < count && disk.IoResult == dioOk && !DiskEof(cursor); ++i) {
    std::string id;
    DiskReadStr(cursor, false, id);
    if (disk.IoResult == dioOk && !DiskEof(cursor) && !id.empty()) KnownIds.push_back(std::move(id));
  }
}

void TExtractData::SaveMessageIds() {
  std::string fileName = StoreFileName();
  diskfile& disk = store_;
  logdisk cursor;
  DiskInit(disk, fileName, cursor, ":", "Ids", "dat");
  TDiskCloser closer{disk};
  OpenOrCreateStore(disk, fileName);
  DiskBeginWrite(cursor, 512);
  DiskWriteInt32(cursor, static_cast<int32_t>(KnownIds.size()));
  for (const std::string& id : KnownIds) DiskWriteStr(cursor, id);
}

bool TExtractData::IsKnownMessageId(const std::string& id) const {
  return !id.empty() && std::find(KnownIds.begin(), KnownIds.end(), id) != KnownIds.end();
}

void TExtractData::CommitMessageIds() {
  KnownIds.clear();
  for (std::string& id : SeenIds)
    if (!id.empty()) KnownIds.push_back(std::move(id));
  SeenIds.clear();
  SaveMessageIds();
}

void TExtractData::AddKnownMessageIds(const TUniqueIds& ids) {
  for (const std::string& id : ids)
    if (!IsKnownMessageId(id) && !id.empty()) KnownIds.push_back(id);
  SaveMessageIds();
}

void TExtractData::ReadMailList() {
  MailList.clear();
  std::string fileName = StoreFileName();
  if (!FileExists(fileName)) return;
  diskfile& disk = store_;
  logdisk cursor;
  DiskInit(disk, fileName, cursor, InboxPath(), InboxFolderName, "");
  {
    TDiskCloser closer{disk};
    DiskOpen(disk, 2, 3);
    DiskFindFolder(cursor);
    if (disk.IoResult != dioOk || DiskEof(cursor)) return;
    // Every slot is opened from its own first block: listing reads the folder once.
    std::vector<TDiskSlot> slots = DiskReadFolder(cursor);
    for (const TDiskSlot& slot : slots) {
      if (slot.Type == "free") continue;
      logdisk entry = cursor;
      DiskOpenSlot(entry, slot);
      if (disk.IoResult == dioOk && !DiskEof(entry)) {
        auto message = std::make_unique<TIdMessage>();
        ReadMessage(entry, *message, true);
        MailList.push_back({slot.Name + slot.Type, std::move(message)});
      }
      // A damaged entry must not hide the ones after it.
      disk.IoResult = dioOk;
    }
  }
  SortMessagesByDate();
}

std::unique_ptr<TIdMessage> TExtractData::ReadFullMessage(const std::string& entryName) const {
  return ReadStoredMessage(entryName, false);
}

std::unique_ptr<TIdMessage> TExtractData::ReadStoredMessage(const std::string& entryName, bool skipBodies) const {
  std::string fileName = StoreFileName();
  if (!FileExists(fileName)) return nullptr;
  std::string name, type;
  SplitEntryName(entryName, name, type);
  diskfile& disk = store_;
  logdisk cursor;
  DiskInit(disk, fileName, cursor, InboxPath(), name, type);
  TDiskCloser closer{disk};
  DiskOpen(disk, 2, 3);
  DiskOpenNamed(cursor);
  if (disk.IoResult != dioOk || DiskEof(cursor)) return nullptr;
  auto message = std::make_unique<TIdMessage>();
  ReadMessage(cursor, *message, skipBodies);
  return message;
}

void TExtractData::DeleteMessages(const std::vector<std::string>& entryNames) {
  std::string fileName = StoreFileName();
  if (!FileExists(fileName)) return;
  std::vector<std::filesystem::path> files;
  {
    diskfile& disk = store_;
    DiskAssign(disk, fileName);
    TDiskCloser closer{disk};
    DiskOpen(disk, 2, 3);
    for (const std::string& entryName : entryNames) {
      std::string name, type;
      SplitEntryName(entryName, name, type);
      logdisk cursor;
      DiskOpenEntry(disk, cursor, InboxPath(), name, type);
      // The record names the attachment files; read it while it is there.
      TIdMessage message;
      logdisk reader = cursor;
      DiskOpenNamed(reader);
      if (disk.IoResult == dioOk && !DiskEof(reader)) ReadMessage(reader, message, true);
      // A damaged record gives what it holds up to the damage and does not stop the delete.
      disk.IoResult = dioOk;
      DiskDeleteEntry(cursor);
      if (disk.IoResult != dioOk) break;
      if (!DiskEof(cursor))
        for (auto& file : ReceivedFiles(message)) files.push_back(std::move(file));
    }
  }
  // The files go only once their entries are gone: a failed delete keeps both.
  RemoveReceivedFiles(files, AttachmentFolder.empty() ? DefaultAttachmentFolder() : AttachmentFolder);
  ReadMailList();
}
