// Feeds arbitrary bytes as "Prof.dat": a file that loads must save and load
// again as the same accounts; one that does not leaves the list empty.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "workspace/Profile.h"
#include "tests/support/FuzzScratch.h"

namespace fs = std::filesystem;

namespace {

bool Same(const TProfile& a, const TProfile& b) {
  return a.AccountName == b.AccountName && a.Name == b.Name && a.Email == b.Email && a.ReplyTo == b.ReplyTo &&
         a.UserId == b.UserId && a.Password == b.Password && a.SmtpServer == b.SmtpServer && a.SmtpPort == b.SmtpPort &&
         a.DnsServer == b.DnsServer && a.Pop3Server == b.Pop3Server && a.Pop3Port == b.Pop3Port &&
         a.DirectDelivery == b.DirectDelivery && a.RequiredAuthentication == b.RequiredAuthentication &&
         a.LeaveCopyOnServer == b.LeaveCopyOnServer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path dir = FuzzScratchDir("lpprof_fuzz");
  const std::string in = (dir / "in.dat").string(), out = (dir / "out.dat").string();
  WriteFuzzInput(in, data, size);
  TProfiles profiles;
  const TAccountsLoad load = LoadAccounts(in, profiles);
  if (!load.ok) {
    if (!profiles.empty() || load.error.empty()) std::abort();
    return 0;
  }
  if (!SaveAccounts(out, profiles)) std::abort();
  TProfiles again;
  if (!LoadAccounts(out, again).ok || again.size() != profiles.size()) std::abort();
  for (size_t i = 0; i < profiles.size(); ++i)
    if (!Same(profiles[i], again[i])) std::abort();
  return 0;
}
