#pragma once
// The one border between the program's strings (std::string holding UTF-8)
// and Qt's. Invalid UTF-8 becomes U+FFFD on the way in.

#include <QString>
#include <string>

inline QString ToQString(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::string ToStdString(const QString& s) {
  const QByteArray bytes = s.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// A memo's text as the program keeps it: lines joined by CR LF.
inline std::string FromMemoText(const QString& s) {
  QString t = s;
  t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return ToStdString(t);
}

// The program's text for a memo: CR LF and a lone CR become the memo's line breaks.
inline QString ToMemoText(const std::string& s) {
  QString t = ToQString(s);
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return t;
}
