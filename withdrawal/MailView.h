#pragma once
// What the withdrawal page shows of the local messages: the viewer's text of
// one message (received mail is hostile: only ever text, never rendered), and
// where a newly stored message goes in the newest-first list.

#include <string>

#include "withdrawal/ExtractData.h"

// No parts: the message body, converted from HTML to text lines when the
// message is declared "text/html" (as it is when that gives nothing). Otherwise the first text part that is not
// empty and does not start with "<" after its leading blanks; failing that,
// the last text part converted from HTML to text lines, or that part as it
// is when the conversion gives nothing (empty without any text part).
std::string MessageViewerText(const TIdMessage& message);

// Inserts the item where SortMessagesByDate would put it as the list's last
// item (before every item of the same date), and returns its index.
int InsertMailNewestFirst(TPop3MailList& list, TPop3Mail item);
