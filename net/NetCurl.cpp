#include "net/NetCurl.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "net/IdMessage.h"

TCurlSession::TCurlSession() { InitMailLibraries(); }

TCurlSession::~TCurlSession() {
  FreeHandle();
  if (multi_) curl_multi_cleanup(multi_);
}

void TCurlSession::FreeHandle() {
  if (!curl_) return;
  if (inMulti_) curl_multi_remove_handle(multi_, curl_);
  inMulti_ = false;
  curl_easy_cleanup(curl_);
  curl_ = nullptr;
  liveSocket_ = CURL_SOCKET_BAD;
}

CURL* TCurlSession::Handle() {
  {
    std::lock_guard<std::mutex> g(lock_);
    if (closePending_ && curl_) FreeHandle();
    closePending_ = false;
    owner_ = std::this_thread::get_id();
  }
  // Only the owning thread sets the handle, and only under the lock: another thread's
  // Close reads the pointer under it.
  if (curl_) return curl_;
  CURL* h = curl_easy_init();
  if (!h) throw EIdException("Out of memory");
  // Worker threads: no signals (curl would use SIGALRM for name look-up time-outs).
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errbuf_);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &TCurlSession::OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &TCurlSession::OnWrite);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(h, CURLOPT_READFUNCTION, &TCurlSession::OnRead);
  curl_easy_setopt(h, CURLOPT_READDATA, this);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &TCurlSession::OnProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(h, CURLOPT_MAXCONNECTS, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps,pop3,pop3s");
  curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
  char* caFile = nullptr;
  char* caPath = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_CAINFO, &caFile) == CURLE_OK && caFile) defaultCaFile_ = caFile;
  if (curl_easy_getinfo(h, CURLINFO_CAPATH, &caPath) == CURLE_OK && caPath) defaultCaPath_ = caPath;
  curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &TCurlSession::OnOpenSocket);
  curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, this);
  curl_easy_setopt(h, CURLOPT_CLOSESOCKETFUNCTION, &TCurlSession::OnCloseSocket);
  curl_easy_setopt(h, CURLOPT_CLOSESOCKETDATA, this);
  std::lock_guard<std::mutex> g(lock_);
  curl_ = h;
  return curl_;
}

void TCurlSession::SetTls(bool implicit) {
  CURL* h = Handle();
  // Implicit TLS comes with the URL's scheme; USE_SSL says what happens on a plain one.
  curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(implicit ? CURLUSESSL_ALL : CURLUSESSL_TRY));
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  const char* ca = std::getenv(kNetCaFileVariable);
  if (ca && *ca) {
    curl_easy_setopt(h, CURLOPT_CAINFO, ca);
    curl_easy_setopt(h, CURLOPT_CAPATH, nullptr);
  } else {
    // NULL would mean no store at all: back to the built-in one.
    curl_easy_setopt(h, CURLOPT_CAINFO, defaultCaFile_.empty() ? nullptr : defaultCaFile_.c_str());
    curl_easy_setopt(h, CURLOPT_CAPATH, defaultCaPath_.empty() ? nullptr : defaultCaPath_.c_str());
  }
}

void TCurlSession::SetTimeouts(int connectMs, int readMs) {
  CURL* h = Handle();
  readTimeoutMs_ = readMs;
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectMs));
  // The read time-out is ours (OnProgress): curl's own would, on some paths, send QUIT on
  // the dead connection and wait for its answer a second time. Curl's stay as a backstop,
  // a little later than ours (the progress callback runs at least once a second).
  const long backstop = static_cast<long>((readMs + 999) / 1000 + 2);
  curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, backstop);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, backstop);
}

curl_socket_t TCurlSession::OnOpenSocket(void* p, curlsocktype, struct curl_sockaddr* a) {
  auto* s = static_cast<TCurlSession*>(p);
  curl_socket_t sock = socket(a->family, a->socktype | SOCK_CLOEXEC, a->protocol);
  if (sock != CURL_SOCKET_BAD) {
    std::lock_guard<std::mutex> g(s->socketsLock_);
    s->sockets_.push_back(sock);
    s->dead_ = false;
  }
  return sock;
}

int TCurlSession::OnCloseSocket(void* p, curl_socket_t sock) {
  auto* s = static_cast<TCurlSession*>(p);
  {
    std::lock_guard<std::mutex> g(s->socketsLock_);
    s->sockets_.erase(std::remove(s->sockets_.begin(), s->sockets_.end(), sock), s->sockets_.end());
    if (s->sockets_.empty()) s->dead_ = false;
  }
  return close(sock);
}

void TCurlSession::ShutDownSocket() {
  std::lock_guard<std::mutex> g(socketsLock_);
  for (curl_socket_t sock : sockets_) shutdown(sock, SHUT_RDWR);
  dead_ = true;
}

bool TCurlSession::HasSocket() {
  std::lock_guard<std::mutex> g(socketsLock_);
  return !sockets_.empty();
}

