#include "net/IdMessage.h"

#include "platform/Paths.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

// Characters that force a display name into quotes (RFC 5322 specials and controls).
bool NeedsQuotes(const std::string& name) {
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) return true;
    switch (c) {
      case '(':
      case ')':
      case '<':
      case '>':
      case '[':
      case ']':
      case ':':
      case ';':
      case '@':
      case '\\':
      case ',':
      case '.':
      case '"': return true;
      default: break;
    }
  }
  return !name.empty() && (name.front() == ' ' || name.back() == ' ');
}

std::string Unquote(const std::string& s) {
  std::string t = TrimWs(s);
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') {
    std::string out;
    for (size_t i = 1; i + 1 < t.size(); ++i) {
      if (t[i] == '\\' && i + 2 < t.size()) ++i;
      out += t[i];
    }
    return out;
  }
  return t;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

}  // namespace

// ---- body

// A mailing run sets a new body of about the same shape for every item: assigning into the
// strings already there spares an allocation per line.
void TIdMessage::SetBodyText(const std::string& text) {
  size_t count = 0;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    size_t j = text.find_first_of("\r\n", i);
    if (j == std::string::npos) j = n;
    if (count < Body.size())
      Body[count].assign(text, i, j - i);
    else
      Body.emplace_back(text, i, j - i);
    ++count;
    if (j < n && text[j] == '\r' && j + 1 < n && text[j + 1] == '\n') ++j;
    i = j + 1;
  }
  Body.resize(count);
}

// ---- addresses

std::string TIdEMailAddressItem::Text() const {
  if (Name.empty()) return Address;
  std::string n;
  if (NeedsQuotes(Name)) {
    n = "\"";
    for (char c : Name) {
      if (c == '"' || c == '\\') n += '\\';
      n += c;
    }
    n += "\"";
  } else {
    n = Name;
  }
  return n + " <" + Address + ">";
}

void TIdEMailAddressItem::SetText(const std::string& text) {
  Clear();
  std::string t = TrimWs(text);
  bool inQuote = false;
  size_t lt = std::string::npos;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (inQuote) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inQuote = false;
    } else if (c == '"') {
      inQuote = true;
    } else if (c == '<') {
      lt = i;
      break;
    }
  }
  if (lt != std::string::npos) {
    Name = Unquote(t.substr(0, lt));
    size_t gt = t.find('>', lt + 1);
    Address = TrimWs(t.substr(lt + 1, gt == std::string::npos ? std::string::npos : gt - lt - 1));
    return;
  }
  // "address (Name)"
  size_t open = t.find('(');
  if (open != std::string::npos && t.back() == ')') {
    Address = TrimWs(t.substr(0, open));
    Name = TrimWs(t.substr(open + 1, t.size() - open - 2));
    return;
  }
  Address = Unquote(t);
}

TIdEMailAddressItem& TIdEMailAddressList::Add() { return items_.emplace_back(); }

TIdEMailAddressItem& TIdEMailAddressList::Add(const std::string& address, const std::string& name) {
  return items_.emplace_back(address, name);
}

void TIdEMailAddressList::Delete(int i) {
  if (i >= 0 && i < Count()) items_.erase(items_.begin() + i);
}

std::string TIdEMailAddressList::EMailAddresses() const {
  std::string out;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i) out += ", ";
    out += items_[i].Text();
  }
  return out;
}

void TIdEMailAddressList::SetEMailAddresses(const std::string& text) {
  items_.clear();
  std::string cur;
  bool inQuote = false;
  int angle = 0, paren = 0;
  auto flush = [&] {
    if (!TrimWs(cur).empty()) {
      TIdEMailAddressItem item;
      item.SetText(cur);
      if (!item.Empty()) items_.push_back(item);
    }
    cur.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inQuote) {
      cur += c;
      if (c == '\\' && i + 1 < text.size())
        cur += text[++i];
      else if (c == '"')
        inQuote = false;
      continue;
    }
    if (c == '"')
      inQuote = true;
    else if (c == '<')
      ++angle;
    else if (c == '>' && angle > 0)
      --angle;
    else if (c == '(')
      ++paren;
    else if (c == ')' && paren > 0)
      --paren;
    else if ((c == ',' || c == ';') && angle == 0 && paren == 0) {
      flush();
      continue;
    }
    cur += c;
  }
  flush();
}

