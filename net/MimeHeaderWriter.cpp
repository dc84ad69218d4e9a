// Header writing: encoded words, folding, address and date values.

#include <sys/random.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

#include "net/MimeInternal.h"

namespace netmime {

namespace {

bool IsPrintableAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c >= 0x7f) return false;
  return true;
}

// The Q encoding of one character's bytes.
std::string QEncode(const std::string& bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string enc;
  for (unsigned char c : bytes) {
    if (std::isalnum(c) || c == '!' || c == '*' || c == '+' || c == '-' || c == '/') enc += static_cast<char>(c);
    else if (c == ' ') enc += '_';
    else {
      enc += '=';
      enc += hex[c >> 4];
      enc += hex[c & 15];
    }
  }
  return enc;
}

// Encoded words (RFC 2047) for Text in Charset, each at most 75 characters. A word ends
// after a blank of the text where there is one: decoders that show a blank between encoded
// words would otherwise split a name's word in two. Only a word of the text too long for one
// encoded word is cut inside, and never inside a character. Falls back to UTF-8 when the
// charset cannot hold every character.
std::vector<std::string> EncodeWords(const std::string& text, std::string charset, size_t firstWord = 75) {
  std::string cs = Lower(charset);
  if (cs.empty() || cs == "utf-7" || IsUserDefined(cs)) cs = "utf-8";
  // Split into characters and convert each.
  std::vector<std::string> chars;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    n = std::min(n, text.size() - i);
    chars.push_back(text.substr(i, n));
    i += n;
  }
  std::vector<std::string> bytes;
  if (cs != "utf-8") {
    for (const std::string& ch : chars) {
      std::string out;
      if (!IconvConvert(ch, cs.c_str(), "UTF-8", true, "\x01", out) || out.find('\x01') != std::string::npos) {
        cs = "utf-8";
        bytes.clear();
        break;
      }
      bytes.push_back(out);
    }
  }
  if (cs == "utf-8") bytes = chars;
  const std::string head = "=?" + cs + "?Q?";
  const size_t room = 75 - head.size() - 2;
  const size_t firstRoom = firstWord > head.size() + 14 ? std::min<size_t>(firstWord, 75) - head.size() - 2 : 12;
  std::vector<std::string> words;
  std::string cur;
  auto roomNow = [&] { return words.empty() ? firstRoom : room; };
  auto flush = [&] {
    words.push_back(head + cur + "?=");
    cur.clear();
  };
  for (size_t i = 0; i < bytes.size();) {
    // One word of the text with the blanks after it, as encoded characters.
    std::vector<std::string> unit;
    size_t unitLen = 0;
    bool blank = false;
    for (; i < bytes.size(); ++i) {
      const bool isBlank = chars[i] == " ";
      if (blank && !isBlank) break;
      blank = blank || isBlank;
      unit.push_back(QEncode(bytes[i]));
      unitLen += unit.back().size();
    }
    if (!cur.empty() && cur.size() + unitLen > roomNow()) flush();
    if (cur.size() + unitLen <= roomNow()) {
      for (const std::string& e : unit) cur += e;
      continue;
    }
    // Longer than a whole encoded word: cut between characters.
    for (const std::string& e : unit) {
      if (!cur.empty() && cur.size() + e.size() > roomNow()) flush();
      cur += e;
    }
  }
  if (!cur.empty() || words.empty()) words.push_back(head + cur + "?=");
  return words;
}

}  // namespace

std::vector<std::string> UnstructuredTokens(const std::string& text, const std::string& charset,
                                            const std::string& header) {
  std::vector<std::string> tokens;
  std::string clean = CleanHeaderText(text);
  bool plain = IsPrintableAscii(clean) && clean.find("=?") == std::string::npos;
  if (plain) {
    size_t start = 0;
    while (start <= clean.size()) {
      size_t sp = clean.find(' ', start);
      std::string w = clean.substr(start, sp == std::string::npos ? std::string::npos : sp - start);
      if (w.size() > 900) {
        plain = false;
        break;
      }
      tokens.push_back(w);
      if (sp == std::string::npos) break;
      start = sp + 1;
    }
    if (plain) return tokens;
  }
  return EncodeWords(clean, charset, 76 - header.size() - 2);
}

