#include "withdrawal/ExtractData.h"
#include "withdrawal/MessageStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/SysUtils.h"
#include "support/WithdrawalTestSupport.h"
#include "withdrawal/Container.h"

namespace {

std::unique_ptr<TIdMessage> FullMessage() {
  auto m = std::make_unique<TIdMessage>();
  m->BccList.Add("bcc@example.org", "Blind Copy");
  m->Body = {"first line", "", "third line"};
  m->CCList.Add("cc1@example.org");
  m->CCList.Add("cc2@example.org", "Second");
  m->CharSet = "utf-8";
  m->ContentTransferEncoding = "quoted-printable";
  m->ContentType = "multipart/mixed";
  m->Date = 46001.5;
  m->ExtraHeaders = {"X-Mailer: test", "X-Other: 1"};
  m->From.SetText("Sender Name <from@example.org>");
  m->Headers = {"From: Sender Name <from@example.org>", "Subject: Hello"};
  m->IsEncoded = true;
  TIdText& t = m->MessageParts.AddText({"text part", "line 2"});
  t.ContentID = "<t1@x>";
  t.IsEncoded = true;
  t.Inline = false;
  t.ContentTransfer = "7bit";
  t.ContentType = "text/plain";
  t.ExtraHeaders = {"X-Part: t"};
  TIdAttachment& a = m->MessageParts.AddAttachment("report.pdf");
  a.ContentDisposition = "attachment; filename=\"report.pdf\"";
  a.ContentID = "<a1@x>";
  a.IsEncoded = false;
  a.Inline = true;
  a.ContentTransfer = "base64";
  a.ContentType = "application/pdf";
  a.ExtraHeaders = {"X-Part: a"};
  a.FileIsTempFile = true;
  a.StoredPathName = "/tmp/att/report.pdf";
  m->MsgId = "<id-1@example.org>";
  m->NewsGroups = {"comp.test"};
  m->NoDecode = true;
  m->Organization = "Org";
  m->Priority = mpHigh;
  m->ReceiptRecipient.SetText("receipt@example.org");
  m->Recipients.Add("to@example.org", "To Person");
  m->References = "<ref@x>";
  m->ReplyTo.Add("reply@example.org");
  m->Sender.SetText("sender@example.org");
  m->Subject = "Subject text";
  return m;
}

void ExpectPartTailEqual(const TIdMessagePart& a, const TIdMessagePart& b) {
  EXPECT_EQ(a.ContentID, b.ContentID);
  EXPECT_EQ(a.IsEncoded, b.IsEncoded);
  EXPECT_EQ(a.Inline, b.Inline);
  EXPECT_EQ(a.ContentTransfer, b.ContentTransfer);
  EXPECT_EQ(a.ContentType, b.ContentType);
  EXPECT_EQ(a.ExtraHeaders, b.ExtraHeaders);
  EXPECT_EQ(a.FileIsTempFile, b.FileIsTempFile);
  EXPECT_EQ(a.StoredPathName, b.StoredPathName);
}

void ExpectMessagesEqual(const TIdMessage& a, const TIdMessage& b, bool bodiesSkipped) {
  EXPECT_EQ(a.BccList.EMailAddresses(), b.BccList.EMailAddresses());
  EXPECT_EQ(bodiesSkipped ? TIdStrings{} : a.Body, b.Body);
  EXPECT_EQ(a.CCList.EMailAddresses(), b.CCList.EMailAddresses());
  EXPECT_EQ(a.CharSet, b.CharSet);
  EXPECT_EQ(a.ContentTransferEncoding, b.ContentTransferEncoding);
  EXPECT_EQ(a.ContentType, b.ContentType);
  EXPECT_EQ(a.Date, b.Date);
  EXPECT_EQ(a.ExtraHeaders, b.ExtraHeaders);
  EXPECT_EQ(a.From.Text(), b.From.Text());
  EXPECT_EQ(a.Headers, b.Headers);
  EXPECT_EQ(a.IsEncoded, b.IsEncoded);
  ASSERT_EQ(a.MessageParts.Count(), b.MessageParts.Count());
  for (int i = 0; i < a.MessageParts.Count(); ++i) {
    SCOPED_TRACE(i);
    const TIdMessagePart& pa = a.MessageParts[i];
    const TIdMessagePart& pb = b.MessageParts[i];
    ASSERT_EQ(pa.Kind(), pb.Kind());
    if (pa.Kind() == TIdPartKind::Text) {
      EXPECT_EQ(bodiesSkipped ? TIdStrings{} : static_cast<const TIdText&>(pa).Body,
                static_cast<const TIdText&>(pb).Body);
    } else {
      EXPECT_EQ(static_cast<const TIdAttachment&>(pa).FileName, static_cast<const TIdAttachment&>(pb).FileName);
      EXPECT_EQ(static_cast<const TIdAttachment&>(pa).ContentDisposition,
                static_cast<const TIdAttachment&>(pb).ContentDisposition);
    }
    ExpectPartTailEqual(pa, pb);
  }
  EXPECT_EQ(a.MsgId, b.MsgId);
  EXPECT_EQ(a.NewsGroups, b.NewsGroups);
  EXPECT_EQ(a.NoDecode, b.NoDecode);
  EXPECT_EQ(a.Organization, b.Organization);
  EXPECT_EQ(a.Priority, b.Priority);
  EXPECT_EQ(a.ReceiptRecipient.Text(), b.ReceiptRecipient.Text());
  EXPECT_EQ(a.Recipients.EMailAddresses(), b.Recipients.EMailAddresses());
  EXPECT_EQ(a.References, b.References);
  EXPECT_EQ(a.ReplyTo.EMailAddresses(), b.ReplyTo.EMailAddresses());
  EXPECT_EQ(a.Sender.Text(), b.Sender.Text());
  EXPECT_EQ(a.Subject, b.Subject);
}

std::string S(const std::string& s) { return LE32(static_cast<int32_t>(s.size())) + s; }

std::string L(const std::vector<std::string>& l) {
  std::string r = LE32(static_cast<int32_t>(l.size()));
  for (const auto& s : l) r += S(s);
  return r;
}

std::string D(double v) {
  std::string r(8, '\0');
  std::memcpy(r.data(), &v, 8);  // the test machine is little-endian
  return r;
}

class MessageStoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    saved = FormatSettings();
    TFormatSettings fs = TFormatSettings::Default();
    fs.DecimalSeparator = '.';
    SetFormatSettings(fs);
  }
  void TearDown() override { SetFormatSettings(saved); }

  std::unique_ptr<TExtractData> Data() {
    auto d = std::make_unique<TExtractData>(temp.Path());
    d->Clock = [this] { return clock; };
    return d;
  }
  // The record bytes of an entry, up to its capacity.
  std::string Record(const std::string& path, const std::string& name, const std::string& type) {
    diskfile disk;
    logdisk c;
    DiskInit(disk, temp.File("Popmail.dat"), c, path, name, type);
    DiskOpen(disk, 2, 3);
    DiskOpenNamed(c);
    std::string r;
    if (!DiskEof(c) && disk.IoResult == 0) {
      r.resize(static_cast<size_t>(c.Capacity));
      DiskRead(c, r.data(), c.Capacity);
    }
    DiskClose(disk);
    return r;
  }
  std::vector<TDiskSlot> Slots(const std::string& path) {
    diskfile disk;
    logdisk c;
    DiskInit(disk, temp.File("Popmail.dat"), c, path, "", "");
    DiskOpen(disk, 2, 3);
    DiskFindEntry(c);
    std::vector<TDiskSlot> s;
    if (!DiskEof(c)) s = DiskReadFolder(c);
    DiskClose(disk);
    return s;
  }

  TTempFolder temp;
  TFormatSettings saved;
  TDateTime clock = 46001.123456789;
};

