#pragma once
// SMTP client. One client belongs to one thread; Disconnect may also be called from another
// thread to cut a connection that is busy (the transfer is aborted and the owner's call
// throws).

#include <memory>
#include <string>

#include "net/IdMessage.h"

enum TAuthenticationType { atNone, atLogin };

class TIdSMTP {
public:
  TIdSMTP();
  ~TIdSMTP();
  TIdSMTP(const TIdSMTP&) = delete;
  TIdSMTP& operator=(const TIdSMTP&) = delete;

  std::string Host;
  int Port = 25;
  // On this port TLS starts with the connection (SMTPS); on any other the connection turns
  // to TLS when the server offers STARTTLS, before any log-on. Either way the certificate is
  // verified (the system's store, or the file named by the environment variable
  // LARKPOST_CA_FILE).
  int ImplicitTlsPort = 465;
  std::string Username;
  std::string Password;
  TAuthenticationType AuthenticationType = atNone;  // atLogin: AUTH LOGIN
  std::string MailAgent;                            // "X-Mailer" when not empty
  std::string HeloName;                             // EHLO name; empty: this host's name
  int ConnectTimeoutMs = 30000;                     // connecting
  int ReadTimeoutMs = 60000;                        // waiting for one server reply

  // Opens the connection and logs on. TimeoutMs -1 takes ConnectTimeoutMs.
  void Connect(int timeoutMs = -1);
  bool Connected();
  // Sends the message on the open connection (opening a new one when it was closed).
  // Envelope: From's address, then every address of Recipients, CCList and BccList. Every
  // address is checked first (TIdMessage::ValidateAddresses): a bad one throws before
  // anything reaches the server.
  void Send(const TIdMessage& msg);
  // QUIT and close; does nothing when not connected. From another thread than the one
  // using the client it cuts: the connection ends at once, without QUIT.
  void Disconnect();

  // The last reply line of the server (for diagnostics).
  std::string LastReply() const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
