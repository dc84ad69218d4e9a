#pragma once
// One character of UTF-8 text at a time, for code that walks text by position
// and cannot work on a converted copy whose positions differ.

#include <cstddef>
#include <cstdint>
#include <string>

// Length in bytes of the character at s[i] (i < s.size()); cp receives its code
// point, or the byte itself when the bytes there are no valid UTF-8 sequence.
size_t Utf8DecodeAt(const std::string& s, size_t i, uint32_t& cp);
// The lower-case form of one code point, as AnsiLowerCase changes it.
uint32_t Utf8LowerChar(uint32_t cp);
