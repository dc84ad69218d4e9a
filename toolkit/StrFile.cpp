#include "toolkit/StrFile.h"

#include <cstring>

#include "platform/Bytes.h"

namespace {

int64_t Remaining(TFileHandle& h) {
  int64_t pos = h.Position(), size = h.Size();
  return (pos < 0 || size < 0 || size < pos) ? 0 : size - pos;
}

}  // namespace

void WriteInt32(TFileHandle& h, int32_t v) {
  unsigned char b[4];
  PutLE32(b, v);
  h.Write(b, 4);
}

bool ReadInt32(TFileHandle& h, int32_t& v) {
  unsigned char b[4];
  if (!h.ReadExact(b, 4)) return false;
  v = GetLE32(b);
  return true;
}

void WriteStr(TFileHandle& h, const std::string& s) {
  WriteInt32(h, static_cast<int32_t>(s.size()));
  h.Write(s.data(), static_cast<int64_t>(s.size()));
}

bool ReadStr(TFileHandle& h, std::string& s) {
  s.clear();
  int32_t n = 0;
  if (!ReadInt32(h, n)) return false;
  if (n < 0 || n > Remaining(h)) return false;
  std::string buf(static_cast<size_t>(n), '\0');
  if (n > 0 && !h.ReadExact(buf.data(), n)) return false;
  size_t zero = buf.find('\0');
  if (zero != std::string::npos) buf.resize(zero);
  s = std::move(buf);
  return true;
}

void WriteStrings(TFileHandle& h, const std::vector<std::string>& strings) {
  WriteInt32(h, static_cast<int32_t>(strings.size()));
  for (const auto& s : strings) WriteStr(h, s);
}

bool ReadStrings(TFileHandle& h, std::vector<std::string>& strings) {
  strings.clear();
  int32_t c = 0;
  if (!ReadInt32(h, c)) return false;
  if (c == 0) return true;
  // Every stored string takes at least its four length bytes.
  if (c < 0 || c > Remaining(h) / 4) return false;
  strings.reserve(static_cast<size_t>(c));
  for (int32_t i = 0; i < c; ++i) {
    std::string s;
    if (!ReadStr(h, s)) return false;
    strings.push_back(std::move(s));
  }
  return true;
}
