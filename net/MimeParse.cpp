// Parsing received mail with GMime; attachments are saved to files.

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <random>

#include "net/MimeInternal.h"
#include "net/NetInternal.h"

namespace fs = std::filesystem;
using namespace netmime;

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
