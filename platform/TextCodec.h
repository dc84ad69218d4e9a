#pragma once
// Conversion between 8-bit code pages and the program's UTF-8 text (iconv).
// Code pages are Windows numbers: 437, 850, 1251, 1252, 10000 (Mac Roman)...;
// 65001 is UTF-8 itself.

#include <string>

constexpr int CP_UTF8_PAGE = 65001;

// True when iconv knows the code page.
bool CodePageSupported(int codePage);

// Bytes of the code page to UTF-8. A byte the page does not define becomes U+FFFD;
// never fails. An unsupported page falls back to Windows-1252.
std::string CodePageToUtf8(const std::string& bytes, int codePage);

// UTF-8 to the code page. A character the page cannot hold becomes '?'; invalid
// UTF-8 bytes become '?' too. Never fails.
std::string Utf8ToCodePage(const std::string& text, int codePage);

bool IsValidUtf8(const std::string& s);

// Text of unknown encoding: as is when valid UTF-8, else read as Windows-1252.
std::string GuessToUtf8(const std::string& bytes);

// The longest prefix of UTF-8 text of at most maxBytes bytes that does not split a character.
std::string Utf8CutBytes(const std::string& text, size_t maxBytes);
