#include "platform/Registry.h"

#include "platform/Bytes.h"
#include "platform/SysUtils.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>

namespace {

// Writes of several TRegistry objects of this process must not interleave.
std::mutex fileMutex;

// A settings file larger than this is not a settings file; read only its start.
constexpr std::streamsize MaxFileBytes = 16 * 1024 * 1024;

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

std::string LowerName(std::string s) {
  for (char& c : s) c = AsciiLower(c);
  return s;
}

bool StartsWithPath(const std::string& path, const std::string& prefix) {
  if (path.size() <= prefix.size() || path[prefix.size()] != '\\') return false;
  return SameName(path.substr(0, prefix.size()), prefix);
}

// Drops empty parts: "\\A\\\\B\\" -> "A\\B".
std::string NormalizePath(const std::string& path) {
  std::string out;
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find('\\', i);
    if (j == std::string::npos) j = path.size();
    if (j > i) {
      if (!out.empty()) out += '\\';
      out.append(path, i, j - i);
    }
    i = j + 1;
  }
  return out;
}

std::string TrimSpace(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

// A file saved by a newer registry editor is UTF-16LE with a byte-order mark.
std::string Utf16LeToUtf8(const std::string& bytes) {
  std::string out;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    uint32_t u = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
      uint32_t lo = static_cast<uint8_t>(bytes[i + 2]) | (static_cast<uint8_t>(bytes[i + 3]) << 8);
      if (lo >= 0xDC00 && lo < 0xE000) {
        u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      } else {
        u = 0xFFFD;
      }
    } else if (u >= 0xD800 && u < 0xE000) {
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
  return out;
}

// Reads a quoted string starting at s[pos] == '"'; pos ends after the closing quote.
bool ParseQuoted(const std::string& s, size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  ++pos;
  out.clear();
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == '"') return true;
    if (c == '\\') {
      if (pos >= s.size()) return false;
      char e = s[pos++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '0': out += '\0'; break;
        default: out += e; break;  // \\ and \" and anything else taken literally
      }
    } else {
      out += c;
    }
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ParseHexBytes(const std::string& s, std::vector<uint8_t>& out) {
  out.clear();
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) break;
    int hi = HexDigit(s[i]);
    if (hi < 0) return false;
    int value = hi;
    ++i;
    if (i < s.size() && HexDigit(s[i]) >= 0) {
      value = value * 16 + HexDigit(s[i]);
      ++i;
    }
    out.push_back(static_cast<uint8_t>(value));
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i < s.size()) {
      if (s[i] != ',') return false;
      ++i;
    }
  }
  return true;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  size_t n = std::strlen(prefix);
  return s.size() >= n && SameName(s.substr(0, n), prefix);
}

// One "name"=data line; false when it is not sound.
bool ParseValueLine(const std::string& line, TRegistry::TValue& v, bool& deletion) {
  size_t pos = 0;
  deletion = false;
  if (line[0] == '@') {
    v.name.clear();
    pos = 1;
  } else if (!ParseQuoted(line, pos, v.name)) {
    return false;
  }
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  std::string data = TrimSpace(line.substr(pos));
  if (data == "-") {
    deletion = true;
    return true;
  }
  if (!data.empty() && data[0] == '"') {
    size_t p = 0;
    if (!ParseQuoted(data, p, v.text)) return false;
    if (!TrimSpace(data.substr(p)).empty()) return false;
    v.type = TRegDataType::String;
    return true;
  }
  if (StartsWithNoCase(data, "dword:")) {
    std::string digits = TrimSpace(data.substr(6));
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t u = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      u = u * 16 + static_cast<uint32_t>(d);
    }
    v.type = TRegDataType::Integer;
    v.integer = static_cast<int32_t>(u);
    return true;
  }
  if (StartsWithNoCase(data, "hex:")) {
    if (!ParseHexBytes(data.substr(4), v.binary)) return false;
    v.type = TRegDataType::Binary;
    return true;
  }
  if (StartsWithNoCase(data, "hex(")) {
    size_t close = data.find("):");
    std::vector<uint8_t> bytes;
    if (close == std::string::npos || !ParseHexBytes(data.substr(close + 2), bytes)) return false;
    v.type = TRegDataType::Other;  // kept as written so that a rewrite loses nothing
    v.text = data;
    return true;
  }
  return false;
}

std::string QuoteText(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\0': out += "\\0"; break;
      default: out += c; break;
    }
  }
  out += '"';
  return out;
}

