#include "mailing/Internet.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Registry.h"

namespace {

const char* const InternetSettingsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char* const AutodialValue = "EnableAutodial";
constexpr size_t AutodialSize = 4;

bool Resolves(const std::string& hostName) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const int rc = getaddrinfo(hostName.c_str(), nullptr, &hints, &result);
  if (result) freeaddrinfo(result);
  return rc == 0;
}

// Holds the dial-up value at zero for the life of the object.
class TAutodialHold {
public:
  TAutodialHold() {
    try {
      reg_.SetRootKey(HKEY_LOCAL_MACHINE);
      if (!reg_.OpenKeyReadOnly(InternetSettingsKey)) return;
      std::vector<uint8_t> value;
      if (!reg_.TryReadBinary(AutodialValue, value) || value.size() != AutodialSize) return;
      reg_.WriteBinaryData(AutodialValue, std::vector<uint8_t>(AutodialSize, 0));
      saved_ = std::move(value);
    } catch (const ERegistryException&) {
      // An unwritable store: the look-up runs all the same.
    }
  }
  ~TAutodialHold() {
    try {
      if (saved_) reg_.WriteBinaryData(AutodialValue, *saved_);
    } catch (const ERegistryException&) {
    }
    reg_.CloseKey();
  }
  TAutodialHold(const TAutodialHold&) = delete;
  TAutodialHold& operator=(const TAutodialHold&) = delete;

private:
  TRegistry reg_;
  std::optional<std::vector<uint8_t>> saved_;
};

}  // namespace

std::string ConnectionCheckHost() {
  if (const char* h = std::getenv("LARKPOST_CHECK_HOST"); h && *h) return h;
  return "www.google.com";
}

bool IsInternetReachable(const std::string& hostName) {
  TAutodialHold hold;
  return Resolves(hostName);
}
