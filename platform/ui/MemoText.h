#pragma once
// A plain-text memo's text as the program keeps it, CR LF line ends, read
// and written through the one pair of memo-text conversions.

#include <QPlainTextEdit>
#include <string>

#include "platform/ui/QtText.h"

inline std::string MemoText(const QPlainTextEdit* memo) { return FromMemoText(memo->toPlainText()); }

inline void SetMemoText(QPlainTextEdit* memo, const std::string& text) { memo->setPlainText(ToMemoText(text)); }
