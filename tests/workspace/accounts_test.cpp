// The accounts: "Prof.dat" in both layouts, the password scrambling, damaged
// files, the saved file's permissions, and the Accounts dialog's rules.

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "workspace/AccountRules.h"
#include "workspace/Profile.h"
#include "support/MailTestSupport.h"

namespace fs = std::filesystem;

namespace {

TProfile Sample(const std::string& name, const std::string& password) {
  TProfile p;
  p.AccountName = name;
  p.Name = "Ann Smith";
  p.Email = "ann@example.com";
  p.ReplyTo = "reply@example.com";
  p.UserId = "ann";
  p.Password = password;
  p.SmtpServer = "smtp.example.com";
  p.SmtpPort = "587";
  p.DnsServer = "10.0.0.1";
  p.Pop3Server = "pop.example.com";
  p.Pop3Port = "995";
  p.DirectDelivery = false;
  p.RequiredAuthentication = true;
  p.LeaveCopyOnServer = true;
  return p;
}

// One record's bytes as the file holds them, with two or three flag bytes.
std::string RecordBytes(const TProfile& p, const std::string& storedPassword, bool threeFlags) {
  std::string b = Str(p.AccountName) + Str(p.Name) + Str(p.Email) + Str(p.ReplyTo) + Str(p.UserId) +
                  Str(storedPassword) + Str(p.SmtpServer) + Str(p.SmtpPort) + Str(p.DnsServer) + Str(p.Pop3Server) +
                  Str(p.Pop3Port);
  b += static_cast<char>(p.DirectDelivery);
  b += static_cast<char>(p.RequiredAuthentication);
  if (threeFlags) b += static_cast<char>(p.LeaveCopyOnServer);
  return b;
}

void ExpectSame(const TProfile& a, const TProfile& b) {
  EXPECT_EQ(a.AccountName, b.AccountName);
  EXPECT_EQ(a.Name, b.Name);
  EXPECT_EQ(a.Email, b.Email);
  EXPECT_EQ(a.ReplyTo, b.ReplyTo);
  EXPECT_EQ(a.UserId, b.UserId);
  EXPECT_EQ(a.Password, b.Password);
  EXPECT_EQ(a.SmtpServer, b.SmtpServer);
  EXPECT_EQ(a.SmtpPort, b.SmtpPort);
  EXPECT_EQ(a.DnsServer, b.DnsServer);
  EXPECT_EQ(a.Pop3Server, b.Pop3Server);
  EXPECT_EQ(a.Pop3Port, b.Pop3Port);
  EXPECT_EQ(a.DirectDelivery, b.DirectDelivery);
  EXPECT_EQ(a.RequiredAuthentication, b.RequiredAuthentication);
  EXPECT_EQ(a.LeaveCopyOnServer, b.LeaveCopyOnServer);
}

class AccountsTest : public ::testing::Test {
protected:
  void SetUp() override { file = FreshDir("accounts") + ProfFileName; }
  void TearDown() override { fs::remove_all(fs::path(file).parent_path()); }
  std::string file;
};

TEST_F(AccountsTest, SevenCharacterPasswordUsesTheKeyFromItsSecondByte) {
  const std::string clear = "abcdefg";
  const unsigned char key[] = {0x15, 0xB2, 0x09, 0xC4, 0x6E, 0x15, 0xB2};
  const std::string scrambled = ScramblePassword(clear);
  ASSERT_EQ(scrambled.size(), 7u);
  for (size_t i = 0; i < 7; ++i)
    EXPECT_EQ(static_cast<unsigned char>(scrambled[i]), static_cast<unsigned char>(clear[i]) ^ key[i]) << i;
  EXPECT_EQ(ScramblePassword(scrambled), clear);
  EXPECT_EQ(ScramblePassword(""), "");
}

TEST_F(AccountsTest, CurrentLayoutIsWrittenByteForByte) {
  TProfiles list = {Sample("WORK", "pw")};
  ASSERT_TRUE(SaveAccounts(file, list));
  EXPECT_EQ(FileBytes(file), Le32(3003) + Le32(1) + RecordBytes(list[0], ScramblePassword("pw"), true));
}

// A password character equal to its key byte is stored as a zero byte; the
// reader must take the stored length, not stop at that byte.
TEST_F(AccountsTest, PasswordsHoldingKeyBytesRoundTrip) {
  const std::vector<std::string> passwords = {"abcdnfg", "ab\tx", "nnnnnnnnnn", "",
                                              std::string("\x15\xB2\x09\xC4n", 5)};
  for (const std::string& pw : passwords) {
    TProfiles list = {Sample("A", pw), Sample("B", "after")};
    ASSERT_TRUE(SaveAccounts(file, list));
    TProfiles back;
    ASSERT_TRUE(LoadAccounts(file, back).ok) << pw;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].Password, pw);
    ExpectSame(back[1], list[1]);
  }
  // On disk "abcdnfg" keeps its zero fifth byte.
  ASSERT_TRUE(SaveAccounts(file, {Sample("A", "abcdnfg")}));
  const std::string bytes = FileBytes(file);
  const std::string stored = ScramblePassword("abcdnfg");
  EXPECT_EQ(stored[4], '\0');
  EXPECT_NE(bytes.find(Le32(7) + stored), std::string::npos);
}

