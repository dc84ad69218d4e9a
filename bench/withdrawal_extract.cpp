// Stores 1,000 messages, then extracts them all into a new dBase table (each
// record posted and written at once, as the table page does), printing the
// time of each step.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "db/Connection.h"
#include "db/Dbf.h"
#include "withdrawal/ExtractRecord.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string ViewerText(const TIdMessage& m) {
  std::string text;
  for (const std::string& line : m.Body) text += line + "\r\n";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
  auto folder = std::filesystem::temp_directory_path() / ("larkpost_bench_extract_" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  {
    TExtractData data(folder);
    TDateTime clock = 46001.0;
    data.Clock = [&] { return clock; };
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
      TIdMessage m;
      m.From = TIdEMailAddressItem("client" + std::to_string(i) + "@x.test", "Client " + std::to_string(i));
      m.Recipients.Add("orders@y.test");
      m.Subject = "Order " + std::to_string(i);
      m.Date = 46000.0 + i / 1440.0;
      m.Body = {"Hello,", "Name: Client " + std::to_string(i), "City: Paris", "Amount: " + std::to_string(i) + ".5",
                "Thanks"};
      clock += 1.0 / 86400;
      data.StoreMessage(m, "Inbox");
    }
    std::printf("store %d messages      %8.3f s\n", count, Seconds(t0));

    t0 = std::chrono::steady_clock::now();
    data.ReadMailList();
    std::vector<std::unique_ptr<TIdMessage>> full;
    for (const auto& item : data.MailList) full.push_back(data.ReadFullMessage(item.EntryName));
    std::printf("list and read them     %8.3f s\n", Seconds(t0));

    data.DefaultCharset = [] { return 15; };
    data.AddScheme("ORDERS");
    data.Schemes[0].Markers = {"Name:", "City:", "Amount:"};
    data.Schemes[0].Values = {{"Name:", EndOfLineMarker, "NAME", ""},
                              {"City:", EndOfLineMarker, "CITY", ""},
                              {"Amount:", EndOfLineMarker, "AMOUNT", ""}};
    data.Schemes[0].ContentField = "CONTENT";
    data.Schemes[0].TimeField = "RECEIVED";
    data.Schemes[0].FromEmailField = "EMAIL";
    data.Schemes[0].SubjectField = "SUBJECT";

    const std::string table = (folder / "Orders.dbf").string();
    {
      TDbfHeader h;
      h.Version = 0x83;
      std::ofstream out(table, std::ios::binary);
      out << DbfEncodeTableHead(h, {{"NAME", 'C', 40, 0},
                                    {"CITY", 'C', 30, 0},
                                    {"AMOUNT", 'N', 12, 2},
                                    {"CONTENT", 'M', 10, 0},
                                    {"RECEIVED", 'D', 8, 0},
                                    {"EMAIL", 'C', 60, 0},
                                    {"SUBJECT", 'C', 60, 0}})
          << '\x1A';
    }
    TDbfMemoFile::Create((folder / "Orders.dbt").string());
    TADOConnection conn;
    const std::string dir = folder.string() + "/";
    conn.ConnectionString = "Provider=MSDataShape;Extended Properties=\"DBQ=" + dir + ";DefaultDir=" + dir +
                            ";Driver={Microsoft DBase Driver (*.dbf)}\"";
    TADOQuery q;
    q.SetConnection(&conn);
    q.SQL = "SELECT * FROM \"Orders\"";
    q.Open();
    q.AfterPost = [](TDataSet& d) { d.UpdateBatch(); };
    std::vector<TExtractSource> sources;
    for (size_t i = 0; i < full.size(); ++i)
      if (full[i]) sources.push_back({full[i].get(), static_cast<int>(i)});
    t0 = std::chrono::steady_clock::now();
    int posted = ExtractMessages(data, 0, q, sources, [&](int row) { return ViewerText(*full[size_t(row)]); }).Posted;
    std::printf("extract %d records     %8.3f s  (%lld bytes of table)\n", posted, Seconds(t0),
                static_cast<long long>(std::filesystem::file_size(table)));
  }
  std::filesystem::remove_all(folder);
  return 0;
}
