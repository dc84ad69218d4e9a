#include "net/IdPOP3.h"

#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <limits>

#include "net/NetCurl.h"

// curl opens the connection and logs on (CONNECT_ONLY); the commands of the session are
// ours. That keeps one session from log-on to QUIT: a refused command ("-ERR") is an answer,
// not a reason to drop the connection, so deletions marked earlier stay marked.

struct TPop3Connection {
  TCurlSession session;
  bool loggedOn = false;
  std::string pending;  // received bytes not yet consumed
};

struct TIdPOP3::Impl : TPop3Connection {};

EIdMessageTooLarge::EIdMessageTooLarge(size_t limit)
    : EIdException("The message is larger than " + std::to_string(limit >> 20) + " MB (" + std::to_string(limit) +
                   " bytes)") {}

TIdPOP3::TIdPOP3() : impl_(std::make_unique<Impl>()) {}

TIdPOP3::~TIdPOP3() {
  try {
    Disconnect();
  } catch (...) {
  }
}

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Broken(TIdPOP3& c, TPop3Connection& d, const std::string& why) {
  d.loggedOn = false;
  d.pending.clear();
  d.session.Drop();
  throw EIdException(c.Host + ":" + std::to_string(c.Port) + ": " + why);
}

curl_socket_t Socket(TCurlSession& s) {
  curl_socket_t sock = CURL_SOCKET_BAD;
  if (s.HasHandle()) curl_easy_getinfo(s.Handle(), CURLINFO_ACTIVESOCKET, &sock);
  return sock;
}

// Waits up to TimeoutMs for the socket; in slices, asking the caller's OnWait between
// them. False on a time-out; a stop asked through OnWait breaks the connection.
bool WaitSocket(TIdPOP3& c, TPop3Connection& d, short events, int timeoutMs);

void SendLine(TIdPOP3& c, TPop3Connection& d, const std::string& line) {
  std::string data = line + "\r\n";
  size_t off = 0;
  const auto end = Clock::now() + std::chrono::milliseconds(c.ReadTimeoutMs);
  while (off < data.size()) {
    size_t n = 0;
    CURLcode rc = curl_easy_send(d.session.Handle(), data.data() + off, data.size() - off, &n);
    if (rc == CURLE_AGAIN) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      if (left <= 0 || !WaitSocket(c, d, POLLOUT, left)) Broken(c, d, "Write timed out");
      continue;
    }
    if (rc != CURLE_OK) Broken(c, d, "Connection closed gracefully");
    off += n;
  }
}

bool WaitSocket(TIdPOP3& c, TPop3Connection& d, short events, int timeoutMs) {
  const curl_socket_t sock = Socket(d.session);
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) return false;
    int slice = static_cast<int>(left);
    if (c.OnWait && c.WaitSliceMs > 0 && slice > c.WaitSliceMs) slice = c.WaitSliceMs;
    pollfd p{sock, events, 0};
    if (poll(&p, 1, slice) > 0) return true;
    if (c.OnWait && !c.OnWait()) Broken(c, d, "Disconnected");
  }
}

// Reads until Terminator is in the pending data; returns its position. The wait is
// bounded by the read time-out between arrivals. Beyond Limit bytes the data is read and
// dropped (Overflow set), so the session stays in step.
size_t ReadUntil(TIdPOP3& c, TPop3Connection& d, const std::string& terminator, size_t from, size_t limit,
                 bool* overflow = nullptr) {
  for (;;) {
    size_t p = d.pending.find(terminator, from > terminator.size() ? from - terminator.size() : 0);
    if (p != std::string::npos) {
      // The end may come in the same read as more than Limit bytes.
      if (p > limit) {
        if (!overflow) Broken(c, d, "Reply line too long");
        *overflow = true;
      }
      return p;
    }
    if (d.pending.size() > limit) {
      if (!overflow) Broken(c, d, "Reply line too long");
      *overflow = true;
      d.pending.erase(0, d.pending.size() - terminator.size());
    }
    from = d.pending.size();
    char buf[65536];
    size_t n = 0;
    CURLcode rc = curl_easy_recv(d.session.Handle(), buf, sizeof buf, &n);
    if (rc == CURLE_AGAIN) {
      if (!WaitSocket(c, d, POLLIN, c.ReadTimeoutMs)) Broken(c, d, "Read timed out");
      continue;
    }
    if (rc != CURLE_OK || n == 0) Broken(c, d, "Connection closed gracefully");
    d.pending.append(buf, n);
  }
}

