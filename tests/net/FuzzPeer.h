// A mail server played from a fuzz input: one thread on 127.0.0.1 (an ephemeral port), started
// once per process and reused for every input. It answers each command line with the next
// reply of the script, and closes the connection when the replies run out, so a session never
// waits for a client time-out: a client stuck on a partial reply gets the next one once its
// thread sits blocked (no command, no CPU time spent and not runnable, for a fraction of a
// millisecond; a client that is only slow, busy saving an attachment or waiting for a CPU,
// is waited for, so a session plays the same every time).
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/IdMessage.h"

// The input's bytes, split at every NUL: the server's replies in order, sent as they are.
inline std::vector<std::string> SplitFuzzReplies(const uint8_t* data, size_t size) {
  std::vector<std::string> replies(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      replies.emplace_back();
    else
      replies.back() += static_cast<char>(data[i]);
  }
  return replies;
}

// One client call: a refusal or a broken session is an answer, the session goes on.
template <class Call>
void FuzzAttempt(Call&& call) {
  try {
    call();
  } catch (const EIdException&) {
  }
}

class TFuzzPeer {
public:
  // DataReplyPrefix: after a reply starting with it (SMTP's "354"), the client's next
  // command runs to the line holding a lone "." rather than to the end of a line.
  explicit TFuzzPeer(std::string dataReplyPrefix = {}) : dataPrefix_(std::move(dataReplyPrefix)) {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 16) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      std::abort();
    port_ = ntohs(a.sin_port);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::thread(&TFuzzPeer::Run, this).detach();  // lives as long as the process
  }
  TFuzzPeer(const TFuzzPeer&) = delete;
  TFuzzPeer& operator=(const TFuzzPeer&) = delete;

  int Port() const { return port_; }

  // Before the client connects, on the client's thread: the replies of this session, the
  // greeting first.
  void Play(std::vector<std::string> replies) {
    std::lock_guard<std::mutex> g(lock_);
    if (pthread_getcpuclockid(pthread_self(), &clientClock_) != 0) std::abort();
    if (clientStat_ >= 0) close(clientStat_);
    const std::string stat = "/proc/self/task/" + std::to_string(gettid()) + "/stat";
    clientStat_ = open(stat.c_str(), O_RDONLY | O_CLOEXEC);
    replies_ = std::move(replies);
    stop_ = false;
    playing_ = true;
    changed_.notify_all();
  }

  // After the client is done: whatever is still open or waiting to be accepted is closed.
  void Finish() {
    std::unique_lock<std::mutex> g(lock_);
    stop_ = true;
    uint64_t one = 1;
    if (write(wake_, &one, sizeof one) < 0) std::abort();
    changed_.wait(g, [this] { return !playing_; });
  }

private:
  static constexpr timespec kQuietSpell{0, 200000};
  static constexpr int64_t kIdleCpuNs = 50000;  // below this in a quiet spell: blocked

  int64_t ClientCpuNs() const {
    timespec t{};
    clock_gettime(clientClock_, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
  }

  // Asleep in a wait that a signal may break, as in poll; not running, waiting for a CPU or
  // for the disk.
  bool ClientAsleep() const {
    char buf[512];
    const ssize_t n = pread(clientStat_, buf, sizeof buf - 1, 0);
    if (n <= 0) return true;
    buf[n] = 0;
    const char* nameEnd = std::strrchr(buf, ')');
    return nameEnd && nameEnd[1] == ' ' && nameEnd[2] == 'S';
  }

  void Run() {
    for (;;) {
      std::vector<std::string> replies;
      {
        std::unique_lock<std::mutex> g(lock_);
        changed_.wait(g, [this] { return playing_; });
        replies.swap(replies_);
      }
      Serve(replies);
      std::lock_guard<std::mutex> g(lock_);
      playing_ = false;
      changed_.notify_all();
    }
  }

  void Serve(const std::vector<std::string>& replies) {
    size_t next = 0;
    int conn = -1;
    std::string in;
    bool inData = false;
    auto hangUp = [&] {
      if (conn >= 0) close(conn);
      conn = -1;
      in.clear();
      inData = false;
    };
    // The next reply, or the end of the connection when none is left.
    auto answer = [&] {
      if (next >= replies.size()) return hangUp();
      const std::string& r = replies[next++];
      inData = !dataPrefix_.empty() && r.rfind(dataPrefix_, 0) == 0;
      for (size_t off = 0; off < r.size();) {
        ssize_t n = send(conn, r.data() + off, r.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return hangUp();
        off += static_cast<size_t>(n);
      }
    };
    for (;;) {
      const int64_t cpu = ClientCpuNs();
      pollfd p[3] = {{wake_, POLLIN, 0}, {listen_, POLLIN, 0}, {conn, POLLIN, 0}};
      const int ready = ppoll(p, conn >= 0 ? 3 : 2, conn >= 0 ? &kQuietSpell : nullptr, nullptr);
      if (p[0].revents) {
        uint64_t n;
        [[maybe_unused]] const ssize_t got = read(wake_, &n, sizeof n);
        std::lock_guard<std::mutex> g(lock_);
        if (stop_) break;
      }
      if (p[1].revents) {
        // A new connection (the client reconnecting) takes the place of the old one.
        const int c = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c >= 0) {
          hangUp();
          conn = c;
          timeval t{1, 0};  // a client that stops reading cannot hold the peer
          setsockopt(conn, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
          answer();
        }
        continue;
      }
      if (conn < 0) continue;
      if (ready == 0) {
        if (ClientCpuNs() - cpu < kIdleCpuNs && ClientAsleep()) answer();
        continue;
      }
      if (!p[2].revents) continue;
      char buf[65536];
      ssize_t n = recv(conn, buf, sizeof buf, 0);
      if (n <= 0) {
        hangUp();
        continue;
      }
      in.append(buf, static_cast<size_t>(n));
      for (;;) {
        const std::string end = inData ? "\r\n.\r\n" : "\n";
        size_t e = in.find(end);
        if (e == std::string::npos) break;
        in.erase(0, e + end.size());
        answer();
        if (conn < 0) break;
      }
    }
    hangUp();
    // Connections the client left behind unaccepted.
    for (;;) {
      const int c = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) break;
      close(c);
    }
  }

  const std::string dataPrefix_;
  int listen_ = -1;
  int wake_ = -1;
  int port_ = 0;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> replies_;
  clockid_t clientClock_{};
  int clientStat_ = -1;
  bool playing_ = false;
  bool stop_ = false;
};
