#include "RunServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string SlurpFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool TcpAnswers(const std::string& host, int port) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  inet_pton(AF_INET, host.c_str(), &a.sin_addr);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(s);
  return ok;
}

fs::path SupportDir() {
  if (const char* s = std::getenv("LARKPOST_SOURCE_DIR"); s && *s) return fs::path(s) / "tests" / "mailing" / "support";
  return fs::path(__FILE__).parent_path();
}

}  // namespace

int FreeLoopbackPort() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      close(s);
      continue;
    }
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    const int port = ntohs(a.sin_port);
    int u = socket(AF_INET, SOCK_DGRAM, 0);
    const bool udpFree = bind(u, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(u);
    close(s);
    if (udpFree) return port;
  }
  return -1;
}

bool TChildProcess::Start(const std::vector<std::string>& argv, int lifetimeSeconds, bool captureStdout,
                          const std::string& logFile) {
  int fds[2] = {-1, -1};
  if (captureStdout && pipe(fds) != 0) return false;
  std::vector<std::string> full = {"/usr/bin/timeout", "-k", "3", std::to_string(lifetimeSeconds)};
  full.insert(full.end(), argv.begin(), argv.end());
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setpgid(0, 0);
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    const int log = logFile.empty() ? devnull : open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
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

bool TChildProcess::ReadLine(std::string& line, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0 || out_ < 0) return false;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    char buf[256];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) return false;
    pending_.append(buf, static_cast<size_t>(n));
  }
}

bool TChildProcess::Exited() {
  if (pid_ <= 0) return true;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) != pid_) return false;
  pid_ = -1;
  return true;
}

void TChildProcess::Stop() {
  if (pid_ > 0) {
    kill(-pid_, SIGTERM);
    for (int i = 0; i < 100 && pid_ > 0; ++i) {
      int st = 0;
      if (waitpid(pid_, &st, WNOHANG) == pid_) pid_ = -1;
      else std::this_thread::sleep_for(std::chrono::milliseconds(20));
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

TSinkServer::TSinkServer(const Options& o) {
  std::string tmpl = (fs::temp_directory_path() / "lpsink-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return;
  dir_ = tmpl;
  std::vector<std::string> argv = {"/usr/bin/python3", (SupportDir() / "smtp_sink.py").string(), "--outdir", dir_ + "/out",
                                   "--lifetime", std::to_string(o.lifetime), "--host", o.host, "--port",
                                   std::to_string(o.port)};
  if (o.refuseAll) argv.push_back("--refuse-all");
  if (!o.reject.empty()) argv.insert(argv.end(), {"--reject", o.reject});
  if (!o.reply.empty()) argv.insert(argv.end(), {"--reply", o.reply});
  if (o.stall) argv.push_back("--stall");
  if (o.store) argv.push_back("--store");
  if (!proc_.Start(argv, o.lifetime + 5, true, dir_ + "/server.log")) return;
  std::string line;
  if (proc_.ReadLine(line, 15000)) port_ = std::atoi(line.c_str());
  if (port_ > 0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!TcpAnswers(o.host, port_) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!TcpAnswers(o.host, port_)) port_ = -1;
  }
}

TSinkServer::~TSinkServer() {
  proc_.Stop();
  std::error_code ec;
  if (!dir_.empty()) fs::remove_all(dir_, ec);
}

std::vector<std::string> TSinkServer::Log(const std::string& name) const {
  std::vector<std::string> lines;
  std::istringstream in(SlurpFile(dir_ + "/out/" + name));
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

std::map<std::string, int> TSinkServer::Counts(const std::string& name) const {
  std::map<std::string, int> counts;
  for (const auto& l : Log(name)) ++counts[l];
  return counts;
}

int TSinkServer::Connections() const { return std::atoi(SlurpFile(dir_ + "/out/connections").c_str()); }

std::vector<std::string> TSinkServer::Messages() const {
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(dir_ + "/out", ec))
    if (e.path().extension() == ".eml") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::vector<std::string> out;
  for (auto& f : files) out.push_back(SlurpFile(f));
  return out;
}

bool TSinkServer::WaitFor(const std::string& name, size_t lines, int timeoutMs) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Log(name).size() < lines) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TMxServer::TMxServer(const std::vector<std::string>& records, int lifetime) {
  for (int attempt = 0; attempt < 3 && port_ < 0; ++attempt) {
    const int port = FreeLoopbackPort();
    std::vector<std::string> argv = {"/usr/sbin/dnsmasq", "--no-daemon", "-C", "/dev/null", "--bind-interfaces",
                                     "--listen-address=127.0.0.1", "--port=" + std::to_string(port), "--no-resolv",
                                     "--no-hosts", "--local=/test/", "--pid-file="};
    if (geteuid() == 0) argv.push_back("--user=nobody");
    argv.insert(argv.end(), records.begin(), records.end());
    if (!proc_.Start(argv, lifetime, false)) continue;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end && !proc_.Exited() && !TcpAnswers("127.0.0.1", port))
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!proc_.Exited() && TcpAnswers("127.0.0.1", port))
      port_ = port;
    else
      proc_.Stop();
  }
}
