#include "FakePop3Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <set>

std::string CrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 20);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

namespace {

bool SendAll(int fd, const std::string& data) {
  size_t off = 0;
  while (off < data.size()) {
    ssize_t n = send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

// Lines dot-stuffed, then the final ".".
std::string MultiLine(const std::string& text) {
  std::string t = CrLf(text);
  if (!t.empty() && t.back() != '\n') t += "\r\n";
  std::string out;
  out.reserve(t.size() + 8);
  size_t i = 0;
  while (i < t.size()) {
    size_t e = t.find("\r\n", i);
    size_t next = e == std::string::npos ? t.size() : e + 2;
    if (t[i] == '.') out += '.';
    out.append(t, i, next - i);
    i = next;
  }
  return out + ".\r\n";
}

std::string HeaderOf(const std::string& text) {
  std::string t = CrLf(text);
  size_t p = t.find("\r\n\r\n");
  return p == std::string::npos ? t : t.substr(0, p + 2);
}

// What RETR sends of a huge message: its header, a blank line, then lines of x.
constexpr size_t HugeLineBytes = 64;
constexpr size_t HugeChunkLines = 1024;
std::string HugeChunk() {
  std::string chunk;
  for (size_t i = 0; i < HugeChunkLines; ++i) chunk += std::string(HugeLineBytes - 2, 'x') + "\r\n";
  return chunk;
}

}  // namespace

TFakePop3Server::TFakePop3Server() {
  listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_ < 0) return;
  int one = 1;
  setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 4) != 0) return;
  socklen_t len = sizeof a;
  getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

