#pragma once
// Real servers for the mail tests: started on 127.0.0.1, on free ports, each with a bounded
// lifetime (a time-out wrapper kills it even when a test crashes).

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// A fresh temporary folder, removed with the object.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  const fs::path& Path() const { return path_; }

private:
  fs::path path_;
};

// A free TCP (and UDP) port on 127.0.0.1. Free when asked: a server started on it may
// still lose it to another process, so the servers below retry with a new one.
int FreePort();
// Waits until a TCP connect to 127.0.0.1:Port succeeds.
bool WaitForTcpPort(int port, int timeoutMs);
// Connects to 127.0.0.1:Port and reads the first line the server sends (empty on failure).
std::string ReadGreeting(int port, int timeoutMs);

// A child process run under "timeout"; killed when the object goes.
class TServerProcess {
public:
  TServerProcess() = default;
  ~TServerProcess() { Stop(); }
  TServerProcess(const TServerProcess&) = delete;
  TServerProcess& operator=(const TServerProcess&) = delete;
  // Starts Argv with a lifetime in seconds; stdout goes to a pipe when CaptureStdout.
  bool Start(const std::vector<std::string>& argv, int lifetimeSeconds, bool captureStdout = false,
             const fs::path& logFile = {});
  // Reads one line of the child's stdout (captured), waiting up to TimeoutMs.
  bool ReadLine(std::string& line, int timeoutMs);
  void Stop();
  bool Running() const { return pid_ > 0; }
  // True once the child has ended (it is reaped then).
  bool Exited();

private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
};

fs::path NetTestSourceDir();  // tests/net

// Runs Argv to its end (output discarded); true when it exited with 0.
bool RunQuietly(const std::vector<std::string>& argv);

// A certificate and its key for a test server; Implicit: TLS from the first byte.
struct TTlsFiles {
  fs::path cert, key;
  bool implicitTls = false;
  bool Empty() const { return cert.empty(); }
};

// A private certificate authority in a temporary folder (openssl CLI), and server
// certificates it signs.
class TTestCa {
public:
  explicit TTestCa(const std::string& name = "Larkpost Test CA");
  bool Ok() const { return ok_; }
  const fs::path& CaFile() const { return caFile_; }
  // A server certificate for the subject alternative names San ("IP:127.0.0.1,DNS:localhost"
  // when empty), signed by this CA.
  TTlsFiles ServerCert(const std::string& name, const std::string& san = {}) const;

private:
  TTempDir dir_;
  fs::path caFile_, caKey_;
  bool ok_ = false;
};

// Points the mail layer at a CA file (LARKPOST_CA_FILE) for the object's lifetime.
class TCaFileOverride {
public:
  explicit TCaFileOverride(const fs::path& caFile);
  ~TCaFileOverride();
  TCaFileOverride(const TCaFileOverride&) = delete;
  TCaFileOverride& operator=(const TCaFileOverride&) = delete;
};

// The aiosmtpd test server (servers/smtp_server.py).
class TSmtpTestServer {
public:
  struct Options {
    std::string auth;    // "user:pass": AUTH LOGIN required
    std::string refuse;  // recipients holding it get 550
    std::string reject;  // messages holding it get 554 after DATA
    TTlsFiles tls;       // STARTTLS offered (or implicit TLS) with this certificate
    int lifetime = 90;
  };
  explicit TSmtpTestServer(const Options& o);
  TSmtpTestServer() : TSmtpTestServer(Options{}) {}
  bool Ok() const { return port_ > 0; }
  int Port() const { return port_; }
  // Messages received so far: the DATA bytes, in order.
  std::vector<std::string> Messages() const;
  // The envelope JSON of message I.
  std::string Envelope(int i) const;
  int Connections() const;
  // Waits until Count messages arrived.
  bool WaitForMessages(size_t count, int timeoutMs) const;

private:
  TTempDir dir_;
  TServerProcess proc_;
  int port_ = -1;
};

// The lenient fake (servers/fake_server.py): takes every command and writes down every line
// it receives, so a test sees what went over the wire (or that nothing did).
class TFakeMailServer {
public:
  struct Options {
    std::string proto = "smtp";  // or "pop3"
    std::string silentAt;        // stop answering from the first line starting with it; "CONNECT": no greeting
    TTlsFiles tls;               // offer STARTTLS / STLS (or implicit TLS) with this certificate
    int port = 0;                // 0: a free port; a given one may fail (Ok() false)
    int lifetime = 60;
  };
  explicit TFakeMailServer(const Options& o);
  bool Ok() const { return port_ > 0; }
  int Port() const { return port_; }
  // Every line received so far, in order ("*TLS", "*TLS-FAILED", "*CLOSED" mark events).
  std::vector<std::string> Lines() const;
  // True when a received line starts with Prefix (case ignored).
  bool Received(const std::string& prefix) const;
  // Waits until a line equal to Line was received.
  bool WaitForLine(const std::string& line, int timeoutMs) const;

private:
  TTempDir dir_;
  TServerProcess proc_;
  int port_ = -1;
};

// Dovecot with POP3 only, a maildir under a temporary folder and one account.
class TPop3TestServer {
public:
  // Tls: STLS offered (or implicit TLS) with this certificate; plain POP3 without.
  TPop3TestServer(const std::string& user, const std::string& password, int lifetime = 90,
                  const TTlsFiles& tls = {});
  bool Ok() const { return port_ > 0; }
  int Port() const { return port_; }
  // Puts a message into the account's maildir (new/). Name orders the files.
  void AddMessage(const std::string& name, const std::string& content);
  size_t MessageFiles() const;  // files in new/ and cur/
  std::string Log() const;

private:
  TTempDir dir_;
  TServerProcess proc_;
  int port_ = -1;
  fs::path maildir_;
  unsigned uid_ = 0, gid_ = 0;
};

// dnsmasq answering for the zone "test" only.
class TDnsTestServer {
public:
  // Args: extra dnsmasq options such as "--mx-host=a.test,mx1.a.test,20".
  explicit TDnsTestServer(const std::vector<std::string>& records, int lifetime = 60);
  bool Ok() const { return port_ > 0; }
  int Port() const { return port_; }

private:
  TServerProcess proc_;
  int port_ = -1;
};

std::string ReadFile(const fs::path& p);
void WriteFile(const fs::path& p, const std::string& s);
