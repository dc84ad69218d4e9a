#include "support/MailTestSupport.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

std::string FreshDir(const std::string& tag) {
  static std::atomic<unsigned> n{0};
  fs::path dir = fs::temp_directory_path() /
                 ("lp_mail_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string() + "/";
}

std::string FileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void PutFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Le32(int32_t v) {
  auto u = static_cast<uint32_t>(v);
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(u >> (8 * i));
  return b;
}

std::string LeDouble(double v) {
  uint64_t u = 0;
  std::memcpy(&u, &v, 8);
  std::string b(8, '\0');
  for (int i = 0; i < 8; ++i) b[i] = static_cast<char>(u >> (8 * i));
  return b;
}

std::string Str(const std::string& s) { return Le32(static_cast<int32_t>(s.size())) + s; }
