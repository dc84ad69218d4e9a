#pragma once
// Real servers on loopback for the mailing-run tests: the SMTP sink of
// smtp_sink.py and dnsmasq answering MX queries. Each child runs under
// "timeout" and is killed with its object.

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

// A port free for TCP and UDP on 127.0.0.1 when asked.
int FreeLoopbackPort();

class TChildProcess {
public:
  TChildProcess() = default;
  ~TChildProcess() { Stop(); }
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;
  // Argv under a lifetime in seconds; stdout to a pipe when captureStdout.
  bool Start(const std::vector<std::string>& argv, int lifetimeSeconds, bool captureStdout,
             const std::string& logFile = {});
  bool ReadLine(std::string& line, int timeoutMs);
  void Stop();
  bool Exited();
  pid_t Pid() const { return pid_; }

private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
};

class TSinkServer {
public:
  struct Options {
    std::string host = "127.0.0.1";
    int port = 0;
    bool refuseAll = false;
    std::string reject, reply;
    bool stall = false;
    bool store = false;
    int lifetime = 120;
  };
  explicit TSinkServer(const Options& o);
  ~TSinkServer();
  bool Ok() const { return port_ > 0; }
  int Port() const { return port_; }
  // The recipients of one event log ("delivered", "refused", "rejected", "stalled"), in order.
  std::vector<std::string> Log(const std::string& name) const;
  std::map<std::string, int> Counts(const std::string& name) const;
  int Connections() const;
  std::vector<std::string> Messages() const;  // with store
  bool WaitFor(const std::string& name, size_t lines, int timeoutMs) const;

private:
  std::string dir_;
  TChildProcess proc_;
  int port_ = -1;
};

// dnsmasq for the zone "test" on 127.0.0.1; records such as "--mx-host=a.test,127.0.0.1,10".
class TMxServer {
public:
  explicit TMxServer(const std::vector<std::string>& records, int lifetime = 120);
  bool Ok() const { return port_ > 0; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
  TChildProcess proc_;
  int port_ = -1;
};
