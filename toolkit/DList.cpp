#include "toolkit/DList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "toolkit/StrFile.h"

// A node keeps only the slots in use, sorted by byte: the same order and
// look-ups as a 256-pointer table at a fraction of the memory.
struct TDListSlot {
  unsigned char Byte = 0;
  bool Terminal = false;
  int32_t Structure = 0;
  void* Properties = nullptr;
  std::unique_ptr<TDListNode> Child;
};

struct TDListNode {
  TDListNode* Parent = nullptr;
  unsigned char Byte = 0;  // the byte under which this node hangs in its parent
  std::vector<TDListSlot> Slots;

  // Index of the slot of b, or of the first slot above it.
  size_t LowerBound(unsigned char b) const {
    return static_cast<size_t>(
        std::lower_bound(Slots.begin(), Slots.end(), b,
                         [](const TDListSlot& s, unsigned char v) { return s.Byte < v; }) -
        Slots.begin());
  }
  TDListSlot* Get(unsigned char b) {
    size_t i = LowerBound(b);
    return (i < Slots.size() && Slots[i].Byte == b) ? &Slots[i] : nullptr;
  }
  const TDListSlot* Get(unsigned char b) const { return const_cast<TDListNode*>(this)->Get(b); }
  TDListSlot& GetOrAdd(unsigned char b) {
    size_t i = LowerBound(b);
    if (i < Slots.size() && Slots[i].Byte == b) return Slots[i];
    TDListSlot s;
    s.Byte = b;
    return *Slots.insert(Slots.begin() + static_cast<std::ptrdiff_t>(i), std::move(s));
  }
};

namespace {

unsigned char U(char c) { return static_cast<unsigned char>(c); }

}  // namespace

TDList::TDList() = default;

TDList::~TDList() {
  // A throwing dispose handler must not escape a destructor; each round
  // gets further because the failed slot's payload is already let go.
  while (root_) {
    try {
      Clear();
    } catch (...) {
    }
  }
}

void TDList::SetScanRange(const std::string& Prefix, int MinLevel, int MaxLevel) {
  prefix_ = Prefix;
  minLevel_ = MinLevel;
  maxLevel_ = MaxLevel;
  node_ = nullptr;
  scopeNode_ = nullptr;
  ended_ = false;
}

void TDList::Add(const std::string& Key, int Structure, void* Properties) {
  if (Key.empty()) return;
  if (!root_) root_ = std::make_unique<TDListNode>();
  TDListNode* node = root_.get();
  for (size_t i = 0;; ++i) {
    TDListSlot& slot = node->GetOrAdd(U(Key[i]));
    if (i + 1 == Key.size()) {
      int oldStructure = slot.Structure;
      void* oldProperties = slot.Properties;
      slot.Terminal = true;
      slot.Structure = Structure;
      slot.Properties = Properties;
      // Hosts always pass a fresh payload, so the old one goes even when the
      // pointer is the same.
      if (oldProperties && OnDisposeStructure) OnDisposeStructure(this, oldStructure, oldProperties);
      return;
    }
    if (!slot.Child) {
      slot.Child = std::make_unique<TDListNode>();
      slot.Child->Parent = node;
      slot.Child->Byte = slot.Byte;
    }
    node = slot.Child.get();
  }
}

bool TDList::Find(const std::string& Key, int& Structure, void*& Properties) const {
  if (Key.empty() || !root_) return false;
  const TDListNode* node = root_.get();
  for (size_t i = 0;; ++i) {
    const TDListSlot* slot = node->Get(U(Key[i]));
    if (!slot) return false;
    if (i + 1 == Key.size()) {
      if (!slot->Terminal) return false;
      Structure = slot->Structure;
      Properties = slot->Properties;
      return true;
    }
    node = slot->Child.get();
    if (!node) return false;
  }
}

void TDList::NodeReleased(const TDListNode* node) {
  ++generation_;
  if (node == node_) node_ = nullptr;
  if (node == scopeNode_) scopeNode_ = nullptr;
}

void TDList::Delete(const std::string& Key) {
  if (Key.empty() || !root_) return;
  TDListNode* node = root_.get();
  TDListSlot* slot = nullptr;
  for (size_t i = 0;; ++i) {
    slot = node->Get(U(Key[i]));
    if (!slot) return;
    if (i + 1 == Key.size()) break;
    if (!slot->Child) return;
    node = slot->Child.get();
  }
  int structure = slot->Structure;
  void* properties = slot->Properties;
  slot->Terminal = false;
  slot->Properties = nullptr;
  slot->Structure = 0;
  if (!slot->Child) {
    node->Slots.erase(node->Slots.begin() + static_cast<std::ptrdiff_t>(node->LowerBound(slot->Byte)));
    ++generation_;
  }
  // Release storage that no longer leads to any key.
  while (node->Slots.empty()) {
    TDListNode* parent = node->Parent;
    if (!parent) {
      NodeReleased(node);
      root_.reset();
      break;
    }
    size_t at = parent->LowerBound(node->Byte);
    TDListSlot& up = parent->Slots[at];
    NodeReleased(node);
    up.Child.reset();
    if (up.Terminal) break;
    parent->Slots.erase(parent->Slots.begin() + static_cast<std::ptrdiff_t>(at));
    node = parent;
  }
  if (properties && OnDisposeStructure) OnDisposeStructure(this, structure, properties);
}

