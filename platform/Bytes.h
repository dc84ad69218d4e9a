#pragma once
// Little-endian packing of the program's binary files, and ASCII-only case
// folding of one character (letters outside A-Z stay as they are; the string
// form is LowerCase in platform/SysUtils.h).

#include <cstdint>
#include <cstring>
#include <string>

inline void PutLE16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

inline uint16_t GetLE16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline void PutLE32(unsigned char* p, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

inline int32_t GetLE32(const unsigned char* p) {
  uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  return static_cast<int32_t>(u);
}

// Unsigned 32-bit fields (offsets, block numbers).
inline uint32_t GetLEU32(const unsigned char* p) { return static_cast<uint32_t>(GetLE32(p)); }
inline void PutLEU32(unsigned char* p, uint32_t v) { PutLE32(p, static_cast<int32_t>(v)); }
inline void PutLEU32(char* p, uint32_t v) { PutLEU32(reinterpret_cast<unsigned char*>(p), v); }

inline void PutLE64(unsigned char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

inline uint64_t GetLE64(const unsigned char* p) {
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
  return u;
}

// Appends to a byte buffer held in a string.
inline void AppendLE32(std::string& out, int32_t v) {
  unsigned char b[4];
  PutLE32(b, v);
  out.append(reinterpret_cast<const char*>(b), 4);
}

inline void AppendLE64(std::string& out, uint64_t v) {
  unsigned char b[8];
  PutLE64(b, v);
  out.append(reinterpret_cast<const char*>(b), 8);
}

// A string as the program's files hold it: Int32 byte length, then the bytes.
inline void AppendLE32String(std::string& out, const std::string& s) {
  AppendLE32(out, static_cast<int32_t>(s.size()));
  out += s;
}

// The same packing into char buffers.
inline void PutLE16(char* p, uint16_t v) { PutLE16(reinterpret_cast<unsigned char*>(p), v); }
inline void PutLE32(char* p, int32_t v) { PutLE32(reinterpret_cast<unsigned char*>(p), v); }

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
