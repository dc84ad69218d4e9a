#include "platform/InstanceFrames.h"

#include <algorithm>

#include "platform/CommandLine.h"

namespace {

// A text of MaxOpenFilesText characters takes at most four bytes each.
constexpr uint32_t MaxTextBytes = MaxOpenFilesText * 4;

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t GetU32(const char* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  return v;
}

}  // namespace

std::string EncodeInstanceFrame(uint32_t message, const std::string& text) {
  const std::string body = CutToChars(text, MaxOpenFilesText);
  std::string frame;
  PutU32(frame, message);
  PutU32(frame, static_cast<uint32_t>(body.size()));
  return frame + body;
}

int64_t InstanceFrameSize(const char* data, size_t size) {
  if (size < InstanceFrameHeaderBytes) return 0;
  const uint32_t length = GetU32(data + 4);
  if (length > MaxTextBytes) return -1;
  return static_cast<int64_t>(InstanceFrameHeaderBytes + length);
}

TInstanceFrame DecodeInstanceFrame(const char* data, size_t size) {
  TInstanceFrame f;
  if (size < InstanceFrameHeaderBytes) return f;
  f.Message = GetU32(data);
  const size_t length = std::min<size_t>(GetU32(data + 4), size - InstanceFrameHeaderBytes);
  f.Text = CutToChars(std::string(data + InstanceFrameHeaderBytes, length), MaxOpenFilesText);
  return f;
}

std::string EncodeInstanceAck(uint32_t message) {
  std::string ack;
  PutU32(ack, message);
  return ack;
}

uint32_t DecodeInstanceAck(const char* data) { return GetU32(data); }
