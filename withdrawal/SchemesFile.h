#pragma once
// "Schemes.dat", the withdrawal schemes (little-endian; a string is an Int32
// byte length then the bytes, a string list an Int32 count then the strings):
//   Int32 format (2 when written; 1 lacks the three sender/subject fields;
//         0 or less holds nothing more)
//   Int32 scheme count, then per scheme:
//     Name, Account, Reserved, ContentField, TimeField       strings
//     FromNameField, FromEmailField, SubjectField            strings, format > 1 only
//     Flag1, Flag2, RespondTo, ForwardTo                     1 byte each, 0 or 1
//     RespondAddress, ResponseSubject, ForwardAddress,
//     ForwardSubject, ResponseText                           strings
//     Charset                                                Int32
//     Markers                                                string list
//     Int32 rule count, then per rule AfterMarker, UpToMarker, Field (strings)
// No magic, no checksum, nothing after the last scheme. A stored zero byte
// ends the text read from a string.

#include <string>

#include "withdrawal/Scheme.h"

inline constexpr int32_t SchemesFileFormat = 2;
inline const std::string SchemesFileName = "Schemes.dat";

std::string EncodeSchemes(const TSchemes& schemes);

// Whether the reading stopped at damage, and the scheme count the file gave.
struct TSchemesDamage {
  bool Damaged = false;
  int32_t Declared = 0;
};

// Every length and count is checked against what is left: a damaged file
// gives the schemes complete before the damage. A marker or rule count of 0
// or less is an empty list; bytes after the last scheme are not read.
TSchemes DecodeSchemes(const std::string& bytes, TSchemesDamage* damage = nullptr);

// The whole file; false when it cannot be read. An empty file holds no scheme.
bool ReadSchemesFile(const std::string& fileName, TSchemes& schemes, TSchemesDamage* damage = nullptr);
// Written to a temporary file in the same folder, then renamed over the old
// one; false (the old file untouched) when any step fails.
bool WriteSchemesFile(const std::string& fileName, const TSchemes& schemes);
