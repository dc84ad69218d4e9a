#pragma once
// Writing extracted values into the open table, the Extract command's two
// modes, and the preview parse: the rules the withdrawal page's handlers call.

#include <functional>
#include <string>
#include <vector>

#include "db/DataSet.h"
#include "platform/SysUtils.h"
#include "withdrawal/ExtractData.h"

// Appends one record to the table and fills, by the scheme (null: none), the
// rules' fields from their values (converted by the field's kind), the time
// field from date, the sender, subject and content fields, then posts it.
// Any failure (a field the table lacks, a value that does not convert)
// cancels the new record and is thrown again.
void WriteExtractedRecord(const TScheme* scheme, TDataSet& table, const std::string& content,
                          const std::string& fromName, TDateTime date, const std::string& fromEmail,
                          const std::string& subject);

// The content block of a message: its sender, recipients and subject lines,
// a blank line, then the text the viewer shows.
std::string ExtractedContent(const TIdMessage& message, const std::string& viewerText);

// What an Extract command did: the records it posted, and the failure that
// ended it (empty when none), for the page to show as an error.
struct TExtractResult {
  int Posted = 0;
  std::string Error;
};

// Free-text mode: parses the text with the scheme and writes one record with
// an empty sender and subject and the given time.
TExtractResult ExtractFreeText(TExtractData& data, int schemeIndex, TDataSet& table, const std::string& freeText,
                               TDateTime now);

// Message mode: for each message in order, showMessage shows it in the
// viewer and returns the viewer's text; that text is parsed and a record
// written. The first failure ends the run (records posted before it stay).
struct TExtractSource {
  const TIdMessage* Message;  // as listed: sender, recipients, subject, date
  int Row;                    // its row in the message list
};
TExtractResult ExtractMessages(TExtractData& data, int schemeIndex, TDataSet& table,
                               const std::vector<TExtractSource>& sources,
                               const std::function<std::string(int row)>& showMessage);

// The preview: parses the text with the scheme and gives the value and the
// after-marker of the rule at valueIndex (both empty when there is none).
struct TPreviewValue {
  std::string Value;
  std::string Marker;
};
TPreviewValue PreviewParse(TExtractData& data, int schemeIndex, const std::string& text, int valueIndex);
