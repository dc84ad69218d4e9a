#pragma once
// Small shared routines of the main unit.

#include <cstdint>
#include <string>

// A temporary-file name. An empty Dir means the system temporary folder.
// A Prefix of fewer than 8 characters gets the first number 0, 1, 2, ...
// that names no existing file (Dir + Prefix + N + "." + Ext); a longer one
// gives Dir + Prefix + "." + Ext untested.
std::string MakeTempFileName(const std::string& Dir, const std::string& Prefix, const std::string& Ext);

// The name cut at its last full stop ("a.b.c" -> "a.b"); a full stop in a
// folder name is not an extension, so "/x.y/news" stays whole.
std::string RemoveFileExt(const std::string& FileName);

// True when S holds a character other than blank, carriage return and line feed.
bool HasNonBlank(const std::string& S);

inline int32_t Max(int32_t a, int32_t b) { return a > b ? a : b; }
inline int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }
