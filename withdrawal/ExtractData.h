#pragma once
// The withdrawal object: the local message list, the known and newly seen
// POP3 message ids, the operations on the message store "Popmail.dat", and
// the withdrawal schemes with their file "Schemes.dat" (layout in
// withdrawal/SchemesFile.h).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/IdMessage.h"
#include "net/IdPOP3.h"
#include "withdrawal/MessageStore.h"
#include "withdrawal/Scheme.h"

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
  // Where received attachments were saved (a folder per message below it);
  // empty: the mail layer's default folder. Deleting a message removes the
  // files saved for it there, and nothing outside it.
  std::filesystem::path AttachmentFolder;
  // The clock that names stored messages; tests replace it.
  std::function<TDateTime()> Clock = MessageTimeNow;

  // The one POP3 client of Get List, made at the end of the withdrawal set-up
  // and kept for the program's life.
  std::unique_ptr<TIdPOP3> Pop3;
  TIdPOP3& CreatePop3Client() {
    if (!Pop3) Pop3 = std::make_unique<TIdPOP3>();
    return *Pop3;
  }

  // Stores one message as a new entry of the folder (created when missing);
  // the entry's name as the mail list holds it (name and type joined), empty
  // when nothing was written.
  std::string StoreMessage(const TIdMessage& message, const std::string& folder);

  void LoadMessageIds();
  void SaveMessageIds();
  // An empty id (a message without a "Message-Id") is never known: it would
  // stand for every such message.
  bool IsKnownMessageId(const std::string& id) const;
  // The known ids become exactly the ids seen in this run (empty ones left
  // out), then are saved.
  void CommitMessageIds();
  // A run that ended early: the ids of the messages it stored join the known
  // ids (the server may still hold them, its deletions not committed), then
  // are saved.
  void AddKnownMessageIds(const TUniqueIds& ids);
  void SortMessagesByDate() { ::SortMessagesByDate(MailList); }

  // The schemes in file and display order.
  TSchemes Schemes;
  // The damaged file last loaded, until its copy is kept; empty when none.
  std::string DamagedSchemesFile;
  // The character set of a new scheme; none: DefaultSchemeCharsetRow.
  std::function<int32_t()> DefaultCharset;

  // A file that does not open, or whose format is 0 or less, gives no scheme.
  // A damaged one keeps the schemes read before the damage and returns the
  // text that says so for the user; empty otherwise.
  std::string LoadSchemes(const std::string& fileName);
  // Writes every scheme through a temporary file; false (schemes kept in
  // memory, the old file untouched) when that fails. The first save after a
  // damaged file was loaded first keeps that file as its DamagedCopyName, so
  // the schemes it holds past the damage are not written over.
  bool SaveSchemes(const std::string& fileName);

  // A scheme or rule index outside the list makes these do nothing.
  void AddScheme(const std::string& name);
  void DeleteScheme(int schemeIndex);
  void AddMarker(int schemeIndex, const std::string& marker);
  // Value rules that name the marker keep their text.
  void DeleteMarker(int schemeIndex, int markerIndex);
  void AddValueRule(int schemeIndex, const TScheme::TValue& rule);
  void DeleteValueRule(int schemeIndex, int ruleIndex);
  void SetSchemeAccount(int schemeIndex, const std::string& text);
  void SetContentField(int schemeIndex, const std::string& text);
  void SetTimeField(int schemeIndex, const std::string& text);
  void SetFromNameField(int schemeIndex, const std::string& text);
  void SetFromEmailField(int schemeIndex, const std::string& text);
  void SetSubjectField(int schemeIndex, const std::string& text);
  void SetRuleAfterMarker(int schemeIndex, int ruleIndex, const std::string& text);
  void SetRuleUpToMarker(int schemeIndex, int ruleIndex, const std::string& text);
  void SetRuleField(int schemeIndex, int ruleIndex, const std::string& text);
  void SetResponse(int schemeIndex, const TResponseOptions& response);
  // Sets the Value of every rule of the scheme from the text.
  void ParseText(int schemeIndex, const std::string& text);

  // The scheme at the index, or null.
  TScheme* SchemeAt(int schemeIndex);

  // The page's operations: read every message of "Inbox" into MailList (bodies
  // skipped, newest first); read one list item in full (null when it cannot be
  // found); delete the listed entries named with the attachment files
  // received for them, then read the list again.
  void ReadMailList();
  std::unique_ptr<TIdMessage> ReadFullMessage(const std::string& entryName) const;
  // One entry as the list holds it (skipBodies) or in full; null when it cannot be found.
  std::unique_ptr<TIdMessage> ReadStoredMessage(const std::string& entryName, bool skipBodies) const;
  void DeleteMessages(const std::vector<std::string>& entryNames);
  // The store's container result as the last of these operations left it.
  int32_t StoreIoResult() const { return store_.IoResult; }

private:
  // The store's container, kept between the operations (each opens and
  // closes the file) so that its folder indexes spare reading the whole
  // folder for every message stored.
  mutable diskfile store_;
};
