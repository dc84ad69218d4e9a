// The prepared mailing's three files: layouts, the index and error-text rules,
// damaged files cut at every byte, the files replaced together (also when the
// writer is killed), and a run's in-place records checked against a model.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "mailing/MailList.h"
#include "mailing/MailListFiles.h"
#include "mailing/MailRunFiles.h"
#include "platform/BinaryStream.h"
#include "support/MailTestSupport.h"

namespace fs = std::filesystem;

namespace {

TMailList SampleList(int items, const std::string& tag = "a") {
  TMailList l;
  l.Prepared = 46000.5;
  l.Description = "\"News\" Using \"Clients\"";
  l.Charset = "utf-8";
  l.ContentType = "text/html";
  l.Attachments = {"/data/one.pdf", "/data/two.png"};
  for (int i = 0; i < items; ++i) {
    TMailItem it;
    it.To = tag + std::to_string(i) + "@example.com";
    it.Subject = "Subject " + std::to_string(i);
    it.Body = "<p>Body " + std::to_string(i) + "</p>";
    it.ReportText = i % 2 ? " | " + std::to_string(i) : "";
    l.Items.push_back(it);
  }
  return l;
}

void ExpectSameItems(const TMailList& a, const TMailList& b, bool withState) {
  EXPECT_EQ(a.Prepared, b.Prepared);
  EXPECT_EQ(a.Reserved, b.Reserved);
  EXPECT_EQ(a.Description, b.Description);
  EXPECT_EQ(a.Charset, b.Charset);
  EXPECT_EQ(a.ContentType, b.ContentType);
  EXPECT_EQ(a.Attachments, b.Attachments);
  ASSERT_EQ(a.Items.size(), b.Items.size());
  for (size_t i = 0; i < a.Items.size(); ++i) {
    const TMailItem &x = a.Items[i], &y = b.Items[i];
    EXPECT_EQ(x.To, y.To) << i;
    EXPECT_EQ(x.Subject, y.Subject) << i;
    EXPECT_EQ(x.Body, y.Body) << i;
    EXPECT_EQ(x.ReportText, y.ReportText) << i;
    if (withState) {
      EXPECT_EQ(x.ErrorText, y.ErrorText) << i;
      EXPECT_EQ(x.SentTime, y.SentTime) << i;
      EXPECT_EQ(x.Sent, y.Sent) << i;
      EXPECT_EQ(x.Failed, y.Failed) << i;
    }
  }
}

struct TLoaded {
  TMailList list;
  int sent = 0, failed = 0;
};

// The three loaders in the window's order.
TLoaded LoadAll(const std::string& dir) {
  TLoaded r;
  FinishPendingListSave(dir);
  LoadMailList(dir + MailListFileName, r.list);
  LoadFailedList(dir + FailedListFileName, r.list);
  LoadMailIndex(dir + MailIndexFileName, r.list, r.sent, r.failed);
  return r;
}

class MailListTest : public ::testing::Test {
protected:
  void SetUp() override { dir = FreshDir("maillist"); }
  void TearDown() override { fs::remove_all(dir); }
  std::string dir;
};

TEST_F(MailListTest, FilesHoldTheDocumentedBytes) {
  TMailList l = SampleList(2);
  l.Items[0].SentTime = 46001.25;
  l.Items[0].Sent = true;
  l.Items[1].Failed = true;
  l.Items[1].ErrorText = "Timeout";
  SaveListFiles(dir, l);
  std::string dat = LeDouble(46000.5) + Le32(0) + Str(l.Description) + Str("utf-8") + Str("text/html") + Le32(2) +
                    Str("/data/one.pdf") + Str("/data/two.png") + Le32(2);
  for (const auto& it : l.Items) dat += Str(it.To) + Str(it.Subject) + Str(it.Body) + Str(it.ReportText);
  EXPECT_EQ(FileBytes(dir + MailListFileName), dat);
  EXPECT_EQ(FileBytes(dir + MailIndexFileName),
            Le32(2) + LeDouble(46001.25) + std::string("\1\0", 2) + LeDouble(0) + std::string("\0\1", 2));
  EXPECT_EQ(FileBytes(dir + FailedListFileName), Le32(1) + Str("Timeout"));
  EXPECT_FALSE(fs::exists(dir + MailListCommitMark));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
}

TEST_F(MailListTest, ListRoundTripsWithItsState) {
  TMailList l = SampleList(50);
  l.Items[3].Sent = true;
  l.Items[3].SentTime = 46002.75;
  l.Items[7].Failed = true;
  l.Items[7].ErrorText = "550 No such user";
  l.Items[9].Body = std::string(200000, 'x');
  SaveListFiles(dir, l);
  TLoaded r = LoadAll(dir);
  ExpectSameItems(r.list, l, true);
  EXPECT_EQ(r.sent, 1);
  EXPECT_EQ(r.failed, 1);
}

TEST_F(MailListTest, IndexFileCutsOrIsReadUpToTheItems) {
  struct Case {
    int items, records, expected;
  };
  for (const Case c : {Case{5, 3, 3}, Case{5, 7, 5}, Case{5, 0, 0}, Case{0, 4, 0}}) {
    TMailList l = SampleList(c.items);
    SaveMailList(dir + MailListFileName, l);
    TMailList withRecords = SampleList(c.records);
    for (auto& it : withRecords.Items) it.Sent = true;
    SaveMailIndex(dir + MailIndexFileName, withRecords);
    TMailList read;
    int sent = -1, failed = -1;
    LoadMailList(dir + MailListFileName, read);
    LoadMailIndex(dir + MailIndexFileName, read, sent, failed);
    EXPECT_EQ(static_cast<int>(read.Items.size()), c.expected) << c.items << "/" << c.records;
    EXPECT_EQ(sent, c.expected);
    EXPECT_EQ(failed, 0);
  }
}

TEST_F(MailListTest, IndexRecordClaimingBothStatesCountsAsSent) {
  SaveMailList(dir + MailListFileName, SampleList(2));
  PutFileBytes(dir + MailIndexFileName,
               Le32(2) + LeDouble(1) + std::string("\1\1", 2) + LeDouble(2) + std::string("\0\7", 2));
  TLoaded r = LoadAll(dir);
  EXPECT_TRUE(r.list.Items[0].Sent);
  EXPECT_FALSE(r.list.Items[0].Failed);
  EXPECT_TRUE(r.list.Items[1].Failed);
  EXPECT_EQ(r.sent, 1);
  EXPECT_EQ(r.failed, 1);
}

TEST_F(MailListTest, FailedRecordsOutsideTheListAreSkipped) {
  TMailList l = SampleList(10);
  SaveMailList(dir + MailListFileName, l);
  PutFileBytes(dir + FailedListFileName, FailedRecord(12, "far") + FailedRecord(-1, "negative") +
                                             FailedRecord(9, "last") + FailedRecord(2, "first") +
                                             FailedRecord(2, "again") + FailedRecord(10, "just past"));
  TMailList read;
  LoadMailList(dir + MailListFileName, read);
  LoadFailedList(dir + FailedListFileName, read);
  for (size_t i = 0; i < read.Items.size(); ++i)
    EXPECT_EQ(read.Items[i].ErrorText, i == 9 ? "last" : i == 2 ? "again" : "") << i;
}

TEST_F(MailListTest, MissingFilesReadNothing) {
  TMailList l = SampleList(3);
  int sent = 7, failed = 8;
  LoadMailList(dir + MailListFileName, l);
  LoadFailedList(dir + FailedListFileName, l);
  LoadMailIndex(dir + MailIndexFileName, l, sent, failed);
  ExpectSameItems(l, SampleList(3), true);
  EXPECT_EQ(sent, 7);
  EXPECT_EQ(failed, 8);
}

TEST_F(MailListTest, ImpossibleCountsFailCleanly) {
  const std::string header = LeDouble(1) + Le32(0) + Str("") + Str("") + Str("");
  struct Case {
    const char* file;
    std::string bytes;
  };
  const Case cases[] = {
      {MailListFileName, header + Le32(0) + Le32(INT32_MIN) + std::string(20, 'A')},
      {MailListFileName, header + Le32(0) + Le32(INT32_MAX) + std::string(20, 'A')},
      {MailListFileName, header + Le32(0x7FFFFFFF) + std::string(20, 'A')},
      {MailListFileName, header + Le32(-3) + std::string(20, 'A')},
      {MailListFileName, header + Le32(0) + Le32(1) + Le32(0x7FFFFFF0) + std::string(12, 'A')},
      {MailIndexFileName, Le32(INT32_MIN) + std::string(36, 'A')},
      {MailIndexFileName, Le32(INT32_MAX) + std::string(36, 'A')},
      {MailIndexFileName, Le32(4) + std::string(36, 'A')},  // three whole records only
      {FailedListFileName, Le32(0) + Le32(INT32_MAX) + std::string(32, 'A')},
      {FailedListFileName, Le32(0) + Le32(-2) + std::string(32, 'A')},
  };
  for (const auto& c : cases) {
    SaveListFiles(dir, SampleList(3));
    PutFileBytes(dir + c.file, c.bytes);
    TLoaded r;
    r.list = SampleList(1, "kept");
    EXPECT_THROW(
        {
          LoadMailList(dir + MailListFileName, r.list);
          LoadFailedList(dir + FailedListFileName, r.list);
          LoadMailIndex(dir + MailIndexFileName, r.list, r.sent, r.failed);
        },
        EMailFileError)
        << c.file << " " << c.bytes.size();
  }
}

// Every loader on every prefix of a good file: a clean error, or (for the
// record stream of "Failed.dat") exactly the records that fit whole.
TEST_F(MailListTest, FilesCutAtEveryByte) {
  TMailList l = SampleList(4);
  l.Items[1].Failed = true;
  l.Items[1].ErrorText = "Timeout";
  l.Items[3].Failed = true;
  l.Items[3].ErrorText = "No response from DNS server";
  SaveListFiles(dir, l);
  const std::string dat = FileBytes(dir + MailListFileName);
  const std::string ind = FileBytes(dir + MailIndexFileName);
  const std::string failed = FileBytes(dir + FailedListFileName);
  const std::string cut = dir + "cut";

  for (size_t n = 0; n < dat.size(); ++n) {
    PutFileBytes(cut, dat.substr(0, n));
    TMailList read = SampleList(1, "kept");
    EXPECT_THROW(LoadMailList(cut, read), EMailFileError) << n;
    EXPECT_EQ(read.Items.size(), 1u);
    EXPECT_EQ(read.Items[0].To, "kept0@example.com");
  }
  for (size_t n = 0; n < ind.size(); ++n) {
    PutFileBytes(cut, ind.substr(0, n));
    TMailList read = l;
    int s = 0, f = 0;
    EXPECT_THROW(LoadMailIndex(cut, read, s, f), EMailFileError) << n;
    EXPECT_EQ(read.Items.size(), 4u);
  }
  const size_t firstRecord = FailedRecord(1, "Timeout").size();
  for (size_t n = 0; n < failed.size(); ++n) {
    PutFileBytes(cut, failed.substr(0, n));
    TMailList read = SampleList(4);
    if (n == 0 || n == firstRecord) {
      LoadFailedList(cut, read);
      EXPECT_EQ(read.Items[1].ErrorText, n ? "Timeout" : "");
      EXPECT_EQ(read.Items[3].ErrorText, "");
    } else {
      EXPECT_THROW(LoadFailedList(cut, read), EMailFileError) << n;
      for (const auto& it : read.Items) EXPECT_EQ(it.ErrorText, "");
    }
  }
}

// Random bytes changed anywhere: every load either succeeds within the
// file's size or reports the file as damaged.
TEST_F(MailListTest, RandomlyChangedFilesLoadOrFailCleanly) {
  TMailList l = SampleList(6);
  l.Items[2].Failed = true;
  l.Items[2].ErrorText = "Timeout";
  SaveListFiles(dir, l);
  std::mt19937 rng(7);
  for (const char* file : {MailListFileName, MailIndexFileName, FailedListFileName}) {
    const std::string good = FileBytes(dir + file);
    for (int round = 0; round < 1500; ++round) {
      std::string bytes = good;
      for (int flips = 1 + static_cast<int>(rng() % 4); flips > 0; --flips)
        bytes[rng() % bytes.size()] = static_cast<char>(rng());
      PutFileBytes(dir + file, bytes);
      try {
        TLoaded r = LoadAll(dir);
        EXPECT_LE(r.list.Items.size(), FileBytes(dir + MailListFileName).size() / 16);
        EXPECT_LE(r.sent + r.failed, static_cast<int>(r.list.Items.size()));
      } catch (const EMailFileError&) {
      }
    }
    PutFileBytes(dir + file, good);
  }
}

TEST_F(MailListTest, DamagedFileMessageNamesTheFile) {
  PutFileBytes(dir + MailListFileName, LeDouble(1) + Le32(0));
  TMailList read;
  try {
    LoadMailList(dir + MailListFileName, read);
    FAIL();
  } catch (const EMailFileError& e) {
    EXPECT_NE(std::string(e.what()).find(dir + MailListFileName), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos);
  }
}

// A save interrupted before its mark keeps the old list; after it, the next
// access finishes putting the new one in place.
TEST_F(MailListTest, InterruptedSaveLeavesOneWholeList) {
  const TMailList oldList = SampleList(3, "old"), newList = SampleList(5, "new");
  SaveListFiles(dir, oldList);
  TMailList partial = newList;
  // Before the mark: some new files written beside the old ones.
  PutFileBytes(dir + MailListFileName + ".new", "half");
  PutFileBytes(dir + MailIndexFileName + ".new", Le32(5));
  ExpectSameItems(LoadAll(dir).list, oldList, true);
  EXPECT_FALSE(fs::exists(dir + MailListFileName + ".new"));
  EXPECT_FALSE(fs::exists(dir + MailIndexFileName + ".new"));
  // After the mark, with one file already renamed.
  const std::string other = FreshDir("newlist");
  SaveListFiles(other, newList);
  fs::copy_file(other + MailListFileName, dir + MailListFileName, fs::copy_options::overwrite_existing);
  fs::copy_file(other + MailIndexFileName, dir + MailIndexFileName + ".new");
  fs::copy_file(other + FailedListFileName, dir + FailedListFileName + ".new");
  PutFileBytes(dir + MailListCommitMark, "");
  ExpectSameItems(LoadAll(dir).list, newList, true);
  EXPECT_FALSE(fs::exists(dir + MailListCommitMark));
  fs::remove_all(other);
}

// A writer killed at any moment leaves the old list or the new one, whole.
TEST_F(MailListTest, KilledWriterLeavesTheOldOrTheNewList) {
  TMailList oldList = SampleList(20, "old");
  oldList.Items[4].Failed = true;
  oldList.Items[4].ErrorText = "old error";
  TMailList newList = SampleList(3000, "new");
  for (auto& it : newList.Items) it.Body.assign(600, 'b');
  int sawOld = 0, sawNew = 0;
  for (int round = 0; round < 24; ++round) {
    SaveListFiles(dir, oldList);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        SaveListFiles(dir, newList);
      } catch (...) {
      }
      ::_exit(0);
    }
    ::usleep(static_cast<useconds_t>(round * 1500));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    TLoaded r = LoadAll(dir);
    if (r.list.Items.size() == oldList.Items.size()) {
      ExpectSameItems(r.list, oldList, true);
      EXPECT_EQ(r.failed, 1);
      ++sawOld;
    } else {
      ExpectSameItems(r.list, newList, true);
      EXPECT_EQ(r.failed, 0);
      ++sawNew;
    }
    for (const char* f : {MailListFileName, MailIndexFileName, FailedListFileName})
      EXPECT_FALSE(fs::exists(dir + f + ".new"));
  }
  EXPECT_EQ(sawOld + sawNew, 24);
  std::printf("killed writer: old %d, new %d\n", sawOld, sawNew);
}