// Sends one command and reads its status line, whatever it says.
std::string Exchange(TIdPOP3& c, TPop3Connection& d, const std::string& cmd) {
  if (!d.loggedOn || !d.session.Connected()) {
    d.loggedOn = false;
    throw EIdException("Not connected");
  }
  d.pending.clear();
  SendLine(c, d, cmd);
  size_t eol = ReadUntil(c, d, "\r\n", 0, 65536);
  std::string status = d.pending.substr(0, eol);
  d.pending.erase(0, eol + 2);
  d.session.lastReply = status;
  return status;
}

// One command: its status line ("+OK ..."), and for a multi-line answer the data,
// dot-stuffing removed, without the final ".".
std::string Command(TIdPOP3& c, TPop3Connection& d, const std::string& cmd, bool multiLine, std::string* data) {
  std::string status = Exchange(c, d, cmd);
  if (status.rfind("+OK", 0) != 0) {
    if (status.size() > 1000) status.resize(1000);
    if (status.rfind("-ERR", 0) != 0) Broken(c, d, "Unexpected reply: " + status);
    throw EIdException(status);
  }
  if (!multiLine) return status;
  std::string raw;
  if (d.pending.rfind(".\r\n", 0) == 0) {
    d.pending.erase(0, 3);
  } else {
    bool overflow = false;
    size_t end = ReadUntil(c, d, "\r\n.\r\n", 0, c.MaxMessageSize, &overflow);
    raw = d.pending.substr(0, end + 2);
    d.pending.erase(0, end + 5);
    if (overflow) throw EIdMessageTooLarge(c.MaxMessageSize);
  }
  if (data) {
    data->clear();
    data->reserve(raw.size());
    size_t i = 0;
    while (i < raw.size()) {
      size_t e = raw.find("\r\n", i);
      size_t next = e == std::string::npos ? raw.size() : e + 2;
      if (raw[i] == '.') ++i;  // a stuffed leading dot
      data->append(raw, i, next - i);
      i = next;
    }
  }
  return status;
}

void CheckNumber(int n) {
  if (n < 1) throw EIdException("-ERR Invalid message number " + std::to_string(n));
}

// Decimal digits at P (at least one); moves P past them. Saturates at the type's largest value.
bool ReadDecimal(const std::string& s, size_t& p, int64_t& value) {
  const size_t start = p;
  value = 0;
  for (; p < s.size() && s[p] >= '0' && s[p] <= '9'; ++p) {
    const int digit = s[p] - '0';
    if (value > (std::numeric_limits<int64_t>::max() - digit) / 10)
      value = std::numeric_limits<int64_t>::max();
    else
      value = value * 10 + digit;
  }
  return p > start;
}

// "+OK n size", anything after the size (the standard leaves it open); -1 otherwise.
int64_t ScanListingSize(const std::string& status, int msgNum) {
  size_t p = 3;
  int64_t number = 0, size = 0;
  if (status.rfind("+OK ", 0) != 0) return -1;
  while (p < status.size() && status[p] == ' ') ++p;
  if (!ReadDecimal(status, p, number) || number != msgNum) return -1;
  if (p >= status.size() || status[p] != ' ') return -1;
  while (p < status.size() && status[p] == ' ') ++p;
  if (!ReadDecimal(status, p, size)) return -1;
  if (p < status.size() && status[p] != ' ') return -1;
  return size;
}

}  // namespace

