// Building and parsing MIME with GMime; character conversion with iconv.

#include <gmime/gmime.h>
#include <fcntl.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <random>

#include "net/IdMessage.h"
#include "net/NetInternal.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string TrimWs(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}

// Header text from a table or a message: control characters (CR and LF above all) become
// blanks, so a value can never end its header and start another.
std::string CleanHeaderText(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = ' ';
  }
  return out;
}

bool ValidUtf8(const std::string& s) {
  return g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr);
}

// The GObject reference owner.
template <class T>
struct GRef {
  T* p = nullptr;
  GRef() = default;
  explicit GRef(T* x) : p(x) {}
  ~GRef() {
    if (p) g_object_unref(p);
  }
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;
  T* get() const { return p; }
};

std::string GFree(char* s) {
  std::string out = s ? s : "";
  g_free(s);
  return out;
}

bool IsUserDefined(const std::string& cs) { return Lower(cs) == "x-user-defined"; }

// Converts with iconv; unconvertible input is replaced (Replacement in the target's terms)
// and skipped by one character (FromUtf8) or one byte.
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

}  // namespace

// ---- conversions (shared with the tests through NetInternal.h)

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

// ---- date-times

namespace {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kDelphiEpochDays = DaysFromCivil(1899, 12, 30);

TDateTime FromGDateTime(GDateTime* dt) {
  GDateTime* local = g_date_time_to_local(dt);
  if (!local) return 0;
  int64_t days = DaysFromCivil(g_date_time_get_year(local), static_cast<unsigned>(g_date_time_get_month(local)),
                               static_cast<unsigned>(g_date_time_get_day_of_month(local))) -
                 kDelphiEpochDays;
  double secs = g_date_time_get_hour(local) * 3600.0 + g_date_time_get_minute(local) * 60.0 +
                g_date_time_get_second(local);
  g_date_time_unref(local);
  return static_cast<double>(days) + secs / 86400.0;
}

GDateTime* ToGDateTime(TDateTime v) {
  if (!std::isfinite(v) || v < -600000 || v > 3000000) return g_date_time_new_now_local();
  double whole = std::floor(v);
  int y, m, d;
  CivilFromDays(static_cast<int64_t>(whole) + kDelphiEpochDays, y, m, d);
  int secs = static_cast<int>(std::lround((v - whole) * 86400.0));
  if (secs >= 86400) secs = 86399;
  GDateTime* dt = g_date_time_new_local(y, m, d, secs / 3600, (secs / 60) % 60, secs % 60);
  return dt ? dt : g_date_time_new_now_local();
}

}  // namespace

// ---- building

namespace {

const char* MimeTypeForFile(const std::string& name) {
  std::string ext = Lower(fs::path(name).extension().string());
  static const std::pair<const char*, const char*> table[] = {
      {".txt", "text/plain"},       {".htm", "text/html"},        {".html", "text/html"},
      {".csv", "text/csv"},         {".pdf", "application/pdf"},  {".zip", "application/zip"},
      {".gif", "image/gif"},        {".jpg", "image/jpeg"},       {".jpeg", "image/jpeg"},
      {".png", "image/png"},        {".bmp", "image/bmp"},        {".doc", "application/msword"},
      {".xls", "application/vnd.ms-excel"}, {".rtf", "application/rtf"}, {".xml", "text/xml"},
      {".eml", "message/rfc822"},
  };
  for (auto& [e, t] : table)
    if (ext == e) return t;
  return "application/octet-stream";
}


GMimeContentEncoding EncodingFromName(const std::string& name, GMimeContentEncoding def) {
  std::string n = Lower(TrimWs(name));
  if (n.empty()) return def;
  if (n == "quoted-printable") return GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
  if (n == "base64") return GMIME_CONTENT_ENCODING_BASE64;
  if (n == "7bit") return GMIME_CONTENT_ENCODING_7BIT;
  if (n == "8bit") return GMIME_CONTENT_ENCODING_8BIT;
  return def;
}

// A MIME token: what may stand as a type or subtype without starting another header.
bool IsMimeToken(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s)
    if (c <= 0x20 || c >= 0x7f || strchr("()<>@,;:\\\"/[]?=", c)) return false;
  return true;
}