TEST_F(MailListTest, SaveIntoAMissingFolderThrowsAndLeavesNothing) {
  EXPECT_THROW(SaveListFiles(dir + "missing/", SampleList(2)), EMailFileError);
  EXPECT_THROW(SaveMailIndex(dir + "missing/" + MailIndexFileName, SampleList(2)), EMailFileError);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 0);
}

// Thousands of item results recorded through the run files over many opens,
// with occasional resets of the failed items, compared after every session with
// a model of what the three files must load as.
TEST_F(MailListTest, RunRecordsMatchAModelAcrossOpens) {
  std::mt19937 rng(20261210);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const std::string texts[] = {"Timeout",
                               "550 Mailbox unavailable\r\n",
                               "",
                               "No response from DNS server",
                               std::string("before\0after", 12),
                               std::string(300, 'e')};
  for (int list = 0; list < 6; ++list) {
    TMailList model = SampleList(pick(1, 60));
    SaveListFiles(dir, model);
    for (int session = 0; session < 60; ++session) {
      if (pick(0, 9) == 0) {
        // Reset Failed Items rewrites both files whole.
        for (auto& it : model.Items)
          if (it.Failed) it.Failed = false, it.SentTime = 0, it.ErrorText.clear();
        SaveMailIndex(dir + MailIndexFileName, model);
        SaveFailedList(dir + FailedListFileName, model);
      } else {
        TMailRunFiles run;
        ASSERT_TRUE(run.Open(dir)) << run.Error();
        EXPECT_EQ(run.RecordCount(), static_cast<int>(model.Items.size()));
        for (int op = pick(1, 15); op > 0; --op) {
          const int i = pick(-1, static_cast<int>(model.Items.size()));
          TMailItem result;
          result.SentTime = 46000 + pick(0, 100000) / 1000.0;
          const bool inList = i >= 0 && i < static_cast<int>(model.Items.size());
          if (pick(0, 1)) {
            result.Sent = true;
            EXPECT_EQ(run.WriteIndexRecord(i, result), inList);
            if (inList) {
              auto& it = model.Items[static_cast<size_t>(i)];
              it.Sent = true, it.Failed = false, it.SentTime = result.SentTime;
            }
          } else {
            result.Failed = true;
            const std::string& text = texts[pick(0, 5)];
            EXPECT_EQ(run.WriteIndexRecord(i, result), inList);
            if (inList) {
              EXPECT_TRUE(run.AppendFailed(i, text));
              auto& it = model.Items[static_cast<size_t>(i)];
              it.Sent = false, it.Failed = true, it.SentTime = result.SentTime;
              it.ErrorText = text.substr(0, text.find('\0'));
            }
          }
        }
      }
      TLoaded r = LoadAll(dir);
      ExpectSameItems(r.list, model, true);
      int sent = 0, failed = 0;
      for (const auto& it : model.Items) sent += it.Sent, failed += it.Failed;
      EXPECT_EQ(r.sent, sent);
      EXPECT_EQ(r.failed, failed);
      if (HasFailure()) return;
    }
  }
}

TEST_F(MailListTest, RunFilesNeedAPreparedList) {
  TMailRunFiles run;
  EXPECT_FALSE(run.Open(dir));
  EXPECT_NE(run.Error().find(MailIndexFileName), std::string::npos);
  PutFileBytes(dir + MailIndexFileName, Le32(9));
  PutFileBytes(dir + FailedListFileName, "");
  EXPECT_FALSE(run.Open(dir));
  EXPECT_NE(run.Error().find("damaged"), std::string::npos);
}

TEST_F(MailListTest, StreamReaderStopsAtTheEnd) {
  PutFileBytes(dir + "s", Le32(3) + "ab");
  TFileHandle h;
  ASSERT_TRUE(h.Open(dir + "s", TFileAccess::Read));
  TBinaryReader r(h);
  std::string s;
  EXPECT_FALSE(r.ReadStr(s));
  double d = 0;
  EXPECT_FALSE(r.ReadDouble(d));
  EXPECT_EQ(r.Remaining(), 2);
  uint8_t b = 0;
  EXPECT_TRUE(r.ReadByte(b));
  EXPECT_EQ(b, 'a');
}

}  // namespace
