#include "mailing/Report.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "platform/BinaryStream.h"
#include "platform/ReplaceFile.h"
#include "platform/Routines.h"
#include "platform/SysUtils.h"
#include "platform/TextLines.h"

namespace {

std::string PadRight(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string ReportCaption(const TMailList& list) { return "Report - " + list.Description; }

std::vector<std::string> TReportHeader::Values() const { return {Prepared, Encoding, MailType, Amount, Sent, Failed}; }

TReportHeader BuildReportHeader(const TMailList& list, int sentCount, int failedCount) {
  TReportHeader h;
  h.Caption = ReportCaption(list);
  h.Prepared = DateTimeToStr(list.Prepared);
  h.Encoding = list.Charset;
  h.MailType = list.ContentType;
  h.Amount = IntToStr(static_cast<int64_t>(list.Items.size()));
  h.Sent = IntToStr(sentCount);
  h.Failed = IntToStr(failedCount);
  h.Attachments = list.Attachments;
  return h;
}

std::string ReportItemLine(int number, const TMailItem& item) {
  std::string line = PadRight(IntToStr(number), 6) + " ";
  if (item.Sent)
    line += "Sent     " + DateTimeToStr(item.SentTime);
  else if (item.Failed)
    line += "Failed   " + DateTimeToStr(item.SentTime);
  else
    line += "Not Sent " + std::string(17, ' ');
  line += " " + item.ReportText;
  if (!item.ErrorText.empty()) line += " - \"" + item.ErrorText + "\"";
  return line;
}

std::vector<std::string> ReportItemLines(const TMailList& list) {
  std::vector<std::string> lines;
  lines.reserve(list.Items.size());
  for (size_t i = 0; i < list.Items.size(); ++i)
    lines.push_back(ReportItemLine(static_cast<int>(i) + 1, list.Items[i]));
  return lines;
}

std::vector<std::string> ReportFileLines(const TReportHeader& header, const std::vector<std::string>& itemLines) {
  std::vector<std::string> lines = {header.Caption, ""};
  const std::vector<std::string> values = header.Values();
  for (size_t i = 0; i < values.size(); ++i) lines.push_back(std::string(ReportHeaderLabels[i]) + " " + values[i]);
  if (!header.Attachments.empty()) {
    lines.push_back("");
    lines.push_back("Attachments");
    lines.insert(lines.end(), header.Attachments.begin(), header.Attachments.end());
  }
  lines.push_back("");
  lines.push_back("List");
  lines.insert(lines.end(), itemLines.begin(), itemLines.end());
  return lines;
}

std::string ReportSaveFileName(const std::string& chosen) {
  return std::filesystem::path(chosen).has_extension() ? chosen : chosen + ".txt";
}

std::string ReportFolderOf(const std::string& fileName) {
  const std::string folder = std::filesystem::path(fileName).parent_path().string();
  return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

std::string SaveTextLines(const std::string& fileName, const std::vector<std::string>& lines) {
  TReplacingFile file;
  if (!file.Begin(fileName)) return file.Error();
  {
    TBinaryWriter w(file.Handle());
    const std::string text = LinesText(lines);
    w.WriteBytes(text.data(), text.size());
    if (!w.Flush()) return "Cannot write " + fileName + ": " + std::strerror(w.Error());
  }
  return file.Finish() ? std::string() : file.Error();
}

std::vector<std::string> TextToLines(const std::string& text) {
  std::vector<std::string> lines = SplitLines(text);
  if (lines.empty()) lines.emplace_back();
  return lines;
}

std::string TReportViewerFile::Write(const std::string& body) {
  const std::string bytes = LinesText(TextToLines(body));
  // Created exclusively: a name taken between the look and the open (or a link
  // planted in the shared folder) is passed over for the next free one.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = MakeTempFileName("", "$repv_", "html");
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    const bool ok = WriteAll(fd, bytes);
    if (::close(fd) != 0 || !ok) {
      ::unlink(name.c_str());
      return {};
    }
    Remove();
    tempFile_ = name;
    return name;
  }
  return {};
}

void TReportViewerFile::Remove() {
  if (!tempFile_.empty()) ::unlink(tempFile_.c_str());
  tempFile_.clear();
}
