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