// False (and text/plain) when Full is no "type/subtype" of tokens.
bool SplitType(const std::string& full, std::string& type, std::string& sub) {
  std::string t = Lower(TrimWs(full.substr(0, full.find(';'))));
  size_t slash = t.find('/');
  if (slash != std::string::npos) {
    type = TrimWs(t.substr(0, slash));
    sub = TrimWs(t.substr(slash + 1));
    if (IsMimeToken(type) && IsMimeToken(sub)) return true;
  }
  type = "text";
  sub = "plain";
  return false;
}

// Text content: LF line ends (the writer turns them into CR LF); the bytes in Charset.
GMimeTextPart* MakeTextPart(const TIdStrings& lines, const std::string& contentType, const std::string& charset,
                            const std::string& transfer) {
  std::string type, sub;
  SplitType(contentType.empty() ? "text/plain" : contentType, type, sub);
  if (type != "text") {
    type = "text";
    sub = "plain";
  }
  std::string cs = TrimWs(charset).empty() ? "utf-8" : TrimWs(charset);
  GMimeContentEncoding def = Lower(cs) == "utf-7" ? GMIME_CONTENT_ENCODING_7BIT : GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
  GMimeContentEncoding enc = EncodingFromName(transfer, def);
  // Base64 carries the canonical CR LF form itself; otherwise LF, which the writer turns
  // into CR LF.
  const char* eol = enc == GMIME_CONTENT_ENCODING_BASE64 ? "\r\n" : "\n";
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += eol;
    text += lines[i];
  }
  std::string bytes = NetFromUtf8(text, cs);
  GMimeTextPart* part = g_mime_text_part_new_with_subtype(sub.c_str());
  GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
  GRef<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
  g_mime_part_set_content(GMIME_PART(part), wrapper.get());
  g_mime_text_part_set_charset(part, cs.c_str());
  // 7bit/8bit only when the bytes allow it; otherwise quoted-printable keeps them intact.
  if (enc == GMIME_CONTENT_ENCODING_7BIT || enc == GMIME_CONTENT_ENCODING_8BIT) {
    bool ok = true;
    size_t lineLen = 0;
    for (unsigned char c : bytes) {
      if (c == '\n') {
        lineLen = 0;
        continue;
      }
      if (++lineLen > 998 || c == 0 || c == '\r' || (enc == GMIME_CONTENT_ENCODING_7BIT && c >= 0x80)) ok = false;
    }
    if (!ok) enc = GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
  }
  g_mime_part_set_content_encoding(GMIME_PART(part), enc);
  return part;
}

GMimePart* MakeAttachmentPart(const TIdAttachment& a) {
  const fs::path path(a.StoredPathName.empty() ? fs::path(a.FileName) : a.StoredPathName);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EIdException("Cannot open the attachment \"" + path.string() + "\"");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw EIdException("Cannot read the attachment \"" + path.string() + "\"");
  std::string type, sub;
  if (a.ContentType.empty() || !SplitType(a.ContentType, type, sub)) SplitType(MimeTypeForFile(a.FileName), type, sub);
  GMimePart* part = g_mime_part_new_with_type(type.c_str(), sub.c_str());
  GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
  GRef<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
  g_mime_part_set_content(part, wrapper.get());
  g_mime_object_set_disposition(GMIME_OBJECT(part), a.Inline ? "inline" : "attachment");
  std::string name = CleanHeaderText(fs::path(a.FileName).filename().string());
  if (!name.empty()) g_mime_part_set_filename(part, name.c_str());
  g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
  if (!a.ContentID.empty()) g_mime_part_set_content_id(part, CleanHeaderText(a.ContentID).c_str());
  return part;
}

bool ValidHeaderName(const std::string& n) {
  if (n.empty()) return false;
  for (unsigned char c : n)
    if (c <= 0x20 || c >= 0x7f || c == ':') return false;
  return true;
}

