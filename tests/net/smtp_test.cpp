// The SMTP client against a real server (aiosmtpd) on 127.0.0.1.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "net/IdSMTP.h"
#include "net/NetInternal.h"
#include "support/TestServers.h"

namespace {

TIdMessage SimpleMessage(const std::string& to, const std::string& subject) {
  TIdMessage m;
  m.From = {"sender@example.com", "Sender Name"};
  m.ReplyTo.Add("reply@example.com");
  m.Recipients.Add(to);
  m.Subject = subject;
  m.ContentType = "text/plain";
  m.CharSet = "utf-8";
  m.SetBodyText("Hello " + subject);
  return m;
}

void Configure(TIdSMTP& c, int port) {
  c.Host = "127.0.0.1";
  c.Port = port;
  c.ConnectTimeoutMs = 5000;
  c.ReadTimeoutMs = 10000;
}

std::string ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EIdException& e) {
    return e.what();
  }
  return "(no error)";
}


}  // namespace

TEST(Smtp, SendsWhatWasBuiltByteForByte) {
  InitMailLibraries();
  TSmtpTestServer server;
  ASSERT_TRUE(server.Ok());
  TTempDir dir;
  WriteFile(dir.Path() / "report.pdf", std::string("%PDF-1.4\n\x00\x01\x02\xff binary", 20));
  WriteFile(dir.Path() / "Übersicht März.txt", "Zeile 1\r\nZeile 2\r\n");

  TIdMessage m;
  m.From = {"sender@example.com", "Jöhn Smïth"};
  m.ReplyTo.Add("reply@example.com");
  m.Recipients.Add("to@example.org");
  m.Subject = "Angebot für Sie – nur heute";
  m.ContentType = "text/html";
  m.CharSet = "windows-1252";
  m.MsgId = "<fixed.1@example.com>";
  m.UseNowForDate = false;
  m.Date = 46000.5;
  m.SetBodyText("<html><body><p>Grüße, café, 5 €</p>\n.\n..x\n.start\n</body></html>");
  m.MessageParts.AddAttachment((dir.Path() / "report.pdf").string());
  m.MessageParts.AddAttachment((dir.Path() / "Übersicht März.txt").string());

  TIdSMTP c;
  Configure(c, server.Port());
  c.MailAgent = "Larkpost";
  c.Connect();
  EXPECT_TRUE(c.Connected());
  c.Send(m);
  c.Disconnect();
  EXPECT_FALSE(c.Connected());
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const std::string got = server.Messages()[0];
  // The same message, built again, is what the server holds after removing the dot-stuffing.
  const std::string built = NetEncodeMessage(m, "Larkpost");
  auto strip = [](const std::string& s) {
    // the MIME boundaries are random: compare with them masked
    std::string out = s;
    size_t p = 0;
    while ((p = out.find("=-", p)) != std::string::npos) {
      size_t e = p + 2;
      while (e < out.size() && out[e] != '"' && out[e] != '\r' && out[e] != '-') ++e;
      out.replace(p, e - p, "=-BOUNDARY");
      p += 10;
    }
    return out;
  };
  EXPECT_EQ(strip(got), strip(built));
  EXPECT_NE(got.find("\r\n.\r\n..x\r\n.start\r\n"), std::string::npos) << got;
  EXPECT_NE(got.find("X-Mailer: Larkpost\r\n"), std::string::npos);
  EXPECT_NE(server.Envelope(0).find("\"from\": \"sender@example.com\""), std::string::npos) << server.Envelope(0);

  TIdMessage back;
  back.AttachmentFolder = dir.Path() / "in";
  back.LoadFromString(got);
  EXPECT_EQ(back.Subject, m.Subject);
  EXPECT_EQ(back.From, m.From);
  ASSERT_EQ(back.MessageParts.Count(), 3);
  EXPECT_EQ(static_cast<TIdText&>(back.MessageParts[0]).Body, m.Body);
  auto& a1 = static_cast<TIdAttachment&>(back.MessageParts[1]);
  auto& a2 = static_cast<TIdAttachment&>(back.MessageParts[2]);
  EXPECT_EQ(a1.FileName, "report.pdf");
  EXPECT_EQ(a1.ContentType, "application/pdf");
  EXPECT_EQ(ReadFile(a1.StoredPathName), ReadFile(dir.Path() / "report.pdf"));
  EXPECT_EQ(a2.FileName, "Übersicht März.txt");
  EXPECT_EQ(ReadFile(a2.StoredPathName), "Zeile 1\r\nZeile 2\r\n");
}