TEST_F(AccountsTest, EmptyPasswordIsAZeroLengthString) {
  TProfile p = Sample("A", "");
  ASSERT_TRUE(SaveAccounts(file, {p}));
  EXPECT_EQ(FileBytes(file), Le32(3003) + Le32(1) + RecordBytes(p, "", true));
}

TEST_F(AccountsTest, OlderLayoutLoadsAndIsSavedInTheCurrentOne) {
  TProfile a = Sample("FIRST", "secret"), b = Sample("SECOND", "abcdnfg");
  b.DirectDelivery = true;
  b.RequiredAuthentication = false;
  PutFileBytes(file, Le32(2) + RecordBytes(a, ScramblePassword(a.Password), false) +
                         RecordBytes(b, ScramblePassword(b.Password), false));
  TProfiles list;
  ASSERT_TRUE(LoadAccounts(file, list).ok);
  ASSERT_EQ(list.size(), 2u);
  a.LeaveCopyOnServer = b.LeaveCopyOnServer = false;
  ExpectSame(list[0], a);
  ExpectSame(list[1], b);
  ASSERT_TRUE(SaveAccounts(file, list));
  EXPECT_EQ(FileBytes(file), Le32(3003) + Le32(2) + RecordBytes(a, ScramblePassword(a.Password), true) +
                                 RecordBytes(b, ScramblePassword(b.Password), true));
}

TEST_F(AccountsTest, MissingOrEmptyFileGivesAnEmptyList) {
  TProfiles list = {Sample("X", "")};
  EXPECT_TRUE(LoadAccounts(file, list).ok);
  EXPECT_TRUE(list.empty());
  PutFileBytes(file, "");
  list = {Sample("X", "")};
  EXPECT_TRUE(LoadAccounts(file, list).ok);
  EXPECT_TRUE(list.empty());
}