bool SameName(const std::string& a, const char* b) { return Lower(a) == Lower(b); }

}  // namespace

namespace {

bool IsPrintableAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c >= 0x7f) return false;
  return true;
}

// Encoded words (RFC 2047) for Text in Charset, each at most 75 characters, never splitting
// a character. Falls back to UTF-8 when the charset cannot hold every character.
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
  static const char hex[] = "0123456789ABCDEF";
  const std::string head = "=?" + cs + "?Q?";
  const size_t room = 75 - head.size() - 2;
  const size_t firstRoom = firstWord > head.size() + 14 ? std::min<size_t>(firstWord, 75) - head.size() - 2 : 12;
  std::vector<std::string> words;
  std::string cur;
  for (const std::string& b : bytes) {
    std::string enc;
    for (unsigned char c : b) {
      if (std::isalnum(c) || c == '!' || c == '*' || c == '+' || c == '-' || c == '/') enc += static_cast<char>(c);
      else if (c == ' ') enc += '_';
      else {
        enc += '=';
        enc += hex[c >> 4];
        enc += hex[c & 15];
      }
    }
    if (!cur.empty() && cur.size() + enc.size() > (words.empty() ? firstRoom : room)) {
      words.push_back(head + cur + "?=");
      cur.clear();
    }
    cur += enc;
  }
  if (!cur.empty() || words.empty()) words.push_back(head + cur + "?=");
  return words;
}

