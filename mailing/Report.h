#pragma once
// The report of a prepared mailing without its window: the caption, the
// header values, one line per item, the body file the viewer shows and the
// text saved by "Save As...".

#include <string>
#include <vector>

#include "mailing/MailList.h"

// The header captions, in the window's order.
inline constexpr const char* ReportHeaderLabels[] = {"Prepared -", "Encoding -", "Mail Type -",
                                                     "Amount -",   "Sent -",     "Failed -"};

// "Report - " + the list's description.
std::string ReportCaption(const TMailList& list);

struct TReportHeader {
  std::string Caption;
  std::string Prepared;  // DateTimeToStr of the list's Prepared
  std::string Encoding;  // the charset
  std::string MailType;  // the content type
  std::string Amount;    // the item count
  std::string Sent;
  std::string Failed;
  std::vector<std::string> Attachments;

  // The six values in the order of ReportHeaderLabels.
  std::vector<std::string> Values() const;
};

TReportHeader BuildReportHeader(const TMailList& list, int sentCount, int failedCount);

// The item's number (from 1) padded to 6 and a blank; its state padded to 9
// ("Not Sent " with 17 blanks for the missing time, "Sent     " or "Failed   "
// with the time); a blank and the report text; " - " and the error text in
// double quotation marks when there is one.
std::string ReportItemLine(int number, const TMailItem& item);
std::vector<std::string> ReportItemLines(const TMailList& list);

// The saved report: caption, header, attachments when there are any, "List"
// and the item lines.
std::vector<std::string> ReportFileLines(const TReportHeader& header, const std::vector<std::string>& itemLines);

// Save As: the chosen name with ".txt" when it has no extension.
std::string ReportSaveFileName(const std::string& chosen);
// The folder of a file, with a trailing "/" (the new report folder).
std::string ReportFolderOf(const std::string& fileName);

// Text lines, each ended by CR LF, written through a temporary file; the
// error's text, empty on success.
std::string SaveTextLines(const std::string& fileName, const std::vector<std::string>& lines);
// A text cut into lines at CR LF, LF or CR; an empty text is one empty line.
std::vector<std::string> TextToLines(const std::string& text);

// The body of the selected item for the viewer, in files "$repv_N.html" in
// the system temporary folder (N the first number free). The last file
// written is TempFile; writing the next one removes the one before, since the
// viewer has left it.
class TReportViewerFile {
public:
  // The new file's name, empty when it could not be written ("View Failed").
  std::string Write(const std::string& body);
  // The main window's exit: the last file goes too.
  void Remove();
  const std::string& TempFile() const { return tempFile_; }

private:
  std::string tempFile_;
};
