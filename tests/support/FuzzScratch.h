// Scratch files for fuzz targets whose readers take a path rather than bytes.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

// A folder of this process's own (targets may run in parallel), made on first use.
inline std::filesystem::path FuzzScratchDir(const std::string& name) {
  std::filesystem::path d = std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()));
  std::filesystem::create_directories(d);
  return d;
}

inline void WriteFuzzInput(const std::filesystem::path& file, const uint8_t* data, size_t size) {
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