// False when the file exists but could not be read to its end (no access,
// a read error, too large): what was read is still returned, but the file
// must not be rewritten from it, or every value not read would be lost.
bool ReadWholeFile(const std::string& path, std::string& data) {
  data.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  char buf[65536];
  bool whole = false;
  while (static_cast<std::streamsize>(data.size()) < MaxFileBytes) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    if (n == 0) {
      whole = true;
      break;
    }
    data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return whole;
}

std::vector<TRegistry::TKey> LoadFile(const std::string& path) {
  std::string data;
  ReadWholeFile(path, data);
  return ParseRegistryText(data);
}

// For a rewrite: throws when the file could not be read whole.
std::vector<TRegistry::TKey> LoadFileForWrite(const std::string& path) {
  std::string data;
  if (!ReadWholeFile(path, data))
    throw ERegistryException("Cannot read the registry file " + path + " whole; it is left as it is");
  return ParseRegistryText(data);
}

// Serialises the read-modify-write of copies of the program running side by
// side: each holds an exclusive lock on the file's folder while it rewrites.
class TFolderLock {
public:
  explicit TFolderLock(const std::string& file) {
    std::filesystem::path dir = std::filesystem::path(file).parent_path();
    if (dir.empty()) dir = ".";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0)
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  ~TFolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

private:
  int fd_ = -1;
};

void SaveFile(const std::string& path, const std::vector<TRegistry::TKey>& keys) {
  namespace fs = std::filesystem;
  static std::atomic<unsigned> counter{0};
  std::error_code ec;
  fs::path target(path);
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  const std::string text = FormatRegistryText(keys);
  const std::string temp =
      path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) throw ERegistryException("Cannot write the registry file " + path + ": " + std::strerror(errno));
  size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  int err = errno;
  if (ok && ::fsync(fd) != 0) ok = false, err = errno;
  if (::close(fd) != 0 && ok) ok = false, err = errno;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false, err = errno;
  if (!ok) {
    ::unlink(temp.c_str());
    throw ERegistryException("Cannot write the registry file " + path + ": " + std::strerror(err));
  }
}

TRegistry::TKey* FindKey(std::vector<TRegistry::TKey>& keys, const std::string& full) {
  for (auto& k : keys)
    if (SameName(k.path, full)) return &k;
  return nullptr;
}

bool AnyKeyUnder(const std::vector<TRegistry::TKey>& keys, const std::string& full) {
  for (const auto& k : keys)
    if (SameName(k.path, full) || StartsWithPath(k.path, full)) return true;
  return false;
}

}  // namespace

std::vector<TRegistry::TKey> ParseRegistryText(const std::string& raw) {
  std::string text;
  if (raw.size() >= 2 && static_cast<uint8_t>(raw[0]) == 0xFF && static_cast<uint8_t>(raw[1]) == 0xFE)
    text = Utf16LeToUtf8(raw);
  else if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0)
    text = raw.substr(3);
  else
    text = raw;

  std::vector<std::string> lines;
  size_t i = 0;
  while (i <= text.size()) {
    size_t j = text.find('\n', i);
    if (j == std::string::npos) j = text.size();
    lines.push_back(text.substr(i, j - i));
    i = j + 1;
  }

  std::vector<TRegistry::TKey> keys;
  // Names ignore case; looked up through these so that a large file is read in linear time.
  std::unordered_map<std::string, size_t> keyIndex;
  std::vector<std::unordered_map<std::string, size_t>> valueIndex;
  // An index, not a pointer: the vector grows as keys are met.
  ptrdiff_t current = -1;
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string line = TrimSpace(lines[n]);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line == "REGEDIT4" || StartsWithNoCase(line, "Windows Registry Editor")) continue;
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      current = -1;
      if (close == std::string::npos || close < 2) continue;
      std::string path = line.substr(1, close - 1);
      if (path[0] == '-') continue;  // a deleted key: its values are skipped
      path = NormalizePath(path);
      // "[\-x]" names a key that would be written back as the deletion "[-x]".
      if (path.empty() || path[0] == '-') continue;
      auto [found, added] = keyIndex.try_emplace(LowerName(path), keys.size());
      if (added) {
        keys.push_back({path, {}});
        valueIndex.emplace_back();
      }
      current = static_cast<ptrdiff_t>(found->second);
      continue;
    }
    if (line[0] != '"' && line[0] != '@') continue;
    // A hex value may go on over several lines, each but the last ending in "\".
    size_t p = 0;
    std::string name;
    if (line[0] == '@') p = 1;
    else if (!ParseQuoted(line, p, name)) continue;
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    if (p < line.size() && line[p] == '=' && StartsWithNoCase(TrimSpace(line.substr(p + 1)), "hex")) {
      while (!line.empty() && line.back() == '\\' && n + 1 < lines.size()) {
        line.pop_back();
        line += TrimSpace(lines[++n]);
      }
    }
    if (current < 0) continue;
    TRegistry::TValue v;
    bool deletion = false;
    if (!ParseValueLine(line, v, deletion)) continue;
    auto& vals = keys[static_cast<size_t>(current)].values;
    auto& index = valueIndex[static_cast<size_t>(current)];
    const std::string lower = LowerName(v.name);
    auto it = index.find(lower);
    if (deletion) {
      // Dropped at the end: erasing now would shift every index after it.
      if (it != index.end()) {
        vals[it->second].type = TRegDataType::None;
        index.erase(it);
      }
    } else if (it != index.end()) {
      vals[it->second] = std::move(v);
    } else {
      index.emplace(lower, vals.size());
      vals.push_back(std::move(v));
    }
  }
  for (auto& k : keys) std::erase_if(k.values, [](const TRegistry::TValue& v) { return v.type == TRegDataType::None; });
  return keys;
}