size_t TCurlSession::OnHeader(char* data, size_t size, size_t n, void* p) {
  auto* s = static_cast<TCurlSession*>(p);
  size_t len = size * n;
  if (s->headerLines.size() < 65536) s->headerLines.append(data, len);
  s->Touch();
  std::string line(data, len);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (line.size() > 1000) line.resize(1000);
  if (line.empty()) return len;
  s->lastReply = line;
  // An SMTP reply of several lines ("550-..." up to "550 ..."): its error keeps them all,
  // joined as the server sent them.
  const bool more = line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                    std::isdigit(static_cast<unsigned char>(line[1])) &&
                    std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == '-';
  if (more || !s->replyLines_.empty()) {
    if (!s->replyLines_.empty()) s->replyLines_ += "\r\n";
    if (s->replyLines_.size() < kMaxReplyLines) s->replyLines_ += line;
    if (more) return len;
    line = std::move(s->replyLines_);
    s->replyLines_.clear();
  }
  if (line[0] == '4' || line[0] == '5' || line.rfind("-ERR", 0) == 0) s->lastError = line;
  if (!s->firstLinePrefix.empty() && !s->firstLineSeen_) {
    s->firstLineSeen_ = true;
    if (line.rfind(s->firstLinePrefix, 0) != 0) {
      s->badFirstLine = line.empty() ? std::string(" ") : line;
      return 0;  // ends the request
    }
  }
  return len;
}

size_t TCurlSession::OnWrite(char* data, size_t size, size_t n, void* p) {
  auto* s = static_cast<TCurlSession*>(p);
  size_t len = size * n;
  if (s->maxBody == 0) return len;
  if (s->body.size() + len > s->maxBody) {
    s->bodyTooLarge = true;
    return 0;  // aborts the transfer
  }
  s->body.append(data, len);
  return len;
}

size_t TCurlSession::OnRead(char* data, size_t size, size_t n, void* p) {
  auto* s = static_cast<TCurlSession*>(p);
  size_t room = size * n;
  size_t left = s->upload.size() - s->uploadPos;
  size_t k = left < room ? left : room;
  memcpy(data, s->upload.data() + s->uploadPos, k);
  s->uploadPos += k;
  return k;
}

int TCurlSession::OnProgress(void* p, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto* s = static_cast<TCurlSession*>(p);
  if (s->abort_.load()) return 1;
  if (s->readTimeoutMs_ <= 0 || !s->curl_) return 0;
  if (!s->timing_) {
    // The wait for the greeting counts from the moment the connection stands.
    curl_off_t connected = 0;
    curl_easy_getinfo(s->curl_, CURLINFO_CONNECT_TIME_T, &connected);
    if (connected <= 0) return 0;
    s->timing_ = true;
    s->Touch();
  }
  if (down != s->lastDown_ || up != s->lastUp_) {
    s->lastDown_ = down;
    s->lastUp_ = up;
    s->Touch();
  }
  if (std::chrono::steady_clock::now() - s->lastActivity_ < std::chrono::milliseconds(s->readTimeoutMs_)) return 0;
  s->readTimedOut_ = true;
  s->ShutDownSocket();
  return 1;
}

bool TCurlSession::BeginPerform() {
  lastReply.clear();
  lastError.clear();
  replyLines_.clear();
  headerLines.clear();
  body.clear();
  bodyTooLarge = false;
  badFirstLine.clear();
  firstLineSeen_ = false;
  {
    std::lock_guard<std::mutex> g(lock_);
    // A cut from another thread after the caller set its options up: this request is the
    // one cut (a fresh handle here would run without them).
    if (closePending_ || !curl_) {
      FreeHandle();
      closePending_ = false;
      cut_ = true;
      return false;
    }
    owner_ = std::this_thread::get_id();
    busy_ = true;
    cut_ = false;
    readTimedOut_ = false;
    // On a connection kept from an earlier request the server owes an answer from the start.
    timing_ = HasSocket() && !dead_;
    lastDown_ = lastUp_ = 0;
  }
  Touch();
  errbuf_[0] = 0;
  return true;
}

CURLcode TCurlSession::EndPerform(CURLcode rc) {
  std::lock_guard<std::mutex> g(lock_);
  busy_ = false;
  if (abort_.exchange(false)) {
    cut_ = true;
    ShutDownSocket();
    FreeHandle();
    return CURLE_ABORTED_BY_CALLBACK;
  }
  // What Connected asks from any thread, noted here by the owner.
  if (curl_easy_getinfo(curl_, CURLINFO_ACTIVESOCKET, &liveSocket_) != CURLE_OK) liveSocket_ = CURL_SOCKET_BAD;
  if (readTimedOut_) rc = CURLE_OPERATION_TIMEDOUT;
  // A failure without a server reply is the transport's: the connection takes nothing more.
  if (rc != CURLE_OK && (readTimedOut_ || lastError.empty())) ShutDownSocket();
  return rc;
}

CURLcode TCurlSession::Perform() {
  if (!BeginPerform()) return CURLE_ABORTED_BY_CALLBACK;
  // A handle left in the multi handle cannot run on its own.
  if (inMulti_) {
    curl_multi_remove_handle(multi_, curl_);
    inMulti_ = false;
  }
  return EndPerform(curl_easy_perform(curl_));
}

