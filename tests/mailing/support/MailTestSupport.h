#pragma once
// Small helpers of the mailing tests: a fresh folder per test, whole-file
// reads and writes, and the program's binary encoding built by hand.

#include <cstdint>
#include <string>

// A new empty folder under the system temporary folder, with a trailing "/".
std::string FreshDir(const std::string& tag);
std::string FileBytes(const std::string& path);
void PutFileBytes(const std::string& path, const std::string& bytes);

std::string Le32(int32_t v);
std::string LeDouble(double v);
std::string Str(const std::string& s);  // Int32 length + bytes
