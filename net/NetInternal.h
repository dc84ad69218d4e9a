#pragma once
// Shared inside net/ only (and by its tests): conversions and the wire form of a message.

#include <string>

#include "net/IdMessage.h"
#include "net/MimeCharset.h"

// The message as sent, with "X-Mailer" when MailAgent is not empty.
std::string NetEncodeMessage(const TIdMessage& msg, const std::string& mailAgent);