TEST_F(MessageStoreTest, RecordRoundTripsFullAndWithBodiesSkipped) {
  auto m = FullMessage();
  diskfile disk;
  logdisk c;
  DiskInit(disk, temp.File("Popmail.dat"), c, ":", "M", "dat");
  DiskCreate(disk, 2, 3);
  DiskBeginWrite(c, 512);
  WriteMessage(c, *m);
  EXPECT_EQ(c.RecordOffset, 0);  // taken by value
  ASSERT_EQ(disk.IoResult, 0);
  DiskClose(disk);

  for (bool skip : {false, true}) {
    SCOPED_TRACE(skip);
    DiskOpen(disk, 2, 3);
    DiskOpenNamed(c);
    TIdMessage back;
    ReadMessage(c, back, skip);
    EXPECT_EQ(disk.IoResult, 0);
    ExpectMessagesEqual(*m, back, skip);
    DiskClose(disk);
  }
}

TEST_F(MessageStoreTest, RecordLayoutIsItemByItem) {
  TIdMessage m;
  m.Body = {"b"};
  m.CharSet = "cs";
  m.Date = 2.25;
  m.From.SetText("f@x");
  m.IsEncoded = true;
  TIdAttachment& a = m.MessageParts.AddAttachment("a.txt");
  a.ContentDisposition = "attachment";
  a.Inline = true;
  a.StoredPathName = "/p/a.txt";
  TIdText& t = m.MessageParts.AddText({"t"});
  t.ContentType = "text/plain";
  t.IsEncoded = true;
  m.MsgId = "<id>";
  m.Priority = mpLow;
  m.Subject = "s";
  diskfile disk;
  logdisk c;
  DiskInit(disk, temp.File("Popmail.dat"), c, ":", "M", "dat");
  DiskCreate(disk, 2, 3);
  DiskBeginWrite(c, 512);
  WriteMessage(c, m);
  DiskClose(disk);
  const std::string B0("\0", 1), B1("\1", 1);
  std::string expected =
      S("") + L({"b"}) + S("") + S("cs") + S("") + S("") + D(2.25) + L({}) + S("f@x") + L({}) + B1 + LE32(2) +
      // attachment: name, disposition, tail
      LE32(0) + S("a.txt") + S("attachment") + S("") + B0 + B1 + S("") + S("") + L({}) + B0 + S("/p/a.txt") +
      // text part: body, tail
      LE32(1) + L({"t"}) + S("") + B1 + B0 + S("") + S("text/plain") + L({}) + B0 + S("") + S("<id>") + L({}) + B0 +
      S("") + std::string(1, char(mpLow)) + S("") + S("") + S("") + S("") + S("") + S("s");
  std::string record = Record(":", "M", "dat");
  ASSERT_GE(record.size(), expected.size());
  EXPECT_EQ(record.substr(0, expected.size()), expected);
}