TEST_F(AccountsTest, DamagedFilesFailCleanly) {
  const std::string good = Le32(3003) + Le32(2) +
                           RecordBytes(Sample("A", "abcdnfg"), ScramblePassword("abcdnfg"), true) +
                           RecordBytes(Sample("B", "x"), ScramblePassword("x"), true);
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {"huge count, current layout", Le32(3003) + Le32(INT32_MAX) + std::string(32, 'A')},
      {"count 2^31 (negative)", Le32(3003) + Le32(INT32_MIN) + std::string(32, 'A')},
      {"huge count, older layout", Le32(0x40000000) + std::string(36, 'A')},
      {"negative count, older layout", Le32(-5) + std::string(36, 'A')},
      {"huge string length", Le32(3003) + Le32(1) + Le32(0x7FFFFFF0) + std::string(32, 'A')},
      {"negative string length", Le32(3003) + Le32(1) + Le32(-1) + std::string(60, 'A')},
  };
  for (size_t cut = 1; cut < good.size(); ++cut) cases.push_back({"cut", good.substr(0, cut)});
  for (const auto& c : cases) {
    PutFileBytes(file, c.bytes);
    TProfiles list = {Sample("KEPT", "")};
    TAccountsLoad r = LoadAccounts(file, list);
    EXPECT_FALSE(r.ok) << c.what << " " << c.bytes.size();
    EXPECT_NE(r.error.find("damaged"), std::string::npos);
    EXPECT_TRUE(list.empty()) << c.what;
  }
  PutFileBytes(file, good);
  TProfiles list;
  EXPECT_TRUE(LoadAccounts(file, list).ok);
  EXPECT_EQ(list.size(), 2u);
}

