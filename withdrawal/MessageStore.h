#pragma once
// The stored message record of the local mailbox "Popmail.dat" and the time
// text that names a stored message.

#include <string>

#include "net/IdMessage.h"
#include "withdrawal/Container.h"

constexpr const char* PopmailFileName = "Popmail.dat";
constexpr const char* InboxFolderName = "Inbox";

// Writes the message record at the cursor (taken by value: the caller's cursor
// does not move).
void WriteMessage(logdisk cursor, const TIdMessage& message);
// Reads the record at the cursor into a message that has no parts yet. With
// skipBodies the message Body and every text part's Body are passed over and
// stay empty. A damaged record stops at the damage: what was read stays.
void ReadMessage(logdisk cursor, TIdMessage& message, bool skipBodies);

// The date-time value as the general 15-digit text with the locale's decimal
// separator; characters 1-8 name a stored message and 9-16 are its type.
std::string MessageTimeText(TDateTime value);
// The local date-time to the millisecond.
TDateTime MessageTimeNow();