TEST_F(MessageStoreTest, TimeTextNamesEntries) {
  EXPECT_EQ(MessageTimeText(46001.5), "46001.5");
  EXPECT_EQ(MessageTimeText(46001.123456789), "46001.123456789");
  TFormatSettings fs = FormatSettings();
  fs.DecimalSeparator = ',';
  SetFormatSettings(fs);
  EXPECT_EQ(MessageTimeText(46001.5), "46001,5");
  auto d = Data();
  TIdMessage m;
  d->StoreMessage(m, "Inbox");
  auto slots = Slots(":Inbox");
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].Name, "46001,12");
  EXPECT_EQ(slots[0].Type, "3456789");
}

TEST_F(MessageStoreTest, NowIsToTheMillisecond) {
  TDateTime now = MessageTimeNow();
  double ms = now * 86400000.0;
  EXPECT_NEAR(ms, std::round(ms), 1e-3);
  EXPECT_NEAR(now, Now(), 2.0 / 86400.0);
}

TEST_F(MessageStoreTest, FirstStoreCreatesVersionInboxAndEntry) {
  auto d = Data();
  auto m = FullMessage();
  d->StoreMessage(*m, "Inbox");
  ASSERT_EQ(d->StoreIoResult(), 0);
  auto root = Slots(":");
  ASSERT_EQ(root.size(), 3u);
  EXPECT_EQ(root[0].Name, "info");
  EXPECT_EQ(root[1].Name, "Version");
  EXPECT_EQ(root[1].Type, "dat");
  EXPECT_EQ(root[2].Name, "Inbox");
  EXPECT_EQ(root[2].Type, "dir");
  EXPECT_EQ(Record(":", "Version", "dat").substr(0, 4), LE32(1));
  auto inbox = Slots(":Inbox");
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0].Name, "46001.12");
  EXPECT_EQ(inbox[0].Type, "3456789");

  d->ReadMailList();
  ASSERT_EQ(d->MailList.size(), 1u);
  EXPECT_EQ(d->MailList[0].EntryName, "46001.123456789");
  ExpectMessagesEqual(*m, *d->MailList[0].Message, true);
  auto full = d->ReadFullMessage(d->MailList[0].EntryName);
  ASSERT_TRUE(full);
  ExpectMessagesEqual(*m, *full, false);
}

