#include "TestServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <fstream>
#include <sstream>
#include <thread>

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& p, const std::string& s) {
  std::ofstream out(p, std::ios::binary);
  out << s;
}

TTempDir::TTempDir() {
  std::string tmpl = (fs::temp_directory_path() / "lpnet-XXXXXX").string();
  char* d = mkdtemp(tmpl.data());
  path_ = d ? fs::path(d) : fs::path();
}

TTempDir::~TTempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

int FreePort() {
  // A port free for TCP and UDP alike (dnsmasq takes both).
  for (int attempt = 0; attempt < 50; ++attempt) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      close(s);
      continue;
    }
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    int port = ntohs(a.sin_port);
    int u = socket(AF_INET, SOCK_DGRAM, 0);
    bool udpFree = bind(u, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(u);
    close(s);
    if (udpFree) return port;
  }
  return -1;
}

bool WaitForTcpPort(int port, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::string ReadGreeting(int port, int timeoutMs) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  std::string line;
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (line.find('\n') == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
      pollfd p{s, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
      char buf[256];
      ssize_t n = read(s, buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<size_t>(n));
    }
  }
  close(s);
  return line.substr(0, line.find('\n'));
}

bool TServerProcess::Exited() {
  if (pid_ <= 0) return true;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) != pid_) return false;
  pid_ = -1;
  return true;
}

// Waits until the server answers on Port, or its process ends (the port was taken).
static bool WaitForServer(TServerProcess& proc, int port, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    if (proc.Exited()) return false;
    if (WaitForTcpPort(port, 50)) return !proc.Exited();
  }
  return false;
}

bool TServerProcess::Start(const std::vector<std::string>& argv, int lifetimeSeconds, bool captureStdout,
                           const fs::path& logFile) {
  int fds[2] = {-1, -1};
  if (captureStdout && pipe(fds) != 0) return false;
  std::vector<std::string> full = {"/usr/bin/timeout", "-k", "3", std::to_string(lifetimeSeconds)};
  full.insert(full.end(), argv.begin(), argv.end());
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setpgid(0, 0);
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    int log = logFile.empty() ? devnull : open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (captureStdout) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
    } else {
      dup2(log, 1);
    }
    dup2(log, 2);
    std::vector<char*> args;
    for (auto& s : full) args.push_back(const_cast<char*>(s.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  setpgid(pid, pid);
  pid_ = pid;
  if (captureStdout) {
    close(fds[1]);
    out_ = fds[0];
  }
  return true;
}

bool TServerProcess::ReadLine(std::string& line, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0 || out_ < 0) return false;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    char buf[256];
    ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) return false;
    pending_.append(buf, static_cast<size_t>(n));
  }
}

