#include "mailing/MailClient.h"

#include <exception>

#include "platform/SysUtils.h"

bool SmtpPortOf(const TProfile& account, int& port, std::string& error) {
  int value = 0;
  const std::string text = Trim(account.SmtpPort);
  bool digits = !text.empty() && text.size() <= 5;
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  if (digits) value = std::stoi(text);
  if (!digits || value < 1 || value > 65535) {
    error = "The SMTP port \"" + account.SmtpPort + "\" of the account \"" + account.AccountName +
            "\" is not a port number (1 to 65535).";
    return false;
  }
  port = value;
  return true;
}

void SetUpClient(TIdSMTP& smtp, const TProfile& account, int port) {
  smtp.MailAgent.clear();
  smtp.Host = account.SmtpServer;
  smtp.Port = port;
  smtp.Username = account.UserId;
  if (account.RequiredAuthentication) {
    smtp.AuthenticationType = atLogin;
    smtp.Password = account.Password;
  } else {
    smtp.AuthenticationType = atNone;
    smtp.Password.clear();
  }
}

void SetUpMessage(TIdMessage& msg, const TProfile& account, const std::string& contentType, const std::string& charset,
                  const std::vector<std::string>& attachments) {
  msg.From = TIdEMailAddressItem(account.Email, account.Name);
  msg.ReplyTo.Clear();
  msg.ReplyTo.Add(account.ReplyTo);
  msg.ContentType = contentType;
  msg.CharSet = charset;
  for (const auto& file : attachments) msg.MessageParts.AddAttachment(file);
}

void SetMessageContent(TIdMessage& msg, const std::string& to, const std::string& subject, const std::string& body) {
  msg.Recipients.Clear();
  msg.Recipients.Add(to);
  msg.SetBodyText(body);
  msg.Subject = subject;
}

std::string RecipientDomain(const std::string& address) {
  const size_t at = address.find('@');
  return at == std::string::npos ? address : address.substr(at + 1);
}

void DisconnectQuietly(TIdSMTP& smtp) {
  try {
    if (smtp.Connected()) smtp.Disconnect();
  } catch (const std::exception&) {
  }
}

bool DeliverToExchangers(TIdSMTP& smtp, const TIdMessage& msg, const std::vector<std::string>& exchangers,
                         const std::function<bool(const std::string& error)>& failed) {
  for (const auto& host : exchangers) {
    smtp.Host = host;
    try {
      smtp.Connect();
      smtp.Send(msg);
    } catch (const std::exception& e) {
      DisconnectQuietly(smtp);
      if (!failed(e.what())) return false;
      continue;
    }
    DisconnectQuietly(smtp);
    return true;
  }
  return false;
}