// Depth-first without recursion, so that a very long key (a damaged file
// can hold one) cannot exhaust the stack. Each slot's subtree goes first,
// then its payload, then the slot; an emptied node is released at once.
// When a handler throws, the slot at hand stays with its payload let go and
// the rest of the list stays consistent.
void TDList::ClearNode(TDListNode* top) {
  TDListNode* node = top;
  for (;;) {
    if (node->Slots.empty()) {
      if (node == top) return;
      TDListNode* parent = node->Parent;
      NodeReleased(node);
      parent->Slots.front().Child.reset();
      node = parent;
      continue;
    }
    TDListSlot& slot = node->Slots.front();
    if (slot.Child) {
      node = slot.Child.get();
      continue;
    }
    int structure = slot.Structure;
    void* properties = slot.Properties;
    slot.Properties = nullptr;
    if (properties && OnDisposeStructure) OnDisposeStructure(this, structure, properties);
    node->Slots.erase(node->Slots.begin());
    ++generation_;
  }
}

void TDList::Clear() {
  node_ = nullptr;
  scopeNode_ = nullptr;
  if (!root_) return;
  ClearNode(root_.get());
  NodeReleased(root_.get());
  root_.reset();
}

bool TDList::Qualifies(unsigned char byte, bool terminal) const {
  if (!terminal) return false;
  int level = sepCount_ + (byte == U(Separator) ? 1 : 0);
  return minLevel_ <= level && level <= maxLevel_;
}

// Offers the entry at hand: true when it qualifies and the filter lets it pass.
bool TDList::FirstOfScope() {
  const TDListSlot* slot = node_->Get(byte_);
  if (!slot || !Qualifies(byte_, slot->Terminal)) return false;
  if (!OnFilter) return true;
  bool enabled = true;
  OnFilter(this, key_, slot->Structure, listMode_, slot->Properties, enabled);
  return enabled;
}

// Pre-order walk from the entry at hand to the next entry offered.
bool TDList::Walk(bool descend) {
  for (;;) {
    const TDListSlot* slot = node_->Get(byte_);
    bool blocked = byte_ == U(Separator) && sepCount_ >= maxLevel_;
    if (descend && slot && slot->Child && !blocked) {
      if (byte_ == U(Separator)) ++sepCount_;
      node_ = slot->Child.get();
      byte_ = node_->Slots.front().Byte;
      key_.push_back(static_cast<char>(byte_));
    } else {
      size_t next = node_->LowerBound(byte_);
      if (next < node_->Slots.size() && node_->Slots[next].Byte == byte_) ++next;
      while (next >= node_->Slots.size()) {
        if (node_ == scopeNode_ || !node_->Parent) return false;
        unsigned char up = node_->Byte;
        node_ = node_->Parent;
        key_.pop_back();
        byte_ = up;
        if (up == U(Separator)) --sepCount_;
        next = node_->LowerBound(byte_) + 1;
      }
      byte_ = node_->Slots[next].Byte;
      key_.back() = static_cast<char>(byte_);
    }
    descend = true;
    if (FirstOfScope()) return true;
  }
}

bool TDList::FindFirst() {
  node_ = nullptr;
  scopeNode_ = nullptr;
  ended_ = true;
  if (!root_) return false;
  TDListNode* start = root_.get();
  for (char c : prefix_) {
    const TDListSlot* slot = start->Get(U(c));
    if (!slot || !slot->Child) return false;
    start = slot->Child.get();
  }
  scopeNode_ = start;
  node_ = start;
  byte_ = start->Slots.front().Byte;
  key_ = prefix_;
  key_.push_back(static_cast<char>(byte_));
  sepCount_ = 0;
  ended_ = false;
  if (FirstOfScope() || Walk(true)) return true;
  node_ = nullptr;
  ended_ = true;
  return false;
}

bool TDList::FindNext() {
  if (ended_ || !node_ || !scopeNode_) return false;
  TDListNode* node = node_;
  unsigned char byte = byte_;
  std::string key = key_;
  int sepCount = sepCount_;
  if (Walk(true)) return true;
  // The entry at hand stays the one this call started from.
  node_ = node;
  byte_ = byte;
  key_ = std::move(key);
  sepCount_ = sepCount;
  ended_ = true;
  return false;
}

