#pragma once
// POP3 client. Log-on with USER and PASS (APOP is not used). Messages are numbered from 1. One session runs from Connect to
// Disconnect: a refused command keeps it, and a command on a closed connection throws rather
// than logging on again, so deletions marked in one session are never lost silently.

#include <memory>
#include <string>

#include "net/IdMessage.h"

class TIdPOP3 {
public:
  TIdPOP3();
  ~TIdPOP3();
  TIdPOP3(const TIdPOP3&) = delete;
  TIdPOP3& operator=(const TIdPOP3&) = delete;

  std::string Host;
  int Port = 110;
  // On this port TLS starts with the connection (POP3S); on any other the connection turns
  // to TLS when the server offers STLS, before USER and PASS. Either way the certificate is
  // verified (the system's store, or the file named by the environment variable
  // LARKPOST_CA_FILE).
  int ImplicitTlsPort = 995;
  std::string Username;
  std::string Password;
  int ConnectTimeoutMs = 30000;
  int ReadTimeoutMs = 60000;
  // A message larger than this is refused rather than held in memory.
  size_t MaxMessageSize = size_t(256) << 20;

  // Opens the connection and logs on. TimeoutMs -1 takes ConnectTimeoutMs.
  void Connect(int timeoutMs = -1);
  bool Connected();
  // STAT: the number of messages.
  int CheckMessages();
  // Every command throws EIdException with the server's "-ERR ..." line when refused.
  // TOP n 0: fills the message's header properties (Clear first).
  bool RetrieveHeader(int msgNum, TIdMessage& msg);
  // RETR n: fills the whole message (Clear first), attachments saved to files.
  bool Retrieve(int msgNum, TIdMessage& msg);
  // RETR n as received, dot-stuffing removed.
  std::string RetrieveRaw(int msgNum);
  // DELE n: marks the message; the server removes it at Disconnect.
  bool Delete(int msgNum);
  // QUIT (commits deletions) and close.
  void Disconnect();

  std::string LastReply() const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
