#include "mailing/OneMail.h"

#include <exception>

#include "db/DataSet.h"
#include "mailing/MailClient.h"
#include "mailing/MailRun.h"
#include "mailing/Merge.h"
#include "net/IdDNS.h"
#include "platform/MessageBox.h"

namespace {
const char* const SentText = "Email is Sent Successfully";
}

TOneMail::TOneMail(TMailRun& run, const TProfile& account, int port, const TPrepareProject& project,
                   TMerger& merge, TDataSet& table)
    : run_(run), account_(account) {
  StopMode = smSuspend;
  run_.ResultText.clear();
  SetUpClient(SMTP, account_, port);
  SetUpMessage(Msg, account_, project.MailMode == mmHtml ? "text/html" : "text/plain", project.Charset, project.Attachments);
  Msg.Recipients.Clear();
  if (project.ToAddr.empty()) {
    ErrorBox("Email address not found");
    return;
  }
  ITagValueSource& values = merge.Values();
  values.SetFieldSource(table);
  std::string to;
  if (merge.GetTagValue(project.ToAddr, to, true)) Msg.Recipients.Add(to);
  if (values.EvalStopFlag()) return;
  Msg.Subject = merge.ExpandTags(project.Subject, true);
  if (values.EvalStopFlag()) return;
  Msg.SetBodyText(merge.ExpandTags(project.MailMode == mmHtml ? project.HtmlSource : project.PlainText, true));
  if (values.EvalStopFlag()) return;
  started_ = true;
  Start();
}

TOneMail::~TOneMail() { TerminateAndWaitFor(); }

void TOneMail::ShowResult() {
  Synchronize([this] { InfoBox(run_.ResultText); });
}

void TOneMail::SetIdle() {
  Synchronize([this] { run_.SetSendState(ssIdle); });
}

void TOneMail::Deliver() {
  try {
    SMTP.Connect();
    SMTP.Send(Msg);
    DisconnectQuietly(SMTP);
    run_.ResultText = SentText;
  } catch (const std::exception& e) {
    run_.ResultText = e.what();
    DisconnectQuietly(SMTP);
  }
  ShowResult();
}

void TOneMail::DeliverDirect() {
  DisconnectQuietly(SMTP);
  MXList.clear();
  // No recipient, no domain to ask for: the same words as the mail layer's.
  if (Msg.Recipients.Count() == 0 || Msg.Recipients[0].Address.empty()) {
    run_.ResultText = "No recipient address";
    ShowResult();
    return;
  }
  const std::string domain = RecipientDomain(Msg.Recipients[0].Address);
  if (!GetMailServers(account_.DnsServer, domain, MXList) || MXList.empty()) {
    run_.ResultText = "Mail Server not found";
    ShowResult();
    return;
  }
  for (const auto& host : MXList) {
    SMTP.Host = host;  // the port stays the account's
    try {
      SMTP.Connect();
      SMTP.Send(Msg);
    } catch (const std::exception& e) {
      run_.ResultText = e.what();
      DisconnectQuietly(SMTP);
      continue;
    }
    DisconnectQuietly(SMTP);
    run_.ResultText = SentText;
    break;
  }
  ShowResult();
}

void TOneMail::Run() {
  if (run_.SendState() == ssSending) {
    if (account_.DirectDelivery)
      DeliverDirect();
    else
      Deliver();
  }
  Stop();
  SetIdle();
}

void SendCurrent1Click(TMailRun& run, TDataSet* table, const TPrepareProject& project, const TProfile* account,
                       TMerger& merge) {
  if (run.SendState() != ssIdle) return;
  if (!table || !table->Active()) {
    ErrorBox("Table is Closed");
    return;
  }
  if (table->IsEmpty()) {
    ErrorBox("Table is Empty");
    return;
  }
  if (!account) {
    ErrorBox("Account is not selected");
    return;
  }
  int port = 0;
  std::string error;
  if (!SmtpPortOf(*account, port, error)) {
    ErrorBox(error);
    return;
  }
  run.SetSendState(ssSending);
  run.OneMail.reset();
  try {
    run.OneMail = std::make_unique<TOneMail>(run, *account, port, project, merge, *table);
  } catch (const std::exception& e) {
    ErrorBox(e.what());
  }
  if (!run.OneMail || !run.OneMail->Started()) run.SetSendState(ssIdle);
}
