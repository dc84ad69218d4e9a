#pragma once
// The curl session shared by the SMTP and POP3 clients (inside net/ only).

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TCurlSession {
public:
  TCurlSession();
  ~TCurlSession();

  // Server reply lines of the last request: the last line, and the last 4xx/5xx (SMTP)
  // reply with all its lines (CR LF between them) or "-ERR" (POP3) line.
  std::string lastReply;
  std::string lastError;
  std::string headerLines;  // every reply line of the last request, CR LF kept
  // Body data of the last request (write callback), bounded by maxBody (0: discarded).
  std::string body;
  size_t maxBody = 0;
  bool bodyTooLarge = false;
  // Upload source.
  std::string upload;
  size_t uploadPos = 0;

  // The handle, made on first use with the options every request shares.
  CURL* Handle();
  // TLS for the next request. Implicit: TLS from the first byte (the smtps:// and pop3s://
  // URLs); otherwise the connection turns to TLS when the server offers it (STARTTLS, STLS)
  // and stays plain when it does not. The server's certificate and name are verified against
  // the system's certificate store, or, when the environment variable LARKPOST_CA_FILE names
  // a file, against the CA certificates in that file (tests use a private CA).
  void SetTls(bool implicit);
  // Connecting may take ConnectMs; once connected, a wait of ReadMs for the server (no byte
  // coming or going) ends the request with CURLE_OPERATION_TIMEDOUT. The connection is then
  // dropped without a word to the server (no QUIT, no second wait).
  void SetTimeouts(int connectMs, int readMs);
  bool HasHandle() const { return curl_ != nullptr; }
  // Runs the request on the owning thread. Returns the curl code; a Cut from another
  // thread makes it CURLE_ABORTED_BY_CALLBACK and closes the handle.
  CURLcode Perform();
  // The same, calling OnWait about every SliceMs while the request waits (the caller's
  // window keeps painting); OnWait false ends the request with CURLE_ABORTED_BY_CALLBACK
  // and drops the connection.
  CURLcode Perform(const std::function<bool()>& onWait, int sliceMs);
  // When set, the first reply line of a request must start with it: any other ends the
  // request at once (rather than waiting out the time-out for a line that never comes),
  // with the line in badFirstLine.
  std::string firstLinePrefix;
  std::string badFirstLine;
  // True while a live connection is kept in the handle (or a request is running). Any
  // thread may ask; the handle is not touched.
  bool Connected();
  // Closes the handle (the protocol's QUIT on a live connection). From another thread it
  // cuts: the connection's socket is shut down at once, without QUIT; while a request runs
  // the request is aborted and the owner closes; while idle the handle is closed at the
  // owner's next request (or destruction), so two threads never use it at once. Connected
  // is false from now on.
  void Close();
  bool WasCut() const { return cut_; }
  // Ends the connection at once, sending nothing more (no QUIT): for a connection that failed
  // or timed out, and for protocols whose QUIT the caller sent itself.
  void Drop();

  // "host:port: reason" for curl failures without a server reply.
  std::string Describe(CURLcode code, const std::string& host, int port) const;

private:
  std::string TrimmedError(CURLcode code) const;  // curl's text for the last failure
  static size_t OnHeader(char* data, size_t size, size_t n, void* self);
  static size_t OnWrite(char* data, size_t size, size_t n, void* self);
  static size_t OnRead(char* data, size_t size, size_t n, void* self);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  static curl_socket_t OnOpenSocket(void* self, curlsocktype purpose, struct curl_sockaddr* address);
  static int OnCloseSocket(void* self, curl_socket_t sock);
  // Shuts the connection's socket down: whatever curl tries on it afterwards fails at once.
  // Safe from any thread.
  void ShutDownSocket();
  void Touch() { lastActivity_ = std::chrono::steady_clock::now(); }
  // Before and after a request, under either way of running it.
  bool BeginPerform();
  CURLcode EndPerform(CURLcode rc);
  // Frees the handle (taking it out of the multi handle first).
  void FreeHandle();

  CURL* curl_ = nullptr;  // set by the owning thread under lock_
  curl_socket_t liveSocket_ = CURL_SOCKET_BAD;  // the connection after the last request (lock_)
  std::string replyLines_;  // the lines of a reply still coming (SMTP "250-...")
  static constexpr size_t kMaxReplyLines = 65536;
  // For requests that wait in slices; a connect-only handle stays added to it for as long
  // as its connection is used.
  CURLM* multi_ = nullptr;
  bool inMulti_ = false;
  bool firstLineSeen_ = false;
  char errbuf_[CURL_ERROR_SIZE] = {0};
  std::mutex lock_;
  bool busy_ = false;
  std::atomic<bool> abort_{false};
  bool cut_ = false;
  bool closePending_ = false;
  std::thread::id owner_;
  std::string defaultCaFile_, defaultCaPath_;  // curl's built-in certificate store
  // The sockets curl holds open (a connection, or two racing while connecting). Curl's
  // socket callbacks also run inside calls made under lock_: their own lock.
  std::mutex socketsLock_;
  std::vector<curl_socket_t> sockets_;
  std::atomic<bool> dead_{false};  // the connection failed: it takes no command again
  bool HasSocket();
  int readTimeoutMs_ = 0;
  bool timing_ = false;                   // connected: the read time-out runs
  bool readTimedOut_ = false;
  curl_off_t lastDown_ = 0, lastUp_ = 0;
  std::chrono::steady_clock::time_point lastActivity_;
};

// The environment variable naming a CA file to trust instead of the system's store.
inline constexpr const char* kNetCaFileVariable = "LARKPOST_CA_FILE";

// Host names and addresses accepted in a URL (no user info, path or control characters).
bool NetValidHost(const std::string& host);
std::string NetUrlHost(const std::string& host);  // IPv6 literal in brackets