// Unstructured text (Subject and the like) as tokens for folding.
std::vector<std::string> UnstructuredTokens(const std::string& text, const std::string& charset,
                                            const std::string& header = "X-Header") {
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

struct THeaderWriter {
  std::string out;
  // Writes Name: tokens, folding before a token that would pass 76 characters.
  // Sep goes between tokens (" " or ", "); Glue tokens join the previous one without it.
  void Add(const std::string& name, const std::vector<std::string>& tokens, const std::string& sep = " ") {
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
};

std::string AddressText(const TIdEMailAddressItem& a) { return "<" + a.Address + ">"; }

// One address as a single token group: the phrase's words then "<address>".
std::vector<std::string> AddressTokens(const TIdEMailAddressItem& a, const std::string& charset,
                                       size_t firstWord = 75) {
  std::vector<std::string> t = PhraseTokens(a.Name, charset, firstWord);
  if (t.empty()) return {a.Address};
  t.push_back(AddressText(a));
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

std::string RfcDate(TDateTime when, bool now) {
  GDateTime* dt = now ? g_date_time_new_now_local() : ToGDateTime(when);
  std::string s = GFree(g_mime_utils_header_format_date(dt));
  g_date_time_unref(dt);
  return s;
}

}  // namespace

std::string NetEncodeMessage(const TIdMessage& msg, const std::string& mailAgent) {
  InitMailLibraries();
  msg.ValidateAddresses();
  const std::string cs = TrimWs(msg.CharSet).empty() ? "utf-8" : TrimWs(msg.CharSet);

  THeaderWriter w;
  if (!msg.From.Address.empty() || !msg.From.Name.empty()) w.Add("From", AddressTokens(msg.From, cs, 70));
  if (!msg.Sender.Address.empty()) w.Add("Sender", AddressTokens(msg.Sender, cs, 68));
  AddAddressHeader(w, "Reply-To", NonEmpty(msg.ReplyTo), cs);
  AddAddressHeader(w, "To", NonEmpty(msg.Recipients), cs);
  AddAddressHeader(w, "Cc", NonEmpty(msg.CCList), cs);
  // Bcc stays in the envelope only.
  w.Add("Subject", UnstructuredTokens(msg.Subject, cs, "Subject"));
  w.Add("Date", {RfcDate(msg.Date, msg.UseNowForDate || msg.Date == 0)});

  std::string id = CleanHeaderText(msg.MsgId);
  id.erase(std::remove(id.begin(), id.end(), ' '), id.end());
  if (!id.empty() && id.front() == '<') id.erase(0, 1);
  if (!id.empty() && id.back() == '>') id.pop_back();
  if (id.empty() || id.size() > 900) {
    std::string domain = "localhost";
    size_t at = msg.From.Address.rfind('@');
    if (at != std::string::npos && at + 1 < msg.From.Address.size()) domain = msg.From.Address.substr(at + 1);
    id = GFree(g_mime_utils_generate_message_id(domain.c_str()));
  }
  w.Add("Message-Id", {"<" + id + ">"});

  if (!msg.References.empty()) w.Add("References", UnstructuredTokens(msg.References, "us-ascii"));
  if (!msg.Organization.empty()) w.Add("Organization", UnstructuredTokens(msg.Organization, cs, "Organization"));
  if (!msg.NewsGroups.empty()) {
    std::vector<std::string> t;
    for (size_t i = 0; i < msg.NewsGroups.size(); ++i) {
      std::string g = CleanHeaderText(msg.NewsGroups[i]);
      g.erase(std::remove(g.begin(), g.end(), ' '), g.end());
      if (i + 1 < msg.NewsGroups.size()) g += ",";
      t.push_back(g);
    }
    w.Add("Newsgroups", t);
  }
  if (!msg.ReceiptRecipient.Address.empty())
    w.Add("Disposition-Notification-To", AddressTokens(msg.ReceiptRecipient, cs, 46));
  if (msg.Priority != mpNormal) {
    static const char* names[] = {"1 (Highest)", "2 (High)", "3 (Normal)", "4 (Low)", "5 (Lowest)"};
    w.Add("X-Priority", {names[std::min<int>(msg.Priority, 4)]});
  }
  if (!mailAgent.empty()) w.Add("X-Mailer", UnstructuredTokens(mailAgent, cs));
  for (const std::string& line : msg.ExtraHeaders) {
    std::string name = TIdHeaderList::NameOf(line);
    if (!ValidHeaderName(name)) continue;
    // Headers the message writes itself are not taken from ExtraHeaders.
    static const char* own[] = {"from", "sender", "reply-to", "to", "cc", "bcc", "subject", "date", "message-id",
                                "mime-version", "content-type", "content-transfer-encoding", "content-disposition"};
    if (std::any_of(std::begin(own), std::end(own), [&](const char* o) { return SameName(name, o); })) continue;
    w.Add(name, UnstructuredTokens(TIdHeaderList::ValueOf(line), cs, name));
  }
  w.Add("MIME-Version", {"1.0"});

  // Body and parts.
  std::vector<GMimeObject*> parts;
  const bool hasTextParts = msg.MessageParts.TextPartCount() > 0;
  if (!msg.Body.empty() || !hasTextParts)
    parts.push_back(GMIME_OBJECT(MakeTextPart(msg.Body, msg.ContentType, cs, msg.ContentTransferEncoding)));
  try {
    for (int i = 0; i < msg.MessageParts.Count(); ++i) {
      const TIdMessagePart& p = msg.MessageParts[i];
      if (p.Kind() == TIdPartKind::Text) {
        auto& t = static_cast<const TIdText&>(p);
        parts.push_back(GMIME_OBJECT(MakeTextPart(t.Body, t.ContentType, cs, t.ContentTransfer)));
      } else {
        parts.push_back(GMIME_OBJECT(MakeAttachmentPart(static_cast<const TIdAttachment&>(p))));
      }
    }
  } catch (...) {
    for (GMimeObject* o : parts) g_object_unref(o);
    throw;
  }
  GMimeObject* top = nullptr;
  if (parts.size() == 1) {
    top = parts[0];
    g_object_ref(top);
  } else {
    GMimeMultipart* mp = g_mime_multipart_new_with_subtype("mixed");
    for (GMimeObject* o : parts) g_mime_multipart_add(mp, o);
    top = GMIME_OBJECT(mp);
  }
  for (GMimeObject* o : parts) g_object_unref(o);
  GRef<GMimeObject> topRef(top);

  GMimeFormatOptions* fo = g_mime_format_options_new();
  g_mime_format_options_set_newline_format(fo, GMIME_NEWLINE_FORMAT_DOS);
  g_mime_format_options_set_param_encoding_method(fo, GMIME_PARAM_ENCODING_METHOD_RFC2231);
  GRef<GMimeStream> out(g_mime_stream_mem_new());
  g_mime_object_write_to_stream(top, fo, out.get());
  g_mime_format_options_free(fo);
  GByteArray* arr = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
  std::string text = w.out;
  text.append(reinterpret_cast<const char*>(arr->data), arr->len);
  // Every line break CR LF, whatever a part's content held.
  std::string fixed;
  fixed.reserve(text.size() + 64);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      fixed += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      fixed += "\r\n";
    } else {
      fixed += c;
    }
  }
  if (fixed.size() < 2 || fixed.compare(fixed.size() - 2, 2, "\r\n") != 0) fixed += "\r\n";
  return fixed;
}