namespace {

// A display name as a phrase: plain (quoted when it needs it) or encoded words.
std::vector<std::string> PhraseTokens(const std::string& name, const std::string& charset, size_t firstWord) {
  std::string clean = TrimWs(CleanHeaderText(name));
  if (clean.empty()) return {};
  if (IsPrintableAscii(clean) && clean.find("=?") == std::string::npos && clean.size() < 900) {
    TIdEMailAddressItem item("x", clean);
    std::string t = item.Text();  // "name <x>" with the name quoted as needed
    t = t.substr(0, t.size() - 4);
    return {t};
  }
  return EncodeWords(clean, charset, firstWord);
}

}  // namespace

void THeaderWriter::Add(const std::string& name, const std::vector<std::string>& tokens, const std::string& sep) {
  std::string line = name + ":";
  size_t lineLen = line.size();
  std::string h = line;
  bool first = true;
  for (const std::string& t : tokens) {
    std::string piece = first ? " " + t : sep + t;
    if (!first && lineLen + piece.size() > 76) {
      // fold: the separator's trailing blank becomes the continuation's leading blank
      std::string lead = sep.substr(0, sep.size() - 1);
      h += lead + "\r\n ";
      h += t;
      lineLen = 1 + t.size();
    } else {
      h += piece;
      lineLen += piece.size();
    }
    first = false;
  }
  out += h + "\r\n";
}

std::vector<std::string> AddressTokens(const TIdEMailAddressItem& a, const std::string& charset,
                                       size_t firstWord) {
  std::vector<std::string> t = PhraseTokens(a.Name, charset, firstWord);
  if (t.empty()) return {a.Address};
  t.push_back("<" + a.Address + ">");
  return t;
}

void AddAddressHeader(THeaderWriter& w, const std::string& name, const std::vector<const TIdEMailAddressItem*>& list,
                      const std::string& charset) {
  std::vector<std::string> tokens;
  for (size_t i = 0; i < list.size(); ++i) {
    std::vector<std::string> t = AddressTokens(*list[i], charset, i == 0 ? 76 - name.size() - 2 : 75);
    if (i + 1 < list.size()) t.back() += ",";
    tokens.insert(tokens.end(), t.begin(), t.end());
  }
  if (!tokens.empty()) w.Add(name, tokens);
}

std::vector<const TIdEMailAddressItem*> NonEmpty(const TIdEMailAddressList& l) {
  std::vector<const TIdEMailAddressItem*> v;
  for (auto& a : l)
    if (!a.Address.empty()) v.push_back(&a);
  return v;
}

namespace {

// Base 36, least significant digit first, as GMime writes its message ids.
void AppendBase36(std::string& out, uint64_t v) {
  static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  do {
    out += digits[v % 36];
    v /= 36;
  } while (v);
}

// The current local time in GMime's date format. GLib would load the zone file again for
// every message; the C library keeps the zone it loaded.
std::string NowRfcDate() {
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const time_t t = ::time(nullptr);
  tm local{};
  if (!::localtime_r(&t, &local)) return {};
  const long offset = local.tm_gmtoff / 60;
  const long absOffset = offset < 0 ? -offset : offset;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%04ld", days[local.tm_wday % 7], local.tm_mday,
                months[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                offset < 0 ? '-' : '+', absOffset / 60 * 100 + absOffset % 60);
  return buf;
}

}  // namespace

std::string NewMessageId(const std::string& domain) {
  const bool ascii = std::all_of(domain.begin(), domain.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  // A name beyond ASCII goes through GMime for its IDN form; an ASCII one only turns lower case.
  if (!ascii) return GFree(g_mime_utils_generate_message_id(domain.c_str()));
  uint64_t random = 0;
  if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
    std::random_device device;
    random = (static_cast<uint64_t>(device()) << 32) ^ device() ^
             static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  std::string id;
  AppendBase36(id, static_cast<uint64_t>(::time(nullptr)));
  id += '.';
  AppendBase36(id, random);
  id += '@';
  id += Lower(domain);
  return id;
}

std::string RfcDate(TDateTime when, bool now) {
  if (now) {
    std::string date = NowRfcDate();
    if (!date.empty()) return date;
  }
  GDateTime* dt = now ? g_date_time_new_now_local() : ToGDateTime(when);
  std::string s = GFree(g_mime_utils_header_format_date(dt));
  g_date_time_unref(dt);
  return s;
}

}  // namespace netmime
