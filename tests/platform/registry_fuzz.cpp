// Feeds arbitrary bytes as the registry file: what is read must write back
// to a text that reads as the same keys and values, and writes the same again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace {

bool SameValue(const TRegistry::TValue& a, const TRegistry::TValue& b) {
  return a.name == b.name && a.type == b.type && a.text == b.text && a.integer == b.integer &&
         a.binary == b.binary;
}

bool SameKeys(const std::vector<TRegistry::TKey>& a, const std::vector<TRegistry::TKey>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].path != b[i].path || a[i].values.size() != b[i].values.size()) return false;
    for (size_t j = 0; j < a[i].values.size(); ++j)
      if (!SameValue(a[i].values[j], b[i].values[j])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<TRegistry::TKey> keys = ParseRegistryText(text);
  const std::string written = FormatRegistryText(keys);
  const std::vector<TRegistry::TKey> again = ParseRegistryText(written);
  if (!SameKeys(keys, again)) std::abort();
  if (FormatRegistryText(again) != written) std::abort();
  return 0;
}
