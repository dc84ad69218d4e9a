// Feeds arbitrary bytes as a command line (arguments separated by zero
// bytes), as the text of one open-files message, and as what arrives on the
// single-instance socket (a run of frames). Checks what each reader promises.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/InstanceFrames.h"

namespace {

size_t Chars(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

void CommandLine(const std::string& bytes) {
  std::vector<std::string> args;
  size_t at = 0;
  for (;;) {
    const size_t zero = bytes.find('\0', at);
    args.push_back(bytes.substr(at, zero == std::string::npos ? std::string::npos : zero - at));
    if (zero == std::string::npos) break;
    at = zero + 1;
  }
  const std::vector<std::string> absolute = AbsoluteArguments(args, "/home/user/tables");
  if (absolute.size() != args.size()) std::abort();
  for (size_t i = 0; i < args.size(); ++i)
    if (!args[i].empty() && absolute[i].front() != '/') std::abort();
  std::vector<std::string> params{"/usr/bin/larkpost"};
  params.insert(params.end(), absolute.begin(), absolute.end());
  const TCommandLineFiles files = ClassifyCommandLine(params);
  auto given = [&](const std::string& name) {
    if (name.empty()) return true;
    for (size_t i = 1; i < params.size(); ++i)
      if (params[i] == name) return true;
    return false;
  };
  if (!given(files.Project) || !given(files.Access) || !given(files.DBase)) std::abort();
}

void OpenFilesText(const std::string& text) {
  size_t total = 0;
  for (const std::string& a : SplitOpenFilesText(text)) {
    if (a.empty() || a.find('"') != std::string::npos) std::abort();
    total += a.size();
  }
  if (total > text.size()) std::abort();
}

void Frames(const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    const int64_t size = InstanceFrameSize(bytes.data() + at, bytes.size() - at);
    if (size <= 0 || static_cast<size_t>(size) > bytes.size() - at) break;
    const TInstanceFrame frame = DecodeInstanceFrame(bytes.data() + at, static_cast<size_t>(size));
    if (Chars(frame.Text) > static_cast<size_t>(MaxOpenFilesText)) std::abort();
    // What a sender of ours would send for it reads back the same.
    const std::string resent = EncodeInstanceFrame(frame.Message, frame.Text);
    if (InstanceFrameSize(resent.data(), resent.size()) != static_cast<int64_t>(resent.size())) std::abort();
    const TInstanceFrame back = DecodeInstanceFrame(resent.data(), resent.size());
    if (back.Message != frame.Message || back.Text != frame.Text) std::abort();
    if (DecodeInstanceAck(EncodeInstanceAck(frame.Message).data()) != frame.Message) std::abort();
    OpenFilesText(frame.Text);
    at += static_cast<size_t>(size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CommandLine(bytes);
  OpenFilesText(bytes);
  Frames(bytes);
  return 0;
}
