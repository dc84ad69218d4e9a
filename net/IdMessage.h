#pragma once
// The mail message model: a message with its headers, addresses, body lines and parts
// (text parts and attachments). It is built for sending (TIdSMTP::Send) and filled from
// received mail (TIdPOP3::Retrieve / RetrieveHeader). All text is UTF-8; conversion to and
// from the declared character set happens only when the message is encoded or parsed.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/SysUtils.h"  // TDateTime
#include "platform/TextLines.h"

// Every failure of the mail layer (SMTP, POP3, MIME) is one of these; its text is the
// server's reply line where there is one.
class EIdException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Must run once on the main thread before any worker thread starts (curl and GMime
// global set-up). Later calls do nothing. Every client calls it too, as a safety net.
void InitMailLibraries();

using TIdStrings = std::vector<std::string>;


// One address: display name and address. Text form: the address alone when there is no
// name, else the name (quoted when it holds specials) followed by " <address>".
class TIdEMailAddressItem {
public:
  TIdEMailAddressItem() = default;
  TIdEMailAddressItem(std::string address, std::string name = {})
      : Address(std::move(address)), Name(std::move(name)) {}

  std::string Address;
  std::string Name;

  std::string Text() const;
  // Parses one address in any usual form ("a@b", "Name <a@b>", "\"N, M\" <a@b>", "a@b (Name)").
  void SetText(const std::string& text);
  bool Empty() const { return Address.empty() && Name.empty(); }
  void Clear() { Address.clear(); Name.clear(); }
  bool operator==(const TIdEMailAddressItem&) const = default;
};

// Why Address is not exactly one mailbox "local@domain", empty when it is. Refused: control
// characters, angle brackets, a comma, semicolon, blank or second "@" outside a quoted local
// part (a second address to a lenient server), other specials outside quotes, a missing "@"
// or an empty local part or domain. A quoted local part ("a, b"@x.test) may hold any
// printable character.
std::string AddressProblem(const std::string& address);

// A list of addresses. Text form (EMailAddresses): every address's text joined with ", ".
class TIdEMailAddressList {
public:
  TIdEMailAddressItem& Add();
  TIdEMailAddressItem& Add(const std::string& address, const std::string& name = {});
  int Count() const { return static_cast<int>(items_.size()); }
  TIdEMailAddressItem& operator[](int i) { return items_.at(static_cast<size_t>(i)); }
  const TIdEMailAddressItem& operator[](int i) const { return items_.at(static_cast<size_t>(i)); }
  void Delete(int i);
  void Clear() { items_.clear(); }

  std::string EMailAddresses() const;
  // Replaces the list with the addresses of Text (separated by "," or ";", quotes and
  // angle brackets respected); empty entries are dropped.
  void SetEMailAddresses(const std::string& text);

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  bool operator==(const TIdEMailAddressList&) const = default;

private:
  std::vector<TIdEMailAddressItem> items_;
};

// Header lines "Name: value", one per header (unfolded). Names compare without regard to case.
class TIdHeaderList : public TIdStrings {
public:
  using TIdStrings::TIdStrings;
  // Value of the first header of that name, empty when absent.
  std::string Values(const std::string& name) const;
  // Replaces the first header of that name (or appends it); an empty value removes it.
  void SetValues(const std::string& name, const std::string& value);
  int IndexOfName(const std::string& name) const;
  static std::string NameOf(const std::string& line);
  static std::string ValueOf(const std::string& line);
};

enum TIdMessagePriority : uint8_t { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

enum class TIdPartKind : int32_t { Attachment = 0, Text = 1 };

class TIdMessagePart {
public:
  virtual ~TIdMessagePart() = default;
  virtual TIdPartKind Kind() const = 0;

  // The common tail of a stored part, in its stored order: the first string, two flags,
  // transfer encoding, type, extra headers, a further flag, the stored path.
  std::string ContentID;            // "Content-ID" header value
  bool IsEncoded = false;           // the content came transfer-encoded (received parts)
  bool Inline = false;              // "Content-Disposition: inline"
  std::string ContentTransfer;      // "Content-Transfer-Encoding", e.g. "base64"
  std::string ContentType;          // "type/subtype"
  TIdHeaderList ExtraHeaders;       // further headers of the part
  bool FileIsTempFile = false;      // the stored file was written by the library on receipt
  std::filesystem::path StoredPathName;  // where an attachment's content is (empty for text)

protected:
  TIdMessagePart() = default;
};

// A text part; Body holds its lines, decoded to UTF-8 on receipt.
class TIdText : public TIdMessagePart {
public:
  TIdText() = default;
  explicit TIdText(TIdStrings body) : Body(std::move(body)) {}
  TIdPartKind Kind() const override { return TIdPartKind::Text; }
  TIdStrings Body;
};

// An attachment. For sending, FileName names the file to attach (its last path component
// becomes the name in the message). On receipt, FileName is the name the sender gave and
// the content was saved to StoredPathName.
class TIdAttachment : public TIdMessagePart {
public:
  TIdAttachment() = default;
  explicit TIdAttachment(std::string fileName) : FileName(std::move(fileName)) {}
  TIdPartKind Kind() const override { return TIdPartKind::Attachment; }
  std::string FileName;
  std::string ContentDisposition;  // "Content-Disposition" header value
};

// The message's parts in order, owned by the list.
class TIdMessageParts {
public:
  TIdText& AddText(TIdStrings body = {});
  TIdAttachment& AddAttachment(const std::string& fileName);
  int Count() const { return static_cast<int>(parts_.size()); }
  TIdMessagePart& operator[](int i) { return *parts_.at(static_cast<size_t>(i)); }
  const TIdMessagePart& operator[](int i) const { return *parts_.at(static_cast<size_t>(i)); }
  void Delete(int i);
  void Clear() { parts_.clear(); }
  // Counts by kind.
  int TextPartCount() const;
  int AttachmentCount() const;

private:
  std::vector<std::unique_ptr<TIdMessagePart>> parts_;
};

class TIdMessage {
public:
  TIdMessage();
  TIdMessage(const TIdMessage&) = delete;
  TIdMessage& operator=(const TIdMessage&) = delete;
  TIdMessage(TIdMessage&&) noexcept;
  TIdMessage& operator=(TIdMessage&&) noexcept;
  ~TIdMessage();

  // The stored record's properties, in its order.
  TIdEMailAddressList BccList;
  TIdStrings Body;                       // the body's lines (single-part messages)
  TIdEMailAddressList CCList;
  std::string CharSet;                   // MIME charset name, e.g. "windows-1252"
  std::string ContentTransferEncoding;   // "quoted-printable" (default when sending), "base64", "7bit", "8bit"
  std::string ContentType;               // "text/plain" or "text/html" for sending; the received type/subtype
  TDateTime Date = 0;                    // local date-time; 0 on sending means now
  TIdHeaderList ExtraHeaders;            // sending: added headers; received: headers no property holds
  TIdEMailAddressItem From;
  TIdHeaderList Headers;                 // received: every header line as it came (unfolded)
  bool IsEncoded = false;                // received: the body came transfer-encoded (the store's one-byte message flag)
  TIdMessageParts MessageParts;
  std::string MsgId;                     // the "Message-Id" header value, angle brackets kept
  TIdStrings NewsGroups;
  bool NoDecode = false;                 // receiving: keep the raw body in Body, make no parts
  std::string Organization;
  TIdMessagePriority Priority = mpNormal;
  TIdEMailAddressItem ReceiptRecipient;  // "Disposition-Notification-To"
  TIdEMailAddressList Recipients;        // "To"
  std::string References;
  TIdEMailAddressList ReplyTo;
  TIdEMailAddressItem Sender;
  std::string Subject;

  // Not stored.
  std::string ContentDisposition;
  bool UseNowForDate = true;             // sending: the Date header is the time of sending

  // Where received attachments are saved: a new folder below it per message.
  // Empty (the default) means AppDir + "Attachments/".
  std::filesystem::path AttachmentFolder;

  // Empties every property and part (AttachmentFolder and NoDecode stay). Saved files stay.
  void Clear();
  // Body as one text with CR LF line ends, and its inverse.
  std::string BodyText() const { return JoinLines(Body); }
  // The lines as SplitLines gives them; the strings Body already holds are reused.
  void SetBodyText(const std::string& text);

  // The message as it goes on the wire before dot-stuffing: CR LF line ends, encoded and
  // folded headers, the body converted to CharSet. Throws EIdException for an address with
  // control characters or angle brackets, an unreadable attachment, or an unknown charset.
  std::string EncodeToString() const;
  // Fills the message from received text (Clear first). HeadersOnly reads just the header.
  // Attachments are saved below AttachmentFolder. Hostile input never throws past here
  // except for an attachment that cannot be saved.
  void LoadFromString(const std::string& raw, bool headersOnly = false);
  // Checks every address of the envelope and headers (an empty one is absent, a recipient
  // with a name but no address is refused); throws
  // EIdException, before anything is built or sent, when one is not exactly one address
  // (see AddressProblem): "Invalid recipient address: ..." for To, Cc and Bcc, "Invalid
  // sender address: ..." for From and Sender, "Invalid reply-to address: ..." and "Invalid
  // read-receipt address: ..." for Reply-To and Disposition-Notification-To.
  void ValidateAddresses() const;
};

// The default folder for received attachments: AppDir + "Attachments/".
std::filesystem::path DefaultAttachmentFolder();