std::string TIdMessage::EncodeToString() const { return NetEncodeMessage(*this, std::string()); }

// ---- parsing

namespace {

// The header block as it came: one entry per header, continuation lines joined.
TIdHeaderList RawHeaders(const std::string& raw, size_t& bodyStart) {
  TIdHeaderList list;
  size_t i = 0;
  bodyStart = raw.size();
  while (i < raw.size()) {
    size_t e = raw.find('\n', i);
    size_t next = e == std::string::npos ? raw.size() : e + 1;
    std::string line = raw.substr(i, (e == std::string::npos ? raw.size() : e) - i);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      bodyStart = next;
      return list;
    }
    if ((line[0] == ' ' || line[0] == '\t') && !list.empty()) {
      list.back() += line;
    } else {
      list.push_back(line);
    }
    i = next;
  }
  return list;
}

void FillList(TIdEMailAddressList& out, InternetAddressList* in, int depth = 0) {
  if (!in || depth > 4) return;
  int n = internet_address_list_length(in);
  for (int i = 0; i < n; ++i) {
    InternetAddress* ia = internet_address_list_get_address(in, i);
    if (INTERNET_ADDRESS_IS_MAILBOX(ia)) {
      const char* name = internet_address_get_name(ia);
      const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia));
      out.Add(CleanHeaderText(addr ? addr : ""), CleanHeaderText(name ? name : ""));
    } else if (INTERNET_ADDRESS_IS_GROUP(ia)) {
      FillList(out, internet_address_group_get_members(INTERNET_ADDRESS_GROUP(ia)), depth + 1);
    }
  }
}

void FillItem(TIdEMailAddressItem& out, InternetAddressList* in) {
  TIdEMailAddressList l;
  FillList(l, in);
  if (l.Count() > 0) out = l[0];
}

std::string Decoded(const std::string& raw) {
  if (raw.empty()) return raw;
  return CleanHeaderText(GFree(g_mime_utils_header_decode_text(nullptr, raw.c_str())));
}

std::string DecodedContent(GMimePart* part) {
  GMimeDataWrapper* w = g_mime_part_get_content(part);
  if (!w) return {};
  GRef<GMimeStream> out(g_mime_stream_mem_new());
  g_mime_data_wrapper_write_to_stream(w, out.get());
  GByteArray* arr = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
  return std::string(reinterpret_cast<const char*>(arr->data), arr->len);
}

std::string TypeOf(GMimeObject* o) {
  GMimeContentType* ct = g_mime_object_get_content_type(o);
  if (!ct) return "text/plain";
  const char* t = g_mime_content_type_get_media_type(ct);
  const char* s = g_mime_content_type_get_media_subtype(ct);
  return Lower(std::string(t ? t : "text") + "/" + (s ? s : "plain"));
}

std::string HeaderOf(GMimeObject* o, const char* name) {
  const char* v = g_mime_object_get_header(o, name);
  return v ? TrimWs(CleanHeaderText(v)) : std::string();
}

