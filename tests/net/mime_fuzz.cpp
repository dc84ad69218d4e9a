// Received mail is hostile input: parsing must never crash, hang or write outside its folder.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "net/IdMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("lpnet-fuzz-" + std::to_string(getpid()));
  std::string raw(reinterpret_cast<const char*>(data), size);
  TIdMessage m;
  m.AttachmentFolder = folder;
  try {
    m.LoadFromString(raw, size % 2 == 0);
  } catch (const EIdException&) {
  }
  TIdEMailAddressList l;
  l.SetEMailAddresses(raw);
  TIdEMailAddressList again;
  again.SetEMailAddresses(l.EMailAddresses());
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
