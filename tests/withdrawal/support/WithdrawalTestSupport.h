#pragma once
// Temporary folders and raw file access for the withdrawal tests.

#include <cstdint>
#include <filesystem>
#include <string>

// A fresh folder under the system temporary folder, removed with its content.
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
int32_t Int32At(const std::string& bytes, size_t pos);
void PutInt32At(std::string& bytes, size_t pos, int32_t value);
std::string LE32(int32_t value);
