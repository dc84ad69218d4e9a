#pragma once
// Buffered reading and writing of the program's binary encoding (little-endian
// Int32, 8-byte doubles, bytes, Int32-length strings and string lists) for
// files of many records. The reader never passes the file's end nor allocates
// more than is left of it; the writer remembers the first failed write, so a
// caller can refuse to put a short file in place of a good one.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileHandle.h"

class TBinaryReader {
public:
  // Reads from the handle's current position to the size it has now.
  explicit TBinaryReader(TFileHandle& h);

  // Each is false, taking nothing, when fewer bytes than needed are left.
  bool ReadBytes(void* dest, int64_t count);
  bool ReadInt32(int32_t& v);
  bool ReadDouble(double& v);
  bool ReadByte(uint8_t& v);
  // A stored zero byte ends the text received; the position moves past all stored bytes.
  bool ReadStr(std::string& s);
  // Every stored byte, zero bytes included.
  bool ReadStrBytes(std::string& s);
  bool ReadStrings(std::vector<std::string>& strings);
  bool Skip(int64_t count);

  int64_t Remaining() const { return size_ - pos_; }
  int64_t Position() const { return pos_; }
  bool AtEnd() const { return pos_ >= size_; }

private:
  bool Fill();
  TFileHandle& h_;
  int64_t pos_ = 0, size_ = 0;
  std::string buffer_;
  size_t bufPos_ = 0;
};

class TBinaryWriter {
public:
  explicit TBinaryWriter(TFileHandle& h);
  ~TBinaryWriter();  // flushes what is left
  TBinaryWriter(const TBinaryWriter&) = delete;
  TBinaryWriter& operator=(const TBinaryWriter&) = delete;

  void WriteBytes(const void* data, size_t count);
  void WriteInt32(int32_t v);
  void WriteDouble(double v);
  void WriteByte(uint8_t v);
  void WriteStr(const std::string& s);
  void WriteStrings(const std::vector<std::string>& strings);

  // Hands the buffer to the file; false once any write has failed.
  bool Flush();
  bool Ok() const { return error_ == 0; }
  int Error() const { return error_; }  // errno of the first failure

private:
  TFileHandle& h_;
  std::string buffer_;
  int error_ = 0;
};
