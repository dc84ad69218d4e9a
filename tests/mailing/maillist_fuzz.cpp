// Feeds arbitrary bytes as the prepared mailing's three files: "Maillist.dat",
// then "Maillist.ind" and "Failed.dat" after each "\n--file--\n" separator.
// A list that loads must save as the three files and load back the same.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mailing/MailList.h"
#include "mailing/MailListFiles.h"

namespace fs = std::filesystem;

namespace {

const fs::path& Folder() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("lplist_fuzz_" + std::to_string(getpid()));
    fs::create_directories(d / "in");
    fs::create_directories(d / "out");
    return d;
  }();
  return dir;
}

void Write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Loads the three files as the program does; false when one is damaged.
bool Load(const fs::path& dir, TMailList& list, int& sent, int& failed) {
  try {
    LoadMailList((dir / MailListFileName).string(), list);
    LoadMailIndex((dir / MailIndexFileName).string(), list, sent, failed);
    LoadFailedList((dir / FailedListFileName).string(), list);
    return true;
  } catch (const EMailFileError&) {
    return false;
  }
}

bool SameItems(const TMailList& a, const TMailList& b) {
  if (a.Items.size() != b.Items.size() || a.Description != b.Description || a.Charset != b.Charset ||
      a.ContentType != b.ContentType || a.Attachments != b.Attachments)
    return false;
  for (size_t i = 0; i < a.Items.size(); ++i) {
    const TMailItem &x = a.Items[i], &y = b.Items[i];
    if (x.To != y.To || x.Subject != y.Subject || x.Body != y.Body || x.ReportText != y.ReportText ||
        x.Sent != y.Sent || x.Failed != y.Failed || x.ErrorText != y.ErrorText)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  static const std::string separator = "\n--file--\n";
  std::vector<std::string> parts;
  for (size_t at = 0;;) {
    const size_t cut = parts.size() < 2 ? all.find(separator, at) : std::string::npos;
    parts.push_back(all.substr(at, cut == std::string::npos ? std::string::npos : cut - at));
    if (cut == std::string::npos) break;
    at = cut + separator.size();
  }
  const fs::path in = Folder() / "in", out = Folder() / "out";
  const char* names[] = {MailListFileName, MailIndexFileName, FailedListFileName};
  for (size_t i = 0; i < 3; ++i) {
    if (i < parts.size())
      Write(in / names[i], parts[i]);
    else
      fs::remove(in / names[i]);
  }

  TMailList list;
  int sent = 0, failed = 0;
  if (!Load(in, list, sent, failed)) return 0;
  if (sent < 0 || failed < 0 || static_cast<size_t>(sent + failed) > list.Items.size()) std::abort();
  try {
    SaveListFiles(out.string() + "/", list);
  } catch (const EMailFileError&) {
    std::abort();
  }
  TMailList again;
  int sentAgain = 0, failedAgain = 0;
  if (!Load(out, again, sentAgain, failedAgain) || !SameItems(list, again)) std::abort();
  return 0;
}
