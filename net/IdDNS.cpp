#include "net/IdDNS.h"

#include <ares.h>
#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netdb.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "net/IdMessage.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTotalMs = 5000;  // the whole look-up, the server name's included

struct TChannel {
  ares_channel ch = nullptr;
  ~TChannel() {
    if (ch) ares_destroy(ch);
  }
};

// Runs the channel's queries until they finish or the deadline passes (poll: no fd_set limit).
void Pump(ares_channel ch, Clock::time_point deadline, const bool& done) {
  while (!done) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      ares_cancel(ch);  // calls the callbacks with ARES_ECANCELLED
      return;
    }
    ares_socket_t socks[ARES_GETSOCK_MAXNUM];
    int bits = ares_getsock(ch, socks, ARES_GETSOCK_MAXNUM);
    pollfd fds[ARES_GETSOCK_MAXNUM];
    int n = 0;
    for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
      short ev = 0;
      if (ARES_GETSOCK_READABLE(bits, i)) ev |= POLLIN;
      if (ARES_GETSOCK_WRITABLE(bits, i)) ev |= POLLOUT;
      if (!ev) continue;
      fds[n].fd = socks[i];
      fds[n].events = ev;
      fds[n].revents = 0;
      ++n;
    }
    if (n == 0) {
      if (!done) ares_cancel(ch);
      return;
    }
    timeval maxtv{static_cast<time_t>(left / 1000), static_cast<suseconds_t>((left % 1000) * 1000)};
    timeval tv{};
    timeval* tvp = ares_timeout(ch, &maxtv, &tv);
    int wait = static_cast<int>(tvp->tv_sec * 1000 + tvp->tv_usec / 1000);
    int r = poll(fds, static_cast<nfds_t>(n), wait < 1 ? 1 : wait);
    if (r <= 0) {
      ares_process_fd(ch, ARES_SOCKET_BAD, ARES_SOCKET_BAD);  // time-outs and retries
      continue;
    }
    for (int i = 0; i < n; ++i) {
      ares_socket_t rd = (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) ? fds[i].fd : ARES_SOCKET_BAD;
      ares_socket_t wr = (fds[i].revents & POLLOUT) ? fds[i].fd : ARES_SOCKET_BAD;
      if (rd != ARES_SOCKET_BAD || wr != ARES_SOCKET_BAD) ares_process_fd(ch, rd, wr);
    }
  }
}

bool InitChannel(TChannel& c) {
  ares_options opts{};
  opts.timeout = 1500;
  opts.tries = 2;
  opts.flags = ARES_FLAG_NOSEARCH | ARES_FLAG_NOALIASES;
  int mask = ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_FLAGS;
  return ares_init_options(&c.ch, &opts, mask) == ARES_SUCCESS;
}

// "host", "host:port", "[v6]:port" or a bare IPv6 address.
bool SplitServer(const std::string& text, std::string& host, int& port) {
  std::string t;
  for (char c : text)
    if (c != ' ' && c != '\t') t += c;
  port = 53;
  if (t.empty()) return false;
  if (t[0] == '[') {
    size_t e = t.find(']');
    if (e == std::string::npos) return false;
    host = t.substr(1, e - 1);
    if (e + 1 < t.size()) {
      if (t[e + 1] != ':') return false;
      t = t.substr(e + 2);
      char* end = nullptr;
      long p = strtol(t.c_str(), &end, 10);
      if (*end || p <= 0 || p > 65535) return false;
      port = static_cast<int>(p);
    }
    return !host.empty();
  }
  size_t colon = t.find(':');
  if (colon != std::string::npos && t.find(':', colon + 1) == std::string::npos) {
    host = t.substr(0, colon);
    char* end = nullptr;
    long p = strtol(t.c_str() + colon + 1, &end, 10);
    if (*end || p <= 0 || p > 65535) return false;
    port = static_cast<int>(p);
  } else {
    host = t;  // a name, IPv4, or IPv6 without a port
  }
  return !host.empty();
}

