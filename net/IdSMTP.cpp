#include "net/IdSMTP.h"

#include "net/NetCurl.h"
#include "net/NetInternal.h"

struct TIdSMTP::Impl {
  TCurlSession session;
};

TIdSMTP::TIdSMTP() : impl_(std::make_unique<Impl>()) {}

TIdSMTP::~TIdSMTP() = default;

namespace {

void Prepare(TIdSMTP& c, TCurlSession& s, int timeoutMs) {
  if (!NetValidHost(c.Host)) throw EIdException("Invalid SMTP host name \"" + c.Host + "\"");
  if (c.Port <= 0 || c.Port > 65535) throw EIdException("Invalid SMTP port " + std::to_string(c.Port));
  for (unsigned char ch : c.HeloName)
    if (!(std::isalnum(ch) || ch == '.' || ch == '-' || ch == '[' || ch == ']' || ch == ':'))
      throw EIdException("Invalid EHLO name \"" + c.HeloName + "\"");
  CURL* h = s.Handle();
  const bool implicitTls = c.Port == c.ImplicitTlsPort;
  s.SetTls(implicitTls);
  std::string url = (implicitTls ? "smtps://" : "smtp://") + NetUrlHost(c.Host) + ":" + std::to_string(c.Port) + "/" + c.HeloName;
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  // A transfer that stalls (the peer stops reading or sending) ends like a reply that never comes.
  s.SetTimeouts(timeoutMs > 0 ? timeoutMs : c.ConnectTimeoutMs, c.ReadTimeoutMs);
  if (c.AuthenticationType == atLogin) {
    curl_easy_setopt(h, CURLOPT_USERNAME, c.Username.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, c.Password.c_str());
    curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
  } else {
    curl_easy_setopt(h, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(h, CURLOPT_PASSWORD, nullptr);
    curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, nullptr);
  }
}

[[noreturn]] void Fail(TIdSMTP& c, TCurlSession& s, CURLcode rc) {
  if (!s.lastError.empty() && !s.WasCut()) throw EIdException(s.lastError);
  throw EIdException(s.Describe(rc, c.Host, c.Port));
}

}  // namespace

void TIdSMTP::Connect(int timeoutMs) {
  TCurlSession& s = impl_->session;
  if (s.Connected()) return;
  Prepare(*this, s, timeoutMs);
  CURL* h = s.Handle();
  // A NOOP that leaves the logged-on connection in the handle.
  curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(h, CURLOPT_MAIL_FROM, nullptr);
  curl_easy_setopt(h, CURLOPT_MAIL_RCPT, nullptr);
  curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "NOOP");
  curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
  s.maxBody = 0;
  CURLcode rc = s.Perform();
  if (s.HasHandle()) curl_easy_setopt(s.Handle(), CURLOPT_CUSTOMREQUEST, nullptr);
  if (rc != CURLE_OK) Fail(*this, s, rc);
}

bool TIdSMTP::Connected() { return impl_->session.Connected(); }

void TIdSMTP::Send(const TIdMessage& msg) {
  TCurlSession& s = impl_->session;
  // Refuse bad addresses before anything reaches the server.
  msg.ValidateAddresses();
  std::vector<std::string> rcpts;
  for (const TIdEMailAddressList* l : {&msg.Recipients, &msg.CCList, &msg.BccList})
    for (auto& a : *l)
      if (!a.Address.empty()) rcpts.push_back("<" + a.Address + ">");
  if (rcpts.empty()) throw EIdException("No recipient address");
  if (msg.From.Address.empty()) throw EIdException("No sender address");
  s.upload = NetEncodeMessage(msg, MailAgent);
  s.uploadPos = 0;

  Prepare(*this, s, -1);
  CURL* h = s.Handle();
  struct curl_slist* list = nullptr;
  for (auto& r : rcpts) list = curl_slist_append(list, r.c_str());
  std::string from = "<" + msg.From.Address + ">";
  curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, nullptr);
  curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(h, CURLOPT_MAIL_RCPT, list);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(s.upload.size()));
  s.maxBody = 0;
  CURLcode rc = s.Perform();
  if (s.HasHandle()) {
    curl_easy_setopt(s.Handle(), CURLOPT_MAIL_RCPT, nullptr);
    curl_easy_setopt(s.Handle(), CURLOPT_MAIL_FROM, nullptr);
    curl_easy_setopt(s.Handle(), CURLOPT_UPLOAD, 0L);
  }
  curl_slist_free_all(list);
  s.upload.clear();
  if (rc != CURLE_OK) Fail(*this, s, rc);
}

// After a time-out or a dropped connection the session holds no connection any more (it was
// dropped at once); QUIT goes only to a connection still answering.
void TIdSMTP::Disconnect() {
  TCurlSession& s = impl_->session;
  if (s.Connected()) s.Close();
  else s.Drop();
}

std::string TIdSMTP::LastReply() const { return impl_->session.lastReply; }
