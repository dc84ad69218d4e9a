#pragma once
// Memo text at the window border: the program's texts have CR LF line ends,
// the Qt editors LF.

#include <QPlainTextEdit>
#include <string>

#include "platform/ui/QtText.h"

inline std::string MemoText(const QPlainTextEdit* memo) {
  QString text = memo->toPlainText();
  text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return ToStdString(text);
}

inline void SetMemoText(QPlainTextEdit* memo, const std::string& text) {
  QString q = ToQString(text);
  q.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  memo->setPlainText(q);
}