void TIdPOP3::Connect(int timeoutMs) {
  TCurlSession& s = impl_->session;
  if (Connected()) return;
  s.Drop();
  impl_->loggedOn = false;
  impl_->pending.clear();
  if (!NetValidHost(Host)) throw EIdException("Invalid POP3 host name \"" + Host + "\"");
  if (Port <= 0 || Port > 65535) throw EIdException("Invalid POP3 port " + std::to_string(Port));
  for (const std::string* t : {&Username, &Password})
    for (unsigned char ch : *t)
      if (ch == '\r' || ch == '\n' || ch == 0) throw EIdException("The POP3 user name or password holds a line break");
  CURL* h = s.Handle();
  const bool implicitTls = Port == ImplicitTlsPort;
  s.SetTls(implicitTls);
  std::string url = (implicitTls ? "pop3s://" : "pop3://") + NetUrlHost(Host) + ":" + std::to_string(Port) + "/";
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  s.SetTimeouts(timeoutMs > 0 ? timeoutMs : ConnectTimeoutMs, ReadTimeoutMs);
  // Without credentials curl stops after the greeting; the log-on is our USER and PASS
  // (never APOP or SASL).
  curl_easy_setopt(h, CURLOPT_USERNAME, nullptr);
  curl_easy_setopt(h, CURLOPT_PASSWORD, nullptr);
  curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
  s.maxBody = 0;
  s.firstLinePrefix = "+OK";
  CURLcode rc = s.Perform(OnWait, WaitSliceMs);
  s.firstLinePrefix.clear();
  if (rc != CURLE_OK) {
    std::string text = !s.lastError.empty()      ? s.lastError
                       : !s.badFirstLine.empty() ? Host + ":" + std::to_string(Port) +
                                                       ": Not a POP3 server (it said \"" + s.badFirstLine + "\")"
                                                 : s.Describe(rc, Host, Port);
    s.Drop();
    throw EIdException(text);
  }
  impl_->loggedOn = true;
  try {
    Command(*this, *impl_, "USER " + Username, false, nullptr);
    Command(*this, *impl_, "PASS " + Password, false, nullptr);
  } catch (...) {
    Disconnect();
    throw;
  }
}

bool TIdPOP3::Connected() { return impl_->loggedOn && impl_->session.Connected(); }

int TIdPOP3::CheckMessages() {
  std::string status = Command(*this, *impl_, "STAT", false, nullptr);
  // "+OK count size"
  const char* q = status.c_str() + 3;
  char* end = nullptr;
  long n = std::strtol(q, &end, 10);
  if (end == q || n < 0 || n > 10000000) throw EIdException("Unexpected reply to STAT: " + status);
  return static_cast<int>(n);
}

bool TIdPOP3::RetrieveHeader(int msgNum, TIdMessage& msg) {
  CheckNumber(msgNum);
  std::string raw;
  Command(*this, *impl_, "TOP " + std::to_string(msgNum) + " 0", true, &raw);
  msg.LoadFromString(raw, true);
  return true;
}

std::string TIdPOP3::RetrieveRaw(int msgNum) {
  CheckNumber(msgNum);
  std::string raw;
  Command(*this, *impl_, "RETR " + std::to_string(msgNum), true, &raw);
  return raw;
}

int64_t TIdPOP3::RetrieveMsgSize(int msgNum) {
  if (msgNum < 1) return -1;
  // Not through Command: a reply that is not POP3 is no reason to drop the session here,
  // since the caller goes on without the size.
  return ScanListingSize(Exchange(*this, *impl_, "LIST " + std::to_string(msgNum)), msgNum);
}

bool TIdPOP3::Retrieve(int msgNum, TIdMessage& msg) {
  std::string raw = RetrieveRaw(msgNum);
  msg.LoadFromString(raw, false);
  return true;
}

bool TIdPOP3::Delete(int msgNum) {
  CheckNumber(msgNum);
  Command(*this, *impl_, "DELE " + std::to_string(msgNum), false, nullptr);
  return true;
}

void TIdPOP3::Disconnect() {
  if (Connected()) {
    try {
      Command(*this, *impl_, "QUIT", false, nullptr);
    } catch (const EIdException&) {
    }
  }
  impl_->loggedOn = false;
  impl_->pending.clear();
  // The QUIT was ours (or the connection failed): curl must not send another.
  impl_->session.Drop();
}

std::string TIdPOP3::LastReply() const { return impl_->session.lastReply; }
