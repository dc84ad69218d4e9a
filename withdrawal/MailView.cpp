#include "withdrawal/MailView.h"

#include <cmath>
#include <exception>
#include <limits>

#include "platform/SysUtils.h"
#include "toolkit/HTMLPars.h"

namespace {

bool IsViewerBlank(char c) { return static_cast<unsigned char>(c) < 14 || c == ' '; }

// A part counts as HTML when its first character after the leading blanks
// (its last one when all are blank) is "<".
bool LooksLikeHtml(const std::string& text) {
  for (char c : text)
    if (!IsViewerBlank(c)) return c == '<';
  return !text.empty() && text.back() == '<';
}

// The text items of an HTML text, one per line; the text as it is when that
// gives nothing (or the conversion fails).
std::string HtmlAsText(const std::string& raw) {
  std::string converted;
  try {
    HtmlToTextLines(raw, converted);
  } catch (const std::exception&) {
    converted.clear();
  }
  return converted.empty() ? raw : converted;
}

// A single-part message declared as HTML (the usual reply from web mail).
bool IsHtmlMessage(const TIdMessage& message) {
  std::string type = LowerCase(Trim(message.ContentType));
  type = Trim(type.substr(0, type.find(';')));
  return type == "text/html";
}

double DateKey(const TPop3Mail& item) {
  double d = item.Message ? item.Message->Date : 0;
  return std::isnan(d) ? -std::numeric_limits<double>::infinity() : d;
}

}  // namespace

std::string MessageViewerText(const TIdMessage& message) {
  const TIdMessageParts& parts = message.MessageParts;
  if (parts.Count() == 0) return IsHtmlMessage(message) ? HtmlAsText(message.BodyText()) : message.BodyText();
  const TIdText* last = nullptr;
  for (int i = 0; i < parts.Count(); ++i) {
    if (parts[i].Kind() != TIdPartKind::Text) continue;
    last = static_cast<const TIdText*>(&parts[i]);
    std::string text = JoinLines(last->Body);
    if (!text.empty() && !LooksLikeHtml(text)) return text;
  }
  if (!last) return {};
  return HtmlAsText(JoinLines(last->Body));
}

int InsertMailNewestFirst(TPop3MailList& list, TPop3Mail item) {
  const double key = DateKey(item);
  size_t at = 0;
  while (at < list.size() && DateKey(list[at]) > key) ++at;
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  return static_cast<int>(at);
}