bool IsAddress(const std::string& host) {
  unsigned char buf[16];
  return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// The DNS server's own name through the system's resolver settings, bounded like the rest.
bool ResolveServer(const std::string& name, std::string& address, Clock::time_point deadline) {
  TChannel c;
  if (!InitChannel(c)) return false;
  struct State {
    bool done = false;
    std::string addr;
  } st;
  ares_addrinfo_hints hints{};
  hints.ai_family = AF_UNSPEC;
  ares_getaddrinfo(c.ch, name.c_str(), nullptr, &hints,
                   [](void* arg, int status, int, ares_addrinfo* res) {
                     auto* s = static_cast<State*>(arg);
                     s->done = true;
                     if (status != ARES_SUCCESS || !res) {
                       if (res) ares_freeaddrinfo(res);
                       return;
                     }
                     for (ares_addrinfo_node* n = res->nodes; n; n = n->ai_next) {
                       char buf[INET6_ADDRSTRLEN] = {0};
                       if (n->ai_family == AF_INET)
                         inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(n->ai_addr)->sin_addr, buf, sizeof buf);
                       else if (n->ai_family == AF_INET6)
                         inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(n->ai_addr)->sin6_addr, buf, sizeof buf);
                       if (buf[0]) {
                         s->addr = buf;
                         break;
                       }
                     }
                     ares_freeaddrinfo(res);
                   },
                   &st);
  Pump(c.ch, deadline, st.done);
  address = st.addr;
  return !address.empty();
}

}  // namespace

bool GetMailServers(const std::string& dnsServer, const std::string& domain, std::vector<std::string>& list) {
  InitMailLibraries();
  list.clear();
  std::string dom;
  for (char c : domain)
    if (c != ' ' && c != '\t') dom += c;
  while (!dom.empty() && dom.back() == '.') dom.pop_back();
  if (dom.empty() || dom.size() > 253) return false;
  for (unsigned char c : dom)
    if (c < 0x21 || c == 0x7f) return false;

  const auto deadline = Clock::now() + std::chrono::milliseconds(kTotalMs);
  TChannel c;
  if (!InitChannel(c)) return false;
  if (!dnsServer.empty() && dnsServer.find_first_not_of(" \t") != std::string::npos) {
    std::string host;
    int port = 53;
    if (!SplitServer(dnsServer, host, port)) return false;
    std::string address = host;
    if (!IsAddress(host) && !ResolveServer(host, address, deadline)) return false;
    std::string csv = (address.find(':') != std::string::npos ? "[" + address + "]" : address) + ":" +
                      std::to_string(port);
    if (ares_set_servers_ports_csv(c.ch, csv.c_str()) != ARES_SUCCESS) return false;
  }

  struct State {
    bool done = false;
    bool ok = false;
    std::vector<std::pair<int, std::string>> mx;
  } st;
  ares_query(c.ch, dom.c_str(), ns_c_in, ns_t_mx,
             [](void* arg, int status, int, unsigned char* abuf, int alen) {
               auto* s = static_cast<State*>(arg);
               s->done = true;
               if (status != ARES_SUCCESS || !abuf) return;
               ares_mx_reply* mx = nullptr;
               if (ares_parse_mx_reply(abuf, alen, &mx) != ARES_SUCCESS) return;
               for (ares_mx_reply* p = mx; p; p = p->next)
                 if (p->host && *p->host) s->mx.emplace_back(p->priority, p->host);
               ares_free_data(mx);
               s->ok = true;
             },
             &st);
  Pump(c.ch, deadline, st.done);
  if (!st.ok || st.mx.empty()) return false;
  std::stable_sort(st.mx.begin(), st.mx.end(), [](auto& a, auto& b) { return a.first < b.first; });
  for (auto& [pref, host] : st.mx) list.push_back(host);
  return true;
}
