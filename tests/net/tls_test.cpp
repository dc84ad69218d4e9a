// TLS of the mail clients: STARTTLS / STLS when offered, implicit TLS on its port, and
// certificates verified before anything of the account or the message goes out. The
// servers use certificates of a private CA made for the test.

#include <gtest/gtest.h>

#include "net/IdPOP3.h"
#include "net/IdSMTP.h"
#include "support/TestServers.h"

namespace {

std::string ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EIdException& e) {
    return e.what();
  }
  return "(no error)";
}

TIdMessage Message(const std::string& subject) {
  TIdMessage m;
  m.From = {"sender@example.com", "Sender"};
  m.Recipients.Add("to@example.org");
  m.Subject = subject;
  m.SetBodyText("Hello over TLS");
  return m;
}

void Configure(TIdSMTP& c, int port, bool implicitTls) {
  c.Host = "127.0.0.1";
  c.Port = port;
  if (implicitTls) c.ImplicitTlsPort = port;
  c.ConnectTimeoutMs = 5000;
  c.ReadTimeoutMs = 10000;
  c.AuthenticationType = atLogin;
  c.Username = "user";
  c.Password = "secret";
}

void Configure(TIdPOP3& c, int port, bool implicitTls) {
  c.Host = "127.0.0.1";
  c.Port = port;
  if (implicitTls) c.ImplicitTlsPort = port;
  c.Username = "box";
  c.Password = "pw";
  c.ConnectTimeoutMs = 5000;
  c.ReadTimeoutMs = 10000;
}

std::string Mail() {
  return "From: a@example.net\r\nTo: box@example.com\r\nSubject: secret\r\nMessage-Id: <t1@example.net>\r\n\r\nbody\r\n";
}

class Tls : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(ca_.Ok());
    good_ = ca_.ServerCert("server");
    ASSERT_FALSE(good_.Empty());
  }
  TTestCa ca_;
  TTlsFiles good_;
};

}  // namespace

TEST_F(Tls, SmtpTurnsToTlsWhenOfferedAndUsesImplicitTlsOnItsPort) {
  TCaFileOverride trust(ca_.CaFile());
  for (bool implicitTls : {false, true}) {
    TSmtpTestServer::Options o;
    o.auth = "user:secret";
    o.tls = good_;
    o.tls.implicitTls = implicitTls;
    TSmtpTestServer server(o);
    ASSERT_TRUE(server.Ok());
    TIdSMTP c;
    Configure(c, server.Port(), implicitTls);
    c.Connect();
    EXPECT_TRUE(c.Connected());
    c.Send(Message("one"));
    c.Send(Message("two"));
    EXPECT_TRUE(c.Connected());
    c.Disconnect();
    ASSERT_TRUE(server.WaitForMessages(2, 5000));
    for (int i = 0; i < 2; ++i) {
      const std::string env = server.Envelope(i);
      EXPECT_NE(env.find("\"tls\": true"), std::string::npos) << implicitTls << env;
      EXPECT_NE(env.find("\"login\": \"user\""), std::string::npos) << env;
    }
    // Both on the one connection of Connect.
    auto conn = [&](int i) {
      std::string e = server.Envelope(i);
      size_t p = e.find("\"connection\": ");
      return p == std::string::npos ? -1 : std::atoi(e.c_str() + p + 14);
    };
    EXPECT_EQ(conn(0), conn(1)) << server.Envelope(0) << server.Envelope(1);
    // The log-on itself went over TLS.
    EXPECT_NE(server.Envelope(0).find("\"auth_tls\": true"), std::string::npos) << server.Envelope(0);
  }
}

TEST_F(Tls, Pop3TurnsToTlsWhenOfferedAndUsesImplicitTlsOnItsPort) {
  TCaFileOverride trust(ca_.CaFile());
  for (bool implicitTls : {false, true}) {
    TTlsFiles tls = good_;
    tls.implicitTls = implicitTls;
    TPop3TestServer server("box", "pw", 90, tls);
    ASSERT_TRUE(server.Ok()) << server.Log();
    server.AddMessage("1000000001.M1.host", Mail());
    TIdPOP3 c;
    Configure(c, server.Port(), implicitTls);
    c.Connect();
    ASSERT_EQ(c.CheckMessages(), 1);
    EXPECT_EQ(c.RetrieveRaw(1), Mail());
    TIdMessage m;
    ASSERT_TRUE(c.RetrieveHeader(1, m));
    EXPECT_EQ(m.Subject, "secret");
    c.Disconnect();
    // Dovecot marks a log-on made over TLS.
    const std::string log = server.Log();
    size_t login = log.find("Login: user=<box>");
    ASSERT_NE(login, std::string::npos) << log;
    const std::string line = log.substr(login, log.find('\n', login) - login);
    EXPECT_NE(line.find("TLS"), std::string::npos) << line;
  }
}