// ---- headers

std::string TIdHeaderList::NameOf(const std::string& line) {
  size_t p = line.find(':');
  return TrimWs(p == std::string::npos ? line : line.substr(0, p));
}

std::string TIdHeaderList::ValueOf(const std::string& line) {
  size_t p = line.find(':');
  return p == std::string::npos ? std::string() : TrimWs(line.substr(p + 1));
}

int TIdHeaderList::IndexOfName(const std::string& name) const {
  for (size_t i = 0; i < size(); ++i) {
    const std::string n = NameOf((*this)[i]);
    if (n.size() == name.size()) {
      bool same = true;
      for (size_t k = 0; k < n.size() && same; ++k)
        same = std::tolower(static_cast<unsigned char>(n[k])) == std::tolower(static_cast<unsigned char>(name[k]));
      if (same) return static_cast<int>(i);
    }
  }
  return -1;
}

std::string TIdHeaderList::Values(const std::string& name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueOf((*this)[static_cast<size_t>(i)]);
}

void TIdHeaderList::SetValues(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) erase(begin() + i);
    return;
  }
  std::string line = name + ": " + value;
  if (i >= 0)
    (*this)[static_cast<size_t>(i)] = line;
  else
    push_back(line);
}

// ---- parts

TIdText& TIdMessageParts::AddText(TIdStrings body) {
  auto p = std::make_unique<TIdText>(std::move(body));
  p->ContentType = "text/plain";
  TIdText& ref = *p;
  parts_.push_back(std::move(p));
  return ref;
}

TIdAttachment& TIdMessageParts::AddAttachment(const std::string& fileName) {
  auto p = std::make_unique<TIdAttachment>(fileName);
  TIdAttachment& ref = *p;
  parts_.push_back(std::move(p));
  return ref;
}

void TIdMessageParts::Delete(int i) {
  if (i >= 0 && i < Count()) parts_.erase(parts_.begin() + i);
}

int TIdMessageParts::TextPartCount() const {
  int n = 0;
  for (auto& p : parts_) n += p->Kind() == TIdPartKind::Text;
  return n;
}

int TIdMessageParts::AttachmentCount() const {
  int n = 0;
  for (auto& p : parts_) n += p->Kind() == TIdPartKind::Attachment;
  return n;
}

// ---- message

TIdMessage::TIdMessage() = default;
TIdMessage::~TIdMessage() = default;
TIdMessage::TIdMessage(TIdMessage&&) noexcept = default;
TIdMessage& TIdMessage::operator=(TIdMessage&&) noexcept = default;

void TIdMessage::Clear() {
  BccList.Clear();
  Body.clear();
  CCList.Clear();
  CharSet.clear();
  ContentTransferEncoding.clear();
  ContentType.clear();
  Date = 0;
  ExtraHeaders.clear();
  From.Clear();
  Headers.clear();
  IsEncoded = false;
  MessageParts.Clear();
  MsgId.clear();
  NewsGroups.clear();
  Organization.clear();
  Priority = mpNormal;
  ReceiptRecipient.Clear();
  Recipients.Clear();
  References.clear();
  ReplyTo.Clear();
  Sender.Clear();
  Subject.clear();
  ContentDisposition.clear();
}

namespace {

// The address as an error message shows it: control characters spelled out, bounded.
std::string Shown(const std::string& address) {
  static const char hex[] = "0123456789ABCDEF";
  size_t cut = std::min<size_t>(address.size(), 200);
  while (cut < address.size() && cut > 0 && (static_cast<unsigned char>(address[cut]) & 0xC0) == 0x80) --cut;
  std::string out = "\"";
  for (unsigned char c : address.substr(0, cut)) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (IsControl(c))
      out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
    else
      out += static_cast<char>(c);
  }
  if (cut < address.size()) out += "...";
  return out + "\"";
}

