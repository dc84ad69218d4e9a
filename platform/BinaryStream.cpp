#include "platform/BinaryStream.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t BufferSize = 1 << 16;

int32_t GetLE32(const unsigned char* p) {
  uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  return static_cast<int32_t>(u);
}

}  // namespace

TBinaryReader::TBinaryReader(TFileHandle& h) : h_(h) {
  int64_t pos = h.Position(), size = h.Size();
  pos_ = pos < 0 ? 0 : pos;
  size_ = size < pos_ ? pos_ : size;
}

bool TBinaryReader::Fill() {
  buffer_.resize(BufferSize);
  int64_t n = h_.Read(buffer_.data(), static_cast<int64_t>(buffer_.size()));
  if (n <= 0) {
    buffer_.clear();
    bufPos_ = 0;
    return false;
  }
  buffer_.resize(static_cast<size_t>(n));
  bufPos_ = 0;
  return true;
}

bool TBinaryReader::ReadBytes(void* dest, int64_t count) {
  if (count < 0 || count > Remaining()) return false;
  auto* out = static_cast<char*>(dest);
  int64_t left = count;
  while (left > 0) {
    if (bufPos_ >= buffer_.size()) {
      // A large block bypasses the buffer.
      if (left >= static_cast<int64_t>(BufferSize)) {
        if (!h_.ReadExact(out, left)) return false;
        pos_ += left;
        return true;
      }
      if (!Fill()) return false;
    }
    size_t take = buffer_.size() - bufPos_;
    if (static_cast<int64_t>(take) > left) take = static_cast<size_t>(left);
    std::memcpy(out, buffer_.data() + bufPos_, take);
    bufPos_ += take;
    out += take;
    left -= static_cast<int64_t>(take);
    pos_ += static_cast<int64_t>(take);
  }
  return true;
}

bool TBinaryReader::Skip(int64_t count) {
  if (count < 0 || count > Remaining()) return false;
  size_t inBuffer = buffer_.size() - bufPos_;
  if (static_cast<int64_t>(inBuffer) >= count) {
    bufPos_ += static_cast<size_t>(count);
    pos_ += count;
    return true;
  }
  if (h_.Seek(pos_ + count) < 0) return false;
  pos_ += count;
  buffer_.clear();
  bufPos_ = 0;
  return true;
}

bool TBinaryReader::ReadInt32(int32_t& v) {
  unsigned char b[4];
  if (!ReadBytes(b, 4)) return false;
  v = GetLE32(b);
  return true;
}

bool TBinaryReader::ReadDouble(double& v) {
  unsigned char b[8];
  if (!ReadBytes(b, 8)) return false;
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = u << 8 | b[i];
  std::memcpy(&v, &u, 8);
  return true;
}

bool TBinaryReader::ReadByte(uint8_t& v) { return ReadBytes(&v, 1); }

bool TBinaryReader::ReadStrBytes(std::string& s) {
  s.clear();
  int32_t n = 0;
  if (!ReadInt32(n)) return false;
  if (n < 0 || n > Remaining()) return false;
  s.resize(static_cast<size_t>(n));
  return ReadBytes(s.data(), n);
}

bool TBinaryReader::ReadStr(std::string& s) {
  if (!ReadStrBytes(s)) return false;
  size_t zero = s.find('\0');
  if (zero != std::string::npos) s.resize(zero);
  return true;
}

bool TBinaryReader::ReadStrings(std::vector<std::string>& strings) {
  strings.clear();
  int32_t c = 0;
  if (!ReadInt32(c)) return false;
  // Every stored string takes at least its four length bytes.
  if (c < 0 || c > Remaining() / 4) return false;
  strings.reserve(static_cast<size_t>(c));
  for (int32_t i = 0; i < c; ++i) {
    std::string s;
    if (!ReadStr(s)) return false;
    strings.push_back(std::move(s));
  }
  return true;
}

TBinaryWriter::TBinaryWriter(TFileHandle& h) : h_(h) { buffer_.reserve(BufferSize); }

TBinaryWriter::~TBinaryWriter() { Flush(); }

bool TBinaryWriter::Flush() {
  if (error_ == 0 && !buffer_.empty()) {
    if (!h_.WriteExact(buffer_.data(), static_cast<int64_t>(buffer_.size())))
      error_ = h_.LastError() ? h_.LastError() : EIO;
  }
  buffer_.clear();
  return error_ == 0;
}

void TBinaryWriter::WriteBytes(const void* data, size_t count) {
  if (error_ != 0) return;
  if (buffer_.size() + count > BufferSize) {
    Flush();
    if (count >= BufferSize) {
      if (error_ == 0 && !h_.WriteExact(data, static_cast<int64_t>(count)))
        error_ = h_.LastError() ? h_.LastError() : EIO;
      return;
    }
  }
  buffer_.append(static_cast<const char*>(data), count);
}

void TBinaryWriter::WriteInt32(int32_t v) {
  auto u = static_cast<uint32_t>(v);
  unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                        static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
  WriteBytes(b, 4);
}

void TBinaryWriter::WriteDouble(double v) {
  uint64_t u = 0;
  std::memcpy(&u, &v, 8);
  unsigned char b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
  WriteBytes(b, 8);
}

void TBinaryWriter::WriteByte(uint8_t v) { WriteBytes(&v, 1); }

void TBinaryWriter::WriteStr(const std::string& s) {
  WriteInt32(static_cast<int32_t>(s.size()));
  WriteBytes(s.data(), s.size());
}

void TBinaryWriter::WriteStrings(const std::vector<std::string>& strings) {
  WriteInt32(static_cast<int32_t>(strings.size()));
  for (const auto& s : strings) WriteStr(s);
}