TEST_F(MessageStoreTest, TwoStoresInTheSameMillisecondReplace) {
  auto d = Data();
  TIdMessage a, b;
  a.Subject = "first";
  b.Subject = "second";
  d->StoreMessage(a, "Inbox");
  d->StoreMessage(b, "Inbox");
  EXPECT_EQ(Slots(":Inbox").size(), 1u);
  d->ReadMailList();
  ASSERT_EQ(d->MailList.size(), 1u);
  EXPECT_EQ(d->MailList[0].Message->Subject, "second");
}

TEST_F(MessageStoreTest, ListIsNewestFirstAndEqualDatesListTheLaterSlotFirst) {
  auto d = Data();
  struct Item {
    TDateTime date;
    const char* subject;
  };
  const Item items[] = {{100, "old"}, {300, "tie-1"}, {200, "mid"}, {300, "tie-2"}, {400, "new"}};
  for (const Item& it : items) {
    TIdMessage m;
    m.Date = it.date;
    m.Subject = it.subject;
    m.Body = {"body of", it.subject};
    d->StoreMessage(m, "Inbox");
    clock += 1.0 / 86400000.0;  // the next millisecond
  }
  d->ReadMailList();
  std::vector<std::string> subjects;
  for (const auto& mail : d->MailList) {
    subjects.push_back(mail.Message->Subject);
    EXPECT_TRUE(mail.Message->Body.empty());
  }
  EXPECT_EQ(subjects, (std::vector<std::string>{"new", "tie-2", "tie-1", "mid", "old"}));
  auto full = d->ReadFullMessage(d->MailList[3].EntryName);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->Body, (TIdStrings{"body of", "mid"}));
}

TEST_F(MessageStoreTest, SortMessagesByDateTable) {
  struct Case {
    std::vector<double> dates;
    std::vector<int> order;  // input indices in output order
  };
  const Case cases[] = {
      {{}, {}}, {{5}, {0}}, {{1, 2}, {1, 0}}, {{2, 1}, {0, 1}}, {{3, 3, 3}, {2, 1, 0}}, {{1, 3, 2, 3}, {3, 1, 2, 0}},
  };
  for (const Case& k : cases) {
    TPop3MailList list;
    for (size_t i = 0; i < k.dates.size(); ++i) {
      auto m = std::make_unique<TIdMessage>();
      m->Date = k.dates[i];
      list.push_back({std::to_string(i), std::move(m)});
    }
    SortMessagesByDate(list);
    std::vector<int> got;
    for (const auto& mail : list) got.push_back(std::stoi(mail.EntryName));
    EXPECT_EQ(got, k.order);
  }
}

TEST_F(MessageStoreTest, DeletingSelectedMessages) {
  auto d = Data();
  for (const char* s : {"a", "b", "c"}) {
    TIdMessage m;
    m.Subject = s;
    m.Date = clock;
    d->StoreMessage(m, "Inbox");
    clock += 1.0 / 86400000.0;
  }
  d->ReadMailList();
  ASSERT_EQ(d->MailList.size(), 3u);
  // Newest first: c, b, a.
  d->DeleteMessages({d->MailList[0].EntryName, d->MailList[2].EntryName});
  ASSERT_EQ(d->MailList.size(), 1u);
  EXPECT_EQ(d->MailList[0].Message->Subject, "b");
  auto slots = Slots(":Inbox");
  ASSERT_EQ(slots.size(), 3u);
  EXPECT_EQ(slots[0].Type, "free");
  EXPECT_EQ(slots[2].Type, "free");
  // A new message takes a free slot instead of growing the folder.
  TIdMessage m;
  m.Subject = "d";
  d->StoreMessage(m, "Inbox");
  EXPECT_EQ(Slots(":Inbox").size(), 3u);
  d->ReadMailList();
  EXPECT_EQ(d->MailList.size(), 2u);
}