std::string FormatRegistryText(const std::vector<TRegistry::TKey>& keys) {
  std::string out = "REGEDIT4\n\n";
  for (const auto& k : keys) {
    out += "[" + k.path + "]\n";
    for (const auto& v : k.values) {
      std::string line = v.name.empty() ? std::string("@") : QuoteText(v.name);
      line += '=';
      switch (v.type) {
        case TRegDataType::String: line += QuoteText(v.text); break;
        case TRegDataType::Integer: {
          char buf[16];
          std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<uint32_t>(v.integer));
          line += buf;
          break;
        }
        case TRegDataType::Binary: {
          line += "hex:";
          size_t width = line.size();
          for (size_t b = 0; b < v.binary.size(); ++b) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%02x", v.binary[b]);
            line += buf;
            width += 2;
            if (b + 1 < v.binary.size()) {
              line += ',';
              ++width;
              if (width > 76) {
                line += "\\\n  ";
                width = 2;
              }
            }
          }
          break;
        }
        case TRegDataType::Other: line += v.text; break;
        case TRegDataType::None: continue;
      }
      out += line + "\n";
    }
    out += "\n";
  }
  return out;
}

std::string DefaultRegistryFile() {
  if (const char* p = std::getenv("LARKPOST_REGISTRY"); p && *p) return p;
  std::string base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
    base = x;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    base = std::string(h) + "/.config";
  } else {
    base = "/tmp";
  }
  return base + "/larkpost/registry.reg";
}

TRegistry::TRegistry(std::string fileName) : file_(std::move(fileName)) {}

std::string TRegistry::FileName() const { return file_.empty() ? DefaultRegistryFile() : file_; }

std::string TRegistry::FullPath(const std::string& keyFromRoot) const {
  return keyFromRoot.empty() ? root_ : root_ + "\\" + keyFromRoot;
}

std::string TRegistry::Resolve(const std::string& key) const {
  if (!key.empty() && key[0] == '\\') return NormalizePath(key);
  if (open_ && !current_.empty()) return NormalizePath(current_ + "\\" + key);
  return NormalizePath(key);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  const std::string path = Resolve(key);
  const std::string full = FullPath(path);
  std::lock_guard<std::mutex> lock(fileMutex);
  const std::string file = FileName();
  std::optional<TFolderLock> folderLock;
  if (canCreate) folderLock.emplace(file);
  std::string data;
  const bool whole = ReadWholeFile(file, data);
  std::vector<TKey> keys = ParseRegistryText(data);
  if (TKey* k = FindKey(keys, full)) {
    snapshot_ = k->values;
  } else if (AnyKeyUnder(keys, full)) {
    snapshot_.clear();
  } else if (canCreate) {
    if (!whole) return false;
    keys.push_back({full, {}});
    try {
      SaveFile(file, keys);
    } catch (const ERegistryException&) {
      return false;
    }
    snapshot_.clear();
  } else {
    return false;
  }
  open_ = true;
  current_ = path;
  return true;
}

void TRegistry::CloseKey() {
  open_ = false;
  current_.clear();
  snapshot_.clear();
}

bool TRegistry::KeyExists(const std::string& key) {
  std::lock_guard<std::mutex> lock(fileMutex);
  return AnyKeyUnder(LoadFile(FileName()), FullPath(Resolve(key)));
}