TFakePop3Server::~TFakePop3Server() {
  stop_ = true;
  int c = client_.load();
  if (c >= 0) shutdown(c, SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  if (listen_ >= 0) close(listen_);
}

void TFakePop3Server::AddMessage(const std::string& text, TFault retr, TFault top) {
  TMessage m;
  m.text = text;
  m.retr = retr;
  m.top = top;
  AddMessage(m);
}

void TFakePop3Server::AddMessage(const TMessage& m) {
  std::lock_guard<std::mutex> g(lock_);
  mailbox_.push_back(m);
}

void TFakePop3Server::SetGreetingFault(TFault f) {
  std::lock_guard<std::mutex> g(lock_);
  greeting_ = f;
}

void TFakePop3Server::SetStatFault(TFault f) {
  std::lock_guard<std::mutex> g(lock_);
  stat_ = f;
}

std::vector<std::string> TFakePop3Server::Mailbox() const {
  std::lock_guard<std::mutex> g(lock_);
  std::vector<std::string> out;
  for (auto& m : mailbox_) out.push_back(m.text);
  return out;
}

std::vector<std::string> TFakePop3Server::Commands() const {
  std::lock_guard<std::mutex> g(lock_);
  return commands_;
}

int TFakePop3Server::CommandCount(const std::string& prefix) const {
  std::lock_guard<std::mutex> g(lock_);
  return static_cast<int>(std::count_if(commands_.begin(), commands_.end(),
                                        [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

int TFakePop3Server::Sessions() const {
  std::lock_guard<std::mutex> g(lock_);
  return sessions_;
}

void TFakePop3Server::Serve() {
  while (!stop_) {
    pollfd p{listen_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    client_ = fd;
    {
      std::lock_guard<std::mutex> g(lock_);
      ++sessions_;
    }
    Session(fd);
    client_ = -1;
    close(fd);
  }
}

void TFakePop3Server::Session(int fd) {
  std::vector<TMessage> box;
  TFault greeting, stat;
  {
    std::lock_guard<std::mutex> g(lock_);
    greeting = greeting_;
    stat = stat_;
  }
  bool silent = false;
  auto reply = [&](const std::string& line) { return silent || SendAll(fd, line + "\r\n"); };
  auto fault = [&](TFault f) {
    // True when the fault answered the command.
    switch (f) {
      case TFault::None:
        return false;
      case TFault::Refuse:
        reply("-ERR refused by the test");
        return true;
      case TFault::Garbage:
        SendAll(fd, "\x01\x02 garbage <html>\r\n");
        return true;
      case TFault::Silent:
        silent = true;
        return true;
      default:
        return false;
    }
  };
  if (greeting == TFault::Silent) silent = true;
  else if (greeting == TFault::Garbage) SendAll(fd, "HELLO this is not POP3\r\n");
  else reply("+OK fake ready");

  std::set<size_t> marked;
  std::string buf;
  for (;;) {
    size_t eol;
    while ((eol = buf.find('\n')) == std::string::npos) {
      pollfd p{fd, POLLIN, 0};
      int r = poll(&p, 1, 100);
      if (stop_) return;
      if (r <= 0) continue;
      char tmp[4096];
      ssize_t n = recv(fd, tmp, sizeof tmp, 0);
      if (n <= 0) return;
      buf.append(tmp, static_cast<size_t>(n));
    }
    std::string line = buf.substr(0, eol);
    buf.erase(0, eol + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    {
      std::lock_guard<std::mutex> g(lock_);
      commands_.push_back(line);
    }
    std::string verb = line.substr(0, line.find(' '));
    std::transform(verb.begin(), verb.end(), verb.begin(), ::toupper);
    const std::string arg = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
    auto number = [&]() -> int {
      int n = std::atoi(arg.c_str());
      return n >= 1 && static_cast<size_t>(n) <= box.size() && !marked.count(static_cast<size_t>(n - 1)) ? n : 0;
    };
    if (silent) continue;
    if (verb == "CAPA") {
      reply("+OK");
      reply("USER");
      reply(".");
    } else if (verb == "USER") {
      reply("+OK");
    } else if (verb == "PASS") {
      {
        std::lock_guard<std::mutex> g(lock_);
        box = mailbox_;
      }
      reply("+OK logged on");
    } else if (verb == "STAT") {
      if (fault(stat)) continue;
      size_t size = 0;
      for (auto& m : box) size += m.text.size();
      reply("+OK " + std::to_string(box.size() - marked.size()) + " " + std::to_string(size));
    } else if (verb == "TOP" || verb == "RETR") {
      int n = number();
      if (!n) {
        reply("-ERR no such message");
        continue;
      }
      const TMessage& m = box[static_cast<size_t>(n - 1)];
      TFault f = verb == "TOP" ? m.top : m.retr;
      if (fault(f)) continue;
      if (f == TFault::CloseMidway) {
        std::string all = "+OK\r\n" + MultiLine(m.text);
        SendAll(fd, all.substr(0, all.size() / 2));
        return;
      }
      if (f == TFault::Huge) {
        SendAll(fd, "+OK\r\n" + CrLf(HeaderOf(m.text)) + "\r\n");
        const std::string chunk = HugeChunk();
        for (size_t sent = 0; sent < HugeBytes; sent += chunk.size())
          if (stop_ || !SendAll(fd, chunk)) return;
        SendAll(fd, ".\r\n");
        continue;
      }
      reply("+OK");
      SendAll(fd, MultiLine(verb == "TOP" ? HeaderOf(m.text) : m.text));
    } else if (verb == "LIST") {
      // The size of the message as RETR sends it (before dot-stuffing), or the one it is
      // told to state.
      auto sizeOf = [&](const TMessage& m) -> long long {
        if (m.statedSize >= 0) return m.statedSize;
        if (m.retr == TFault::Huge) {
          const size_t chunk = HugeLineBytes * HugeChunkLines;
          return static_cast<long long>(CrLf(HeaderOf(m.text)).size() + 2 + (HugeBytes + chunk - 1) / chunk * chunk);
        }
        std::string t = CrLf(m.text);
        if (!t.empty() && t.back() != '\n') t += "\r\n";
        return static_cast<long long>(t.size());
      };
      if (arg.empty()) {
        reply("+OK scan listing follows");
        for (size_t i = 0; i < box.size(); ++i)
          if (!marked.count(i)) reply(std::to_string(i + 1) + " " + std::to_string(sizeOf(box[i])));
        reply(".");
        continue;
      }
      int n = number();
      if (!n) {
        reply("-ERR no such message");
        continue;
      }
      const TMessage& m = box[static_cast<size_t>(n - 1)];
      if (fault(m.list)) continue;
      if (!m.listReply.empty()) {
        reply(m.listReply);
        continue;
      }
      reply("+OK " + std::to_string(n) + " " + std::to_string(sizeOf(m)));
    } else if (verb == "DELE") {
      int n = number();
      if (!n) {
        reply("-ERR no such message");
        continue;
      }
      marked.insert(static_cast<size_t>(n - 1));
      reply("+OK marked");
    } else if (verb == "NOOP") {
      reply("+OK");
    } else if (verb == "QUIT") {
      {
        std::lock_guard<std::mutex> g(lock_);
        // Remove the marked messages of this session's mailbox from the live one.
        std::vector<TMessage> kept;
        std::vector<std::string> gone;
        for (size_t i : marked) gone.push_back(box[i].text);
        for (auto& m : mailbox_) {
          auto it = std::find(gone.begin(), gone.end(), m.text);
          if (it != gone.end()) gone.erase(it);
          else kept.push_back(m);
        }
        mailbox_ = std::move(kept);
      }
      reply("+OK bye");
      return;
    } else {
      reply("-ERR unknown command");
    }
  }
}