TEST_F(AccountsTest, SavedFileIsOwnerOnlyAndLeavesNoTemporary) {
  PutFileBytes(file, "old");
  ::chmod(file.c_str(), 0644);
  ASSERT_TRUE(SaveAccounts(file, {Sample("A", "pw")}));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  int entries = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(fs::path(file).parent_path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_F(AccountsTest, UnwritableTargetKeepsTheOldFile) {
  std::string error;
  EXPECT_FALSE(SaveAccounts(fs::path(file).parent_path().string() + "/missing/Prof.dat", {}, &error));
  EXPECT_NE(error.find("Cannot write"), std::string::npos);
  // A folder in the file's place cannot be replaced: it stays, and no temporary is left.
  fs::create_directory(file);
  EXPECT_FALSE(SaveAccounts(file, {Sample("A", "")}, &error));
  EXPECT_TRUE(fs::is_directory(file));
  int entries = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(fs::path(file).parent_path())) ++entries;
  EXPECT_EQ(entries, 1);
}

// The dialog's rules.

TEST_F(AccountsTest, AddAppendsAnAccountWithTheDefaults) {
  TAccountBook book;
  EXPECT_EQ(book.Add("HOME"), 0);
  EXPECT_EQ(book.Add("WORK"), 1);
  EXPECT_TRUE(book.Changed);
  TProfile expected;
  expected.AccountName = "WORK";
  expected.SmtpPort = "25";
  expected.Pop3Port = "110";
  expected.DirectDelivery = true;
  ExpectSame(book.Profiles[1], expected);
  EXPECT_EQ(book.Names(), (std::vector<std::string>{"HOME", "WORK"}));
}

TEST_F(AccountsTest, EditsWriteTheSelectedAccountAndMarkTheListChanged) {
  TAccountBook book;
  book.Add("A");
  book.Changed = false;
  const std::pair<TAccountField, std::string TProfile::*> fields[] = {
      {TAccountField::Name, &TProfile::Name},
      {TAccountField::Email, &TProfile::Email},
      {TAccountField::ReplyTo, &TProfile::ReplyTo},
      {TAccountField::UserId, &TProfile::UserId},
      {TAccountField::Password, &TProfile::Password},
      {TAccountField::SmtpServer, &TProfile::SmtpServer},
      {TAccountField::SmtpPort, &TProfile::SmtpPort},
      {TAccountField::DnsServer, &TProfile::DnsServer},
      {TAccountField::Pop3Server, &TProfile::Pop3Server},
      {TAccountField::Pop3Port, &TProfile::Pop3Port},
  };
  for (const auto& [field, member] : fields) {
    book.Changed = false;
    book.SetField(0, field, "value " + std::to_string(static_cast<int>(field)));
    EXPECT_EQ(book.Profiles[0].*member, "value " + std::to_string(static_cast<int>(field)));
    EXPECT_TRUE(book.Changed);
  }
  book.Changed = false;
  book.SetField(-1, TAccountField::Name, "nobody");
  book.SetField(1, TAccountField::Name, "nobody");
  EXPECT_FALSE(book.Changed);
  book.SetDirectDelivery(0, false);
  book.SetRequiredAuthentication(0, true);
  book.SetLeaveCopyOnServer(0, true);
  EXPECT_TRUE(book.Changed);
  EXPECT_FALSE(book.Profiles[0].DirectDelivery);
  EXPECT_TRUE(book.Profiles[0].RequiredAuthentication);
  EXPECT_TRUE(book.Profiles[0].LeaveCopyOnServer);
}

TEST_F(AccountsTest, CloseSavesOnlyAChangedList) {
  TAccountBook book;
  EXPECT_EQ(book.Load(file), "");
  EXPECT_TRUE(book.SaveIfChanged(file));
  EXPECT_FALSE(fs::exists(file));
  book.Add("A");
  book.SetField(0, TAccountField::Password, "abcdnfg");
  EXPECT_TRUE(book.SaveIfChanged(file));
  EXPECT_FALSE(book.Changed);
  TAccountBook again;
  EXPECT_EQ(again.Load(file), "");
  ASSERT_EQ(again.Profiles.size(), 1u);
  EXPECT_EQ(again.Profiles[0].Password, "abcdnfg");
}

// A file that could not be read is kept beside the new one at the first save,
// so the accounts it still holds are not overwritten.
TEST_F(AccountsTest, SavingOverADamagedFileKeepsItsBytes) {
  const std::string damaged = Le32(3003) + Le32(2) + std::string(7, 'A');
  PutFileBytes(file, damaged);
  TAccountBook book;
  EXPECT_NE(book.Load(file), "");
  book.Add("New");
  EXPECT_TRUE(book.SaveIfChanged(file));
  EXPECT_EQ(FileBytes(TAccountBook::DamagedCopyName(file)), damaged);
  TAccountBook again;
  EXPECT_EQ(again.Load(file), "");
  ASSERT_EQ(again.Profiles.size(), 1u);
  // A later save of the now sound file keeps the copy as it was.
  again.Add("Second");
  EXPECT_TRUE(again.SaveIfChanged(file));
  EXPECT_EQ(FileBytes(TAccountBook::DamagedCopyName(file)), damaged);
}

TEST_F(AccountsTest, DeleteKeepsThePositionOrTakesTheLast) {
  TAccountBook book;
  for (const char* n : {"A", "B", "C"}) book.Add(n);
  EXPECT_EQ(book.Delete(1), 1);  // C moves up into B's place
  EXPECT_EQ(book.Names(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(book.Delete(1), 0);  // the last one: the new last is selected
  EXPECT_EQ(book.Delete(0), -1);
  EXPECT_TRUE(book.Profiles.empty());
  EXPECT_EQ(book.Delete(0), -1);
}

TEST_F(AccountsTest, DeletingTheOnlyAccountEmptiesEveryList) {
  TAccountBook book;
  book.Add("ONLY");
  TAccountLists before = RefreshAccountLists(book.Profiles, "", std::nullopt);
  before = RefreshAccountLists(book.Profiles, before.Names[0], std::nullopt);
  EXPECT_EQ(before.OptionsIndex, 0);
  const int selected = book.Delete(0);
  EXPECT_EQ(selected, -1);
  TAccountLists after = RefreshAccountLists(book.Profiles, "ONLY", std::string("ONLY"));
  EXPECT_TRUE(after.Names.empty());
  EXPECT_EQ(after.OptionsIndex, -1);
  EXPECT_EQ(after.WithdrawalIndex, -1);
  TAccountView v = ShowSelectedAccount(book.Profiles, selected);
  for (const std::string* s : {&v.Name, &v.Email, &v.ReplyTo, &v.UserId, &v.Password, &v.SmtpServer, &v.SmtpPort,
                               &v.DnsServer, &v.Pop3Server, &v.Pop3Port})
    EXPECT_EQ(*s, "");
  EXPECT_TRUE(v.DirectDelivery);
  EXPECT_FALSE(v.RequiredAuthentication);
  EXPECT_FALSE(v.LeaveCopyOnServer);
  TAccountEnabling e = UpdateAccountControls(false, false, true);
  for (bool on : {e.DeleteButton, e.Name, e.Email, e.ReplyTo, e.UserId, e.Password, e.Pop3Server, e.Pop3Port,
                  e.SmtpRadio, e.DirectRadio, e.SmtpServer, e.SmtpPort, e.RequiredAuthentication, e.DnsServer})
    EXPECT_FALSE(on);
  EXPECT_TRUE(e.LeaveCopyOnServer);
}

TEST_F(AccountsTest, RefreshFillsTheThreeListsAndKeepsTheChoices) {
  TProfiles list = {Sample("HOME", ""), Sample("WORK", ""), Sample("SHOP", "")};
  struct Case {
    std::string optionsText;
    std::optional<std::string> schemeAccount;
    int options, withdrawal;
  };
  const Case cases[] = {
      {"WORK", std::string("SHOP"), 1, 2},   {"GONE", std::string("HOME"), -1, 0}, {"", std::nullopt, -1, -1},
      {"work", std::string("GONE"), -1, -1},  // the text must be equal, case included
      {"SHOP", std::string(""), 2, -1},
  };
  for (const auto& c : cases) {
    TAccountLists l = RefreshAccountLists(list, c.optionsText, c.schemeAccount);
    EXPECT_EQ(l.Names, (std::vector<std::string>{"HOME", "WORK", "SHOP"}));
    EXPECT_EQ(l.OptionsIndex, c.options) << c.optionsText;
    EXPECT_EQ(l.WithdrawalIndex, c.withdrawal) << c.optionsText;
  }
}

TEST_F(AccountsTest, ShowSelectedAccountCopiesEveryField) {
  TProfiles list = {Sample("A", "pw1"), Sample("B", "pw2")};
  list[1].DirectDelivery = true;
  TAccountView v = ShowSelectedAccount(list, 1);
  EXPECT_EQ(v.Name, "Ann Smith");
  EXPECT_EQ(v.Email, "ann@example.com");
  EXPECT_EQ(v.ReplyTo, "reply@example.com");
  EXPECT_EQ(v.UserId, "ann");
  EXPECT_EQ(v.Password, "pw2");
  EXPECT_EQ(v.SmtpServer, "smtp.example.com");
  EXPECT_EQ(v.SmtpPort, "587");
  EXPECT_EQ(v.DnsServer, "10.0.0.1");
  EXPECT_EQ(v.Pop3Server, "pop.example.com");
  EXPECT_EQ(v.Pop3Port, "995");
  EXPECT_TRUE(v.DirectDelivery);
  EXPECT_TRUE(v.RequiredAuthentication);
  EXPECT_TRUE(v.LeaveCopyOnServer);
  EXPECT_EQ(ShowSelectedAccount(list, 2).Password, "");
}

TEST_F(AccountsTest, EnablingFollowsTheDeliveryChoice) {
  struct Case {
    bool smtp, direct;
  };
  for (const Case c : {Case{true, false}, Case{false, true}}) {
    TAccountEnabling e = UpdateAccountControls(true, c.smtp, c.direct);
    for (bool on : {e.DeleteButton, e.Name, e.Email, e.ReplyTo, e.UserId, e.Password, e.Pop3Server, e.Pop3Port,
                    e.SmtpRadio, e.DirectRadio, e.LeaveCopyOnServer})
      EXPECT_TRUE(on);
    EXPECT_EQ(e.SmtpServer, c.smtp);
    EXPECT_EQ(e.SmtpPort, c.smtp);
    EXPECT_EQ(e.RequiredAuthentication, c.smtp);
    EXPECT_EQ(e.DnsServer, c.direct);
  }
}

}  // namespace