bool TRegistry::DeleteKey(const std::string& key) {
  const std::string full = FullPath(Resolve(key));
  std::lock_guard<std::mutex> lock(fileMutex);
  const std::string file = FileName();
  TFolderLock folderLock(file);
  std::vector<TKey> keys;
  try {
    keys = LoadFileForWrite(file);
  } catch (const ERegistryException&) {
    return false;
  }
  size_t before = keys.size();
  std::erase_if(keys, [&](const TKey& k) { return SameName(k.path, full) || StartsWithPath(k.path, full); });
  if (keys.size() == before) return false;
  try {
    SaveFile(file, keys);
  } catch (const ERegistryException&) {
    return false;
  }
  return true;
}

const TRegistry::TValue* TRegistry::Find(const std::string& name) const {
  if (!open_) return nullptr;
  for (const auto& v : snapshot_)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

bool TRegistry::ValueExists(const std::string& name) const { return Find(name) != nullptr; }

TRegDataType TRegistry::GetDataType(const std::string& name) const {
  const TValue* v = Find(name);
  return v ? v->type : TRegDataType::None;
}

std::vector<std::string> TRegistry::GetValueNames() const {
  std::vector<std::string> names;
  if (open_)
    for (const auto& v : snapshot_) names.push_back(v.name);
  return names;
}

bool TRegistry::TryReadString(const std::string& name, std::string& value) const {
  const TValue* v = Find(name);
  if (!v || v->type != TRegDataType::String) return false;
  value = v->text;
  return true;
}

bool TRegistry::TryReadInteger(const std::string& name, int32_t& value) const {
  const TValue* v = Find(name);
  if (!v || v->type != TRegDataType::Integer) return false;
  value = v->integer;
  return true;
}

bool TRegistry::TryReadBool(const std::string& name, bool& value) const {
  int32_t i = 0;
  if (!TryReadInteger(name, i)) return false;
  value = i != 0;
  return true;
}

bool TRegistry::TryReadBinary(const std::string& name, std::vector<uint8_t>& value) const {
  const TValue* v = Find(name);
  if (!v || v->type != TRegDataType::Binary) return false;
  value = v->binary;
  return true;
}

std::string TRegistry::ReadString(const std::string& name) const {
  const TValue* v = Find(name);
  if (!v) return std::string();
  if (v->type != TRegDataType::String) throw ERegistryException("Invalid data type for '" + name + "'");
  return v->text;
}

int32_t TRegistry::ReadInteger(const std::string& name) const {
  const TValue* v = Find(name);
  if (!v || v->type != TRegDataType::Integer) throw ERegistryException("Invalid data type for '" + name + "'");
  return v->integer;
}

bool TRegistry::ReadBool(const std::string& name) const { return ReadInteger(name) != 0; }

std::vector<uint8_t> TRegistry::ReadBinaryData(const std::string& name) const {
  const TValue* v = Find(name);
  if (!v) return {};
  if (v->type != TRegDataType::Binary) throw ERegistryException("Invalid data type for '" + name + "'");
  return v->binary;
}

void TRegistry::Modify(const std::string& name, const TValue* value) {
  if (!open_) throw ERegistryException("No registry key is open");
  const std::string full = FullPath(current_);
  std::lock_guard<std::mutex> lock(fileMutex);
  const std::string file = FileName();
  TFolderLock folderLock(file);
  std::vector<TKey> keys = LoadFileForWrite(file);
  TKey* k = FindKey(keys, full);
  if (!k) {
    keys.push_back({full, {}});
    k = &keys.back();
  }
  auto& vals = k->values;
  auto it = vals.begin();
  for (; it != vals.end(); ++it)
    if (SameName(it->name, name)) break;
  if (value) {
    if (it != vals.end())
      *it = *value;
    else
      vals.push_back(*value);
  } else if (it != vals.end()) {
    vals.erase(it);
  }
  SaveFile(file, keys);
  snapshot_ = k->values;
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  TValue v;
  v.name = name;
  v.type = TRegDataType::String;
  v.text = value;
  Modify(name, &v);
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
  TValue v;
  v.name = name;
  v.type = TRegDataType::Integer;
  v.integer = value;
  Modify(name, &v);
}

void TRegistry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

void TRegistry::WriteBinaryData(const std::string& name, const std::vector<uint8_t>& value) {
  TValue v;
  v.name = name;
  v.type = TRegDataType::Binary;
  v.binary = value;
  Modify(name, &v);
}

bool TRegistry::DeleteValue(const std::string& name) {
  if (!ValueExists(name)) return false;
  try {
    Modify(name, nullptr);
  } catch (const ERegistryException&) {
    return false;
  }
  return true;
}

TRegistry& SettingsRegistry() {
  static TRegistry registry;
  return registry;
}
