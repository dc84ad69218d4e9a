// The POP3 client against a real dovecot on 127.0.0.1.

#include <gtest/gtest.h>

#include <algorithm>

#include "net/IdPOP3.h"
#include "support/TestServers.h"

namespace {

std::string Mail(int n, const std::string& body) {
  return "From: Sender " + std::to_string(n) + " <s" + std::to_string(n) +
         "@example.net>\r\n"
         "To: box@example.com\r\n"
         "Subject: Message " +
         std::to_string(n) +
         "\r\n"
         "Message-Id: <m" +
         std::to_string(n) +
         "@example.net>\r\n"
         "Date: Tue, 1 Jul 2003 10:52:37 +0000\r\n"
         "\r\n" +
         body;
}

std::string ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EIdException& e) {
    return e.what();
  }
  return "(no error)";
}

void Configure(TIdPOP3& c, int port, const std::string& password = "pw") {
  c.Host = "127.0.0.1";
  c.Port = port;
  c.Username = "box";
  c.Password = password;
  c.ConnectTimeoutMs = 5000;
  c.ReadTimeoutMs = 10000;
}

}  // namespace

TEST(Pop3, StatTopRetrDeleteAndQuitCommits) {
  TPop3TestServer server("box", "pw");
  ASSERT_TRUE(server.Ok()) << server.Log();
  server.AddMessage("1000000001.M1.host", Mail(1, "first body\r\n"));
  server.AddMessage("1000000002.M2.host", Mail(2, "line one\r\n.\r\n..two dots\r\n.\r\nlast\r\n"));
  server.AddMessage("1000000003.M3.host", Mail(3, "third\r\n"));

  TIdPOP3 c;
  Configure(c, server.Port());
  c.Connect();
  EXPECT_TRUE(c.Connected());
  ASSERT_EQ(c.CheckMessages(), 3);
  TIdMessage m;
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(c.RetrieveHeader(i, m));
    EXPECT_EQ(m.MsgId, "<m" + std::to_string(i) + "@example.net>");
    EXPECT_EQ(m.Subject, "Message " + std::to_string(i));
    EXPECT_TRUE(m.Body.empty());
  }
  ASSERT_TRUE(c.Retrieve(2, m));
  EXPECT_EQ(m.From.Text(), "Sender 2 <s2@example.net>");
  EXPECT_EQ(m.Body, (TIdStrings{"line one", ".", "..two dots", ".", "last"}));
  EXPECT_EQ(c.RetrieveRaw(1), Mail(1, "first body\r\n"));
  EXPECT_TRUE(c.Delete(2));
  c.Disconnect();
  EXPECT_FALSE(c.Connected());

  // A new session sees one message fewer.
  c.Connect();
  ASSERT_EQ(c.CheckMessages(), 2);
  ASSERT_TRUE(c.RetrieveHeader(2, m));
  EXPECT_EQ(m.MsgId, "<m3@example.net>");
  // Commands that the server refuses carry its "-ERR" line.
  std::string e = ErrorOf([&] { c.Retrieve(9, m); });
  EXPECT_EQ(e.substr(0, 4), "-ERR") << e;
  // The session goes on after a refused command, deletions included.
  EXPECT_TRUE(c.Connected());
  EXPECT_TRUE(c.Delete(1));
  EXPECT_EQ(ErrorOf([&] { c.Delete(1); }).substr(0, 4), "-ERR");
  EXPECT_EQ(ErrorOf([&] { c.RetrieveHeader(1, m); }).substr(0, 4), "-ERR");
  EXPECT_EQ(c.CheckMessages(), 1);
  c.Disconnect();
  EXPECT_EQ(server.MessageFiles(), 1u);
}

TEST(Pop3, WrongPasswordAndNoServer) {
  TPop3TestServer server("box", "pw");
  ASSERT_TRUE(server.Ok()) << server.Log();
  TIdPOP3 c;
  Configure(c, server.Port(), "wrong");
  std::string e = ErrorOf([&] { c.Connect(); });
  EXPECT_EQ(e.substr(0, 5), "-ERR ") << e;
  EXPECT_FALSE(c.Connected());
  // Without a connection nothing runs, and nothing logs on behind the caller's back.
  EXPECT_EQ(ErrorOf([&] { c.CheckMessages(); }), "Not connected");

  TIdPOP3 inject;
  Configure(inject, server.Port(), "pw\r\nDELE 1");
  EXPECT_NE(ErrorOf([&] { inject.Connect(); }).find("line break"), std::string::npos);
  EXPECT_FALSE(inject.Connected());

  TIdPOP3 none;
  Configure(none, FreePort());
  EXPECT_EQ(ErrorOf([&] { none.Connect(); }), "127.0.0.1:" + std::to_string(none.Port) + ": Connection refused");
}

TEST(Pop3, EmptyMailboxAndOversizedMessage) {
  TPop3TestServer server("box", "pw");
  ASSERT_TRUE(server.Ok()) << server.Log();
  TIdPOP3 c;
  Configure(c, server.Port());
  c.Connect();
  EXPECT_EQ(c.CheckMessages(), 0);
  c.Disconnect();
  server.AddMessage("1000000009.M9.host", Mail(9, std::string(200000, 'x') + "\r\n"));
  c.MaxMessageSize = 100000;
  c.Connect();
  EXPECT_EQ(c.CheckMessages(), 1);
  TIdMessage m;
  std::string e = ErrorOf([&] { c.Retrieve(1, m); });
  EXPECT_NE(e.find("larger than"), std::string::npos) << e;
  // The session is still in step.
  EXPECT_TRUE(c.Connected());
  ASSERT_TRUE(c.RetrieveHeader(1, m));
  EXPECT_EQ(m.MsgId, "<m9@example.net>");
  c.Disconnect();
}