TEST(Smtp, FiveMessagesOnOneConnectionWithRefusalsInTheMiddle) {
  TSmtpTestServer::Options o;
  o.refuse = "unknown";
  o.reject = "REJECTME";
  o.auth = "user:secret";
  TSmtpTestServer server(o);
  ASSERT_TRUE(server.Ok());
  TIdSMTP c;
  Configure(c, server.Port());
  c.AuthenticationType = atLogin;
  c.Username = "user";
  c.Password = "secret";
  c.Connect();
  c.Send(SimpleMessage("a@example.org", "one"));
  c.Send(SimpleMessage("b@example.org", "two"));
  EXPECT_EQ(ErrorOf([&] { c.Send(SimpleMessage("unknown@example.org", "three")); }), "550 5.1.1 user unknown");
  EXPECT_EQ(ErrorOf([&] { c.Send(SimpleMessage("c@example.org", "REJECTME")); }), "554 5.7.1 message refused");
  c.Send(SimpleMessage("d@example.org", "four"));
  c.Send(SimpleMessage("e@example.org", "five"));
  EXPECT_TRUE(c.Connected());
  c.Disconnect();
  ASSERT_TRUE(server.WaitForMessages(4, 5000));
  auto msgs = server.Messages();
  ASSERT_EQ(msgs.size(), 4u);
  const char* subjects[] = {"one", "two", "four", "five"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(msgs[i].find(std::string("Subject: ") + subjects[i] + "\r\n"), std::string::npos) << msgs[i];
    EXPECT_NE(server.Envelope(i).find("\"login\": \"user\""), std::string::npos) << server.Envelope(i);
  }
  // The first two share the logged-on connection of Connect, the last two the one opened
  // after the refusals (a refusal drops the connection). The server counts its readiness probe too.
  auto conn = [&](int i) {
    std::string e = server.Envelope(i);
    size_t p = e.find("\"connection\": ");
    return p == std::string::npos ? -1 : std::atoi(e.c_str() + p + 14);
  };
  EXPECT_EQ(conn(0), conn(1));
  EXPECT_EQ(conn(2), conn(3));
  EXPECT_LE(server.Connections() - 1, 4);
}

TEST(Smtp, ServerRepliesAndConnectionFailuresAreTheErrorText) {
  TSmtpTestServer::Options o;
  o.auth = "user:secret";
  TSmtpTestServer server(o);
  ASSERT_TRUE(server.Ok());
  {
    TIdSMTP c;
    Configure(c, server.Port());
    c.AuthenticationType = atLogin;
    c.Username = "user";
    c.Password = "wrong";
    std::string e = ErrorOf([&] { c.Connect(); });
    EXPECT_EQ(e.substr(0, 4), "535 ") << e;
    EXPECT_FALSE(c.Connected());
  }
  {
    TIdSMTP c;  // no authentication where the server requires it
    Configure(c, server.Port());
    c.Connect();
    std::string e = ErrorOf([&] { c.Send(SimpleMessage("a@example.org", "x")); });
    EXPECT_EQ(e.substr(0, 4), "530 ") << e;
  }
  {
    TIdSMTP c;
    Configure(c, FreePort());
    std::string e = ErrorOf([&] { c.Connect(); });
    EXPECT_EQ(e, "127.0.0.1:" + std::to_string(c.Port) + ": Connection refused");
    EXPECT_FALSE(c.Connected());
  }
  {
    TIdSMTP c;
    Configure(c, server.Port());
    c.Host = "bad host\r\nname";
    EXPECT_NE(ErrorOf([&] { c.Connect(); }).find("Invalid SMTP host"), std::string::npos);
  }
}