void TServerProcess::Stop() {
  if (pid_ > 0) {
    kill(-pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      int st = 0;
      if (waitpid(pid_, &st, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (pid_ > 0) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  if (out_ >= 0) {
    close(out_);
    out_ = -1;
  }
}

fs::path NetTestSourceDir() {
  if (const char* s = std::getenv("LARKPOST_SOURCE_DIR"); s && *s) return fs::path(s) / "tests" / "net";
  return fs::path(__FILE__).parent_path().parent_path();
}

bool RunQuietly(const std::vector<std::string>& argv) {
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int st = 0;
  if (waitpid(pid, &st, 0) != pid) return false;
  return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

// ---- certificates

TTestCa::TTestCa(const std::string& name) {
  caFile_ = dir_.Path() / "ca.crt";
  caKey_ = dir_.Path() / "ca.key";
  ok_ = RunQuietly({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", caKey_.string(), "-out", caFile_.string(), "-days", "2", "-subj",
                    "/CN=" + name, "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                    "keyUsage=critical,keyCertSign,cRLSign"});
}

TTlsFiles TTestCa::ServerCert(const std::string& name, const std::string& san) const {
  TTlsFiles f;
  const fs::path csr = dir_.Path() / (name + ".csr");
  f.cert = dir_.Path() / (name + ".crt");
  f.key = dir_.Path() / (name + ".key");
  const std::string names = san.empty() ? "IP:127.0.0.1,DNS:localhost" : san;
  if (!RunQuietly({"/usr/bin/openssl", "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-keyout", f.key.string(), "-out", csr.string(), "-subj", "/CN=" + name, "-addext",
                   "subjectAltName=" + names, "-addext", "extendedKeyUsage=serverAuth"}) ||
      !RunQuietly({"/usr/bin/openssl", "x509", "-req", "-in", csr.string(), "-CA", caFile_.string(), "-CAkey",
                   caKey_.string(), "-CAcreateserial", "-days", "2", "-copy_extensions", "copy", "-out",
                   f.cert.string()}))
    return {};
  chmod(f.key.c_str(), 0644);  // dovecot's and aiosmtpd's processes read it
  return f;
}

TCaFileOverride::TCaFileOverride(const fs::path& caFile) { setenv("LARKPOST_CA_FILE", caFile.c_str(), 1); }

TCaFileOverride::~TCaFileOverride() { unsetenv("LARKPOST_CA_FILE"); }

// ---- SMTP

TSmtpTestServer::TSmtpTestServer(const Options& o) {
  std::vector<std::string> argv = {"/usr/bin/python3", (NetTestSourceDir() / "servers" / "smtp_server.py").string(),
                                   "--outdir", (dir_.Path() / "out").string(), "--lifetime",
                                   std::to_string(o.lifetime)};
  if (!o.auth.empty()) argv.insert(argv.end(), {"--auth", o.auth});
  if (!o.refuse.empty()) argv.insert(argv.end(), {"--refuse", o.refuse});
  if (!o.reject.empty()) argv.insert(argv.end(), {"--reject", o.reject});
  if (!o.tls.Empty()) argv.insert(argv.end(), {"--cert", o.tls.cert.string(), "--key", o.tls.key.string()});
  if (o.tls.implicitTls) argv.push_back("--implicit");
  if (!proc_.Start(argv, o.lifetime + 5, true, dir_.Path() / "server.log")) return;
  std::string line;
  if (proc_.ReadLine(line, 15000)) port_ = std::atoi(line.c_str());
  if (port_ > 0 && !WaitForTcpPort(port_, 5000)) port_ = -1;
}

std::vector<std::string> TSmtpTestServer::Messages() const {
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(dir_.Path() / "out", ec))
    if (e.path().extension() == ".eml") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::vector<std::string> out;
  for (auto& f : files) out.push_back(ReadFile(f));
  return out;
}

std::string TSmtpTestServer::Envelope(int i) const {
  char name[16];
  snprintf(name, sizeof name, "%04d.env", i);
  return ReadFile(dir_.Path() / "out" / name);
}

int TSmtpTestServer::Connections() const { return std::atoi(ReadFile(dir_.Path() / "out" / "connections").c_str()); }

bool TSmtpTestServer::WaitForMessages(size_t count, int timeoutMs) const {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    if (Messages().size() >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return Messages().size() >= count;
}

// ---- the lenient fake

TFakeMailServer::TFakeMailServer(const Options& o) {
  std::vector<std::string> argv = {"/usr/bin/python3", (NetTestSourceDir() / "servers" / "fake_server.py").string(),
                                   "--proto", o.proto, "--log", (dir_.Path() / "wire.log").string(), "--lifetime",
                                   std::to_string(o.lifetime)};
  if (!o.silentAt.empty()) argv.insert(argv.end(), {"--silent-at", o.silentAt});
  if (!o.tls.Empty()) argv.insert(argv.end(), {"--cert", o.tls.cert.string(), "--key", o.tls.key.string()});
  if (o.tls.implicitTls) argv.push_back("--implicit");
  if (o.port > 0) argv.insert(argv.end(), {"--port", std::to_string(o.port)});
  if (!proc_.Start(argv, o.lifetime + 5, true, dir_.Path() / "server.log")) return;
  std::string line;
  if (proc_.ReadLine(line, 15000)) port_ = std::atoi(line.c_str());
}

std::vector<std::string> TFakeMailServer::Lines() const {
  std::vector<std::string> out;
  std::istringstream in(ReadFile(dir_.Path() / "wire.log"));
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

bool TFakeMailServer::Received(const std::string& prefix) const {
  for (const std::string& l : Lines())
    if (l.size() >= prefix.size() && strncasecmp(l.c_str(), prefix.c_str(), prefix.size()) == 0) return true;
  return false;
}

bool TFakeMailServer::WaitForLine(const std::string& line, int timeoutMs) const {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto l = Lines();
    if (std::find(l.begin(), l.end(), line) != l.end()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// ---- POP3

TPop3TestServer::TPop3TestServer(const std::string& user, const std::string& password, int lifetime,
                                 const TTlsFiles& tls) {
  const fs::path root = dir_.Path();
  // As root the mail processes run as nobody (dovecot refuses uid 0); otherwise as ourselves.
  uid_ = geteuid() == 0 ? 65534 : geteuid();
  gid_ = geteuid() == 0 ? 65534 : getegid();
  chmod(root.c_str(), 0755);
  for (const char* d : {"run", "state", "mail"}) fs::create_directories(root / d);
  maildir_ = root / "mail" / user / "Maildir";
  for (const char* d : {"new", "cur", "tmp"}) fs::create_directories(maildir_ / d);
  WriteFile(root / "passwd", user + ":{PLAIN}" + password + "\n");
  if (geteuid() == 0) {
    for (auto& e : fs::recursive_directory_iterator(root / "mail")) (void)!chown(e.path().c_str(), uid_, gid_);
    (void)!chown((root / "mail").c_str(), uid_, gid_);
  }
  std::string me;  // dovecot's own processes run as this user when we are not root
  if (geteuid() != 0) {
    const passwd* pw = getpwuid(geteuid());
    const char* env = getenv("USER");
    me = pw ? pw->pw_name : env ? env : "";
  }
  for (int attempt = 0; attempt < 3 && port_ < 0; ++attempt) {
    const int port = FreePort();
    std::ostringstream c;
    c << "protocols = pop3\n"
      << "listen = 127.0.0.1\n"
      << "base_dir = " << (root / "run").string() << "\n"
      << "state_dir = " << (root / "state").string() << "\n"
      << "log_path = " << (root / "dovecot.log").string() << "\n"
      << (tls.Empty() ? std::string("ssl = no\n")
                      : "ssl = yes\nssl_cert = <" + tls.cert.string() + "\nssl_key = <" + tls.key.string() + "\n")
      << "disable_plaintext_auth = no\n"
      << "auth_mechanisms = plain login\n"
      << "first_valid_uid = 1\n"
      << "first_valid_gid = 1\n"
      << "mail_location = maildir:" << (root / "mail" / "%u" / "Maildir").string() << "\n"
      << "pop3_uidl_format = %08Xu%08Xv\n"
      << "passdb {\n  driver = passwd-file\n  args = " << (root / "passwd").string() << "\n}\n"
      << "userdb {\n  driver = static\n  args = uid=" << uid_ << " gid=" << gid_
      << " home=" << (root / "mail" / "%u").string() << "\n}\n"
      << "service pop3-login {\n  chroot =\n  inet_listener pop3 {\n    address = 127.0.0.1\n    port = "
      << (tls.implicitTls ? 0 : port) << "\n  }\n  inet_listener pop3s {\n    address = 127.0.0.1\n    port = "
      << (tls.implicitTls ? port : 0) << "\n    ssl = yes\n  }\n}\n"
      << "service imap-login {\n  inet_listener imap {\n    port = 0\n  }\n  inet_listener imaps {\n    port = 0\n  }\n}\n"
      << "service anvil {\n  chroot =\n}\n"
      << "service stats {\n  unix_listener stats-writer {\n    mode = 0666\n  }\n}\n";
    if (!me.empty()) c << "default_internal_user = " << me << "\ndefault_login_user = " << me << "\n";
    WriteFile(root / "dovecot.conf", c.str());
    // Another process may hold the port by now: then dovecot ends, or someone else answers.
    if (proc_.Start({"/usr/sbin/dovecot", "-F", "-c", (root / "dovecot.conf").string()}, lifetime, false,
                    root / "stderr.log") &&
        WaitForServer(proc_, port, 10000) && (tls.implicitTls || ReadGreeting(port, 5000).rfind("+OK", 0) == 0))
      port_ = port;
    else
      proc_.Stop();
  }
}

void TPop3TestServer::AddMessage(const std::string& name, const std::string& content) {
  fs::path tmp = maildir_ / "tmp" / name;
  WriteFile(tmp, content);
  if (geteuid() == 0) (void)!chown(tmp.c_str(), uid_, gid_);
  fs::rename(tmp, maildir_ / "new" / name);
}

size_t TPop3TestServer::MessageFiles() const {
  size_t n = 0;
  for (const char* d : {"new", "cur"})
    for (auto& e : fs::directory_iterator(maildir_ / d)) n += e.is_regular_file();
  return n;
}

std::string TPop3TestServer::Log() const {
  return ReadFile(dir_.Path() / "dovecot.log") + ReadFile(dir_.Path() / "stderr.log");
}

// ---- DNS

TDnsTestServer::TDnsTestServer(const std::vector<std::string>& records, int lifetime) {
  // dnsmasq ends at once when its port was taken meanwhile: try another.
  for (int attempt = 0; attempt < 3 && port_ < 0; ++attempt) {
    const int port = FreePort();
    std::vector<std::string> argv = {"/usr/sbin/dnsmasq", "--no-daemon", "-C", "/dev/null", "--bind-interfaces",
                                     "--listen-address=127.0.0.1", "--port=" + std::to_string(port), "--no-resolv",
                                     "--no-hosts", "--local=/test/", "--pid-file="};
    if (geteuid() == 0) argv.push_back("--user=nobody");
    argv.insert(argv.end(), records.begin(), records.end());
    if (proc_.Start(argv, lifetime) && WaitForServer(proc_, port, 10000))
      port_ = port;
    else
      proc_.Stop();
  }
}
