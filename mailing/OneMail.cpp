#include "mailing/OneMail.h"

#include <exception>

#include "db/DataSet.h"
#include "mailing/MailClient.h"
#include "mailing/Merge.h"
#include "net/IdDNS.h"

namespace {
const char* const SentText = "Email is Sent Successfully";
}

TOneMail::TOneMail(TSendStateOwner& state, ISendCurrentView& view, const TProfile& account, int port,
                   const TPrepareProject& project, TMerger& merge, TDataSet& table)
    : state_(state), view_(view), account_(account) {
  StopMode = smSuspend;
  SetUpClient(SMTP, account_, port);
  SetUpMessage(Msg, account_, project.MailMode == mmHtml ? "text/html" : "text/plain", project.Charset,
               project.Attachments);
  Msg.Recipients.Clear();
  if (project.ToAddr.empty()) {
    view_.ShowError("Email address not found");
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
  Synchronize([this, text = result_] { view_.ShowSendResult(text); });
}

void TOneMail::SetIdle() {
  Synchronize([this] { state_.Set(ssIdle); });
}

void TOneMail::Deliver() {
  try {
    SMTP.Connect();
    SMTP.Send(Msg);
    DisconnectQuietly(SMTP);
    result_ = SentText;
  } catch (const std::exception& e) {
    result_ = e.what();
    DisconnectQuietly(SMTP);
  }
  ShowResult();
}

void TOneMail::DeliverDirect() {
  DisconnectQuietly(SMTP);
  MXList.clear();
  // No recipient, no domain to ask for: the same words as the mail layer's.
  if (Msg.Recipients.Count() == 0 || Msg.Recipients[0].Address.empty()) {
    result_ = "No recipient address";
    ShowResult();
    return;
  }
  const std::string domain = RecipientDomain(Msg.Recipients[0].Address);
  if (!GetMailServers(account_.DnsServer, domain, MXList) || MXList.empty()) {
    result_ = "Mail Server not found";
    ShowResult();
    return;
  }
  if (DeliverToExchangers(SMTP, Msg, MXList, [this](const std::string& error) {
        result_ = error;
        return true;
      }))
    result_ = SentText;
  ShowResult();
}

void TOneMail::Run() {
  if (state_.State() == ssSending) {
    if (account_.DirectDelivery)
      DeliverDirect();
    else
      Deliver();
  }
  Stop();
  SetIdle();
}

TSendCurrent::~TSendCurrent() { mail_.reset(); }

void TSendCurrent::Click(TDataSet* table, const TPrepareProject& project, const TProfile* account, TMerger& merge) {
  if (state_.State() != ssIdle) return;
  if (!table || !table->Active()) {
    view_.ShowError("Table is Closed");
    return;
  }
  if (table->IsEmpty()) {
    view_.ShowError("Table is Empty");
    return;
  }
  if (!account) {
    view_.ShowError("Account is not selected");
    return;
  }
  int port = 0;
  std::string error;
  if (!SmtpPortOf(*account, port, error)) {
    view_.ShowError(error);
    return;
  }
  state_.Set(ssSending);
  mail_.reset();
  try {
    mail_ = std::make_unique<TOneMail>(state_, view_, *account, port, project, merge, *table);
  } catch (const std::exception& e) {
    view_.ShowError(e.what());
  }
  if (!mail_ || !mail_->Started()) state_.Set(ssIdle);
}
