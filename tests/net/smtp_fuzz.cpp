// An SMTP server's replies are hostile input: a whole session must end (no hang) without a
// crash.
// Input: one byte of options (bit 0: AUTH LOGIN, bit 1: an EHLO name of our own, bit 2: an
// X-Mailer), then the server's replies in order, the greeting first, NUL between them.

#include <cstddef>
#include <cstdint>

#include "FuzzPeer.h"
#include "net/IdSMTP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TFuzzPeer& peer = *new TFuzzPeer("354");  // its thread outlives exit
  if (size == 0) return 0;
  peer.Play(SplitFuzzReplies(data + 1, size - 1));
  {
    TIdSMTP c;
    c.Host = "127.0.0.1";
    c.Port = peer.Port();
    if (data[0] & 1) {
      c.AuthenticationType = atLogin;
      c.Username = "user";
      c.Password = "secret";
    }
    if (data[0] & 2) c.HeloName = "client.example";
    if (data[0] & 4) c.MailAgent = "Larkpost";
    // Time-outs only as a backstop: the peer ends every wait itself.
    c.ConnectTimeoutMs = 2000;
    c.ReadTimeoutMs = 2000;
    TIdMessage m;
    m.From = {"sender@example.com", "Sender"};
    m.Recipients.Add("to@example.org");
    m.CCList.Add("cc@example.net", "Copy");
    m.Subject = "Hello";
    m.SetBodyText("Hello.\r\n.A line with a leading dot\r\n");
    FuzzAttempt([&] { c.Connect(); });
    // Also on a failed connection: Send opens a new one.
    FuzzAttempt([&] { c.Send(m); });
    FuzzAttempt([&] { c.Disconnect(); });
  }
  peer.Finish();
  return 0;
}
