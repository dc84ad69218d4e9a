// Sends a prepared list of 20,000 items of about 5 KB with 15 threads to an
// SMTP sink on loopback and prints messages/s, the CPU time and the peak
// memory of the sending process. The sink runs in a child process: Postfix's
// smtp-sink when smtp-source and smtp-sink are on the PATH (then smtp-source
// also sends the same count with 15 sessions, and the ratios of throughput and
// of CPU time per message are printed), else a small sink of our own.
// Arguments: item count, thread count.
//
// smtp-source and smtp-sink come with Debian's postfix (in /usr/sbin). To have
// them without a mail daemon starting, as root:
//   printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d; chmod +x /usr/sbin/policy-rc.d
//   echo "postfix postfix/main_mailer_type select No configuration" | debconf-set-selections
//   DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends postfix
//   PATH=$PATH:/usr/sbin build/bench/bench_mailing_run

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "mailing/MailListFiles.h"
#include "mailing/MailRun.h"
#include "net/IdMessage.h"
#include "platform/Dispatcher.h"
#include "platform/MessageBox.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double CpuSeconds(int who) {
  rusage u{};
  ::getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long PeakKb() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

std::string OnPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "";
  size_t from = 0;
  while (from <= p.size()) {
    const size_t to = std::min(p.find(':', from), p.size());
    const std::string candidate = p.substr(from, to - from) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    from = to + 1;
  }
  return {};
}

// ---- our own sink: one thread per connection, every message accepted.

void Reply(int fd, const char* text) { (void)!::write(fd, text, std::strlen(text)); }

void Session(int fd, std::atomic<long>* messages) {
  Reply(fd, "220 sink ESMTP\r\n");
  std::string buf;
  bool inData = false;
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    buf.append(chunk, static_cast<size_t>(n));
    size_t pos = 0;
    bool quit = false;
    for (;;) {
      if (inData) {
        const size_t end = buf.find("\r\n.\r\n", pos > 2 ? pos - 2 : 0);
        if (end == std::string::npos) break;
        pos = end + 5;
        inData = false;
        ++*messages;
        Reply(fd, "250 2.0.0 queued\r\n");
        continue;
      }
      const size_t eol = buf.find("\r\n", pos);
      if (eol == std::string::npos) break;
      const std::string verb = buf.substr(pos, std::min<size_t>(4, eol - pos));
      pos = eol + 2;
      if (verb == "EHLO" || verb == "ehlo")
        Reply(fd, "250-sink\r\n250-PIPELINING\r\n250 8BITMIME\r\n");
      else if (verb == "DATA" || verb == "data") {
        Reply(fd, "354 go on\r\n");
        inData = true;
        pos -= 2;  // the data's first line may be the empty one
      } else if (verb == "QUIT" || verb == "quit") {
        Reply(fd, "221 bye\r\n");
        quit = true;
        break;
      } else
        Reply(fd, "250 OK\r\n");
    }
    buf.erase(0, pos);
    if (quit) break;
  }
  ::close(fd);
}

// Serves until the parent closes the pipe, then writes the message count to it.
[[noreturn]] void OwnSink(int listenFd, int reportFd, int stopFd) {
  std::atomic<long> messages{0};
  std::thread acceptor([&] {
    for (;;) {
      const int fd = ::accept(listenFd, nullptr, nullptr);
      if (fd < 0) return;
      std::thread(Session, fd, &messages).detach();
    }
  });
  acceptor.detach();
  char c;
  while (::read(stopFd, &c, 1) > 0) {
  }
  const std::string count = std::to_string(messages.load()) + "\n";
  (void)!::write(reportFd, count.data(), count.size());
  std::_Exit(0);
}

int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 128) != 0) return -1;
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

class TQuietView : public ISendView {
public:
  void SendStateChanged(TSendState, const TSendControls&) override {}
  void SetWaitCursor(bool) override {}
  void ShowDescription(const std::string&) override {}
  void ShowStatus(const std::string&) override { ++updates; }
  void ShowCounters(const TSendCounters&) override { ++updates; }
  void ShowProgress(int, const std::string&) override {}
  void UpdateCaption() override {}
  void DisableStartButton() override {}
  void SetTimer3(bool) override {}
  void BringToFront() override {}
  void ShowError(const std::string& t) override { ErrorBox(t); }
  bool Confirm(const std::string& q) override { return ConfirmBox(q) == TMsgResult::Yes; }
  bool AskRetry(const std::string& t) override {
    return MessageService().Show(TMsgKind::Error, t, "Error", TMsgButtons::AbortRetry) == TMsgResult::Retry;
  }
  long updates = 0;
};

