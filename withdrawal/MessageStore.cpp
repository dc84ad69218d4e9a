#include "withdrawal/MessageStore.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

namespace {

void WriteByte(logdisk& c, uint8_t b) { DiskWrite(c, &b, 1, true, 512); }

uint8_t ReadByte(logdisk& c) {
  uint8_t b = 0;
  DiskRead(c, &b, 1);
  return b;
}

void WriteDouble(logdisk& c, double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  unsigned char b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
  DiskWrite(c, b, 8, true, 512);
}

double ReadDouble(logdisk& c) {
  unsigned char b[8] = {};
  DiskRead(c, b, 8);
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
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

void WriteHeaderList(logdisk& c, const TIdHeaderList& h) {
  DiskWriteStrings(c, static_cast<const TIdStrings&>(h));
}

TIdHeaderList ReadHeaderList(logdisk& c) {
  TIdStrings lines = ReadL(c);
  TIdHeaderList h;
  h.assign(lines.begin(), lines.end());
  return h;
}

bool Stopped(const logdisk& c) { return DiskIoResult != 0 || DiskEof(c); }

void WritePartTail(logdisk& c, const TIdMessagePart& p) {
  DiskWriteStr(c, p.ContentID);
  WriteByte(c, p.IsEncoded);
  WriteByte(c, p.Inline);
  DiskWriteStr(c, p.ContentTransfer);
  DiskWriteStr(c, p.ContentType);
  WriteHeaderList(c, p.ExtraHeaders);
  WriteByte(c, p.FileIsTempFile);
  DiskWriteStr(c, p.StoredPathName.string());
}

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

// Days since 1899-12-30 of a civil date.
int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468 + 25569;  // 25569: 1899-12-30 to 1970-01-01
}

}  // namespace

void WriteMessage(logdisk c, const TIdMessage& m) {
  DiskWriteStr(c, m.BccList.EMailAddresses());
  DiskWriteStrings(c, m.Body);
  DiskWriteStr(c, m.CCList.EMailAddresses());
  DiskWriteStr(c, m.CharSet);
  DiskWriteStr(c, m.ContentTransferEncoding);
  DiskWriteStr(c, m.ContentType);
  WriteDouble(c, m.Date);
  WriteHeaderList(c, m.ExtraHeaders);
  DiskWriteStr(c, m.From.Text());
  WriteHeaderList(c, m.Headers);
  WriteByte(c, m.IsEncoded);
  DiskWriteInt32(c, m.MessageParts.Count());
  for (int i = 0; i < m.MessageParts.Count() && DiskIoResult == 0; ++i) {
    const TIdMessagePart& p = m.MessageParts[i];
    if (const auto* a = dynamic_cast<const TIdAttachment*>(&p)) {
      DiskWriteInt32(c, static_cast<int32_t>(TIdPartKind::Attachment));
      DiskWriteStr(c, a->FileName);
      DiskWriteStr(c, a->ContentDisposition);
      WritePartTail(c, p);
    } else if (const auto* t = dynamic_cast<const TIdText*>(&p)) {
      DiskWriteInt32(c, static_cast<int32_t>(TIdPartKind::Text));
      DiskWriteStrings(c, t->Body);
      WritePartTail(c, p);
    } else {
      DiskWriteInt32(c, static_cast<int32_t>(p.Kind()));
    }
  }
  DiskWriteStr(c, m.MsgId);
  DiskWriteStrings(c, m.NewsGroups);
  WriteByte(c, m.NoDecode);
  DiskWriteStr(c, m.Organization);
  WriteByte(c, static_cast<uint8_t>(m.Priority));
  DiskWriteStr(c, m.ReceiptRecipient.Text());
  DiskWriteStr(c, m.Recipients.EMailAddresses());
  DiskWriteStr(c, m.References);
  DiskWriteStr(c, m.ReplyTo.EMailAddresses());
  DiskWriteStr(c, m.Sender.Text());
  DiskWriteStr(c, m.Subject);
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
  int64_t days = DaysFromCivil(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1),
                               static_cast<unsigned>(tm.tm_mday));
  int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  double dayMs = ((tm.tm_hour * 60.0 + tm.tm_min) * 60.0 + sec) * 1000.0 + static_cast<double>(ms % 1000);
  return static_cast<double>(days) + dayMs / 86400000.0;
}
