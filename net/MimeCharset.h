#pragma once
// Text in a MIME charset, for anything that writes or reads what mail carries.

#include <string>

// UTF-8 to the charset's bytes; unrepresentable characters become "?". "x-user-defined"
// keeps the bytes. Throws EIdException for a charset iconv does not know.
std::string NetFromUtf8(const std::string& utf8, const std::string& charset);
// The charset's bytes to UTF-8; invalid input becomes U+FFFD. An unknown or missing charset
// reads valid UTF-8 as it is, anything else as windows-1252.
std::string NetToUtf8(const std::string& bytes, const std::string& charset);
