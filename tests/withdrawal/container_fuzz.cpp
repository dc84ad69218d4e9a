// Feeds arbitrary bytes as "Popmail.dat" through every reader of the
// container and the message store, then writes and deletes in it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "withdrawal/Container.h"
#include "withdrawal/ExtractData.h"

namespace {

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    auto p = std::filesystem::temp_directory_path() / ("larkpost_container_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p;
  }();
  return folder;
}

void ReadEverything(const std::string& file) {
  diskfile disk;
  logdisk root;
  DiskInit(disk, file, root, ":", "", "");
  DiskOpen(disk, 2, 3);
  DiskFindEntry(root);
  for (const TDiskSlot& slot : DiskReadFolder(root)) {
    logdisk entry = root;
    DiskOpenSlot(entry, slot);
    std::string s;
    DiskReadStr(entry, false, s);
    DiskReadStrings(entry, true);
    DiskReadStrings(entry, false);
    disk.IoResult = dioOk;
  }
  DiskClose(disk);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = (Folder() / "Popmail.dat").string();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ReadEverything(file);
  TExtractData store(Folder());  // loads the ids
  store.ReadMailList();
  std::vector<std::string> names;
  for (const auto& mail : store.MailList) {
    store.ReadFullMessage(mail.EntryName);
    names.push_back(mail.EntryName);
  }
  TIdMessage message;
  message.Subject = "fuzz";
  message.Body = {std::string(700, 'x')};
  store.Clock = [] { return 46001.5; };
  store.StoreMessage(message, "Inbox");
  store.SeenIds = {"<id@x>"};
  store.CommitMessageIds();
  store.DeleteMessages(names);
  return 0;
}