// Characters that end an atom or separate addresses in a header or a SMTP command.
bool IsAddressSpecial(unsigned char c) {
  switch (c) {
    case ' ':
    case '\t':
    case ',':
    case ';':
    case '<':
    case '>':
    case '(':
    case ')':
    case '[':
    case ']':
    case ':':
    case '"':
    case '\\':
    case '@': return true;
    default: return false;
  }
}

}  // namespace

std::string AddressProblem(const std::string& address) {
  for (unsigned char c : address) {
    if (IsControl(c)) return "it holds a control character";
    if (c == '<' || c == '>') return "it holds an angle bracket";
  }
  size_t i = 0;
  if (!address.empty() && address[0] == '"') {
    // "quoted local part": anything printable, backslash escapes the next character
    for (i = 1; i < address.size() && address[i] != '"'; ++i)
      if (address[i] == '\\') ++i;
    if (i >= address.size()) return "a quote is not closed";
    ++i;
    if (i == 2) return "the part before \"@\" is empty";
  } else {
    for (; i < address.size() && address[i] != '@'; ++i) {
      unsigned char c = static_cast<unsigned char>(address[i]);
      if (c == ',' || c == ';') return "it holds more than one address";
      if (c == ' ' || c == '\t') return "it holds a blank";
      if (IsAddressSpecial(c)) return "it holds a character not allowed outside quotes";
    }
    if (i == 0 && i < address.size()) return "the part before \"@\" is empty";
  }
  if (i >= address.size()) return "it has no \"@\"";
  if (address[i] != '@') return "it holds a character not allowed outside quotes";
  const std::string domain = address.substr(i + 1);
  if (domain.empty()) return "the part after \"@\" is empty";
  if (domain.front() == '[' && domain.back() == ']' && domain.size() > 2) {
    // a domain literal: [192.0.2.1] or [IPv6:...]
    for (size_t k = 1; k + 1 < domain.size(); ++k) {
      unsigned char c = static_cast<unsigned char>(domain[k]);
      if (!(std::isalnum(c) || c == '.' || c == ':' || c == '-')) return "the address literal is not valid";
    }
    return {};
  }
  for (unsigned char c : domain) {
    if (c == ',' || c == ';' || c == '@') return "it holds more than one address";
    if (c == ' ' || c == '\t') return "it holds a blank";
    if (IsAddressSpecial(c)) return "it holds a character not allowed in a domain";
  }
  return {};
}

void TIdMessage::ValidateAddresses() const {
  auto check = [](const TIdEMailAddressItem& a, const char* role) {
    if (a.Address.empty()) return;
    std::string why = AddressProblem(a.Address);
    if (!why.empty())
      throw EIdException(std::string("Invalid ") + role + " address: " + Shown(a.Address) + " (" + why + ")");
  };
  check(From, "sender");
  check(Sender, "sender");
  for (auto& a : ReplyTo) check(a, "reply-to");
  check(ReceiptRecipient, "read-receipt");
  // A recipient given by a name alone ("John <>", "(John)") has no address at all: refused
  // rather than dropped, so the message never goes out without someone it names.
  auto recipient = [&](const TIdEMailAddressItem& a) {
    if (a.Address.empty() && !a.Name.empty())
      throw EIdException("Invalid recipient address: " + Shown(a.Name) + " (it has no \"@\")");
    check(a, "recipient");
  };
  for (auto& a : Recipients) recipient(a);
  for (auto& a : CCList) recipient(a);
  for (auto& a : BccList) recipient(a);
}

std::filesystem::path DefaultAttachmentFolder() { return std::filesystem::path(ResolveAppDir()) / "Attachments"; }
