#pragma once
// The withdrawal object: the local message list, the known and newly seen
// POP3 message ids, and the operations on the message store "Popmail.dat".

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/IdMessage.h"
#include "withdrawal/MessageStore.h"

using TUniqueIds = std::vector<std::string>;

struct TPop3Mail {
  std::string EntryName;  // the entry's name and type joined (16 characters or fewer)
  std::unique_ptr<TIdMessage> Message;
};
using TPop3MailList = std::vector<TPop3Mail>;

// Sorts newest first; among equal dates the item later in the list comes first.
void SortMessagesByDate(TPop3MailList& list);

// The program's folder (AppDir) when nothing else is given.
std::filesystem::path DefaultStoreFolder();

class TExtractData {
public:
  // Loads the known message ids from the store in storeFolder.
  explicit TExtractData(std::filesystem::path storeFolder = DefaultStoreFolder());
  TExtractData(const TExtractData&) = delete;
  TExtractData& operator=(const TExtractData&) = delete;

  int32_t MessageCount = 0;
  TPop3MailList MailList;
  TUniqueIds KnownIds;
  TUniqueIds SeenIds;

  // Where "Popmail.dat" lives, and its full name.
  std::filesystem::path StoreFolder;
  std::string StoreFileName() const;
  // The clock that names stored messages; tests replace it.
  std::function<TDateTime()> Clock = MessageTimeNow;

  // Stores one message as a new entry of the folder (created when missing).
  void StoreMessage(const TIdMessage& message, const std::string& folder);

  void LoadMessageIds();
  void SaveMessageIds();
  bool IsKnownMessageId(const std::string& id) const;
  // The known ids become exactly the ids seen in this run, then are saved.
  void CommitMessageIds();
  void SortMessagesByDate() { ::SortMessagesByDate(MailList); }

  // The page's operations: read every message of "Inbox" into MailList (bodies
  // skipped, newest first); read one list item in full (null when it cannot be
  // found); delete the listed entries named, then read the list again.
  void ReadMailList();
  std::unique_ptr<TIdMessage> ReadFullMessage(const std::string& entryName) const;
  void DeleteMessages(const std::vector<std::string>& entryNames);
};
