#pragma once
// The fixed list of character sets a message can be declared in. Everything
// that stores a character set stores the row index.

#include <array>
#include <string>

struct TCharsetEntry {
  const char* Description;
  const char* Charset;  // the MIME charset name
};

inline constexpr std::array<TCharsetEntry, 19> CharsetTable{{
    {"Arabic (Windows)", "windows-1256"},
    {"Baltic (Windows)", "windows-1257"},
    {"Central European (ISO)", "iso-8859-2"},
    {"Central European (Windows)", "windows-1250"},
    {"Cyrillic (ISO)", "iso-8859-5"},
    {"Cyrillic (KOI8-R)", "koi8-r"},
    {"Cyrillic (KOI8-U)", "koi8-u"},
    {"Cyrillic (Windows)", "windows-1251"},
    {"Greek (ISO)", "iso-8859-7"},
    {"Greek (Windows)", "windows-1253"},
    {"Hebrew (Windows)", "windows-1255"},
    {"Thai (Windows)", "windows-874"},
    {"Turkish (Windows)", "windows-1254"},
    {"Unicode (UTF-7)", "utf-7"},
    {"Unicode (UTF-8)", "utf-8"},
    {"User Defined", "x-user-defined"},
    {"Vietnamese (Windows)", "windows-1258"},
    {"Western European (ISO)", "iso-8859-1"},
    {"Western European (Windows)", "windows-1252"},
}};

// The row used wherever no index is known.
constexpr int UserDefinedCharset = 15;

inline bool ValidCharsetIndex(int index) { return index >= 0 && index < static_cast<int>(CharsetTable.size()); }

// "Description, Charset", as the lists show a row.
std::string CharsetLine(int index);
// The MIME name of a row; a stored index out of range gives "x-user-defined".
std::string CharsetMimeName(int index);