bool IsEncodedTransfer(GMimePart* p) {
  switch (g_mime_part_get_content_encoding(p)) {
    case GMIME_CONTENT_ENCODING_BASE64:
    case GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE:
    case GMIME_CONTENT_ENCODING_UUENCODE:
      return true;
    default:
      return false;
  }
}

// A file name from a message, made safe for this file system.
std::string SafeFileName(const std::string& name) {
  std::string n = fs::path(name).filename().string();
  size_t bs = n.find_last_of('\\');
  if (bs != std::string::npos) n = n.substr(bs + 1);
  std::string out;
  for (unsigned char c : n) {
    if (c < 0x20 || c == 0x7f || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
        c == '|')
      out += '_';
    else
      out += static_cast<char>(c);
  }
  while (!out.empty() && (out.front() == '.' || out.front() == ' ')) out.erase(0, 1);
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  if (out.size() > 200) {
    // Keep the extension; cut the stem on a character boundary.
    std::string ext = fs::path(out).extension().string();
    if (ext.size() > 20) ext.clear();
    size_t keep = 200 - ext.size();
    while (keep > 0 && (static_cast<unsigned char>(out[keep]) & 0xC0) == 0x80) --keep;
    out = out.substr(0, keep) + ext;
  }
  if (out.empty()) out = "attachment";
  return out;
}

class TAttachmentSaver {
public:
  explicit TAttachmentSaver(fs::path base) : base_(std::move(base)) {}

  fs::path Save(GMimeObject* obj, const std::string& wantedName) {
    if (folder_.empty()) MakeFolder();
    std::string name = SafeFileName(wantedName);
    fs::path target = folder_ / name;
    for (int n = 2; fs::exists(target); ++n) {
      fs::path p(name);
      target = folder_ / (p.stem().string() + " (" + std::to_string(n) + ")" + p.extension().string());
    }
    GMimeStream* fsout = g_mime_stream_fs_open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600, nullptr);
    if (!fsout) throw EIdException("Cannot save the attachment \"" + target.string() + "\"");
    GRef<GMimeStream> holder(fsout);
    ssize_t r = 0;
    if (GMIME_IS_PART(obj)) {
      GMimeDataWrapper* w = g_mime_part_get_content(GMIME_PART(obj));
      if (w) r = g_mime_data_wrapper_write_to_stream(w, fsout);
    } else if (GMIME_IS_MESSAGE_PART(obj)) {
      GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(obj));
      if (inner) r = g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, fsout);
    }
    if (r < 0 || g_mime_stream_flush(fsout) != 0) throw EIdException("Cannot save the attachment \"" + target.string() + "\"");
    return target;
  }

private:
  void MakeFolder() {
    std::error_code ec;
    fs::create_directories(base_, ec);
    std::random_device rd;
    std::mt19937_64 rng((static_cast<uint64_t>(rd()) << 32) ^ rd() ^ static_cast<uint64_t>(time(nullptr)));
    for (int tries = 0; tries < 100; ++tries) {
      char name[32];
      snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(rng()));
      fs::path p = base_ / name;
      if (fs::create_directory(p, ec)) {
        folder_ = p;
        return;
      }
    }
    throw EIdException("Cannot create the attachment folder in \"" + base_.string() + "\"");
  }

  fs::path base_;
  fs::path folder_;
};

void FillPartTail(TIdMessagePart& out, GMimeObject* obj) {
  const char* cid = g_mime_object_get_content_id(obj);
  out.ContentID = cid ? CleanHeaderText(cid) : "";
  out.ContentType = TypeOf(obj);
  out.ContentTransfer = Lower(HeaderOf(obj, "Content-Transfer-Encoding"));
  if (GMIME_IS_PART(obj)) out.IsEncoded = IsEncodedTransfer(GMIME_PART(obj));
  const char* disp = g_mime_object_get_disposition(obj);
  out.Inline = disp && Lower(disp) == "inline";
  GMimeHeaderList* hl = g_mime_object_get_header_list(obj);
  int n = hl ? g_mime_header_list_get_count(hl) : 0;
  for (int i = 0; i < n; ++i) {
    GMimeHeader* h = g_mime_header_list_get_header_at(hl, i);
    std::string name = g_mime_header_get_name(h) ? g_mime_header_get_name(h) : "";
    std::string l = Lower(name);
    if (l == "content-type" || l == "content-transfer-encoding" || l == "content-disposition" || l == "content-id")
      continue;
    const char* v = g_mime_header_get_value(h);
    out.ExtraHeaders.push_back(name + ": " + TrimWs(CleanHeaderText(v ? v : "")));
  }
}

