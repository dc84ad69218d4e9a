#include "withdrawal/MessageStore.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>

#include "platform/Bytes.h"
#include "platform/SysUtils.h"

namespace {

// The record is put together in memory and written with one DiskWrite: the
// bytes and the block layout are the same as item by item, with far fewer
// file calls.
class TRecordWriter {
public:
  void Byte(uint8_t b) { bytes_.push_back(static_cast<char>(b)); }
  void Int32(int32_t v) { AppendLE32(bytes_, v); }
  void Double(double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    AppendLE64(bytes_, u);
  }
  void Str(const std::string& s) {
    Int32(static_cast<int32_t>(std::min<size_t>(s.size(), INT32_MAX)));
    bytes_.append(s, 0, std::min<size_t>(s.size(), INT32_MAX));
  }
  void Strings(const std::vector<std::string>& list) {
    Int32(static_cast<int32_t>(list.size()));
    for (const auto& s : list) Str(s);
  }
  void Flush(logdisk& c) {
    if (bytes_.size() > static_cast<size_t>(INT32_MAX)) {
      c.Disk->IoResult = dioWriteError;
      return;
    }
    DiskWrite(c, bytes_.data(), static_cast<int32_t>(bytes_.size()), true, 512);
  }

private:
  std::string bytes_;
};

uint8_t ReadByte(logdisk& c) {
  uint8_t b = 0;
  DiskRead(c, &b, 1);
  return b;
}

double ReadDouble(logdisk& c) {
  unsigned char b[8] = {};
  DiskRead(c, b, 8);
  uint64_t u = GetLE64(b);
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

std::string ReadS(logdisk& c) {
  std::string s;
  DiskReadStr(c, false, s);
  return s;
}

TIdStrings ReadL(logdisk& c, bool skip = false) { return DiskReadStrings(c, skip); }

TIdHeaderList ReadHeaderList(logdisk& c) {
  TIdStrings lines = ReadL(c);
  TIdHeaderList h;
  h.assign(lines.begin(), lines.end());
  return h;
}

bool Stopped(const logdisk& c) { return c.Disk->IoResult != dioOk || DiskEof(c); }

void ReadPartTail(logdisk& c, TIdMessagePart& p) {
  p.ContentID = ReadS(c);
  p.IsEncoded = ReadByte(c) != 0;
  p.Inline = ReadByte(c) != 0;
  p.ContentTransfer = ReadS(c);
  p.ContentType = ReadS(c);
  p.ExtraHeaders = ReadHeaderList(c);
  p.FileIsTempFile = ReadByte(c) != 0;
  p.StoredPathName = ReadS(c);
}

}  // namespace

void WriteMessage(logdisk c, const TIdMessage& m) {
  TRecordWriter w;
  w.Str(m.BccList.EMailAddresses());
  w.Strings(m.Body);
  w.Str(m.CCList.EMailAddresses());
  w.Str(m.CharSet);
  w.Str(m.ContentTransferEncoding);
  w.Str(m.ContentType);
  w.Double(m.Date);
  w.Strings(m.ExtraHeaders);
  w.Str(m.From.Text());
  w.Strings(m.Headers);
  w.Byte(m.IsEncoded);
  w.Int32(m.MessageParts.Count());
  for (int i = 0; i < m.MessageParts.Count(); ++i) {
    const TIdMessagePart& p = m.MessageParts[i];
    const auto* a = dynamic_cast<const TIdAttachment*>(&p);
    const auto* t = dynamic_cast<const TIdText*>(&p);
    if (a) {
      w.Int32(static_cast<int32_t>(TIdPartKind::Attachment));
      w.Str(a->FileName);
      w.Str(a->ContentDisposition);
    } else if (t) {
      w.Int32(static_cast<int32_t>(TIdPartKind::Text));
      w.Strings(t->Body);
    } else {
      w.Int32(static_cast<int32_t>(p.Kind()));  // counted, nothing more
      continue;
    }
    w.Str(p.ContentID);
    w.Byte(p.IsEncoded);
    w.Byte(p.Inline);
    w.Str(p.ContentTransfer);
    w.Str(p.ContentType);
    w.Strings(p.ExtraHeaders);
    w.Byte(p.FileIsTempFile);
    w.Str(p.StoredPathName.string());
  }
  w.Str(m.MsgId);
  w.Strings(m.NewsGroups);
  w.Byte(m.NoDecode);
  w.Str(m.Organization);
  w.Byte(static_cast<uint8_t>(m.Priority));
  w.Str(m.ReceiptRecipient.Text());
  w.Str(m.Recipients.EMailAddresses());
  w.Str(m.References);
  w.Str(m.ReplyTo.EMailAddresses());
  w.Str(m.Sender.Text());
  w.Str(m.Subject);
  w.Flush(c);
}

void ReadMessage(logdisk c, TIdMessage& m, bool skipBodies) {
  // Each step stops the record at the first damage; what was read stays.
  m.BccList.SetEMailAddresses(ReadS(c));
  if (Stopped(c)) return;
  m.Body = ReadL(c, skipBodies);
  if (skipBodies) m.Body.clear();
  if (Stopped(c)) return;
  m.CCList.SetEMailAddresses(ReadS(c));
  m.CharSet = ReadS(c);
  m.ContentTransferEncoding = ReadS(c);
  m.ContentType = ReadS(c);
  if (Stopped(c)) return;
  double date = ReadDouble(c);
  m.Date = std::isfinite(date) ? date : 0;
  m.ExtraHeaders = ReadHeaderList(c);
  if (Stopped(c)) return;
  m.From.SetText(ReadS(c));
  m.Headers = ReadHeaderList(c);
  m.IsEncoded = ReadByte(c) != 0;
  int32_t parts = DiskReadInt32(c);
  if (Stopped(c)) return;
  // Every part takes at least its kind, so the record bounds the loop.
  for (int32_t i = 0; i < parts && !Stopped(c); ++i) {
    int32_t kind = DiskReadInt32(c);
    if (Stopped(c)) return;
    if (kind == static_cast<int32_t>(TIdPartKind::Attachment)) {
      std::string fileName = ReadS(c);
      TIdAttachment& a = m.MessageParts.AddAttachment(fileName);
      a.ContentDisposition = ReadS(c);
      ReadPartTail(c, a);
    } else if (kind == static_cast<int32_t>(TIdPartKind::Text)) {
      TIdStrings body = ReadL(c, skipBodies);
      if (skipBodies) body.clear();
      TIdText& t = m.MessageParts.AddText(std::move(body));
      ReadPartTail(c, t);
    }
  }
  if (Stopped(c)) return;
  m.MsgId = ReadS(c);
  m.NewsGroups = ReadL(c);
  m.NoDecode = ReadByte(c) != 0;
  m.Organization = ReadS(c);
  uint8_t priority = ReadByte(c);
  m.Priority = priority <= mpLowest ? static_cast<TIdMessagePriority>(priority) : mpNormal;
  if (Stopped(c)) return;
  m.ReceiptRecipient.SetText(ReadS(c));
  m.Recipients.SetEMailAddresses(ReadS(c));
  m.References = ReadS(c);
  m.ReplyTo.SetEMailAddresses(ReadS(c));
  m.Sender.SetText(ReadS(c));
  m.Subject = ReadS(c);
}

std::string MessageTimeText(TDateTime value) { return FloatToStr(value); }

TDateTime MessageTimeNow() {
  auto now = std::chrono::system_clock::now();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  std::time_t t = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  localtime_r(&t, &tm);
  int64_t days =
      DaysFromCivil(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_mday));
  int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  double dayMs = ((tm.tm_hour * 60.0 + tm.tm_min) * 60.0 + sec) * 1000.0 + static_cast<double>(ms % 1000);
  return static_cast<double>(days) + dayMs / 86400000.0;
}