TEST(Smtp, HeaderInjectionIsRefusedBeforeAnythingIsSent) {
  TSmtpTestServer server;
  ASSERT_TRUE(server.Ok());
  TIdSMTP c;
  Configure(c, server.Port());
  TIdMessage m = SimpleMessage("victim@example.org\r\nRCPT TO:<other@example.org>", "inject");
  std::string e = ErrorOf([&] { c.Send(m); });
  EXPECT_NE(e.find("Invalid recipient address"), std::string::npos) << e;
  EXPECT_FALSE(c.Connected());  // nothing was opened
  TIdMessage f = SimpleMessage("ok@example.org", "inject");
  f.From.Address = "a@b.c>\r\nDATA";
  EXPECT_NE(ErrorOf([&] { c.Send(f); }).find("Invalid sender address"), std::string::npos);
  TIdMessage none = SimpleMessage("", "nobody");
  none.Recipients.Clear();
  EXPECT_EQ(ErrorOf([&] { c.Send(none); }), "No recipient address");
  // Subject text with line breaks goes out inside the Subject header.
  TIdMessage s = SimpleMessage("ok@example.org", "Hi\r\nBcc: victim@example.org");
  c.Send(s);
  c.Disconnect();
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  auto msgs = server.Messages();
  ASSERT_EQ(msgs.size(), 1u);
  const std::string head = msgs[0].substr(0, msgs[0].find("\r\n\r\n") + 2);
  EXPECT_EQ(head.find("\r\nBcc:"), std::string::npos) << head;
  EXPECT_NE(server.Envelope(0).find("[\"ok@example.org\"]"), std::string::npos) << server.Envelope(0);
}

TEST(Smtp, SendReconnectsAfterTheServerClosed) {
  TIdMessage m = SimpleMessage("a@example.org", "again");
  TIdSMTP c;
  {
    TSmtpTestServer first;
    ASSERT_TRUE(first.Ok());
    Configure(c, first.Port());
    c.Connect();
    c.Send(m);
  }  // the server ends: the connection is gone
  EXPECT_FALSE(c.Connected());
  TSmtpTestServer second;
  ASSERT_TRUE(second.Ok());
  c.Port = second.Port();
  c.Send(m);
  ASSERT_TRUE(second.WaitForMessages(1, 5000));
}

TEST(Smtp, DisconnectFromAnotherThreadCutsABusyConnection) {
  // A listener that accepts and never answers: Connect waits for the greeting.
  int port = FreePort();
  TServerProcess silent;
  ASSERT_TRUE(silent.Start({"/usr/bin/python3", "-c",
                            "import socket,time\n"
                            "s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
                            "s.bind(('127.0.0.1'," + std::to_string(port) + ")); s.listen(5)\n"
                            "c=[]\n"
                            "while True: c.append(s.accept())\n"},
                           30));
  ASSERT_TRUE(WaitForTcpPort(port, 5000));
  TIdSMTP c;
  Configure(c, port);
  c.ReadTimeoutMs = 20000;
  std::string error;
  auto start = std::chrono::steady_clock::now();
  std::thread t([&] { error = ErrorOf([&] { c.Connect(); }); });
  // Busy once the request runs (a loaded machine may take a while to get there).
  bool busy = false;
  for (int i = 0; i < 500 && !busy; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    busy = c.Connected();
  }
  EXPECT_TRUE(busy);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // inside the wait for the greeting
  start = std::chrono::steady_clock::now();
  c.Disconnect();
  t.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_NE(error.find("Disconnected"), std::string::npos) << error;
  EXPECT_FALSE(c.Connected());
}

