// The message model: address text forms, building messages for sending, parsing received mail.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "support/TestServers.h"
#include "net/IdMessage.h"
#include "net/NetInternal.h"

namespace {

const bool kUtc = [] {
  setenv("TZ", "UTC", 1);
  tzset();
  return true;
}();

std::string HeaderBlock(const std::string& wire) { return wire.substr(0, wire.find("\r\n\r\n") + 2); }

// Every line break of Text is CR LF.
bool OnlyCrLf(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) return false;
  }
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Lines(const std::string& s) {
  std::vector<std::string> out;
  size_t p = 0;
  while (p < s.size()) {
    size_t e = s.find("\r\n", p);
    if (e == std::string::npos) e = s.size();
    out.push_back(s.substr(p, e - p));
    p = e + 2;
  }
  return out;
}

}  // namespace

TEST(AddressText, FormsAndRoundTrip) {
  struct Case {
    std::string name, address, text;
  } cases[] = {
      {"", "a@b.com", "a@b.com"},
      {"John Smith", "js@x.org", "John Smith <js@x.org>"},
      {"Smith, John", "js@x.org", "\"Smith, John\" <js@x.org>"},
      {"Say \"hi\"", "q@x.org", "\"Say \\\"hi\\\"\" <q@x.org>"},
      {"Jöhn Ünïcode", "u@x.org", "Jöhn Ünïcode <u@x.org>"},
      {"J. R.", "jr@x.org", "\"J. R.\" <jr@x.org>"},
  };
  for (const auto& c : cases) {
    TIdEMailAddressItem item(c.address, c.name);
    EXPECT_EQ(item.Text(), c.text);
    TIdEMailAddressItem back;
    back.SetText(item.Text());
    EXPECT_EQ(back.Name, c.name) << c.text;
    EXPECT_EQ(back.Address, c.address) << c.text;
  }
  TIdEMailAddressItem other;
  other.SetText("  x@y.z (Comment Name) ");
  EXPECT_EQ(other.Address, "x@y.z");
  EXPECT_EQ(other.Name, "Comment Name");
}

TEST(AddressText, ListsJoinWithCommaAndSplitRespectingQuotes) {
  TIdEMailAddressList l;
  l.Add("a@b.c");
  l.Add("d@e.f", "Doe, Jane");
  l.Add("g@h.i", "Gee");
  EXPECT_EQ(l.EMailAddresses(), "a@b.c, \"Doe, Jane\" <d@e.f>, Gee <g@h.i>");
  TIdEMailAddressList back;
  back.SetEMailAddresses(l.EMailAddresses());
  EXPECT_EQ(back, l);
  back.SetEMailAddresses(" ; x@y.z;; ,");
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back[0].Address, "x@y.z");
  back.SetEMailAddresses("");
  EXPECT_EQ(back.Count(), 0);
}

