#include "workspace/Profile.h"

#include <cerrno>
#include <cstring>

#include "platform/BinaryStream.h"
#include "platform/FileHandle.h"
#include "platform/ReplaceFile.h"

namespace {

constexpr unsigned char PasswordKey[5] = {0x6E, 0x15, 0xB2, 0x09, 0xC4};
constexpr int StringsPerRecord = 11;

bool ReadRecord(TBinaryReader& r, TProfile& p, bool withLeaveCopy) {
  std::string scrambled;
  // The password is read by its stored length: its scrambled form may hold zero bytes.
  bool ok = r.ReadStr(p.AccountName) && r.ReadStr(p.Name) && r.ReadStr(p.Email) && r.ReadStr(p.ReplyTo) &&
            r.ReadStr(p.UserId) && r.ReadStrBytes(scrambled) && r.ReadStr(p.SmtpServer) && r.ReadStr(p.SmtpPort) &&
            r.ReadStr(p.DnsServer) && r.ReadStr(p.Pop3Server) && r.ReadStr(p.Pop3Port);
  uint8_t direct = 0, auth = 0, leave = 0;
  ok = ok && r.ReadByte(direct) && r.ReadByte(auth) && (!withLeaveCopy || r.ReadByte(leave));
  if (!ok) return false;
  p.Password = ScramblePassword(scrambled);
  p.DirectDelivery = direct != 0;
  p.RequiredAuthentication = auth != 0;
  p.LeaveCopyOnServer = leave != 0;
  return true;
}

bool ReadRecords(TBinaryReader& r, int32_t count, bool withLeaveCopy, TProfiles& out) {
  const int64_t smallest = StringsPerRecord * 4 + (withLeaveCopy ? 3 : 2);
  if (count < 0 || count > r.Remaining() / smallest) return false;
  out.assign(static_cast<size_t>(count), TProfile{});
  for (auto& p : out)
    if (!ReadRecord(r, p, withLeaveCopy)) return false;
  return true;
}

}  // namespace

std::string ScramblePassword(const std::string& text) {
  std::string out = text;
  for (size_t j = 0; j < out.size(); ++j)
    out[j] = static_cast<char>(static_cast<unsigned char>(out[j]) ^ PasswordKey[(j + 1) % 5]);
  return out;
}

TAccountsLoad LoadAccounts(const std::string& fileName, TProfiles& profiles) {
  profiles.clear();
  TFileHandle h;
  if (!h.Open(fileName, TFileAccess::Read)) return {};
  if (h.Size() == 0) return {};
  TProfiles read;
  bool ok = false;
  {
    TBinaryReader r(h);
    int32_t first = 0;
    if (r.ReadInt32(first)) {
      if (first == ProfFileMark) {
        int32_t count = 0;
        ok = r.ReadInt32(count) && ReadRecords(r, count, true, read);
      } else {
        ok = ReadRecords(r, first, false, read);
      }
    }
  }
  if (!ok) return {false, "The accounts file " + fileName + " is damaged and was not loaded."};
  profiles = std::move(read);
  return {};
}

bool SaveAccounts(const std::string& fileName, const TProfiles& profiles, std::string* error) {
  TReplacingFile file;
  bool ok = file.Begin(fileName, 0600);
  if (ok) {
    TBinaryWriter w(file.Handle());
    w.WriteInt32(ProfFileMark);
    w.WriteInt32(static_cast<int32_t>(profiles.size()));
    for (const auto& p : profiles) {
      for (const std::string* s : {&p.AccountName, &p.Name, &p.Email, &p.ReplyTo, &p.UserId}) w.WriteStr(*s);
      w.WriteStr(ScramblePassword(p.Password));
      for (const std::string* s : {&p.SmtpServer, &p.SmtpPort, &p.DnsServer, &p.Pop3Server, &p.Pop3Port})
        w.WriteStr(*s);
      w.WriteByte(p.DirectDelivery ? 1 : 0);
      w.WriteByte(p.RequiredAuthentication ? 1 : 0);
      w.WriteByte(p.LeaveCopyOnServer ? 1 : 0);
    }
    if (!w.Flush()) {
      if (error) *error = "Cannot write " + fileName + ": " + std::strerror(w.Error());
      return false;
    }
  }
  ok = ok && file.Finish();
  if (!ok && error) *error = file.Error();
  return ok;
}