TEST_F(MessageStoreTest, IdsAfterARunAreExactlyThatRunsIds) {
  {
    auto d = Data();
    EXPECT_TRUE(d->KnownIds.empty());
    d->SeenIds = {"<a@x>", "<b@x>", ""};
    d->CommitMessageIds();
    // A reply without an id is never known: it would hide every later one without an id.
    EXPECT_EQ(d->KnownIds, (TUniqueIds{"<a@x>", "<b@x>"}));
    EXPECT_TRUE(d->SeenIds.empty());
    EXPECT_TRUE(d->IsKnownMessageId("<a@x>"));
    EXPECT_FALSE(d->IsKnownMessageId("<A@x>"));
    EXPECT_FALSE(d->IsKnownMessageId(""));
  }
  // The ids file was created with its version entry.
  auto root = Slots(":");
  ASSERT_EQ(root.size(), 3u);
  EXPECT_EQ(root[1].Name, "Version");
  EXPECT_EQ(root[2].Name, "Ids");
  {
    auto d = Data();  // loads them
    EXPECT_EQ(d->KnownIds, (TUniqueIds{"<a@x>", "<b@x>"}));
    d->SeenIds = {"<b@x>", "<c@x>"};
    d->CommitMessageIds();
  }
  auto d = Data();
  EXPECT_EQ(d->KnownIds, (TUniqueIds{"<b@x>", "<c@x>"}));
  d->CommitMessageIds();  // a run that left nothing on the server
  EXPECT_TRUE(Data()->KnownIds.empty());
}

TEST_F(MessageStoreTest, StoreCreatesAMissingProgramFolder) {
  TExtractData d(temp.Path() / "not" / "yet");
  TIdMessage m;
  m.Subject = "kept";
  d.StoreMessage(m, "Inbox");
  d.ReadMailList();
  ASSERT_EQ(d.MailList.size(), 1u);
  EXPECT_EQ(d.MailList[0].Message->Subject, "kept");
}

TEST_F(MessageStoreTest, MissingStoreGivesNothingAndCreatesNothing) {
  auto d = Data();
  EXPECT_TRUE(d->KnownIds.empty());
  d->ReadMailList();
  EXPECT_TRUE(d->MailList.empty());
  EXPECT_EQ(d->ReadFullMessage("46001.123456789"), nullptr);
  d->DeleteMessages({"46001.123456789"});
  EXPECT_FALSE(std::filesystem::exists(temp.File("Popmail.dat")));
}

TEST_F(MessageStoreTest, DamagedEntryDoesNotHideTheOthers) {
  auto d = Data();
  for (const char* s : {"a", "b", "c"}) {
    TIdMessage m;
    m.Subject = s;
    m.Body = {std::string(600, s[0])};
    d->StoreMessage(m, "Inbox");
    clock += 1.0 / 86400000.0;
  }
  auto slots = Slots(":Inbox");
  ASSERT_EQ(slots.size(), 3u);
  std::string bytes = ReadFileBytes(temp.File("Popmail.dat"));
  PutInt32At(bytes, size_t(slots[1].First) + 4, 0x7ffffff0);  // b's chain leaves the file
  WriteFileBytes(temp.File("Popmail.dat"), bytes);
  d->ReadMailList();
  std::vector<std::string> subjects;
  for (const auto& mail : d->MailList) subjects.push_back(mail.Message->Subject);
  EXPECT_EQ(subjects, (std::vector<std::string>{"c", "a"}));
  // A record cut short keeps what could be read.
  bytes.resize(size_t(slots[2].First) + 8 + 20);
  WriteFileBytes(temp.File("Popmail.dat"), bytes);
  d->ReadMailList();
  EXPECT_LE(d->MailList.size(), 3u);
  EXPECT_EQ(d->StoreIoResult(), 0);
}

}  // namespace