TEST(Smtp, ASilentServerTimesOut) {
  int port = FreePort();
  TServerProcess silent;
  ASSERT_TRUE(silent.Start({"/usr/bin/python3", "-c",
                            "import socket\n"
                            "s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
                            "s.bind(('127.0.0.1'," + std::to_string(port) + ")); s.listen(5)\n"
                            "c=[]\n"
                            "while True: c.append(s.accept())\n"},
                           30));
  ASSERT_TRUE(WaitForTcpPort(port, 5000));
  TIdSMTP c;
  Configure(c, port);
  c.ReadTimeoutMs = 1000;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { c.Connect(); }), "127.0.0.1:" + std::to_string(port) + ": Read timed out");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(Smtp, DisconnectFromAnotherThreadWhileIdle) {
  TSmtpTestServer server;
  ASSERT_TRUE(server.Ok());
  TIdSMTP c;
  Configure(c, server.Port());
  std::thread([&] { c.Connect(); }).join();
  EXPECT_TRUE(c.Connected());
  c.Disconnect();  // not the thread that used it last
  EXPECT_FALSE(c.Connected());
  std::string error;
  std::thread([&] { error = ErrorOf([&] { c.Send(SimpleMessage("a@example.org", "after")); }); }).join();
  EXPECT_EQ(error, "(no error)");
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
}

// The mailing run's supervisor asks a sender's client whether it is connected at any
// moment, also while the sender makes its handle or sets it up between requests. Under
// ThreadSanitizer (LARKPOST_TSAN) this shows that the question never races the owner.
TEST(Smtp, AnotherThreadMayAskConnectedWhileTheOwnerWorks) {
  TSmtpTestServer server;
  ASSERT_TRUE(server.Ok());
  constexpr int kRounds = 10, kMessages = 3;
  for (int round = 0; round < kRounds; ++round) {
    TIdSMTP c;
    Configure(c, server.Port());
    std::atomic<bool> done{false};
    std::string error;
    std::thread owner([&] {
      error = ErrorOf([&] {
        c.Connect();
        for (int i = 0; i < kMessages; ++i) c.Send(SimpleMessage("a@example.org", "round " + std::to_string(round)));
        c.Disconnect();
      });
      done = true;
    });
    while (!done) c.Connected();
    owner.join();
    EXPECT_EQ(error, "(no error)");
    EXPECT_FALSE(c.Connected());
  }
  EXPECT_TRUE(server.WaitForMessages(kRounds * kMessages, 10000));
}

namespace {

// Each address field of a message, set to Address.
struct TAddressField {
  const char* name;
  const char* error;  // the start of the error text
  void (*set)(TIdMessage&, const std::string&);
};

const TAddressField kAddressFields[] = {
    {"From", "Invalid sender address: ", [](TIdMessage& m, const std::string& a) { m.From.Address = a; }},
    {"To", "Invalid recipient address: ", [](TIdMessage& m, const std::string& a) { m.Recipients.Add(a); }},
    {"Cc", "Invalid recipient address: ", [](TIdMessage& m, const std::string& a) { m.CCList.Add(a); }},
    {"Bcc", "Invalid recipient address: ", [](TIdMessage& m, const std::string& a) { m.BccList.Add(a); }},
    {"Reply-To", "Invalid reply-to address: ", [](TIdMessage& m, const std::string& a) { m.ReplyTo.Add(a); }},
    {"Sender", "Invalid sender address: ", [](TIdMessage& m, const std::string& a) { m.Sender.Address = a; }},
    {"Disposition-Notification-To", "Invalid read-receipt address: ",
     [](TIdMessage& m, const std::string& a) { m.ReceiptRecipient.Address = a; }},
};

}  // namespace

