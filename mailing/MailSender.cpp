#include "mailing/MailSender.h"

#include <exception>

#include "mailing/MailClient.h"
#include "mailing/MailRun.h"
#include "net/IdDNS.h"

TMailSender::TMailSender(TMailRun& run) : run_(run) {
  StopMode = smSuspend;
  const TMailList& list = run.Mailing().MailList;
  SetUpClient(SMTP, run.Account(), run.Port());
  SetUpMessage(Msg, run.Account(), list.ContentType, list.Charset, list.Attachments);
}

// The client and the message go only after the thread has ended.
TMailSender::~TMailSender() { TerminateAndWaitFor(); }

void TMailSender::Failed(const std::string& message) {
  ++Retries;
  Status = asError;
  ErrorText = message;
}

void TMailSender::HandleRunException(const std::string& message) {
  Failed(message);
  Working = false;
}

void TMailSender::SendThroughServer(int index) {
  try {
    if (!SMTP.Connected()) SMTP.Connect();
    SMTP.Send(Msg);
  } catch (const std::exception& e) {
    Failed(e.what());
    return;
  }
  Status = asSent;
  ErrorText.clear();
  Retries = 0;
  run_.RecordSuccess(index);
}

void TMailSender::SendDirect(int index) {
  DisconnectQuietly(SMTP);
  MXList.clear();
  const std::string domain = RecipientDomain(run_.Mailing().MailList.Items[static_cast<size_t>(index)].To);
  if (!GetMailServers(run_.Account().DnsServer, domain, MXList) || MXList.empty()) {
    Failed("No response from DNS server");
    return;
  }
  const bool sent = DeliverToExchangers(SMTP, Msg, MXList, [this](const std::string& error) {
    Failed(error);
    // A cut while aborting ends the attempt: no further exchanger is tried.
    return !run_.Aborting();
  });
  // Given up by the supervisor meanwhile: the item stays neither sent nor failed.
  if (sent && Retries < MaxRetries) {
    Status = asSent;
    ErrorText.clear();
    Retries = 0;
    run_.RecordSuccess(index);
  }
}

void TMailSender::Run() {
  Status = asNone;
  if (Retries == 0) {
    ItemIndex = run_.NextPendingItem();
    StartTime = run_.Clock().Now();
  }
  const int index = ItemIndex;
  if (index >= 0) {
    const TMailItem& item = run_.Mailing().MailList.Items[static_cast<size_t>(index)];
    SetMessageContent(Msg, item.To, item.Subject, item.Body);
    if (run_.Account().DirectDelivery)
      SendDirect(index);
    else
      SendThroughServer(index);
  }
  if (run_.Aborting() || Retries > 0 || ItemIndex < 0) {
    Working = false;
    Stop();
  }
}

TConnector::TConnector(TMailRun& run) : run_(run) { StopMode = smSuspend; }

TConnector::~TConnector() { TerminateAndWaitFor(); }

void TConnector::Run() {
  try {
    const int total = static_cast<int>(run_.senders_.size());
    for (auto& s : run_.senders_) {
      s->SMTP.Connect();
      const int connected = ++run_.connectedCount_;
      run_.relay_.Status(std::to_string(connected) + " threads of " + std::to_string(total) + " connected");
      if (run_.Aborting()) break;
    }
    if (run_.Aborting()) {
      Synchronize([this] {
        run_.FlushDisplay(true);
        run_.ShowStatus("Mailing Aborted");
        run_.SetSendState(ssIdle);
        run_.CloseRunFiles();
        run_.FreeSenders();
      });
    } else {
      Synchronize([this] {
        run_.FlushDisplay(true);
        run_.ShowStatus("Connected");
        run_.SetTimer3(true);
      });
    }
  } catch (const std::exception& e) {
    const std::string text = e.what();
    Synchronize([this, &text] {
      run_.CloseRunFiles();
      ErrorText = text;
      run_.FlushDisplay(true);
      run_.ShowError(text);
      run_.ShowStatus("failure of Connection to SMTP Server");
      run_.SetSendState(ssIdle);
      run_.FreeSenders();
    });
  }
  Terminate();
}