bool TDList::GetKey(std::string& Key) const {
  if (!node_) return false;
  Key = key_;
  return true;
}

bool TDList::GetStructure(int& Structure) const {
  const TDListSlot* slot = node_ ? node_->Get(byte_) : nullptr;
  if (!slot) return false;
  Structure = slot->Structure;
  return true;
}

bool TDList::GetProperties(void*& Properties) const {
  const TDListSlot* slot = node_ ? node_->Get(byte_) : nullptr;
  if (!slot) return false;
  Properties = slot->Properties;
  return true;
}

void TDList::ListEntries(int ListMode) {
  struct Restore {
    int& mode;
    ~Restore() { mode = -1; }
  } restore{listMode_};
  listMode_ = ListMode;
  for (bool ok = FindFirst(); ok; ok = FindNext()) {
  }
}

void TDList::SaveToFile(const std::string& FileName, int Format) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path path(FileName);
  if (fs::exists(path, ec)) {
    fs::path backup = path.parent_path() / ("Backup of " + path.filename().string());
    fs::remove(backup, ec);
    fs::rename(path, backup, ec);
  }
  TFileHandle h;
  if (!h.Create(FileName)) return;
  WriteInt32(h, Format);
  if (OnFileHeader) OnFileHeader(this, h, haWrite, Format, 4);
  for (bool ok = FindFirst(); ok; ok = FindNext()) {
    const TDListSlot* slot = node_->Get(byte_);
    WriteStr(h, key_);
    WriteInt32(h, slot->Structure);
    if (OnSaveStructure) OnSaveStructure(this, slot->Structure, slot->Properties, h, Format);
  }
}

void TDList::LoadFromFile(const std::string& FileName, int Format) {
  TFileHandle h;
  if (!h.Open(FileName, TFileAccess::Read)) return;
  int32_t format = 0;
  if (!ReadInt32(h, format) || format > Format) return;
  if (OnFileHeader) OnFileHeader(this, h, haRead, format, 4);
  for (;;) {
    // The end of the file is the only end marker; an entry cut short ends
    // the load as well.
    if (h.Position() >= h.Size()) break;
    // Keys may hold any byte, zero included, so they are read raw.
    int32_t length = 0;
    if (!ReadInt32(h, length) || length < 0 || length > h.Size() - h.Position()) break;
    std::string key(static_cast<size_t>(length), '\0');
    int32_t structure = 0;
    if ((length > 0 && !h.ReadExact(key.data(), length)) || !ReadInt32(h, structure)) break;
    void* properties = nullptr;
    if (OnLoadStructure) OnLoadStructure(this, structure, properties, h, format);
    if (key.empty()) {
      // Add ignores an empty key; its payload must not be lost.
      if (properties && OnDisposeStructure) OnDisposeStructure(this, structure, properties);
      continue;
    }
    Add(key, structure, properties);
  }
}

TTracer::TTracer(TDList* Dictionary) : Dictionary(Dictionary) {
  pos_.Generation = Dictionary ? Dictionary->generation_ : 0;
}

void TTracer::Reset(const std::string& Prefix) {
  pos_ = TTracerPosition{nullptr, 0, Dictionary->generation_};
  if (Prefix.empty() || !Dictionary->root_) return;
  const TDListNode* node = Dictionary->root_.get();
  for (size_t i = 0;; ++i) {
    const TDListSlot* slot = node->Get(U(Prefix[i]));
    if (!slot) return;
    if (i + 1 == Prefix.size()) {
      pos_.Node = node;
      pos_.Byte = slot->Byte;
      return;
    }
    node = slot->Child.get();
    if (!node) return;
  }
}

bool TTracer::Step(char Ch, bool& Terminal, int& Structure, void*& Properties) {
  const TDListNode* next = nullptr;
  if (!pos_.Node) {
    next = Dictionary->root_.get();
  } else {
    if (pos_.Generation != Dictionary->generation_) return false;  // storage may be gone
    const TDListSlot* at = pos_.Node->Get(pos_.Byte);
    if (!at) return false;
    next = at->Child.get();
  }
  lastNode_ = next;
  if (!next) return false;
  const TDListSlot* slot = next->Get(U(Ch));
  if (!slot) return false;
  pos_ = TTracerPosition{next, slot->Byte, Dictionary->generation_};
  Terminal = slot->Terminal;
  Structure = slot->Structure;
  if (Terminal) Properties = slot->Properties;
  return true;
}

void TTracer::GetPosition(TTracerPosition& Position) const { Position = pos_; }

void TTracer::SetPosition(const TTracerPosition& Position) { pos_ = Position; }
