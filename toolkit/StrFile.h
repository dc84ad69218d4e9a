#pragma once
// The program's binary string encoding: an Int32 little-endian length, then
// that many bytes; a list is an Int32 count followed by its strings.

#include <string>
#include <vector>

#include "platform/FileHandle.h"

void WriteStr(TFileHandle& h, const std::string& s);
void WriteStrings(TFileHandle& h, const std::vector<std::string>& strings);

// Both read at the current position. A stored zero byte ends the text
// received while the position still moves past every stored byte.
// False when the file is damaged: it ends inside a length, count or text, or
// a length or count is negative or larger than what is left of the file.
bool ReadStr(TFileHandle& h, std::string& s);
bool ReadStrings(TFileHandle& h, std::vector<std::string>& strings);

// The same for other binary fields, little-endian.
void WriteInt32(TFileHandle& h, int32_t v);
bool ReadInt32(TFileHandle& h, int32_t& v);
