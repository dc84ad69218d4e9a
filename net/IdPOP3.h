#pragma once
// POP3 client. Log-on with USER and PASS (APOP is not used). Messages are numbered from 1. One session runs from Connect to
// Disconnect: a refused command keeps it, and a command on a closed connection throws rather
// than logging on again, so deletions marked in one session are never lost silently.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/IdMessage.h"

// A message larger than the client takes (TIdPOP3::MaxMessageSize), as the server stated
// it or as it arrived; the session stays in step.
class EIdMessageTooLarge : public EIdException {
public:
  explicit EIdMessageTooLarge(size_t limit);
};

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
  // A message larger than this is refused rather than held in memory: Retrieve reads the
  // rest past and throws EIdMessageTooLarge.
  size_t MaxMessageSize = size_t(256) << 20;
  // Called about every WaitSliceMs while a call waits for the server (connecting, a reply,
  // a message on its way), on the calling thread: a UI thread's caller keeps its window
  // painting. False ends the wait: the connection is dropped (no QUIT) and the call throws.
  std::function<bool()> OnWait;
  int WaitSliceMs = 50;

  // Opens the connection and logs on. TimeoutMs -1 takes ConnectTimeoutMs. A greeting
  // that does not start with "+OK" fails at once.
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
  // LIST n: the size in octets the server states for the message, asked before RETR so
  // that an over-size message need not cross the link. -1 when the server does not say:
  // the command refused ("-ERR", an older server), a number below 1, or a reply that does
  // not read "+OK n size" (taken as the whole answer: the session goes on). A size beyond
  // the type's range is its largest value. A lost connection or a time-out throws, as for
  // any command. The size is the server's word only: Retrieve still holds to
  // MaxMessageSize.
  int64_t RetrieveMsgSize(int msgNum);
  // DELE n: marks the message; the server removes it at Disconnect.
  bool Delete(int msgNum);
  // QUIT (commits deletions) and close.
  void Disconnect();

  std::string LastReply() const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