std::string TextOf(GMimePart* part) {
  const char* cs = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
  return NetToUtf8(DecodedContent(part), cs ? cs : "");
}

bool IsAttachmentLeaf(GMimeObject* obj) {
  if (!GMIME_IS_PART(obj)) return true;  // message/rfc822 and the like
  const char* disp = g_mime_object_get_disposition(obj);
  if (disp && Lower(disp) == "attachment") return true;
  if (TypeOf(obj).rfind("text/", 0) != 0) return true;
  return false;
}

size_t CountCaseless(const std::string& hay, const char* needle) {
  size_t n = 0, len = strlen(needle);
  if (hay.size() < len) return 0;
  for (size_t i = 0; i + len <= hay.size(); ++i)
    if (g_ascii_strncasecmp(hay.data() + i, needle, len) == 0) ++n;
  return n;
}

}  // namespace

void TIdMessage::LoadFromString(const std::string& raw, bool headersOnly) {
  InitMailLibraries();
  Clear();
  size_t bodyStart = 0;
  Headers = RawHeaders(raw, bodyStart);

  std::string headerBlock = raw.substr(0, bodyStart);
  GRef<GMimeStream> hs(g_mime_stream_mem_new_with_buffer(headersOnly ? headerBlock.data() : raw.data(),
                                                         headersOnly ? headerBlock.size() : raw.size()));
  // Deep nesting is a way to exhaust the parser's stack: such a message is kept as text.
  const bool tooDeep = !headersOnly && CountCaseless(raw, "multipart/") > 500;
  GRef<GMimeParser> parser(g_mime_parser_new_with_stream(hs.get()));
  g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
  GRef<GMimeMessage> m(tooDeep ? nullptr : g_mime_parser_construct_message(parser.get(), nullptr));

  if (m.get()) {
    FillItem(From, g_mime_message_get_from(m.get()));
    FillItem(Sender, g_mime_message_get_sender(m.get()));
    FillList(ReplyTo, g_mime_message_get_reply_to(m.get()));
    FillList(Recipients, g_mime_message_get_to(m.get()));
    FillList(CCList, g_mime_message_get_cc(m.get()));
    FillList(BccList, g_mime_message_get_bcc(m.get()));
    const char* subj = g_mime_message_get_subject(m.get());
    Subject = subj ? CleanHeaderText(subj) : "";
    if (GDateTime* d = g_mime_message_get_date(m.get())) Date = FromGDateTime(d);
  } else {
    From.SetText(Decoded(Headers.Values("From")));
    Subject = Decoded(Headers.Values("Subject"));
  }
  MsgId = CleanHeaderText(Headers.Values("Message-Id"));
  References = CleanHeaderText(Headers.Values("References"));
  Organization = Decoded(Headers.Values("Organization"));
  {
    std::string ng = Headers.Values("Newsgroups");
    size_t p = 0;
    while (p <= ng.size() && !ng.empty()) {
      size_t c = ng.find(',', p);
      std::string g = TrimWs(ng.substr(p, c == std::string::npos ? std::string::npos : c - p));
      if (!g.empty()) NewsGroups.push_back(g);
      if (c == std::string::npos) break;
      p = c + 1;
    }
  }
  if (std::string rr = Headers.Values("Disposition-Notification-To"); !rr.empty()) {
    GRef<InternetAddressList> l(internet_address_list_parse(nullptr, rr.c_str()));
    FillItem(ReceiptRecipient, l.get());
  }
  {
    std::string xp = Headers.Values("X-Priority");
    std::string imp = Lower(Headers.Values("Importance")), pri = Lower(Headers.Values("Priority"));
    if (!xp.empty() && xp[0] >= '1' && xp[0] <= '5') Priority = static_cast<TIdMessagePriority>(xp[0] - '1');
    else if (imp == "high" || pri == "urgent") Priority = mpHigh;
    else if (imp == "low" || pri == "non-urgent") Priority = mpLow;
  }
  {
    std::string ct = Headers.Values("Content-Type");
    std::string t, s;
    SplitType(ct.empty() ? "text/plain" : ct, t, s);
    ContentType = t + "/" + s;
    ContentTransferEncoding = Lower(CleanHeaderText(Headers.Values("Content-Transfer-Encoding")));
    ContentDisposition = CleanHeaderText(Headers.Values("Content-Disposition"));
    if (m.get()) {
      GMimeObject* top = g_mime_message_get_mime_part(m.get());
      if (top) {
        const char* c = g_mime_object_get_content_type_parameter(top, "charset");
        CharSet = c ? CleanHeaderText(c) : "";
      }
    }
  }
  static const char* mapped[] = {"from", "sender", "reply-to", "to", "cc", "bcc", "subject", "date", "message-id",
                                 "references", "newsgroups", "organization", "x-priority", "importance", "priority",
                                 "disposition-notification-to", "content-type", "content-transfer-encoding",
                                 "content-disposition", "mime-version"};
  for (const std::string& line : Headers) {
    std::string n = Lower(TIdHeaderList::NameOf(line));
    if (std::none_of(std::begin(mapped), std::end(mapped), [&](const char* x) { return n == x; }))
      ExtraHeaders.push_back(TIdHeaderList::NameOf(line) + ": " + TrimWs(CleanHeaderText(TIdHeaderList::ValueOf(line))));
  }
  if (headersOnly) return;

  if (NoDecode || !m.get() || !g_mime_message_get_mime_part(m.get())) {
    Body = SplitLines(NetToUtf8(raw.substr(std::min(bodyStart, raw.size())), ""));
    return;
  }

  GMimeObject* top = g_mime_message_get_mime_part(m.get());
  if (GMIME_IS_PART(top) && !IsAttachmentLeaf(top)) {
    IsEncoded = IsEncodedTransfer(GMIME_PART(top));
    Body = SplitLines(TextOf(GMIME_PART(top)));
    return;
  }

  TAttachmentSaver saver(AttachmentFolder.empty() ? DefaultAttachmentFolder() : AttachmentFolder);
  // Depth-first, in document order, without recursion.
  std::vector<GMimeObject*> stack{top};
  while (!stack.empty()) {
    GMimeObject* obj = stack.back();
    stack.pop_back();
    if (GMIME_IS_MULTIPART(obj)) {
      GMimeMultipart* mp = GMIME_MULTIPART(obj);
      for (int i = g_mime_multipart_get_count(mp) - 1; i >= 0; --i) stack.push_back(g_mime_multipart_get_part(mp, i));
      continue;
    }
    if (!IsAttachmentLeaf(obj)) {
      TIdText& t = MessageParts.AddText(SplitLines(TextOf(GMIME_PART(obj))));
      FillPartTail(t, obj);
      continue;
    }
    std::string name;
    if (GMIME_IS_PART(obj)) {
      const char* fn = g_mime_part_get_filename(GMIME_PART(obj));
      name = fn ? CleanHeaderText(fn) : "";
    }
    TIdAttachment& a = MessageParts.AddAttachment(name);
    FillPartTail(a, obj);
    a.ContentDisposition = HeaderOf(obj, "Content-Disposition");
    std::string fallback = GMIME_IS_MESSAGE_PART(obj) ? "message.eml" : "attachment";
    a.StoredPathName = saver.Save(obj, name.empty() ? fallback : name);
    a.FileIsTempFile = true;
  }
}
