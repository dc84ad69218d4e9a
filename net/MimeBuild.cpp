// Building a message for sending: its headers, text parts and attachments, with GMime.

#include <algorithm>
#include <fstream>

#include "net/MimeInternal.h"
#include "net/NetInternal.h"

namespace fs = std::filesystem;
using namespace netmime;

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
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  text.reserve(size);
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
    id = NewMessageId(domain);
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
  std::string text = std::move(w.out);
  text.append(reinterpret_cast<const char*>(arr->data), arr->len);
  // Every line break CR LF, whatever a part's content held.
  std::string fixed;
  fixed.reserve(text.size() + text.size() / 16 + 64);
  for (size_t i = 0; i < text.size();) {
    const size_t brk = text.find_first_of("\r\n", i);
    if (brk == std::string::npos) {
      fixed.append(text, i, std::string::npos);
      break;
    }
    fixed.append(text, i, brk - i);
    fixed += "\r\n";
    i = brk + 1;
    if (text[brk] == '\r' && i < text.size() && text[i] == '\n') ++i;
  }
  if (fixed.size() < 2 || fixed.compare(fixed.size() - 2, 2, "\r\n") != 0) fixed += "\r\n";
  return fixed;
}

std::string TIdMessage::EncodeToString() const { return NetEncodeMessage(*this, std::string()); }
