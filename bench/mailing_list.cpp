// Writes a prepared list of 100,000 items with a 5 KB body each (the three
// files together), loads it back as the mailing window does, and records
// results through the run files; prints items/s for each step, the size of
// "Maillist.dat" and the peak memory. An argument sets the item count.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench/BenchClock.h"
#include "mailing/MailList.h"
#include "mailing/MailListFiles.h"
#include "mailing/MailRunFiles.h"

namespace {

void Report(const char* step, int count, double seconds) {
  std::printf("%-28s %8.3f s  %12.0f items/s\n", step, seconds, seconds > 0 ? count / seconds : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  const std::string dir = (std::filesystem::temp_directory_path() /
                           ("larkpost_bench_maillist_" + std::to_string(::getpid()))).string() + "/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  std::string body = "<HTML><BODY>";
  while (body.size() < 5000) body += "<DIV>Dear customer, this line stands for the merged text.</DIV>\r\n";
  body += "</BODY></HTML>";
  long before = PeakKb();
  {
    TMailList list;
    list.Prepared = 46000.5;
    list.Description = "\"News\" Using \"Clients\"";
    list.Charset = "utf-8";
    list.ContentType = "text/html";
    list.Items.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      TMailItem& it = list.Items[static_cast<size_t>(i)];
      it.To = "client" + std::to_string(i) + "@example.com";
      it.Subject = "Offer for client " + std::to_string(i);
      it.Body = body;
      it.ReportText = " | Client " + std::to_string(i) + " | " + std::to_string(i * 1.5);
    }
    std::printf("list of %d items built, peak memory %ld KB\n", count, PeakKb());

    auto t0 = std::chrono::steady_clock::now();
    SaveListFiles(dir, list);
    Report("write (three files)", count, Seconds(t0));
  }
  const auto datSize = std::filesystem::file_size(dir + MailListFileName);
  std::printf("Maillist.dat: %.1f MB\n", datSize / 1048576.0);
  {
    TMailList list;
    int sent = 0, failed = 0;
    auto t0 = std::chrono::steady_clock::now();
    LoadMailList(dir + MailListFileName, list);
    LoadFailedList(dir + FailedListFileName, list);
    LoadMailIndex(dir + MailIndexFileName, list, sent, failed);
    Report("read back", static_cast<int>(list.Items.size()), Seconds(t0));
    if (static_cast<int>(list.Items.size()) != count || list.Items.back().Body != body) {
      std::printf("read back the wrong list\n");
      return 1;
    }

    TMailRunFiles run;
    if (!run.Open(dir)) {
      std::printf("%s\n", run.Error().c_str());
      return 1;
    }
    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
      TMailItem& it = list.Items[static_cast<size_t>(i)];
      it.SentTime = 46001.0;
      if (i % 10 == 0) {
        it.Failed = true;
        run.WriteIndexRecord(i, it);
        run.AppendFailed(i, "550 Mailbox unavailable");
      } else {
        it.Sent = true;
        run.WriteIndexRecord(i, it);
      }
    }
    run.Close();
    Report("record results in place", count, Seconds(t0));
  }
  std::printf("peak memory %ld KB (%ld KB before the list), Maillist.dat %.0f KB\n", PeakKb(), before,
              datSize / 1024.0);
  std::filesystem::remove_all(dir);
  return 0;
}
