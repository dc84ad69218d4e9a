// Character conversion with iconv (through GMime's converter cache).

#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "net/MimeInternal.h"
#include "net/NetInternal.h"

namespace netmime {

bool ValidUtf8(const std::string& s) {
  return g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr);
}

bool IsUserDefined(const std::string& cs) { return Lower(cs) == "x-user-defined"; }

bool IconvConvert(const std::string& in, const char* to, const char* from, bool fromUtf8,
                  const std::string& replacement, std::string& out) {
  InitMailLibraries();  // GMime's converter cache exists only after its set-up
  iconv_t cd = g_mime_iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  out.reserve(in.size() + in.size() / 4 + 16);
  char* inp = const_cast<char*>(in.data());
  size_t inleft = in.size();
  char buf[4096];
  for (;;) {
    char* outp = buf;
    size_t outleft = sizeof buf;
    size_t r = iconv(cd, inleft ? &inp : nullptr, inleft ? &inleft : nullptr, &outp, &outleft);
    out.append(buf, static_cast<size_t>(outp - buf));
    if (r != static_cast<size_t>(-1)) {
      if (inleft == 0) {
        // flush the shift state (utf-7)
        outp = buf;
        outleft = sizeof buf;
        iconv(cd, nullptr, nullptr, &outp, &outleft);
        out.append(buf, static_cast<size_t>(outp - buf));
        break;
      }
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: replace one character (or byte) and go on
    out += replacement;
    size_t skip = 1;
    if (fromUtf8) {
      unsigned char c = static_cast<unsigned char>(*inp);
      skip = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      skip = std::min(skip, inleft);
    }
    inp += skip;
    inleft -= skip;
    if (inleft == 0) break;
  }
  g_mime_iconv_close(cd);
  return true;
}


}  // namespace netmime

using namespace netmime;

std::string NetFromUtf8(const std::string& utf8, const std::string& charset) {
  std::string cs = Lower(TrimWs(charset));
  if (cs.empty() || cs == "utf-8" || cs == "utf8") return utf8;
  // User-defined text has no conversion: its bytes go out as they are.
  if (IsUserDefined(cs)) return utf8;
  std::string out;
  if (!IconvConvert(utf8, cs.c_str(), "UTF-8", true, "?", out))
    throw EIdException("Unknown character set: " + CleanHeaderText(charset));
  return out;
}

std::string NetToUtf8(const std::string& bytes, const std::string& charset) {
  std::string cs = Lower(TrimWs(charset));
  auto fallback = [&]() {
    if (ValidUtf8(bytes)) return bytes;
    std::string out;
    if (IconvConvert(bytes, "UTF-8", "WINDOWS-1252", false, "\xEF\xBF\xBD", out)) return out;
    return std::string();
  };
  if (cs.empty() || cs == "us-ascii" || IsUserDefined(cs)) return fallback();
  if (cs == "utf-8" || cs == "utf8") {
    if (ValidUtf8(bytes)) return bytes;
    std::string out;
    IconvConvert(bytes, "UTF-8", "UTF-8", false, "\xEF\xBF\xBD", out);
    return out;
  }
  std::string out;
  if (!IconvConvert(bytes, "UTF-8", cs.c_str(), false, "\xEF\xBF\xBD", out)) return fallback();
  if (!ValidUtf8(out)) return fallback();
  return out;
}
