#include "workspace/CharsetTable.h"

std::string CharsetLine(int index) {
  if (!ValidCharsetIndex(index)) return std::string();
  const auto& e = CharsetTable[static_cast<size_t>(index)];
  return std::string(e.Description) + ", " + e.Charset;
}

std::string CharsetMimeName(int index) {
  if (!ValidCharsetIndex(index)) return CharsetTable[UserDefinedCharset].Charset;
  return CharsetTable[static_cast<size_t>(index)].Charset;
}
