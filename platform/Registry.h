#pragma once
// The registry store: keys of typed values (string, 4-byte integer, binary)
// kept in one REGEDIT4 text file. Every open of a key reads the file; every
// write re-reads it, applies the change and replaces it atomically. A damaged
// or hand-edited file is read as far as its lines are sound.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

enum class TRegDataType { None, String, Integer, Binary, Other };

class ERegistryException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// LARKPOST_REGISTRY when set, else $XDG_CONFIG_HOME/larkpost/registry.reg
// (default ~/.config/larkpost/registry.reg).
std::string DefaultRegistryFile();

inline const std::string HKEY_LOCAL_MACHINE = "HKEY_LOCAL_MACHINE";
inline const std::string HKEY_CURRENT_USER = "HKEY_CURRENT_USER";

class TRegistry {
public:
  // Without a file name, DefaultRegistryFile() is looked up at every open.
  explicit TRegistry(std::string fileName = std::string());

  void SetRootKey(const std::string& root) { root_ = root; }
  const std::string& RootKey() const { return root_; }
  void SetFileName(const std::string& fileName) { file_ = fileName; }
  std::string FileName() const;

  // A path starting with "\" is taken from the root, otherwise from the open
  // key (or the root when none is open). False when the key is absent and
  // canCreate is false, or when it cannot be created.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key) { return OpenKey(key, false); }
  void CloseKey();
  bool HasCurrentKey() const { return open_; }
  const std::string& CurrentPath() const { return current_; }  // without the root
  bool KeyExists(const std::string& key);
  bool DeleteKey(const std::string& key);

  bool ValueExists(const std::string& name) const;
  TRegDataType GetDataType(const std::string& name) const;
  std::vector<std::string> GetValueNames() const;

  // Never throw: false when the value is absent or of another type.
  bool TryReadString(const std::string& name, std::string& value) const;
  bool TryReadInteger(const std::string& name, int32_t& value) const;
  bool TryReadBool(const std::string& name, bool& value) const;  // integer "not 0"
  bool TryReadBinary(const std::string& name, std::vector<uint8_t>& value) const;

  // The run-time library's forms: a missing string reads as ""; a missing
  // integer, and any value of another type, throws ERegistryException.
  std::string ReadString(const std::string& name) const;
  int32_t ReadInteger(const std::string& name) const;
  bool ReadBool(const std::string& name) const;
  std::vector<uint8_t> ReadBinaryData(const std::string& name) const;

  // Throw ERegistryException when no key is open or the file cannot be written.
  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int32_t value);
  void WriteBool(const std::string& name, bool value);
  void WriteBinaryData(const std::string& name, const std::vector<uint8_t>& value);
  bool DeleteValue(const std::string& name);

  struct TValue {
    std::string name;  // "" is the default value "@"
    TRegDataType type = TRegDataType::None;
    std::string text;  // String; for Other the raw text after "="
    int32_t integer = 0;
    std::vector<uint8_t> binary;
  };
  struct TKey {
    std::string path;  // full path with the root, as written in the file
    std::vector<TValue> values;
  };

private:
  std::string FullPath(const std::string& keyFromRoot) const;
  std::string Resolve(const std::string& key) const;
  const TValue* Find(const std::string& name) const;
  void Modify(const std::string& name, const TValue* value);

  std::string file_;
  std::string root_ = HKEY_LOCAL_MACHINE;
  bool open_ = false;
  std::string current_;
  std::vector<TValue> snapshot_;
};

// Parsing and writing of the file text, exposed for tests.
std::vector<TRegistry::TKey> ParseRegistryText(const std::string& text);
std::string FormatRegistryText(const std::vector<TRegistry::TKey>& keys);

// The settings key, "SOFTWARE\Morvane\Larkpost 3".
inline const std::string RegKeyPath = std::string("SOFTWARE\\Morvane\\Larkpost ") + std::to_string(3);

// The program's one registry accessor, root HKEY_LOCAL_MACHINE.
TRegistry& SettingsRegistry();