// Runs the program to its end; cpu: its user + system time.
int RunChild(const std::vector<std::string>& argv, double& cpu) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (auto& s : argv) args.push_back(const_cast<char*>(s.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  rusage u{};
  ::wait4(pid, &status, 0, &u);
  cpu = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
        static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int threads = argc > 2 ? std::atoi(argv[2]) : 15;
  const std::string smtpSource = OnPath("smtp-source"), smtpSink = OnPath("smtp-sink");
  const bool postfix = !smtpSource.empty() && !smtpSink.empty();

  // The sink first, before this process has any thread.
  int port = 0;
  pid_t sinkPid = -1;
  int stopPipe[2] = {-1, -1}, reportPipe[2] = {-1, -1};
  if (postfix) {
    int probe = ListenOnLoopback(port);
    ::close(probe);
    sinkPid = ::fork();
    if (sinkPid == 0) {
      const std::string where = "127.0.0.1:" + std::to_string(port);
      if (::geteuid() == 0)
        ::execl(smtpSink.c_str(), "smtp-sink", "-u", "nobody", where.c_str(), "256", static_cast<char*>(nullptr));
      else
        ::execl(smtpSink.c_str(), "smtp-sink", where.c_str(), "256", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  } else {
    const int listenFd = ListenOnLoopback(port);
    if (listenFd < 0 || ::pipe(stopPipe) != 0 || ::pipe(reportPipe) != 0) {
      std::fprintf(stderr, "cannot start the sink\n");
      return 1;
    }
    sinkPid = ::fork();
    if (sinkPid == 0) {
      ::close(stopPipe[1]);
      ::close(reportPipe[0]);
      OwnSink(listenFd, reportPipe[1], stopPipe[0]);
    }
    ::close(listenFd);
    ::close(stopPipe[0]);
    ::close(reportPipe[1]);
  }

  InitMailLibraries();
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("larkpost_bench_mailrun_" + std::to_string(::getpid()))).string() +
      "/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string body = "<HTML><BODY>";
  while (body.size() < 5000) body += "<DIV>Dear customer, this line stands for the merged text.</DIV>\r\n";
  body += "</BODY></HTML>";
  {
    TMailList list;
    list.Prepared = 46000.5;
    list.Charset = "utf-8";
    list.ContentType = "text/html";
    list.Items.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      TMailItem& it = list.Items[static_cast<size_t>(i)];
      it.To = "client" + std::to_string(i) + "@example.com";
      it.Subject = "Offer for client " + std::to_string(i);
      it.Body = body;
    }
    SaveListFiles(dir, list);
  }
  TPreparedMailing mailing(dir, "utf-8");
  LoadMailList(dir + MailListFileName, mailing.MailList);
  LoadMailIndex(dir + MailIndexFileName, mailing.MailList, mailing.SentCount, mailing.FailedCount);

  TManualDispatcher dispatcher;
  TScopedDispatcher scoped(&dispatcher);
  TQuietView view;
  TProfile account;
  account.AccountName = "Bench";
  account.Name = "Bench Sender";
  account.Email = "bench@example.com";
  account.SmtpServer = "127.0.0.1";
  account.SmtpPort = std::to_string(port);
  double seconds = 0, cpu = 0;
  {
    TSendStateOwner state(mailing, view);
    TMailRun run(mailing, state, view);
    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    const auto t = Clock::now();
    if (!run.Start(account, threads)) {
      std::fprintf(stderr, "the run did not start\n");
      return 1;
    }
    auto nextPass = Clock::now();
    while (state.State() != ssIdle) {
      dispatcher.ProcessPending();
      if (run.Timer3Enabled() && Clock::now() >= nextPass) {
        run.Timer3Timer();
        nextPass = Clock::now() + std::chrono::milliseconds(100);
      }
      dispatcher.WaitForWork(10);
    }
    dispatcher.ProcessPending();
    seconds = Seconds(t);
    cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
  }
  std::printf("mailing run: %d items of %zu B, %d threads, %s sink\n", count, body.size(), threads,
              postfix ? "smtp-sink" : "own");
  std::printf("  sent %d, failed %d in %.2f s = %.0f messages/s\n", mailing.SentCount, mailing.FailedCount, seconds,
              mailing.SentCount / seconds);
  std::printf("  CPU time %.2f s (%.0f us per message), peak memory %ld KB, %ld window updates\n", cpu,
              mailing.SentCount ? 1e6 * cpu / mailing.SentCount : 0.0, PeakKb(), view.updates);

  if (postfix) {
    const auto t = Clock::now();
    const std::string where = "127.0.0.1:" + std::to_string(port);
    double sourceCpu = 0;
    RunChild({smtpSource, "-s", "15", "-m", std::to_string(count), "-l", "5120", where}, sourceCpu);
    const double sourceSeconds = Seconds(t);
    const double runUs = mailing.SentCount ? 1e6 * cpu / mailing.SentCount : 0.0;
    const double sourceUs = 1e6 * sourceCpu / count;
    std::printf("  smtp-source, 15 sessions: %.2f s = %.0f messages/s, CPU time %.2f s (%.0f us per message)\n",
                sourceSeconds, count / sourceSeconds, sourceCpu, sourceUs);
    std::printf("  run/smtp-source: throughput ratio %.2f, CPU per message ratio %.2f\n",
                (mailing.SentCount / seconds) / (count / sourceSeconds), sourceUs > 0 ? runUs / sourceUs : 0.0);
    ::kill(sinkPid, SIGTERM);
    ::waitpid(sinkPid, nullptr, 0);
  } else {
    ::close(stopPipe[1]);
    char buf[32] = {};
    const ssize_t n = ::read(reportPipe[0], buf, sizeof buf - 1);
    std::printf("  the sink counted %s", n > 0 ? buf : "nothing\n");
    ::waitpid(sinkPid, nullptr, 0);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