CURLcode TCurlSession::Perform(const std::function<bool()>& onWait, int sliceMs) {
  if (!onWait) return Perform();
  if (!BeginPerform()) return CURLE_ABORTED_BY_CALLBACK;
  if (!multi_) multi_ = curl_multi_init();
  if (!multi_) return EndPerform(CURLE_OUT_OF_MEMORY);
  if (!inMulti_) {
    if (curl_multi_add_handle(multi_, curl_) != CURLM_OK) return EndPerform(CURLE_FAILED_INIT);
    inMulti_ = true;
  }
  CURLcode rc = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) {
      rc = CURLE_FAILED_INIT;
      break;
    }
    bool done = false;
    int queued = 0;
    while (CURLMsg* m = curl_multi_info_read(multi_, &queued))
      if (m->msg == CURLMSG_DONE && m->easy_handle == curl_) {
        rc = m->data.result;
        done = true;
      }
    if (done) break;
    if (!onWait()) {
      abort_.store(true);
      break;
    }
    curl_multi_poll(multi_, nullptr, 0, sliceMs, nullptr);
  }
  // A failed request leaves no connection to keep.
  if (rc != CURLE_OK || abort_.load()) {
    curl_multi_remove_handle(multi_, curl_);
    inMulti_ = false;
  }
  return EndPerform(rc);
}

// Any thread may ask: the answer comes from what the owner noted and from the socket,
// never from the handle, which the owner may be using at this moment.
bool TCurlSession::Connected() {
  std::lock_guard<std::mutex> g(lock_);
  if (busy_) return !abort_.load();
  if (!curl_ || closePending_ || dead_ || liveSocket_ == CURL_SOCKET_BAD) return false;
  // Curl still holds the socket (it closes them through OnCloseSocket, under this lock).
  std::lock_guard<std::mutex> gs(socketsLock_);
  if (std::find(sockets_.begin(), sockets_.end(), liveSocket_) == sockets_.end()) return false;
  // An idle session's server says nothing: anything to read (a 421, or the end of the
  // stream) means the connection is closing.
  pollfd p{liveSocket_, static_cast<short>(POLLIN | POLLRDHUP), 0};
  if (poll(&p, 1, 0) < 0) return false;
  return (p.revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) == 0;
}

void TCurlSession::Close() {
  std::lock_guard<std::mutex> g(lock_);
  // From another thread this is a cut: the socket goes down at once, so the request fails
  // now and the owner's later clean-up cannot send QUIT to a server that may never answer.
  if (busy_) {
    abort_.store(true);
    ShutDownSocket();
    return;
  }
  if (curl_ && owner_ != std::thread::id() && owner_ != std::this_thread::get_id()) {
    closePending_ = true;
    ShutDownSocket();
    return;
  }
  FreeHandle();
}

void TCurlSession::Drop() {
  {
    std::lock_guard<std::mutex> g(lock_);
    if (busy_) {
      abort_.store(true);
      return;
    }
  }
  ShutDownSocket();
  Close();
}

std::string TCurlSession::Describe(CURLcode code, const std::string& host, int port) const {
  const std::string where = host + ":" + std::to_string(port);
  long oserr = 0;
  if (curl_) curl_easy_getinfo(curl_, CURLINFO_OS_ERRNO, &oserr);
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return host + ": host not found";
    case CURLE_COULDNT_CONNECT:
      if (oserr) return where + ": " + strerror(static_cast<int>(oserr));
      return where + ": Connection refused";
    case CURLE_OPERATION_TIMEDOUT: {
      curl_off_t connected = 0;
      if (curl_) curl_easy_getinfo(curl_, CURLINFO_CONNECT_TIME_T, &connected);
      return where + (readTimedOut_ || connected > 0 ? ": Read timed out" : ": Connection timed out");
    }
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      if (oserr) return where + ": " + strerror(static_cast<int>(oserr));
      return where + ": Connection closed gracefully";
    case CURLE_ABORTED_BY_CALLBACK:
      return where + ": Disconnected";
    case CURLE_PEER_FAILED_VERIFICATION:
      return where + ": The server's certificate could not be verified (" + TrimmedError(code) + ")";
    case CURLE_SSL_CONNECT_ERROR:
      return where + ": The secure connection failed (" + TrimmedError(code) + ")";
    case CURLE_SSL_CACERT_BADFILE:
      return where + ": The certificate authority file cannot be read (" + TrimmedError(code) + ")";
    default:
      break;
  }
  return where + ": " + TrimmedError(code);
}

std::string TCurlSession::TrimmedError(CURLcode code) const {
  std::string detail = errbuf_[0] ? errbuf_ : curl_easy_strerror(code);
  while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r')) detail.pop_back();
  return detail;
}

bool NetValidHost(const std::string& host) {
  if (host.empty() || host.size() > 253) return false;
  for (unsigned char c : host)
    if (!(std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':' || c >= 0x80)) return false;
  return true;
}

std::string NetUrlHost(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}
