#include "WithdrawalTestSupport.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

TTempFolder::TTempFolder() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("larkpost_withdrawal_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TTempFolder::~TTempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int32_t Int32At(const std::string& bytes, size_t pos) {
  if (pos + 4 > bytes.size()) throw std::out_of_range("Int32At");
  uint32_t u = 0;
  for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(bytes[pos + size_t(i)]);
  return static_cast<int32_t>(u);
}

void PutInt32At(std::string& bytes, size_t pos, int32_t value) {
  auto u = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[pos + size_t(i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

std::string LE32(int32_t value) {
  std::string s(4, '\0');
  PutInt32At(s, 0, value);
  return s;
}
