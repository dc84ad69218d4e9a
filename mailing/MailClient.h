#pragma once
// How the mailing run's senders and Send Current set up their SMTP client and
// message from the active account, and the small steps both deliveries share.

#include <functional>
#include <string>
#include <vector>

#include "net/IdMessage.h"
#include "net/IdSMTP.h"
#include "workspace/Profile.h"

// The account's SMTP port as a number (1..65535). False with a message for
// the user when the text is not one: nothing may be sent then.
bool SmtpPortOf(const TProfile& account, int& port, std::string& error);

// Host, port, user, and LOGIN with the password only when the account asks
// for authentication; no mailer name.
void SetUpClient(TIdSMTP& smtp, const TProfile& account, int port);

// Sender address and display name, exactly one reply address (empty when the
// account has none), content type, charset and one attachment per file.
void SetUpMessage(TIdMessage& msg, const TProfile& account, const std::string& contentType, const std::string& charset,
                  const std::vector<std::string>& attachments);

// The one recipient (no display name), the subject and the body.
void SetMessageContent(TIdMessage& msg, const std::string& to, const std::string& subject, const std::string& body);

// The text after the first "@", the whole text when there is none.
std::string RecipientDomain(const std::string& address);

// Disconnects when connected; a failure of the disconnect is of no interest.
void DisconnectQuietly(TIdSMTP& smtp);

// Direct delivery: the exchangers in their order, each on a connection of its
// own at the account's port, until one takes the message (true). Failed hears
// each refusal once its connection is closed; false from it tries no further.
bool DeliverToExchangers(TIdSMTP& smtp, const TIdMessage& msg, const std::vector<std::string>& exchangers,
                         const std::function<bool(const std::string& error)>& failed);
