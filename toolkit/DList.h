#pragma once
// A 256-way character trie mapping byte-string keys to a pair
// (Structure, Properties), with ranged scans over a key hierarchy and a
// binary list file whose payloads the host writes and reads through events.
//
// Payloads are untyped: Properties is a host pointer (may be null). From Add
// on, the list owns it and hands it to OnDisposeStructure when the entry is
// replaced, deleted or cleared (also from the destructor). Without a handler
// the payload is simply let go.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/FileHandle.h"

enum THeaderAction { haRead = 0, haWrite = 1 };

class TDList;
struct TDListNode;  // trie node; its layout is private to the list

using TDisposeStructure = std::function<void(TDList* Sender, int Structure, void* Properties)>;
// InitPos is the file offset at which the host's header begins (always 4).
using TFileHeader =
    std::function<void(TDList* Sender, TFileHandle& H, THeaderAction Action, int Format, int InitPos)>;
using TSaveStructure =
    std::function<void(TDList* Sender, int Structure, void* Properties, TFileHandle& H, int Format)>;
// Properties comes in null; the handler returns the payload it read there.
// A handler that finds the payload damaged throws: loading stops and the
// exception reaches the caller of LoadFromFile.
using TLoadStructure =
    std::function<void(TDList* Sender, int Structure, void*& Properties, TFileHandle& H, int Format)>;
using TFilter = std::function<void(TDList* Sender, const std::string& Str, int Structure, int ListMode,
                                   void* Properties, bool& Enabled)>;
using TDeleteFilter = std::function<void(TDList* Sender, const std::string& Str, int Structure,
                                         int FilterMode, void* Properties, bool& CanDelete)>;

class TDList {
public:
  TDList();
  virtual ~TDList();  // clears the list: every payload goes to OnDisposeStructure
  TDList(const TDList&) = delete;
  TDList& operator=(const TDList&) = delete;

  // The level separator counted by scans.
  char Separator = '_';

  TDisposeStructure OnDisposeStructure;
  TFileHeader OnFileHeader;
  TSaveStructure OnSaveStructure;
  TLoadStructure OnLoadStructure;
  TFilter OnFilter;  // consulted for every entry a scan reaches; Enabled = false skips it
  TDeleteFilter OnDeleteFilter;  // for hosts to assign; the list itself never fires it

  // The scope of the next FindFirst/FindNext/ListEntries/SaveToFile: keys that
  // begin with Prefix, are longer than it, and whose part after it holds
  // MinLevel..MaxLevel Separator characters. Forgets the entry at hand.
  void SetScanRange(const std::string& Prefix, int MinLevel, int MaxLevel);

  // Inserts, or replaces an existing key's pair (the old payload is disposed).
  // An empty key does nothing.
  void Add(const std::string& Key, int Structure, void* Properties);
  // Exact look-up; the out values are untouched on false.
  bool Find(const std::string& Key, int& Structure, void*& Properties) const;
  // Removes the key (disposing its payload) and the storage that leads to no key.
  void Delete(const std::string& Key);
  void Clear();

  // Enumerate the scope in byte order, a key before its extensions. After a
  // scan has ended, FindNext keeps returning false until the next FindFirst.
  bool FindFirst();
  bool FindNext();
  // The entry at hand; false when there is none.
  bool GetKey(std::string& Key) const;
  bool GetStructure(int& Structure) const;
  bool GetProperties(void*& Properties) const;
  // Runs a whole scan with the given list mode; the host collects the entries
  // in OnFilter.
  void ListEntries(int ListMode);

  // Failures are silent. Saving over an existing file first moves it to
  // "Backup of <name>" in the same folder. Loading adds to what the list holds
  // and stops at the end of the file or at an entry cut short; a file of a
  // newer format than Format adds nothing.
  void SaveToFile(const std::string& FileName, int Format);
  void LoadFromFile(const std::string& FileName, int Format);

private:
  friend class TTracer;

  bool Qualifies(unsigned char byte, bool terminal) const;
  bool Walk(bool descend);
  bool FirstOfScope();
  void NodeReleased(const TDListNode* node);
  void ClearNode(TDListNode* node);

  std::unique_ptr<TDListNode> root_;
  // Bumped whenever storage is released, so tracer positions can tell they
  // point at storage that may be gone.
  uint64_t generation_ = 0;

  // Scan state.
  std::string prefix_;
  int minLevel_ = 0;
  int maxLevel_ = 0;
  int listMode_ = -1;
  TDListNode* scopeNode_ = nullptr;  // the node the scope's walk starts in
  TDListNode* node_ = nullptr;       // entry at hand: node and byte; null = none
  unsigned char byte_ = 0;
  std::string key_;  // prefix + tail of the entry at hand
  int sepCount_ = 0;  // Separators above the entry at hand, after the prefix
  bool ended_ = false;
};

// A position reached by a tracer: Node null = before the root.
struct TTracerPosition {
  const TDListNode* Node = nullptr;
  unsigned char Byte = 0;
  uint64_t Generation = 0;
};

// Walks the trie one character at a time, for the token scanner.
class TTracer {
public:
  explicit TTracer(TDList* Dictionary);

  TDList* Dictionary;

  // Empty Prefix: before the root. Otherwise at the slot of Prefix's last
  // character when that path exists (terminal or not), else before the root.
  void Reset(const std::string& Prefix);
  // One character down. False (position unchanged) when no key continues with
  // Ch. Properties is set only when the slot reached is terminal.
  bool Step(char Ch, bool& Terminal, int& Structure, void*& Properties);
  void GetPosition(TTracerPosition& Position) const;
  void SetPosition(const TTracerPosition& Position);

private:
  TTracerPosition pos_;
  const TDListNode* lastNode_ = nullptr;  // the node inspected by the last step
};