TEST(Smtp, EveryAddressFieldTakesExactlyOneAddress) {
  TFakeMailServer sink({});
  ASSERT_TRUE(sink.Ok());
  const std::string bad[] = {
      "a@x.test, b@evil.test",  "a@x.test,b@evil.test",        "a@x.test; b@evil.test", "a@x.test b@evil.test",
      "a@x.test\tb@evil.test",  "a@x.test\r\nRCPT TO:<b@evil.test>", "a@x.test>, <b@evil.test", "<a@x.test>",
      "a@x.test@evil.test",     "x.test",                      "@x.test",               "a@",
      "\"a\"@x.test, b@evil.test", "\"a, b\"@x.test b@evil.test", "\"open@x.test",       "a(b@evil.test)@x.test",
      "group: b@evil.test;",    "a\x01@x.test",                "a\"b\"@x.test",          "a@[1.2.3.4], b@evil.test",
  };
  for (const TAddressField& f : kAddressFields) {
    for (const std::string& address : bad) {
      TIdMessage m = SimpleMessage("to@x.test", "field");
      if (std::string(f.name) == "To") m.Recipients.Clear();
      if (std::string(f.name) == "From") m.From.Address.clear();
      f.set(m, address);
      TIdSMTP c;
      Configure(c, sink.Port());
      std::string e = ErrorOf([&] { c.Send(m); });
      EXPECT_EQ(e.rfind(f.error, 0), 0u) << f.name << " " << address << ": " << e;
      EXPECT_EQ(e.find('\n'), std::string::npos) << e;
      EXPECT_FALSE(c.Connected());
      EXPECT_THROW(NetEncodeMessage(m, ""), EIdException) << f.name << " " << address;
    }
  }
  // A recipient named but without an address is refused too, not dropped.
  {
    TIdMessage m = SimpleMessage("to@x.test", "named only");
    m.CCList.SetEMailAddresses("John Smith <>");
    TIdSMTP c;
    Configure(c, sink.Port());
    EXPECT_EQ(ErrorOf([&] { c.Send(m); }).rfind("Invalid recipient address: ", 0), 0u);
  }
  // Nothing of it reached the sink: no connection at all.
  EXPECT_TRUE(sink.Lines().empty()) << sink.Lines().front();

  // One address in every field, a quoted local part holding specials among them, goes out;
  // the sink would have taken the bad ones as well.
  TIdMessage m = SimpleMessage("to@x.test", "all fields");
  for (const TAddressField& f : kAddressFields) f.set(m, "\"" + std::string(f.name) + ", x y\"@x.test");
  m.Recipients.Add("plain@[127.0.0.1]");
  TIdSMTP c;
  Configure(c, sink.Port());
  c.Send(m);
  c.Disconnect();
  ASSERT_TRUE(sink.WaitForLine("QUIT", 5000));
  const auto lines = sink.Lines();
  auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
  EXPECT_TRUE(has("MAIL FROM:<\"From, x y\"@x.test>")) << ::testing::PrintToString(lines);
  EXPECT_TRUE(has("RCPT TO:<to@x.test>"));
  EXPECT_TRUE(has("RCPT TO:<\"To, x y\"@x.test>"));
  EXPECT_TRUE(has("RCPT TO:<plain@[127.0.0.1]>"));
  EXPECT_TRUE(has("RCPT TO:<\"Cc, x y\"@x.test>"));
  EXPECT_TRUE(has("RCPT TO:<\"Bcc, x y\"@x.test>"));
  EXPECT_TRUE(has("Reply-To: reply@example.com, \"Reply-To, x y\"@x.test")) << ::testing::PrintToString(lines);
  EXPECT_TRUE(has("Sender: \"Sender, x y\"@x.test"));
  EXPECT_TRUE(has("Disposition-Notification-To: \"Disposition-Notification-To, x y\"@x.test"));
}

