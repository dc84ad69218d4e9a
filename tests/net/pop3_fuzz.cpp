// A POP3 server's replies are hostile input: a whole session must end (no hang), without a
// crash, and hold no more than MaxMessageSize of a message.
// Input: one byte of options (bit 0: a small MaxMessageSize), then the server's replies in
// order, the greeting first, NUL between them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "FuzzPeer.h"
#include "net/IdPOP3.h"
#include "tests/support/FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TFuzzPeer& peer = *new TFuzzPeer;  // its thread outlives exit
  static const std::filesystem::path folder = FuzzScratchDir("lppop3_fuzz");
  if (size == 0) return 0;
  peer.Play(SplitFuzzReplies(data + 1, size - 1));
  {
    TIdPOP3 c;
    c.Host = "127.0.0.1";
    c.Port = peer.Port();
    c.Username = "user";
    c.Password = "secret";
    // Time-outs only as a backstop: the peer ends every wait itself.
    c.ConnectTimeoutMs = 2000;
    c.ReadTimeoutMs = 2000;
    c.MaxMessageSize = (data[0] & 1) ? 256 : size_t(1) << 20;
    bool connected = false;
    try {
      c.Connect();
      connected = true;
    } catch (const EIdException&) {
    }
    if (connected) {
      TIdMessage m;
      m.AttachmentFolder = folder;
      FuzzAttempt([&] { c.CheckMessages(); });
      FuzzAttempt([&] { c.RetrieveMsgSize(1); });
      FuzzAttempt([&] { c.RetrieveHeader(1, m); });
      FuzzAttempt([&] { c.Retrieve(1, m); });
      FuzzAttempt([&] {
        // Over the limit (its last line end aside) the message is refused, however it arrived.
        if (c.RetrieveRaw(2).size() > c.MaxMessageSize + 2) std::abort();
      });
      FuzzAttempt([&] { c.Delete(1); });
      FuzzAttempt([&] { c.Disconnect(); });
    }
  }
  peer.Finish();
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) std::filesystem::remove_all(e.path(), ec);
  return 0;
}
