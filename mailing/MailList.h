#pragma once
// The prepared mailing and its three files in the program's folder.
//
// Little-endian throughout; a string is an Int32 length then its bytes, a
// string list an Int32 count then its strings.
//
// "Maillist.dat", the messages, rewritten whole:
//   0   8    Prepared (TDateTime as an IEEE double)
//   8   4    Reserved (Int32, written 0, not interpreted)
//   12  var  Description, Charset, ContentType (strings)
//       var  Attachments (string list)
//       4    n, the item count
//       var  n times: To, Subject, Body, ReportText (strings)
// "Maillist.ind", the send state: Int32 n, then n records of 10 bytes, record
//   i at 4 + 10 * i: SentTime (double, 0 when never attempted), Sent (1 byte),
//   Failed (1 byte). A run rewrites single records in place.
// "Failed.dat", the error texts: records to the end of the file, each
//   {Int32 item index (0-based), Int32 text length, the text bytes}. Written
//   whole in item order; a run appends one record per failed item.
//
// Readers never pass a file's end nor allocate more than it holds: a file cut
// short or carrying an impossible count or length throws EMailFileError.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/SysUtils.h"

struct TMailItem {
  std::string To;
  std::string Subject;
  std::string Body;
  std::string ReportText;
  std::string ErrorText;
  TDateTime SentTime = 0;
  bool Sent = false;  // never both Sent and Failed
  bool Failed = false;
};

struct TMailList {
  TDateTime Prepared = 0;
  int32_t Reserved = 0;
  std::string Description;  // what the list was prepared from
  std::string Charset;      // MIME charset name
  std::string ContentType;  // "text/html" or "text/plain"
  std::vector<std::string> Attachments;
  std::vector<TMailItem> Items;
};

inline constexpr const char* MailListFileName = "Maillist.dat";
inline constexpr const char* MailIndexFileName = "Maillist.ind";
inline constexpr const char* FailedListFileName = "Failed.dat";
inline constexpr int MailIndexRecordSize = 10;

// A damaged or unwritable list file; the message is meant for the user.
class EMailFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Called after each item written or read: (item number, item count).
using TListProgress = std::function<void(int done, int total)>;

// Each writes the whole file through a temporary file renamed over it, so a
// failure keeps the old file. Throw EMailFileError when it cannot be written.
void SaveMailList(const std::string& fileName, const TMailList& list, const TListProgress& progress = {});
void SaveMailIndex(const std::string& fileName, const TMailList& list);
void SaveFailedList(const std::string& fileName, const TMailList& list);

// A missing file reads nothing and leaves the list as it is. A damaged one
// throws EMailFileError and leaves the list as it is.
// LoadMailList replaces the header, the attachments and the items (their
// other fields empty or zero).
void LoadMailList(const std::string& fileName, TMailList& list, const TListProgress& progress = {});
// Cuts the list to the file's record count when it holds fewer, reads only as
// many records as there are items when it holds more; counts the items whose
// Sent and Failed bytes are set (a record claiming both counts as sent).
void LoadMailIndex(const std::string& fileName, TMailList& list, int& sentCount, int& failedCount);
// Sets ErrorText of the items the records name; indexes outside the list are skipped.
void LoadFailedList(const std::string& fileName, TMailList& list);

// The same writers over an open stream (the three files are also written together).
class TBinaryWriter;
void WriteMailList(TBinaryWriter& w, const TMailList& list, const TListProgress& progress = {});
void WriteMailIndex(TBinaryWriter& w, const TMailList& list);
void WriteFailedList(TBinaryWriter& w, const TMailList& list);

// The 10 bytes of one index record.
std::string MailIndexRecord(const TMailItem& item);
// One "Failed.dat" record.
std::string FailedRecord(int32_t index, const std::string& text);