TEST(Smtp, AnEmptySenderIsRefused) {
  TIdMessage m = SimpleMessage("to@x.test", "no sender");
  m.From.Address.clear();
  TIdSMTP c;
  Configure(c, FreePort());
  EXPECT_EQ(ErrorOf([&] { c.Send(m); }), "No sender address");
}

TEST(Smtp, AfterATimeOutTheConnectionIsDroppedWithoutQuit) {
  // The server stops answering at each step of a message in turn.
  for (const char* step : {"MAIL", "RCPT", "DATA", "."}) {
    TFakeMailServer::Options o;
    o.silentAt = step;
    TFakeMailServer sink(o);
    ASSERT_TRUE(sink.Ok());
    TIdSMTP c;
    Configure(c, sink.Port());
    c.ReadTimeoutMs = 1000;
    c.Connect();
    EXPECT_EQ(ErrorOf([&] { c.Send(SimpleMessage("to@x.test", "silence")); }),
              "127.0.0.1:" + std::to_string(sink.Port()) + ": Read timed out")
        << step;
    // By the time the error is reported the connection is gone: nothing waits on it again.
    EXPECT_FALSE(c.Connected()) << step;
    EXPECT_TRUE(sink.WaitForLine("*CLOSED", 5000)) << step << ::testing::PrintToString(sink.Lines());
    c.Disconnect();
    EXPECT_FALSE(sink.Received("QUIT")) << step << ::testing::PrintToString(sink.Lines());
  }
  // A connection still answering gets its QUIT.
  TFakeMailServer sink({});
  ASSERT_TRUE(sink.Ok());
  TIdSMTP c;
  Configure(c, sink.Port());
  c.Connect();
  c.Disconnect();
  EXPECT_TRUE(sink.WaitForLine("QUIT", 5000)) << ::testing::PrintToString(sink.Lines());
}

// A sender cut from another thread (the run's abort) closes its connection without a
// word: a server stuck after the message must not hold the cut sender for its time-out.
TEST(Smtp, ACutSenderClosesWithoutQuit) {
  struct TCase {
    const char* name;
    const char* silentAt;  // where the server stops answering
    bool busy;             // cut inside the transfer, else between two
  };
  for (TCase k : {TCase{"stuck after the data", ".", true}, TCase{"idle, QUIT never answered", "QUIT", false}}) {
    SCOPED_TRACE(k.name);
    TFakeMailServer::Options o;
    o.silentAt = k.silentAt;
    TFakeMailServer sink(o);
    ASSERT_TRUE(sink.Ok());
    TIdSMTP c;
    Configure(c, sink.Port());
    c.ReadTimeoutMs = 30000;
    std::string error;
    std::thread owner;
    if (k.busy) {
      owner = std::thread([&] { error = ErrorOf([&] { c.Send(SimpleMessage("to@x.test", "stuck")); }); });
      ASSERT_TRUE(sink.WaitForLine(".", 10000)) << ::testing::PrintToString(sink.Lines());
    } else {
      std::thread([&] { c.Send(SimpleMessage("to@x.test", "first")); }).join();
      ASSERT_TRUE(sink.WaitForLine(".", 10000));
    }
    c.Disconnect();
    EXPECT_FALSE(c.Connected());
    if (k.busy) {
      owner.join();
      EXPECT_NE(error.find("Disconnected"), std::string::npos) << error;
    } else {
      // The owner's next use opens a new connection; the cut one is closed unspoken.
      std::thread([&] { error = ErrorOf([&] { c.Send(SimpleMessage("to@x.test", "second")); }); }).join();
      EXPECT_EQ(error, "(no error)");
    }
    ASSERT_TRUE(sink.WaitForLine("*CLOSED", 10000)) << ::testing::PrintToString(sink.Lines());
    EXPECT_FALSE(sink.Received("QUIT")) << ::testing::PrintToString(sink.Lines());
  }
}
