#include "withdrawal/SchemesFile.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "platform/Bytes.h"
#include "platform/FileHandle.h"

namespace {

void PutBool(std::string& out, bool b) { out += static_cast<char>(b ? 1 : 0); }

// Reads items in file order; the first item that does not fit in what is
// left marks the reader failed, and every later read gives nothing.
class TSchemeReader {
public:
  explicit TSchemeReader(const std::string& bytes) : bytes_(bytes) {}
  bool Ok() const { return ok_; }
  size_t Left() const { return bytes_.size() - at_; }

  int32_t Int32() {
    if (!ok_ || Left() < 4) return Fail(), 0;
    int32_t v = GetLE32(reinterpret_cast<const unsigned char*>(bytes_.data() + at_));
    at_ += 4;
    return v;
  }
  bool Bool() {
    if (!ok_ || Left() < 1) return Fail(), false;
    return bytes_[at_++] != 0;
  }
  std::string Str() {
    int32_t n = Int32();
    if (!ok_ || n < 0 || static_cast<size_t>(n) > Left()) return Fail(), std::string();
    std::string s = bytes_.substr(at_, static_cast<size_t>(n));
    at_ += static_cast<size_t>(n);
    size_t zero = s.find('\0');
    if (zero != std::string::npos) s.resize(zero);
    return s;
  }
  // A count of 0 or less is an empty list. Every item takes at least
  // minItemBytes, so a count beyond what is left cannot be right.
  int32_t Count(size_t minItemBytes) {
    int32_t n = Int32();
    if (!ok_ || n <= 0) return 0;
    if (static_cast<size_t>(n) > Left() / minItemBytes) return Fail(), 0;
    return n;
  }

private:
  void Fail() { ok_ = false; }
  const std::string& bytes_;
  size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace

std::string EncodeSchemes(const TSchemes& schemes) {
  std::string out;
  AppendLE32(out, SchemesFileFormat);
  AppendLE32(out, static_cast<int32_t>(schemes.size()));
  for (const TScheme& s : schemes) {
    for (const std::string* t : {&s.Name, &s.Account, &s.Reserved, &s.ContentField, &s.TimeField, &s.FromNameField,
                                 &s.FromEmailField, &s.SubjectField})
      AppendLE32String(out, *t);
    PutBool(out, s.Flag1);
    PutBool(out, s.Flag2);
    PutBool(out, s.Response.RespondTo);
    PutBool(out, s.Response.ForwardTo);
    for (const std::string* t : {&s.Response.RespondAddress, &s.Response.ResponseSubject, &s.Response.ForwardAddress,
                                 &s.Response.ForwardSubject, &s.Response.ResponseText})
      AppendLE32String(out, *t);
    AppendLE32(out, s.Response.Charset);
    AppendLE32(out, static_cast<int32_t>(s.Markers.size()));
    for (const std::string& m : s.Markers) AppendLE32String(out, m);
    AppendLE32(out, static_cast<int32_t>(s.Values.size()));
    for (const TScheme::TValue& v : s.Values) {
      AppendLE32String(out, v.AfterMarker);
      AppendLE32String(out, v.UpToMarker);
      AppendLE32String(out, v.Field);
    }
  }
  return out;
}

TSchemes DecodeSchemes(const std::string& bytes, TSchemesDamage* damage) {
  TSchemes schemes;
  TSchemeReader r(bytes);
  int32_t format = r.Int32();
  int32_t count = 0;
  auto report = [&] {
    if (damage) *damage = {!r.Ok(), count};
  };
  if (!r.Ok() || format <= 0) {
    report();
    return schemes;
  }
  // Not sized from the count: every scheme read consumes bytes or fails, so
  // the loop ends with the file whatever the count says.
  count = r.Int32();
  for (int32_t i = 0; i < count && r.Ok(); ++i) {
    TScheme s;
    s.Name = r.Str();
    s.Account = r.Str();
    s.Reserved = r.Str();
    s.ContentField = r.Str();
    s.TimeField = r.Str();
    if (format > 1) {
      s.FromNameField = r.Str();
      s.FromEmailField = r.Str();
      s.SubjectField = r.Str();
    }
    s.Flag1 = r.Bool();
    s.Flag2 = r.Bool();
    s.Response.RespondTo = r.Bool();
    s.Response.ForwardTo = r.Bool();
    s.Response.RespondAddress = r.Str();
    s.Response.ResponseSubject = r.Str();
    s.Response.ForwardAddress = r.Str();
    s.Response.ForwardSubject = r.Str();
    s.Response.ResponseText = r.Str();
    s.Response.Charset = r.Int32();
    int32_t markers = r.Count(4);
    for (int32_t k = 0; k < markers && r.Ok(); ++k) s.Markers.push_back(r.Str());
    int32_t rules = r.Count(12);
    for (int32_t k = 0; k < rules && r.Ok(); ++k) {
      TScheme::TValue v;
      v.AfterMarker = r.Str();
      v.UpToMarker = r.Str();
      v.Field = r.Str();
      s.Values.push_back(std::move(v));
    }
    if (r.Ok()) schemes.push_back(std::move(s));
  }
  report();
  return schemes;
}

bool ReadSchemesFile(const std::string& fileName, TSchemes& schemes, TSchemesDamage* damage) {
  schemes.clear();
  if (damage) *damage = {};
  TFileHandle h;
  if (!h.Open(fileName, TFileAccess::Read)) return false;
  int64_t size = h.Size();
  if (size < 0) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size > 0 && !h.ReadExact(bytes.data(), size)) return false;
  if (size > 0) schemes = DecodeSchemes(bytes, damage);
  return true;
}

bool WriteSchemesFile(const std::string& fileName, const TSchemes& schemes) {
  const std::string bytes = EncodeSchemes(schemes);
  const std::string temp = fileName + "." + std::to_string(::getpid()) + ".tmp";
  std::error_code ec;
  {
    TFileHandle h;
    if (!h.Create(temp)) return false;
    bool ok = h.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size())) && h.Flush();
    h.Close();
    if (!ok) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, fileName, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}
