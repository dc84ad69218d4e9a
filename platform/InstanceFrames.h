#pragma once
// The frames two copies of the program exchange over the single-instance
// socket. A frame is the message number and the text length (both
// little-endian 32-bit) followed by the UTF-8 text; the answer to a frame is
// its message number (4 bytes).

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr size_t InstanceFrameHeaderBytes = 8;
inline constexpr size_t InstanceAckBytes = 4;

struct TInstanceFrame {
  uint32_t Message = 0;
  std::string Text;  // at most MaxOpenFilesText characters (platform/CommandLine.h)
};

// The frame of one message; the text is cut to MaxOpenFilesText characters.
std::string EncodeInstanceFrame(uint32_t message, const std::string& text);

// How many bytes the frame that starts at data takes: 0 while its header is
// not all there, -1 when its length is more than any copy sends (the sender
// is not one of ours: drop the connection).
int64_t InstanceFrameSize(const char* data, size_t size);

// The frame at data, which holds at least InstanceFrameSize bytes.
TInstanceFrame DecodeInstanceFrame(const char* data, size_t size);

std::string EncodeInstanceAck(uint32_t message);
// The message number an answer acknowledges.
uint32_t DecodeInstanceAck(const char* data);