TEST_F(Tls, ACertificateThatFailsVerificationStopsEverythingBeforeTheLogOn) {
  TTestCa other("Somebody Else");
  ASSERT_TRUE(other.Ok());
  struct Case {
    const char* what;
    TTlsFiles cert;
    const fs::path* trusted;  // null: the system's store
  };
  const TTlsFiles strangerCert = other.ServerCert("stranger");
  const TTlsFiles wrongName = ca_.ServerCert("wrongname", "DNS:mail.other.test");
  ASSERT_FALSE(strangerCert.Empty());
  ASSERT_FALSE(wrongName.Empty());
  const Case cases[] = {
      {"another CA", strangerCert, &ca_.CaFile()},
      {"another host name", wrongName, &ca_.CaFile()},
      {"a private CA against the system's store", good_, nullptr},
  };
  for (const Case& k : cases) {
    for (const char* proto : {"smtp", "pop3"}) {
      for (bool implicitTls : {false, true}) {
        SCOPED_TRACE(std::string(k.what) + " " + proto + (implicitTls ? " implicit" : " offered"));
        std::unique_ptr<TCaFileOverride> trust;
        if (k.trusted) trust = std::make_unique<TCaFileOverride>(*k.trusted);
        TFakeMailServer::Options o;
        o.proto = proto;
        o.tls = k.cert;
        o.tls.implicitTls = implicitTls;
        TFakeMailServer fake(o);
        ASSERT_TRUE(fake.Ok());
        std::string e;
        if (std::string(proto) == "smtp") {
          TIdSMTP c;
          Configure(c, fake.Port(), implicitTls);
          e = ErrorOf([&] { c.Send(Message("never")); });
          EXPECT_FALSE(c.Connected());
          c.Disconnect();
        } else {
          TIdPOP3 c;
          Configure(c, fake.Port(), implicitTls);
          e = ErrorOf([&] { c.Connect(); });
          EXPECT_FALSE(c.Connected());
          c.Disconnect();
        }
        EXPECT_EQ(e.rfind("127.0.0.1:" + std::to_string(fake.Port()) + ": The server's certificate could not be verified (", 0),
                  0u)
            << e;
        // (A wrong host name is found after the handshake: the server may have seen TLS stand.)
        ASSERT_TRUE(fake.WaitForLine("*CLOSED", 5000));
        for (const std::string& line : fake.Lines()) {
          for (const char* verb : {"AUTH", "USER", "PASS", "MAIL", "RCPT", "DATA", "QUIT"})
            EXPECT_NE(line.rfind(verb, 0), 0u) << line;
          EXPECT_EQ(line.find("secret"), std::string::npos);
        }
      }
    }
  }
}

TEST_F(Tls, AServerWithoutTlsStillWorksWhileTheOverrideIsSet) {
  TCaFileOverride trust(ca_.CaFile());
  TFakeMailServer smtp({});
  ASSERT_TRUE(smtp.Ok());
  TIdSMTP s;
  Configure(s, smtp.Port(), false);
  s.Send(Message("plain"));
  s.Disconnect();
  EXPECT_TRUE(smtp.WaitForLine("QUIT", 5000));
  EXPECT_TRUE(smtp.Received("DATA"));

  TFakeMailServer::Options o;
  o.proto = "pop3";
  TFakeMailServer pop(o);
  ASSERT_TRUE(pop.Ok());
  TIdPOP3 p;
  Configure(p, pop.Port(), false);
  p.Connect();
  EXPECT_EQ(p.CheckMessages(), 0);
  p.Disconnect();
  EXPECT_TRUE(pop.Received("PASS pw"));
}

TEST_F(Tls, TheStandardPortsStartWithTls) {
  // The real ports, when this machine lets the test listen there (root, port free).
  TCaFileOverride trust(ca_.CaFile());
  EXPECT_EQ(TIdSMTP().ImplicitTlsPort, 465);
  EXPECT_EQ(TIdPOP3().ImplicitTlsPort, 995);
  int ran = 0;
  for (const char* proto : {"smtp", "pop3"}) {
    TFakeMailServer::Options o;
    o.proto = proto;
    o.tls = good_;
    o.tls.implicitTls = true;
    o.port = std::string(proto) == "smtp" ? 465 : 995;
    TFakeMailServer fake(o);
    if (!fake.Ok()) continue;
    ++ran;
    if (std::string(proto) == "smtp") {
      TIdSMTP c;
      Configure(c, fake.Port(), false);
      c.Send(Message("on 465"));
      c.Disconnect();
    } else {
      TIdPOP3 c;
      Configure(c, fake.Port(), false);
      c.Connect();
      EXPECT_EQ(c.CheckMessages(), 0);
      c.Disconnect();
    }
    ASSERT_TRUE(fake.WaitForLine("*CLOSED", 5000));
    const auto lines = fake.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "*TLS") << proto << ::testing::PrintToString(lines);
  }
  if (ran == 0) GTEST_SKIP() << "ports 465 and 995 cannot be listened on here";
}
