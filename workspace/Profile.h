#pragma once
// The mail accounts and their file "Prof.dat".
//
// "Prof.dat", little-endian; a string is an Int32 length then its bytes:
//   offset 0  Int32  format mark 3003
//   offset 4  Int32  count
//   offset 8         count records: AccountName, Name, Email, ReplyTo, UserId,
//                    Password (scrambled), SmtpServer, SmtpPort, DnsServer,
//                    Pop3Server, Pop3Port (strings); DirectDelivery,
//                    RequiredAuthentication, LeaveCopyOnServer (1 byte each, 0/1)
// The older layout, still read: no mark (the file starts with the count) and
// records end after RequiredAuthentication; LeaveCopyOnServer is then false.
// Passwords are only scrambled, not encrypted: the file is kept owner-only.

#include <cstdint>
#include <string>
#include <vector>

struct TProfile {
  std::string AccountName;  // unique, fixed at Add
  std::string Name;         // sender display name
  std::string Email;
  std::string ReplyTo;
  std::string UserId;    // SMTP and POP3 login
  std::string Password;  // clear text in memory
  std::string SmtpServer;
  std::string SmtpPort;   // digits, converted where used
  std::string DnsServer;  // asked for MX hosts in direct delivery
  std::string Pop3Server;
  std::string Pop3Port;
  bool DirectDelivery = false;  // true: straight to the recipients' mail exchangers
  bool RequiredAuthentication = false;
  bool LeaveCopyOnServer = false;
};

// Every account list shows the accounts in this order and addresses them by position.
using TProfiles = std::vector<TProfile>;

inline constexpr int32_t ProfFileMark = 3003;
inline constexpr const char* ProfFileName = "Prof.dat";

// The same operation both ways: byte i (from 1) XOR K[i mod 5] with the key
// 6E 15 B2 09 C4. A character equal to its key byte becomes a zero byte.
std::string ScramblePassword(const std::string& text);

struct TAccountsLoad {
  bool ok = true;
  std::string error;  // for the user, when not ok
};

// A missing or empty file gives an empty list. A damaged one (cut short, an
// impossible count or length) also leaves the list empty and says why.
TAccountsLoad LoadAccounts(const std::string& fileName, TProfiles& profiles);

// Writes the current layout through a temporary file with owner-only
// permissions. False (error set when given) when it could not be written;
// the old file then stays as it was.
bool SaveAccounts(const std::string& fileName, const TProfiles& profiles, std::string* error = nullptr);
