// Sends 10,000 small messages with 15 client threads to a local SMTP sink that discards
// them, and prints the rate. When Postfix's smtp-source is on the PATH it is run against the
// same sink ("smtp-source -d -s 15 -m 10000") and the ratio of the two rates is printed.
//
//   bench_net_smtp [messages] [threads]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/IdSMTP.h"
#include "net/IdThread.h"

namespace {

// A minimal SMTP server: answers every command, takes DATA up to the final dot, keeps nothing.
class TSink {
public:
  TSink() {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 128) != 0) {
      perror("sink");
      exit(1);
    }
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~TSink() {
    stopping_ = true;
    shutdown(listen_, SHUT_RDWR);
    close(listen_);
    acceptor_.join();
  }
  int Port() const { return port_; }
  long Messages() const { return messages_->load(); }

private:
  void Accept() {
    while (!stopping_) {
      int c = accept(listen_, nullptr, nullptr);
      if (c < 0) {
        if (stopping_) return;
        continue;
      }
      int one = 1;
      setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      // Detached, so finished sessions leave nothing behind; the counter outlives the sink.
      std::thread([c, counter = messages_] { Session(c, *counter); }).detach();
    }
  }

  static void Session(int c, std::atomic<long>& messages) {
    auto say = [&](const char* s) { return write(c, s, strlen(s)) >= 0; };
    say("220 sink ESMTP\r\n");
    std::string buf, out;
    bool inData = false;
    char tmp[65536];
    for (;;) {
      ssize_t n = read(c, tmp, sizeof tmp);
      if (n <= 0) break;
      buf.append(tmp, static_cast<size_t>(n));
      size_t pos = 0;
      bool quit = false;
      for (;;) {
        if (inData) {
          size_t stop;
          if (buf.compare(pos, 3, ".\r\n") == 0) {
            stop = pos + 3;  // empty body
          } else {
            size_t end = buf.find("\r\n.\r\n", pos);
            if (end == std::string::npos) {
              // drop what was read, keeping a tail that may begin the terminator
              if (buf.size() > pos + 4) pos = buf.size() - 4;
              break;
            }
            stop = end + 5;
          }
          pos = stop;
          inData = false;
          ++messages;
          out += "250 2.0.0 queued\r\n";
          continue;
        }
        size_t e = buf.find("\r\n", pos);
        if (e == std::string::npos) break;
        std::string line = buf.substr(pos, e - pos);
        pos = e + 2;
        std::string verb = line.substr(0, 4);
        for (char& ch : verb) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
        if (verb == "EHLO") out += "250-sink\r\n250-PIPELINING\r\n250 8BITMIME\r\n";
        else if (verb == "DATA") {
          out += "354 go ahead\r\n";
          inData = true;
        } else if (verb == "QUIT") {
          out += "221 bye\r\n";
          quit = true;
          break;
        } else out += "250 OK\r\n";
      }
      buf.erase(0, pos);
      if (!out.empty()) {
        say(out.c_str());
        out.clear();
      }
      if (quit) break;
    }
    close(c);
  }

  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::shared_ptr<std::atomic<long>> messages_ = std::make_shared<std::atomic<long>>(0);
  std::thread acceptor_;
};

class TBenchSender : public TIdThread {
public:
  TBenchSender(int port, std::atomic<int>& next, int total) : next_(next), total_(total) {
    smtp_.Host = "127.0.0.1";
    smtp_.Port = port;
    msg_.From = {"bench@example.com", "Bench Sender"};
    msg_.ReplyTo.Add("reply@example.com");
    msg_.ContentType = "text/plain";
    msg_.CharSet = "utf-8";
  }
  ~TBenchSender() override { TerminateAndWaitFor(); }
  std::atomic<int> sent{0}, failed{0};
  std::string lastError;

protected:
  void Run() override {
    int i = next_.fetch_add(1);
    if (i >= total_) {
      smtp_.Disconnect();
      Stop();
      return;
    }
    msg_.Recipients.Clear();
    msg_.Recipients.Add("rcpt" + std::to_string(i) + "@example.org");
    msg_.Subject = "Message " + std::to_string(i);
    msg_.SetBodyText("Hello,\nthis is message " + std::to_string(i) + ".\n");
    try {
      if (!smtp_.Connected()) smtp_.Connect();
      smtp_.Send(msg_);
      ++sent;
    } catch (const std::exception& e) {
      ++failed;
      lastError = e.what();
    }
  }

private:
  TIdSMTP smtp_;
  TIdMessage msg_;
  std::atomic<int>& next_;
  int total_;
};

std::string FindOnPath(const char* name) {
  const char* path = getenv("PATH");
  if (!path) return {};
  std::string p = path;
  size_t start = 0;
  while (start <= p.size()) {
    size_t e = p.find(':', start);
    std::string dir = p.substr(start, e == std::string::npos ? std::string::npos : e - start);
    std::string full = (dir.empty() ? "." : dir) + "/" + name;
    if (access(full.c_str(), X_OK) == 0) return full;
    if (e == std::string::npos) break;
    start = e + 1;
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  const int total = argc > 1 ? atoi(argv[1]) : 10000;
  const int threads = argc > 2 ? atoi(argv[2]) : 15;
  InitMailLibraries();
  TSink sink;

  std::atomic<int> next{0};
  std::vector<std::unique_ptr<TBenchSender>> senders;
  for (int i = 0; i < threads; ++i) senders.push_back(std::make_unique<TBenchSender>(sink.Port(), next, total));
  auto start = std::chrono::steady_clock::now();
  for (auto& s : senders) s->Start();
  for (;;) {
    bool all = true;
    for (auto& s : senders) all = all && s->Stopped() && !s->Running();
    if (all) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  int sent = 0, failed = 0;
  std::string err;
  for (auto& s : senders) {
    sent += s->sent;
    failed += s->failed;
    if (!s->lastError.empty()) err = s->lastError;
  }
  senders.clear();
  const double rate = sent / secs;
  printf("Larkpost SMTP: %d messages, %d threads, %d failed, %.2f s, %.0f messages/s (sink took %ld)\n", sent,
         threads, failed, secs, rate, sink.Messages());
  if (failed) printf("  last error: %s\n", err.c_str());

  const std::string tool = FindOnPath("smtp-source");
  if (tool.empty()) {
    printf("smtp-source not found on the PATH (Debian package postfix): no comparison\n");
    return failed ? 1 : 0;
  }
  const long before = sink.Messages();
  std::string cmd = tool + " -d -s " + std::to_string(threads) + " -m " + std::to_string(total) + " 127.0.0.1:" +
                    std::to_string(sink.Port()) + " >/dev/null 2>&1";
  start = std::chrono::steady_clock::now();
  int rc = system(cmd.c_str());
  double toolSecs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  long toolSent = sink.Messages() - before;
  if (rc != 0 || toolSent <= 0) {
    printf("smtp-source failed (exit %d, %ld messages)\n", rc, toolSent);
    return 1;
  }
  const double toolRate = toolSent / toolSecs;
  printf("smtp-source:   %ld messages, %d sessions, %.2f s, %.0f messages/s\n", toolSent, threads, toolSecs, toolRate);
  printf("ratio Larkpost / smtp-source: %.2f\n", rate / toolRate);
  return failed ? 1 : 0;
}