TEST_F(MessageStoreTest, DeletingAMessageRemovesOnlyTheFilesReceivedForIt) {
  namespace fs = std::filesystem;
  const fs::path attachments = temp.Path() / "Attachments";
  auto received = [&](const std::string& tag, int files) {
    std::string raw = "From: a@example.org\r\nSubject: " + tag +
                      "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                      "--b\r\nContent-Type: text/plain\r\n\r\nbody\r\n";
    for (int i = 0; i < files; ++i)
      raw += "--b\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"" + tag +
             std::to_string(i) + ".bin\"\r\n\r\ncontent " + tag + "\r\n";
    raw += "--b--\r\n";
    TIdMessage m;
    m.AttachmentFolder = attachments;
    m.LoadFromString(raw);
    return m;
  };
  auto storedFiles = [](const TIdMessage& m) {
    std::vector<fs::path> files;
    for (int i = 0; i < m.MessageParts.Count(); ++i)
      if (m.MessageParts[i].Kind() == TIdPartKind::Attachment) files.push_back(m.MessageParts[i].StoredPathName);
    return files;
  };
  auto d = Data();
  d->AttachmentFolder = attachments;

  TIdMessage deleted = received("gone", 2);
  const std::vector<fs::path> deletedFiles = storedFiles(deleted);
  ASSERT_EQ(deletedFiles.size(), 2u);
  d->StoreMessage(deleted, "Inbox");
  clock += 1.0 / 86400000.0;

  TIdMessage kept = received("kept", 1);
  const std::vector<fs::path> keptFiles = storedFiles(kept);
  ASSERT_EQ(keptFiles.size(), 1u);
  d->StoreMessage(kept, "Inbox");
  clock += 1.0 / 86400000.0;

  // A damaged record naming files that the store did not write for it.
  const fs::path ownFolder = attachments / "00112233aabbccdd";
  fs::create_directories(ownFolder);
  WriteFileBytes(temp.File("outside.txt"), "outside");
  WriteFileBytes((ownFolder / "not-received.txt").string(), "mine");
  WriteFileBytes(temp.File("target.txt"), "target");
  fs::create_symlink(temp.Path() / "target.txt", ownFolder / "link.txt");
  TIdMessage forged;
  forged.Subject = "forged";
  struct Named {
    fs::path path;
    bool received;
  };
  const Named named[] = {
      {temp.Path() / "outside.txt", true},
      {ownFolder / ".." / ".." / "outside.txt", true},
      {attachments / ".." / "outside.txt", true},
      {ownFolder / "not-received.txt", false},
      {ownFolder / "link.txt", true},
      {attachments, true},
  };
  for (const Named& n : named) {
    TIdAttachment& a = forged.MessageParts.AddAttachment(n.path.filename().string());
    a.FileIsTempFile = n.received;
    a.StoredPathName = n.path;
  }
  d->StoreMessage(forged, "Inbox");

  d->ReadMailList();
  ASSERT_EQ(d->MailList.size(), 3u);
  std::vector<std::string> names;
  for (const auto& mail : d->MailList)
    if (mail.Message->Subject != "kept") names.push_back(mail.EntryName);
  d->DeleteMessages(names);
  ASSERT_EQ(d->MailList.size(), 1u);
  EXPECT_EQ(d->MailList[0].Message->Subject, "kept");

  for (const fs::path& f : deletedFiles) EXPECT_FALSE(fs::exists(f)) << f;
  EXPECT_FALSE(fs::exists(deletedFiles[0].parent_path()));
  EXPECT_EQ(ReadFileBytes(keptFiles[0].string()), "content kept");
  EXPECT_EQ(ReadFileBytes(temp.File("outside.txt")), "outside");
  EXPECT_EQ(ReadFileBytes((ownFolder / "not-received.txt").string()), "mine");
  EXPECT_EQ(ReadFileBytes(temp.File("target.txt")), "target");
  EXPECT_TRUE(fs::is_directory(attachments));
}