// A message a little over the limit comes in one read, with its end: still refused.
TEST(Pop3, AMessageJustOverTheLimitIsRefused) {
  TPop3TestServer server("box", "pw");
  ASSERT_TRUE(server.Ok()) << server.Log();
  server.AddMessage("1000000007.M7.host", Mail(7, std::string(1500, 'z') + "\r\n"));
  TIdPOP3 c;
  Configure(c, server.Port());
  c.MaxMessageSize = 1000;
  c.Connect();
  TIdMessage m;
  std::string e = ErrorOf([&] { c.Retrieve(1, m); });
  EXPECT_NE(e.find("larger than"), std::string::npos) << e;
  e = ErrorOf([&] { c.RetrieveRaw(1); });
  EXPECT_NE(e.find("larger than"), std::string::npos) << e;
  EXPECT_TRUE(c.Connected());
  ASSERT_TRUE(c.RetrieveHeader(1, m));
  EXPECT_EQ(m.MsgId, "<m7@example.net>");
  c.Disconnect();
}

TEST(Pop3, AfterATimeOutTheConnectionIsDroppedWithoutQuit) {
  TFakeMailServer::Options o;
  o.proto = "pop3";
  o.silentAt = "STAT";
  TFakeMailServer fake(o);
  ASSERT_TRUE(fake.Ok());
  TIdPOP3 c;
  Configure(c, fake.Port());
  c.ReadTimeoutMs = 1000;
  c.Connect();
  EXPECT_EQ(ErrorOf([&] { c.CheckMessages(); }), "127.0.0.1:" + std::to_string(fake.Port()) + ": Read timed out");
  EXPECT_FALSE(c.Connected());
  EXPECT_TRUE(fake.WaitForLine("*CLOSED", 5000)) << ::testing::PrintToString(fake.Lines());
  c.Disconnect();
  EXPECT_FALSE(fake.Received("QUIT")) << ::testing::PrintToString(fake.Lines());

  // A silent greeting: one time-out, then nothing more is sent.
  o.silentAt = "CONNECT";
  TFakeMailServer mute(o);
  ASSERT_TRUE(mute.Ok());
  TIdPOP3 m;
  Configure(m, mute.Port());
  m.ReadTimeoutMs = 1000;
  EXPECT_EQ(ErrorOf([&] { m.Connect(); }), "127.0.0.1:" + std::to_string(mute.Port()) + ": Read timed out");
  EXPECT_TRUE(mute.WaitForLine("*CLOSED", 5000));
  m.Disconnect();
  EXPECT_TRUE(mute.Lines() == std::vector<std::string>{"*CLOSED"}) << ::testing::PrintToString(mute.Lines());
}

TEST(Pop3, DisconnectSendsOneQuit) {
  TFakeMailServer::Options o;
  o.proto = "pop3";
  TFakeMailServer fake(o);
  ASSERT_TRUE(fake.Ok());
  TIdPOP3 c;
  Configure(c, fake.Port());
  c.Connect();
  EXPECT_EQ(c.CheckMessages(), 0);
  c.Disconnect();
  ASSERT_TRUE(fake.WaitForLine("*CLOSED", 5000));
  const auto lines = fake.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "QUIT"), 1) << ::testing::PrintToString(lines);
}

TEST(Pop3, MessageSizeAsTheServerStatesIt) {
  TPop3TestServer server("box", "pw");
  ASSERT_TRUE(server.Ok()) << server.Log();
  server.AddMessage("1000000001.M1.host", Mail(1, "first body\r\n"));
  server.AddMessage("1000000002.M2.host", Mail(2, std::string(5000, 'y') + "\r\n"));
  TIdPOP3 c;
  Configure(c, server.Port());
  c.Connect();
  EXPECT_EQ(c.RetrieveMsgSize(1), static_cast<int64_t>(Mail(1, "first body\r\n").size()));
  EXPECT_EQ(c.RetrieveMsgSize(2), static_cast<int64_t>(c.RetrieveRaw(2).size()));
  // Not said: no such message, one marked for deletion, a number below 1 (not asked).
  EXPECT_EQ(c.RetrieveMsgSize(3), -1);
  EXPECT_TRUE(c.Delete(1));
  EXPECT_EQ(c.RetrieveMsgSize(1), -1);
  EXPECT_EQ(c.RetrieveMsgSize(0), -1);
  EXPECT_EQ(c.RetrieveMsgSize(-4), -1);
  EXPECT_TRUE(c.Connected());
  EXPECT_EQ(c.CheckMessages(), 1);
  c.Disconnect();

  // A server answering "+OK" without a listing: unknown, and the session goes on.
  TFakeMailServer::Options o;
  o.proto = "pop3";
  TFakeMailServer lenient(o);
  ASSERT_TRUE(lenient.Ok());
  TIdPOP3 l;
  Configure(l, lenient.Port());
  l.Connect();
  EXPECT_EQ(l.RetrieveMsgSize(1), -1);
  EXPECT_TRUE(l.Connected());
  EXPECT_EQ(l.CheckMessages(), 0);
  l.Disconnect();
  EXPECT_EQ(ErrorOf([&] { l.RetrieveMsgSize(1); }), "Not connected");

  // Silence is a broken connection, as for any command.
  o.silentAt = "LIST";
  TFakeMailServer mute(o);
  ASSERT_TRUE(mute.Ok());
  TIdPOP3 m;
  Configure(m, mute.Port());
  m.ReadTimeoutMs = 1000;
  m.Connect();
  EXPECT_EQ(ErrorOf([&] { m.RetrieveMsgSize(1); }), "127.0.0.1:" + std::to_string(mute.Port()) + ": Read timed out");
  EXPECT_FALSE(m.Connected());
}
