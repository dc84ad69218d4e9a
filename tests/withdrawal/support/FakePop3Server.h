#pragma once
// A small POP3 server on 127.0.0.1 in a thread of the test, for the faults a
// real server does not make: garbage replies, a connection closed in the
// middle of a message, a huge message, silence. One connection at a time;
// the mailbox is taken at log-on and deletions apply at QUIT, as RFC 1939 has it.
// LIST states sizes (true ones unless told otherwise).

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TFakePop3Server {
public:
  enum class TFault {
    None,
    Refuse,       // "-ERR ..."
    Garbage,      // a reply line that is neither "+OK" nor "-ERR"
    CloseMidway,  // "+OK", half the message, then the connection closes
    Huge,         // "+OK" and HugeBytes of text lines, then the end
    Silent,       // no reply at all (the connection stays open)
  };
  struct TMessage {
    std::string text;  // "\n" or "\r\n" line ends
    TFault retr = TFault::None;
    TFault top = TFault::None;
    // LIST n: Refuse, Garbage or Silent; otherwise "+OK n size" with StatedSize, or
    // when that is negative the size of what RETR sends.
    TFault list = TFault::None;
    long long statedSize = -1;
    std::string listReply;  // when not empty, the line LIST n answers instead
  };

  TFakePop3Server();
  ~TFakePop3Server();
  TFakePop3Server(const TFakePop3Server&) = delete;
  TFakePop3Server& operator=(const TFakePop3Server&) = delete;

  int Port() const { return port_; }
  bool Ok() const { return port_ > 0; }

  void AddMessage(const std::string& text, TFault retr = TFault::None, TFault top = TFault::None);
  void AddMessage(const TMessage& m);
  // Faults of the greeting and of STAT (None, Garbage, Silent, Refuse).
  void SetGreetingFault(TFault f);
  void SetStatFault(TFault f);
  size_t HugeBytes = size_t(200) << 20;

  // The mailbox now (texts as added), and every command line received.
  std::vector<std::string> Mailbox() const;
  std::vector<std::string> Commands() const;
  int CommandCount(const std::string& prefix) const;
  int Sessions() const;

private:
  void Serve();
  void Session(int fd);

  int listen_ = -1;
  int port_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> client_{-1};
  mutable std::mutex lock_;
  std::vector<TMessage> mailbox_;
  std::vector<std::string> commands_;
  TFault greeting_ = TFault::None;
  TFault stat_ = TFault::None;
  int sessions_ = 0;
  std::thread thread_;
};

// Text with "\n" line ends given "\r\n" ones (lines already ending so stay).
std::string CrLf(const std::string& text);
