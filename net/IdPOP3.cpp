#include "net/IdPOP3.h"

#include <cstdlib>

#include "net/NetCurl.h"

struct TIdPOP3::Impl {
  TCurlSession session;
  bool loggedOn = false;
};

TIdPOP3::TIdPOP3() : impl_(std::make_unique<Impl>()) {}

TIdPOP3::~TIdPOP3() = default;

namespace {

// One POP3 request: Command empty means RETR of the message in Path.
std::string Request(TIdPOP3& c, TCurlSession& s, const std::string& path, const std::string& command, bool multiLine,
                    int timeoutMs) {
  if (!NetValidHost(c.Host)) throw EIdException("Invalid POP3 host name \"" + c.Host + "\"");
  if (c.Port <= 0 || c.Port > 65535) throw EIdException("Invalid POP3 port " + std::to_string(c.Port));
  CURL* h = s.Handle();
  std::string url = "pop3://" + NetUrlHost(c.Host) + ":" + std::to_string(c.Port) + "/" + path;
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs > 0 ? timeoutMs : c.ConnectTimeoutMs));
  curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>((c.ReadTimeoutMs + 999) / 1000));
  // A transfer that stalls (the peer stops reading or sending) ends like a reply that never comes.
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>((c.ReadTimeoutMs + 999) / 1000));
  curl_easy_setopt(h, CURLOPT_USERNAME, c.Username.c_str());
  curl_easy_setopt(h, CURLOPT_PASSWORD, c.Password.c_str());
  // Plain user name and password: SASL PLAIN/LOGIN when the server offers it, else USER/PASS.
  curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, nullptr);
  curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, command.empty() ? nullptr : command.c_str());
  curl_easy_setopt(h, CURLOPT_NOBODY, multiLine ? 0L : 1L);
  s.maxBody = multiLine ? c.MaxMessageSize : 0;
  CURLcode rc = s.Perform();
  if (rc != CURLE_OK) {
    std::string text;
    if (s.bodyTooLarge) text = "The message is larger than " + std::to_string(c.MaxMessageSize >> 20) + " MB";
    else if (!s.lastError.empty() && !s.WasCut()) text = s.lastError;
    else text = s.Describe(rc, c.Host, c.Port);
    // After a failed request curl has dropped the connection.
    if (!s.Connected()) s.Close();
    throw EIdException(text);
  }
  return s.body;
}

void RequireConnection(TCurlSession& s, bool loggedOn) {
  if (!loggedOn || !s.Connected()) throw EIdException("Not connected");
}

void CheckNumber(int n) {
  if (n < 1) throw EIdException("-ERR Invalid message number " + std::to_string(n));
}

}  // namespace

void TIdPOP3::Connect(int timeoutMs) {
  TCurlSession& s = impl_->session;
  if (impl_->loggedOn && s.Connected()) return;
  s.Close();
  impl_->loggedOn = false;
  Request(*this, s, "", "NOOP", false, timeoutMs);
  impl_->loggedOn = true;
}

bool TIdPOP3::Connected() { return impl_->loggedOn && impl_->session.Connected(); }

int TIdPOP3::CheckMessages() {
  TCurlSession& s = impl_->session;
  RequireConnection(s, impl_->loggedOn);
  Request(*this, s, "", "STAT", false, -1);
  // "+OK count size"
  size_t p = s.lastReply.find("+OK");
  if (p == std::string::npos) throw EIdException("Unexpected reply to STAT: " + s.lastReply);
  const char* q = s.lastReply.c_str() + p + 3;
  char* end = nullptr;
  long n = std::strtol(q, &end, 10);
  if (end == q || n < 0 || n > 10000000) throw EIdException("Unexpected reply to STAT: " + s.lastReply);
  return static_cast<int>(n);
}

bool TIdPOP3::RetrieveHeader(int msgNum, TIdMessage& msg) {
  TCurlSession& s = impl_->session;
  CheckNumber(msgNum);
  RequireConnection(s, impl_->loggedOn);
  std::string raw = Request(*this, s, "", "TOP " + std::to_string(msgNum) + " 0", true, -1);
  msg.LoadFromString(raw, true);
  return true;
}

std::string TIdPOP3::RetrieveRaw(int msgNum) {
  TCurlSession& s = impl_->session;
  CheckNumber(msgNum);
  RequireConnection(s, impl_->loggedOn);
  return Request(*this, s, std::to_string(msgNum), "", true, -1);
}

bool TIdPOP3::Retrieve(int msgNum, TIdMessage& msg) {
  std::string raw = RetrieveRaw(msgNum);
  msg.LoadFromString(raw, false);
  return true;
}

bool TIdPOP3::Delete(int msgNum) {
  TCurlSession& s = impl_->session;
  CheckNumber(msgNum);
  RequireConnection(s, impl_->loggedOn);
  Request(*this, s, "", "DELE " + std::to_string(msgNum), false, -1);
  return true;
}

void TIdPOP3::Disconnect() {
  impl_->loggedOn = false;
  impl_->session.Close();
}

std::string TIdPOP3::LastReply() const { return impl_->session.lastReply; }