TEST(Lines, SplitAndJoin) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (TIdStrings{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n"), (TIdStrings{"a"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (TIdStrings{"a", ""}));
  EXPECT_EQ(SplitLines(""), TIdStrings{});
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb");
}

// A message whose body is set again and again (a mailing run) holds the lines of the last text.
TEST(Lines, BodySetAgainHoldsTheLastTextOnly) {
  TIdMessage m;
  for (const char* text : {"one\r\ntwo\r\nthree\r\nfour", "a\r\n", "", "x\ny\rz\r\n\r\n", "long line\r\n\r\nb\r\nc\r\nd\r\ne"}) {
    m.SetBodyText(text);
    EXPECT_EQ(m.Body, SplitLines(text)) << text;
  }
}

// Date is the current local time in RFC 5322 form; the id is unique, at the sender's domain
// (lower case), its IDN form for a name beyond ASCII.
TEST(Building, DateAndMessageIdOfANewMessage) {
  struct Case {
    const char* from;
    const char* domain;
  } cases[] = {{"a@EXAMPLE.Com", "example.com"}, {"a@b\xc3\xbc" "cher.de", "xn--bcher-kva.de"}};
  for (const char* tz : {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "IST-5:30"}) {
    ::setenv("TZ", tz, 1);
    ::tzset();
    for (const Case& c : cases) {
      TIdMessage m;
      m.From.Address = c.from;
      m.Recipients.Add("b@example.com");
      const time_t before = ::time(nullptr);
      const std::string text = m.EncodeToString();
      const time_t after = ::time(nullptr);
      TIdMessage back;
      back.LoadFromString(text);
      const std::string date = back.Headers.Values("Date");
      const size_t at = back.MsgId.find('@');
      ASSERT_NE(at, std::string::npos) << back.MsgId;
      EXPECT_EQ(back.MsgId.substr(at + 1), std::string(c.domain) + ">") << tz;
      EXPECT_EQ(back.MsgId.find_first_not_of("<0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ."), at) << back.MsgId;
      TIdMessage again;
      again.LoadFromString(m.EncodeToString());
      EXPECT_NE(again.MsgId, back.MsgId);
      char expected[2][64];
      for (int k = 0; k < 2; ++k) {
        const time_t t = k ? after : before;
        tm local{};
        ::localtime_r(&t, &local);
        ::strftime(expected[k], sizeof expected[k], "%a, %d %b %Y %H:%M:%S %z", &local);
      }
      EXPECT_TRUE(date == expected[0] || date == expected[1]) << date << " / " << expected[0] << " / " << tz;
    }
  }
  ::unsetenv("TZ");
  ::tzset();
}

TEST(Building, Windows1252HtmlWithHeadersEncodedAndCrLfThroughout) {
  TTempDir dir;
  WriteFile(dir.Path() / "Prix été.txt", "line one\nline two\n");
  TIdMessage m;
  m.From = {"sender@example.com", "Jöhn Smith"};
  m.ReplyTo.Add("reply@example.com");
  m.Recipients.Add("to@example.org");
  m.Subject = "Prix spécial été";
  m.ContentType = "text/html";
  m.CharSet = "windows-1252";
  m.SetBodyText("<p>Café à 5 €</p>\n.\n..x\nend");
  m.MessageParts.AddAttachment((dir.Path() / "Prix été.txt").string());
  const std::string wire = m.EncodeToString();
  EXPECT_TRUE(OnlyCrLf(wire));
  const std::string head = HeaderBlock(wire);
  EXPECT_NE(head.find("From: =?windows-1252?Q?J=F6hn_Smith?= <sender@example.com>\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("Reply-To: reply@example.com\r\n"), std::string::npos);
  EXPECT_NE(head.find("Subject: =?windows-1252?Q?Prix_sp=E9cial_=E9t=E9?=\r\n"), std::string::npos) << head;
  EXPECT_NE(wire.find("charset=windows-1252"), std::string::npos);
  EXPECT_NE(wire.find("<p>Caf=E9 =E0 5 =80</p>\r\n.\r\n..x\r\nend"), std::string::npos) << wire;
  EXPECT_NE(wire.find("filename*=iso-8859-1''Prix%20%E9t%E9.txt"), std::string::npos) << wire;
  for (const std::string& line : Lines(wire)) EXPECT_LE(line.size(), 998u);

  TIdMessage back;
  back.AttachmentFolder = dir.Path() / "in";
  back.LoadFromString(wire);
  EXPECT_EQ(back.Subject, m.Subject);
  EXPECT_EQ(back.From, m.From);
  ASSERT_EQ(back.MessageParts.Count(), 2);
  ASSERT_EQ(back.MessageParts[0].Kind(), TIdPartKind::Text);
  EXPECT_EQ(static_cast<TIdText&>(back.MessageParts[0]).Body, m.Body);
  EXPECT_EQ(back.MessageParts[0].ContentType, "text/html");
  ASSERT_EQ(back.MessageParts[1].Kind(), TIdPartKind::Attachment);
  auto& a = static_cast<TIdAttachment&>(back.MessageParts[1]);
  EXPECT_EQ(a.FileName, "Prix été.txt");
  EXPECT_EQ(ReadFile(a.StoredPathName), "line one\nline two\n");
}

TEST(Building, HeaderInjectionNeverStartsAHeader) {
  TIdMessage m;
  m.From = {"s@example.com", "Evil\r\nBcc: victim@x.com"};
  m.Recipients.Add("to@example.org", "Name\nX-Injected: 1");
  m.Subject = "Hello\r\nBcc: victim@x.com\r\n\r\nbody";
  m.ExtraHeaders.push_back("X-Note: one\r\nX-Injected: 2");
  m.ExtraHeaders.push_back("Bad Name: x");
  m.SetBodyText("text");
  const std::string head = HeaderBlock(m.EncodeToString());
  for (const std::string& line : Lines(head)) {
    EXPECT_NE(line.rfind("Bcc:", 0), 0u) << line;
    EXPECT_NE(line.rfind("X-Injected", 0), 0u) << line;
    EXPECT_NE(line.rfind("Bad Name", 0), 0u) << line;
  }
  EXPECT_NE(head.find("X-Note: one  X-Injected: 2"), std::string::npos) << head;

  // Type and charset values reach the MIME headers of the body and the parts too.
  TTempDir dir;
  WriteFile(dir.Path() / "a.bin", "data");
  TIdMessage t;
  t.From.Address = "s@example.com";
  t.Recipients.Add("to@example.org");
  t.ContentType = "text/html\r\nX-Injected: 3";
  t.SetBodyText("text");
  TIdAttachment& a = t.MessageParts.AddAttachment((dir.Path() / "a.bin").string());
  a.ContentType = "application/pdf\r\nX-Injected: 4";
  TIdText& part = t.MessageParts.AddText({"more"});
  part.ContentType = "text/plain; x=\"\r\nX-Injected: 5\"";
  std::string wire = t.EncodeToString();
  EXPECT_NE(wire.find("Content-Type: application/octet-stream"), std::string::npos) << wire;
  for (const std::string& line : Lines(wire)) EXPECT_NE(Lower(line).rfind("x-injected", 0), 0u) << wire;
  t.ContentType = "text/plain";
  t.CharSet = "utf-8\r\nX-Injected: 6";
  wire.clear();
  try {
    wire = t.EncodeToString();
  } catch (const EIdException& e) {
    EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
  }
  for (const std::string& line : Lines(wire)) EXPECT_NE(Lower(line).rfind("x-injected", 0), 0u) << wire;
}

TEST(Building, AddressesWithControlCharactersAreRefused) {
  const char* bad[] = {"a@b.com\r\nRCPT TO:<x@y>", "a@b.com\n", "a\x01@b.com", "a@b.com>", "<a@b.com", "a\x7f@b"};
  for (const char* addr : bad) {
    TIdMessage to;
    to.From.Address = "ok@example.com";
    to.Recipients.Add(addr);
    EXPECT_THROW(to.ValidateAddresses(), EIdException) << addr;
    EXPECT_THROW(to.EncodeToString(), EIdException) << addr;
    TIdMessage from;
    from.From.Address = addr;
    from.Recipients.Add("ok@example.com");
    EXPECT_THROW(from.ValidateAddresses(), EIdException) << addr;
    TIdMessage reply;
    reply.ReplyTo.Add(addr);
    EXPECT_THROW(reply.ValidateAddresses(), EIdException) << addr;
  }
}

TEST(Building, LongSubjectsFold) {
  TIdMessage m;
  m.From.Address = "s@example.com";
  m.Recipients.Add("t@example.com");
  std::string subject;
  for (int i = 0; i < 40; ++i) subject += "word" + std::to_string(i) + " ";
  subject += "Überlänge";
  m.Subject = subject;
  m.CharSet = "iso-8859-1";
  const std::string head = HeaderBlock(m.EncodeToString());
  for (const std::string& line : Lines(head)) EXPECT_LE(line.size(), 78u) << line;
  TIdMessage back;
  back.LoadFromString(m.EncodeToString());
  EXPECT_EQ(back.Subject, subject);
}

TEST(Building, EveryCharsetOfTheTableRoundTrips) {
  struct Case {
    const char* charset;
    const char* sample;
  } cases[] = {
      {"windows-1256", "مرحبا"},     {"windows-1257", "Ąžuolas"},     {"iso-8859-2", "Łódź"},
      {"windows-1250", "Příliš"},    {"iso-8859-5", "Привет"},        {"koi8-r", "Привет"},
      {"koi8-u", "Їжак"},            {"windows-1251", "Привет"},      {"iso-8859-7", "Καλημέρα"},
      {"windows-1253", "Καλημέρα"},  {"windows-1255", "שלום"},        {"windows-874", "สวัสดี"},
      {"windows-1254", "Günaydın"},  {"utf-7", "Grüße €"},            {"utf-8", "Grüße € 日本"},
      {"x-user-defined", "Grüße"},   {"windows-1258", "Việt"},        {"iso-8859-1", "Grüße"},
      {"windows-1252", "Grüße €"},
  };
  for (const auto& c : cases) {
    TIdMessage m;
    m.From.Address = "s@example.com";
    m.Recipients.Add("t@example.com");
    m.CharSet = c.charset;
    m.ContentType = "text/plain";
    m.Subject = std::string("S ") + c.sample;
    m.SetBodyText(std::string("Hello ") + c.sample + "\n=line=\n.");
    const std::string wire = m.EncodeToString();
    EXPECT_TRUE(OnlyCrLf(wire)) << c.charset;
    EXPECT_NE(wire.find(std::string("charset=") + c.charset), std::string::npos) << c.charset << "\n" << wire;
    TIdMessage back;
    back.LoadFromString(wire);
    EXPECT_EQ(back.BodyText(), m.BodyText()) << c.charset << "\n" << wire;
    EXPECT_EQ(back.Subject, m.Subject) << c.charset << "\n" << HeaderBlock(wire);
    EXPECT_EQ(back.CharSet, c.charset);
  }
}

TEST(Building, UnrepresentableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(NetFromUtf8("a€b日c", "iso-8859-1"), "a?b?c");
  EXPECT_EQ(NetFromUtf8("é", "windows-1252"), "\xE9");
  EXPECT_THROW(NetFromUtf8("x", "no-such-charset"), EIdException);
  EXPECT_EQ(NetToUtf8("\xE9", "windows-1252"), "é");
  EXPECT_EQ(NetToUtf8("\xE9", ""), "é");          // not UTF-8: read as windows-1252
  EXPECT_EQ(NetToUtf8("é", "no-such-charset"), "é");
}

TEST(Building, MissingAttachmentIsAClearError) {
  TIdMessage m;
  m.From.Address = "s@example.com";
  m.Recipients.Add("t@example.com");
  m.MessageParts.AddAttachment("/nonexistent/file.pdf");
  try {
    m.EncodeToString();
    FAIL();
  } catch (const EIdException& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/file.pdf"), std::string::npos);
  }
}

namespace {

std::string Base64(const std::string& in) {
  static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8 | (unsigned char)in[i + 2];
    out += t[v >> 18 & 63];
    out += t[v >> 12 & 63];
    out += t[v >> 6 & 63];
    out += t[v & 63];
    if (out.size() % 78 == 76) out += "\r\n";
  }
  if (i + 1 == in.size()) {
    unsigned v = (unsigned char)in[i] << 16;
    out += t[v >> 18 & 63];
    out += t[v >> 12 & 63];
    out += "==";
  } else if (i + 2 == in.size()) {
    unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8;
    out += t[v >> 18 & 63];
    out += t[v >> 12 & 63];
    out += t[v >> 6 & 63];
    out += '=';
  }
  return out;
}

std::string BinaryBlob() {
  std::string b;
  for (int i = 0; i < 3000; ++i) b += static_cast<char>((i * 7919) & 0xff);
  return b;
}

// multipart/mixed { multipart/alternative { koi8-r QP plain, utf-8 base64 html }, two attachments }
std::string ReceivedMixed() {
  std::string html = "<html><body><p>Привет, мир! ✓</p></body></html>";
  std::string r =
      "Return-Path: <sender@example.net>\r\n"
      "Received: from mx.example.net by pop.local; Tue, 1 Jul 2003 10:52:37 +0200\r\n"
      "From: =?koi8-r?B?98/Mz8TR?= <volodya@example.net>\r\n"
      "Sender: list@example.net\r\n"
      "To: \"Smith, Ann\" <ann@example.com>, bob@example.com\r\n"
      "Cc: carol@example.com\r\n"
      "Reply-To: answers@example.net\r\n"
      "Subject: =?utf-8?B?0J/RgNC40LLQtdGC?= and\r\n"
      " more\r\n"
      "Date: Tue, 1 Jul 2003 10:52:37 +0200\r\n"
      "Message-ID: <abc.123@example.net>\r\n"
      "References: <x@y> <z@w>\r\n"
      "Organization: Example Org\r\n"
      "X-Priority: 1 (Highest)\r\n"
      "Disposition-Notification-To: Volodya <volodya@example.net>\r\n"
      "X-Custom: kept\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
      "\r\n"
      "preamble\r\n"
      "--outer\r\n"
      "Content-Type: multipart/alternative; boundary=\"inner\"\r\n"
      "\r\n"
      "--inner\r\n"
      "Content-Type: text/plain; charset=koi8-r\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n"
      "\r\n"
      "=F0=D2=C9=D7=C5=D4, =CD=C9=D2!\r\n"
      ".\r\n"
      "second line\r\n"
      "--inner\r\n"
      "Content-Type: text/html; charset=utf-8\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "\r\n" +
      Base64(html) +
      "\r\n"
      "--inner--\r\n"
      "--outer\r\n"
      "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
      "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "Content-ID: <part1@example.net>\r\n"
      "\r\n" +
      Base64(BinaryBlob()) +
      "\r\n"
      "--outer\r\n"
      "Content-Type: text/plain; charset=utf-8\r\n"
      "Content-Disposition: attachment; filename*=utf-8''%D0%BE%D1%82%D1%87%D1%91%D1%82.txt\r\n"
      "Content-Transfer-Encoding: 8bit\r\n"
      "\r\n"
      "отчёт\r\n"
      "--outer--\r\n";
  return r;
}

}  // namespace

TEST(Parsing, MixedWithAlternativeAndTwoAttachments) {
  TTempDir dir;
  TIdMessage m;
  m.AttachmentFolder = dir.Path();
  m.LoadFromString(ReceivedMixed());
  EXPECT_EQ(m.From.Name, "Володя");
  EXPECT_EQ(m.From.Address, "volodya@example.net");
  EXPECT_EQ(m.Sender.Address, "list@example.net");
  ASSERT_EQ(m.Recipients.Count(), 2);
  EXPECT_EQ(m.Recipients.EMailAddresses(), "\"Smith, Ann\" <ann@example.com>, bob@example.com");
  EXPECT_EQ(m.CCList.EMailAddresses(), "carol@example.com");
  EXPECT_EQ(m.ReplyTo.EMailAddresses(), "answers@example.net");
  EXPECT_EQ(m.Subject, "Привет and more");
  EXPECT_EQ(m.MsgId, "<abc.123@example.net>");
  EXPECT_EQ(m.References, "<x@y> <z@w>");
  EXPECT_EQ(m.Organization, "Example Org");
  EXPECT_EQ(m.Priority, mpHighest);
  EXPECT_EQ(m.ReceiptRecipient.Text(), "Volodya <volodya@example.net>");
  EXPECT_EQ(m.ContentType, "multipart/mixed");
  EXPECT_EQ(m.ExtraHeaders.Values("X-Custom"), "kept");
  EXPECT_EQ(m.ExtraHeaders.IndexOfName("Subject"), -1);
  EXPECT_EQ(m.Headers.Values("Subject"), "=?utf-8?B?0J/RgNC40LLQtdGC?= and more");
  EXPECT_EQ(m.Headers.size(), 17u);
  // 2003-07-01 08:52:37 UTC
  EXPECT_NEAR(m.Date, 37803.0 + (8 * 3600 + 52 * 60 + 37) / 86400.0, 1e-6);
  EXPECT_TRUE(m.Body.empty());

  ASSERT_EQ(m.MessageParts.Count(), 4);
  ASSERT_EQ(m.MessageParts[0].Kind(), TIdPartKind::Text);
  auto& plain = static_cast<TIdText&>(m.MessageParts[0]);
  EXPECT_EQ(plain.Body, (TIdStrings{"Привет, мир!", ".", "second line"}));
  EXPECT_EQ(plain.ContentType, "text/plain");
  EXPECT_EQ(plain.ContentTransfer, "quoted-printable");
  EXPECT_TRUE(plain.IsEncoded);
  ASSERT_EQ(m.MessageParts[1].Kind(), TIdPartKind::Text);
  EXPECT_EQ(static_cast<TIdText&>(m.MessageParts[1]).Body,
            TIdStrings{"<html><body><p>Привет, мир! ✓</p></body></html>"});
  EXPECT_EQ(m.MessageParts[1].ContentType, "text/html");

  ASSERT_EQ(m.MessageParts[2].Kind(), TIdPartKind::Attachment);
  auto& bin = static_cast<TIdAttachment&>(m.MessageParts[2]);
  EXPECT_EQ(bin.FileName, "data.bin");
  EXPECT_EQ(bin.ContentDisposition, "attachment; filename=\"data.bin\"");
  EXPECT_EQ(bin.ContentID, "part1@example.net");
  EXPECT_TRUE(bin.FileIsTempFile);
  EXPECT_EQ(bin.StoredPathName.parent_path().parent_path(), dir.Path());
  EXPECT_EQ(ReadFile(bin.StoredPathName), BinaryBlob());

  ASSERT_EQ(m.MessageParts[3].Kind(), TIdPartKind::Attachment);
  auto& rep = static_cast<TIdAttachment&>(m.MessageParts[3]);
  EXPECT_EQ(rep.FileName, "отчёт.txt");
  EXPECT_EQ(rep.StoredPathName.filename().string(), "отчёт.txt");
  EXPECT_EQ(ReadFile(rep.StoredPathName), "отчёт");  // the closing CR LF belongs to the boundary
  EXPECT_EQ(bin.StoredPathName.parent_path(), rep.StoredPathName.parent_path());
}

TEST(Parsing, HeadersOnlyAndClearedBetweenMessages) {
  TTempDir dir;
  TIdMessage m;
  m.AttachmentFolder = dir.Path();
  m.LoadFromString(ReceivedMixed(), true);
  EXPECT_EQ(m.MsgId, "<abc.123@example.net>");
  EXPECT_EQ(m.MessageParts.Count(), 0);
  EXPECT_TRUE(fs::is_empty(dir.Path()));
  m.LoadFromString("Subject: second\r\n\r\nbody line\r\n");
  EXPECT_EQ(m.MsgId, "");
  EXPECT_EQ(m.Subject, "second");
  EXPECT_EQ(m.From.Text(), "");
  EXPECT_EQ(m.Body, TIdStrings{"body line"});
  EXPECT_EQ(m.ContentType, "text/plain");
}

TEST(Parsing, NoDecodeKeepsTheRawBody) {
  TIdMessage m;
  m.NoDecode = true;
  m.LoadFromString("Subject: s\r\nContent-Transfer-Encoding: base64\r\n\r\naGVsbG8=\r\n");
  EXPECT_EQ(m.Body, TIdStrings{"aGVsbG8="});
  EXPECT_EQ(m.Subject, "s");
}

TEST(Parsing, HostileInputStaysContained) {
  TTempDir dir;
  const std::string cases[] = {
      "",
      "no header at all",
      "\r\n\r\n\r\n",
      std::string("Subject: \0\x01\x02 zero\r\n\r\nx", 22),
      "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n",
      "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
      "Content-Disposition: attachment; filename=\"../../../etc/passwd\"\r\n\r\nroot\r\n--b--\r\n",
      "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
      "Content-Disposition: attachment; filename=\"..\"\r\n\r\nx\r\n--b\r\n"
      "Content-Disposition: attachment; filename=\"a\r\n b/c\\\\d:e.txt\"\r\n\r\ny\r\n--b--\r\n",
      "Subject: =?utf-8?B?////?= =?x-unknown?Q?abc?=\r\nFrom: <<<>>>@@,,;;\"\r\n\r\n",
      "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n!!!!****\r\n",
  };
  for (const std::string& raw : cases) {
    TIdMessage m;
    m.AttachmentFolder = dir.Path();
    EXPECT_NO_THROW(m.LoadFromString(raw));
    for (int i = 0; i < m.MessageParts.Count(); ++i) {
      auto& p = m.MessageParts[i];
      if (p.Kind() != TIdPartKind::Attachment) continue;
      fs::path stored = fs::weakly_canonical(p.StoredPathName);
      EXPECT_EQ(stored.parent_path().parent_path(), fs::weakly_canonical(dir.Path())) << stored;
      EXPECT_TRUE(fs::is_regular_file(stored));
    }
    for (auto& h : m.Headers) EXPECT_EQ(h.find('\n'), std::string::npos);
    EXPECT_EQ(m.Subject.find('\r'), std::string::npos);
  }
  // Deep nesting is not followed.
  std::string deep = "Content-Type: multipart/mixed; boundary=b0\r\n\r\n";
  for (int i = 1; i < 20000; ++i)
    deep += "--b" + std::to_string(i - 1) + "\r\nContent-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n";
  TIdMessage m;
  m.AttachmentFolder = dir.Path();
  EXPECT_NO_THROW(m.LoadFromString(deep));
}

TEST(Building, TransferEncodingsOfTheBody) {
  struct Case {
    const char* cte;
    const char* expectHeader;
  } cases[] = {
      {"", "quoted-printable"},
      {"quoted-printable", "quoted-printable"},
      {"base64", "base64"},
      {"8bit", "8bit"},
      {"7bit", "quoted-printable"},  // the text is not 7-bit
  };
  for (const auto& c : cases) {
    TIdMessage m;
    m.From.Address = "s@example.com";
    m.Recipients.Add("t@example.com");
    m.CharSet = "utf-8";
    m.ContentTransferEncoding = c.cte;
    m.SetBodyText("Grüße\n.\nline three");
    const std::string wire = m.EncodeToString();
    EXPECT_NE(wire.find(std::string("Content-Transfer-Encoding: ") + c.expectHeader + "\r\n"), std::string::npos)
        << c.cte << "\n" << wire;
    TIdMessage back;
    back.LoadFromString(wire);
    EXPECT_EQ(back.Body, m.Body) << c.cte;
    EXPECT_TRUE(OnlyCrLf(wire));
  }
  // base64 carries CR LF line ends inside
  TIdMessage m;
  m.From.Address = "s@example.com";
  m.ContentTransferEncoding = "base64";
  m.SetBodyText("a\nb");
  EXPECT_NE(m.EncodeToString().find("YQ0KYg=="), std::string::npos);
}

TEST(Building, LineBreaksInNamesAndSubjectsFromATableStartNoHeader) {
  struct Field {
    const char* name;
    void (*set)(TIdMessage&, const std::string&);
  } fields[] = {
      {"From", [](TIdMessage& m, const std::string& t) { m.From.Name = t; }},
      {"To", [](TIdMessage& m, const std::string& t) { m.Recipients.Add("to2@example.org", t); }},
      {"Cc", [](TIdMessage& m, const std::string& t) { m.CCList.Add("cc@example.org", t); }},
      {"Reply-To", [](TIdMessage& m, const std::string& t) { m.ReplyTo.Add("r@example.org", t); }},
      {"Sender", [](TIdMessage& m, const std::string& t) { m.Sender = {"sender@example.org", t}; }},
      {"Disposition-Notification-To", [](TIdMessage& m, const std::string& t) { m.ReceiptRecipient = {"n@example.org", t}; }},
      {"Subject", [](TIdMessage& m, const std::string& t) { m.Subject = t; }},
      {"Organization", [](TIdMessage& m, const std::string& t) { m.Organization = t; }},
  };
  const std::string texts[] = {
      "Ann\r\nBcc: victim@evil.test",  "Ann\nBcc: victim@evil.test",   "Ann\rBcc: victim@evil.test",
      "Änn\r\nBcc: victim@evil.test",  "Ann\r\n\r\nBcc: body",         "\r\nBcc: victim@evil.test",
      "Ann\r\n Bcc: folded@evil.test", "Ann,\r\nBcc: victim@evil.test", std::string("Ann\0Bcc: x@evil.test", 20),
      "\"Ann\r\nBcc: victim@evil.test\"",
  };
  for (const auto& f : fields) {
    for (const std::string& text : texts) {
      TIdMessage m;
      m.From.Address = "s@example.com";
      m.Recipients.Add("to@example.org");
      m.SetBodyText("body");
      f.set(m, text);
      const std::string wire = m.EncodeToString();
      const std::string head = HeaderBlock(wire);
      EXPECT_NE(head.find("\r\nMIME-Version: 1.0\r\n"), std::string::npos) << f.name << "\n" << wire;
      EXPECT_TRUE(OnlyCrLf(wire));
      for (const std::string& line : Lines(head)) EXPECT_NE(Lower(line).rfind("bcc:", 0), 0u) << f.name << "\n" << head;
      TIdMessage back;
      back.LoadFromString(wire);
      EXPECT_EQ(back.Headers.IndexOfName("Bcc"), -1) << f.name;
      EXPECT_EQ(back.BccList.Count(), 0) << f.name;
      EXPECT_EQ(back.Recipients[0].Address, "to@example.org") << f.name;
    }
  }
}

namespace {

// The display names of From, To and Cc as Python's email package (policy=default) reads them,
// one a line.
std::vector<std::string> PythonDisplayNames(const std::string& wire) {
  TTempDir dir;
  WriteFile(dir.Path() / "m.eml", wire);
  const char* script =
      "import email, email.policy, sys\n"
      "m = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=email.policy.default)\n"
      "with open(sys.argv[2], 'w', encoding='utf-8') as out:\n"
      "    for h in ('From', 'To', 'Cc'):\n"
      "        for a in m[h].addresses:\n"
      "            out.write(a.display_name + '\\n')\n";
  std::vector<std::string> names;
  if (!RunQuietly({"/usr/bin/python3", "-c", script, (dir.Path() / "m.eml").string(), (dir.Path() / "n.txt").string()}))
    return {"(python failed)"};
  std::string text = ReadFile(dir.Path() / "n.txt");
  for (size_t p = 0; p < text.size();) {
    size_t e = text.find('\n', p);
    names.push_back(text.substr(p, e - p));
    p = e + 1;
  }
  return names;
}

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == ' ') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

}  // namespace

TEST(Building, LongDisplayNamesAreCutAtBlanks) {
  struct Case {
    const char* charset;
    std::string name;
  } cases[] = {
      {"utf-8", "Jöhn-Alexander Bartholomäus Schmidt-Überlänge von Königsberg und Hohenzollern-Sigmaringen"},
      {"iso-8859-1", "Jöhn-Alexander Bartholomäus Schmidt-Überlänge von Königsberg und Hohenzollern-Sigmaringen"},
      {"windows-1251", "Константин Константинович Преображенский Петербургский Ленинградский Московский"},
      {"utf-8", "山田 太郎 株式会社 東京本社 営業部 第一営業課 課長代理 兼 海外事業推進室 室長"},
      {"utf-8", "Ünïcode Namewithaverylongpartthatneverends Østergaard Ævarsdóttir Þórðardóttir"},
      {"koi8-r", "Ёлкин Ёжиков Ёршов Ёлкин Ёжиков Ёршов Ёлкин Ёжиков Ёршов Ёлкин"},
  };
  for (const auto& c : cases) {
    TIdMessage m;
    m.CharSet = c.charset;
    m.From = {"s@example.com", c.name};
    m.Recipients.Add("t@example.com", c.name);
    m.CCList.Add("c@example.com", "Short " + c.name);
    m.SetBodyText("x");
    const std::string wire = m.EncodeToString();
    for (const std::string& line : Lines(HeaderBlock(wire))) EXPECT_LE(line.size(), 78u) << line;
    // Our own reader (RFC 2047: the blank between encoded words is not part of the text).
    TIdMessage back;
    back.LoadFromString(wire);
    EXPECT_EQ(back.From.Name, c.name) << c.charset << "\n" << HeaderBlock(wire);
    EXPECT_EQ(back.Recipients[0].Name, c.name);
    EXPECT_EQ(back.CCList[0].Name, "Short " + c.name);
    // Python keeps the folding blank between encoded words of a name: every word of the name
    // still comes out whole.
    const auto names = PythonDisplayNames(wire);
    ASSERT_EQ(names.size(), 3u) << ::testing::PrintToString(names) << "\n" << HeaderBlock(wire);
    EXPECT_EQ(Words(names[0]), Words(c.name)) << names[0] << "\n" << HeaderBlock(wire);
    EXPECT_EQ(Words(names[1]), Words(c.name)) << names[1];
    EXPECT_EQ(Words(names[2]), Words("Short " + c.name)) << names[2];
  }
  // A word longer than an encoded word is cut between characters, never inside one.
  const std::string longWord = "Ä" + std::string(40, 'x') + "ÖÜßÄÖÜßÄÖÜßÄÖÜßÄÖÜßÄÖÜßÄÖÜßÄÖÜßÄÖÜßÄÖÜß";
  TIdMessage m;
  m.From = {"s@example.com", longWord};
  m.SetBodyText("x");
  TIdMessage back;
  back.LoadFromString(m.EncodeToString());
  EXPECT_EQ(back.From.Name, longWord);
}

TEST(AddressText, AnAddressIsExactlyOneMailbox) {
  const char* good[] = {"a@x.test",      "first.last+tag@sub.x.test", "\"a, b; c@d\"@x.test", "\"a\\\"b\"@x.test",
                        "a@[127.0.0.1]", "a@[IPv6:::1]",              "jörg@bücher.test",      "o'brien@x.test"};
  for (const char* a : good) EXPECT_EQ(AddressProblem(a), "") << a;
  struct Case {
    const char* address;
    const char* why;
  } bad[] = {
      {"a@x.test, b@evil.test", "it holds more than one address"},
      {"a@x.test;b@evil.test", "it holds more than one address"},
      {"a,b@x.test", "it holds more than one address"},
      {"a@x.test@evil.test", "it holds more than one address"},
      {"a@x.test b@evil.test", "it holds a blank"},
      {"a b@x.test", "it holds a blank"},
      {"a@x.test ", "it holds a blank"},
      {"a@x.test\r\n", "it holds a control character"},
      {"<a@x.test>", "it holds an angle bracket"},
      {"x.test", "it has no \"@\""},
      {"@x.test", "the part before \"@\" is empty"},
      {"a@", "the part after \"@\" is empty"},
      {"\"a@x.test", "a quote is not closed"},
      {"\"\"@x.test", "the part before \"@\" is empty"},
      {"a\"b\"@x.test", "it holds a character not allowed outside quotes"},
      {"\"a\"b@x.test", "it holds a character not allowed outside quotes"},
      {"a(c)@x.test", "it holds a character not allowed outside quotes"},
      {"a@x(c).test", "it holds a character not allowed in a domain"},
      {"a@[1.2.3.4 ]", "the address literal is not valid"},
  };
  for (const auto& c : bad) EXPECT_EQ(AddressProblem(c.address), c.why) << c.address;
}

// A recipient without "@" in any form the program may build is refused, never dropped.
TEST(AddressText, ARecipientWithoutAtIsRefused) {
  struct TForm {
    const char* name;
    void (*set)(TIdEMailAddressList&);
  };
  const TForm forms[] = {
      {"bare word", [](TIdEMailAddressList& l) { l.Add("john"); }},
      {"domain only", [](TIdEMailAddressList& l) { l.Add("x.test"); }},
      {"quoted", [](TIdEMailAddressList& l) { l.Add("\"john\""); }},
      {"parsed word", [](TIdEMailAddressList& l) { l.SetEMailAddresses("john"); }},
      {"name and empty brackets", [](TIdEMailAddressList& l) { l.SetEMailAddresses("John <>"); }},
      {"name in parentheses", [](TIdEMailAddressList& l) { l.SetEMailAddresses("(John)"); }},
      {"second of two", [](TIdEMailAddressList& l) { l.SetEMailAddresses("ok@x.test, John Smith <>"); }},
      {"name only", [](TIdEMailAddressList& l) { l.Add("", "John"); }},
  };
  TIdEMailAddressList TIdMessage::*fields[] = {&TIdMessage::Recipients, &TIdMessage::CCList, &TIdMessage::BccList};
  for (const TForm& f : forms) {
    for (auto field : fields) {
      TIdMessage m;
      m.From.Address = "ok@example.com";
      if (field != &TIdMessage::Recipients) m.Recipients.Add("to@example.com");
      f.set(m.*field);
      std::string e;
      try {
        m.ValidateAddresses();
      } catch (const EIdException& x) {
        e = x.what();
      }
      EXPECT_EQ(e.rfind("Invalid recipient address: ", 0), 0u) << f.name << ": " << e;
      EXPECT_THROW(m.EncodeToString(), EIdException) << f.name;
    }
  }
  // Empty means absent.
  TIdMessage m;
  m.From.Address = "ok@example.com";
  m.Recipients.Add("to@example.com");
  m.CCList.Add("");
  m.BccList.SetEMailAddresses("<>");
  EXPECT_NO_THROW(m.ValidateAddresses());
}
