// Runs itself as the other copy: "--lp-second-copy DIR ARGS..." hands ARGS to
// the running copy, "--lp-first-copy DIR" runs as the first copy until killed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/CommandLine.h"
#include "platform/ui/QtText.h"
#include "platform/ui/SingleInstance.h"

namespace fs = std::filesystem;

namespace {

constexpr int ExitActivated = 0;
constexpr int ExitStartedAsFirst = 3;

class TRecorder : public IInstanceMessageHandler {
public:
  void OnActivateMessage() override { events.push_back({LP_ACTIVATE_MESSAGE, ""}); }
  void OnOpenFilesMessage(const std::string& text) override { events.push_back({LP_OPEN_FILES_MESSAGE, text}); }
  std::vector<std::pair<int, std::string>> events;
};

class TPrinter : public IInstanceMessageHandler {
public:
  void OnActivateMessage() override { std::printf("activate\n"), std::fflush(stdout); }
  void OnOpenFilesMessage(const std::string& text) override { std::printf("open %s\n", text.c_str()), std::fflush(stdout); }
};

int SecondCopy(const std::string& dir, const std::vector<std::string>& args) {
  TSingleInstance instance(dir);
  if (instance.ActivateRunningInstance(args)) return ExitActivated;
  // Starts as the first copy: that must work.
  if (!instance.CreateMutex()) return 4;
  TRecorder none;
  if (!instance.StartListening(&none)) return 5;
  return ExitStartedAsFirst;
}

// Waits on the starting gate (a FIFO the test opens once all wait), then
// claims the name; prints whether it got it and runs until killed.
int RacingCopy(const std::string& dir, const std::string& gate) {
  int fd = ::open(gate.c_str(), O_RDONLY);
  char c;
  if (fd >= 0) (void)::read(fd, &c, 1), ::close(fd);
  TSingleInstance instance(dir);
  TRecorder none;
  const bool listening = instance.CreateMutex() && instance.StartListening(&none);
  std::printf(listening ? "listening\n" : "refused\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}

int FirstCopy(const std::string& dir) {
  TSingleInstance instance(dir);
  TPrinter printer;
  if (!instance.CreateMutex() || !instance.StartListening(&printer)) return 6;
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}

class SingleInstanceTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/lp-run-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Starts this binary as another copy; the event loop keeps running meanwhile.
  void Start(QProcess& p, const QString& mode, const std::vector<std::string>& args) {
    QStringList list{mode, ToQString(dir)};
    for (const auto& a : args) list << ToQString(a);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), list);
    ASSERT_TRUE(p.waitForStarted(10000));
  }

  // Runs the event loop until the copy ends; its exit code, or -1 on a hang.
  int RunUntilFinished(QProcess& p, int timeoutMs = 30000) {
    if (p.state() != QProcess::NotRunning) {
      QEventLoop loop;
      QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
      QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
      loop.exec();
    }
    if (p.state() != QProcess::NotRunning) {
      p.kill();
      p.waitForFinished(5000);
      return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  }

  int HandOver(const std::vector<std::string>& args) {
    QProcess second;
    Start(second, "--lp-second-copy", args);
    return RunUntilFinished(second);
  }

  std::string dir;
};

TEST_F(SingleInstanceTest, SecondCopyHandsEachArgumentToTheFirstAndEnds) {
  TSingleInstance first(dir);
  TRecorder recorder;
  ASSERT_TRUE(first.CreateMutex());
  ASSERT_TRUE(first.StartListening(&recorder));
  EXPECT_TRUE(fs::exists(dir + "/TlpMain"));

  const std::string spaced = dir + "/My Projects/news letter.lkp";
  EXPECT_EQ(HandOver({"a.lkp", spaced, "b.dbf"}), ExitActivated);
  ASSERT_EQ(recorder.events.size(), 4u);
  EXPECT_EQ(recorder.events[0].first, LP_ACTIVATE_MESSAGE);
  EXPECT_EQ(recorder.events[1], std::make_pair(LP_OPEN_FILES_MESSAGE, std::string("a.lkp")));
  EXPECT_EQ(recorder.events[2], std::make_pair(LP_OPEN_FILES_MESSAGE, spaced));
  EXPECT_EQ(recorder.events[3], std::make_pair(LP_OPEN_FILES_MESSAGE, std::string("b.dbf")));
  // The receiver's splitting keeps the name with blanks whole.
  EXPECT_EQ(SplitOpenFilesText(recorder.events[2].second), std::vector<std::string>{spaced});

  // Without arguments: only brought to the front. A following copy is still served.
  recorder.events.clear();
  EXPECT_EQ(HandOver({}), ExitActivated);
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events[0].first, LP_ACTIVATE_MESSAGE);
}

TEST_F(SingleInstanceTest, LongArgumentArrivesCutTo1024Characters) {
  TSingleInstance first(dir);
  TRecorder recorder;
  ASSERT_TRUE(first.CreateMutex());
  ASSERT_TRUE(first.StartListening(&recorder));
  EXPECT_EQ(HandOver({std::string(3000, 'n')}), ExitActivated);
  ASSERT_EQ(recorder.events.size(), 2u);
  EXPECT_EQ(recorder.events[1].second, std::string(1024, 'n'));
}

TEST_F(SingleInstanceTest, StaleSocketOfAKilledCopyDoesNotStopStartUp) {
  QProcess killed;
  Start(killed, "--lp-first-copy", {});
  {
    QEventLoop loop;
    QObject::connect(&killed, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    while (!killed.canReadLine() && killed.state() == QProcess::Running) loop.exec();
  }
  ASSERT_EQ(killed.readLine().trimmed(), "ready");
  ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
  ASSERT_TRUE(killed.waitForFinished(10000));
  ASSERT_TRUE(fs::exists(dir + "/TlpMain")) << "a killed copy leaves its socket behind";

  // The next copy runs as the first one...
  EXPECT_EQ(HandOver({"x.lkp"}), ExitStartedAsFirst);
  // ...and so does this one, which then serves a later copy.
  TSingleInstance next(dir);
  TRecorder recorder;
  EXPECT_FALSE(next.ActivateRunningInstance({"y.lkp"}));
  ASSERT_TRUE(next.CreateMutex());
  ASSERT_TRUE(next.StartListening(&recorder));
  EXPECT_EQ(HandOver({"z.dbf"}), ExitActivated);
  ASSERT_EQ(recorder.events.size(), 2u);
  EXPECT_EQ(recorder.events[1].second, "z.dbf");
}

TEST_F(SingleInstanceTest, LockHeldButNoWindowStartsAsASeparateCopy) {
  TSingleInstance starting(dir);
  ASSERT_TRUE(starting.CreateMutex());  // still creating its windows: no socket yet
  TSingleInstance other(dir);
  EXPECT_FALSE(other.ActivateRunningInstance({"a.lkp"}));
  EXPECT_TRUE(other.CreateMutex());
  TRecorder recorder;
  EXPECT_TRUE(other.StartListening(&recorder));
  // The first copy then finds the name taken by a live copy and leaves it alone.
  EXPECT_FALSE(starting.StartListening(&recorder));
  EXPECT_TRUE(other.IsListening());
}

TEST_F(SingleInstanceTest, NoLockMeansNoRunningCopy) {
  TSingleInstance alone(dir);
  EXPECT_FALSE(alone.ActivateRunningInstance({"a.lkp"}));
  EXPECT_FALSE(alone.HoldsMutex());
  ASSERT_TRUE(alone.CreateMutex());
  alone.ReleaseMutex();
  TSingleInstance again(dir);
  EXPECT_FALSE(again.ActivateRunningInstance({}));
}

TEST_F(SingleInstanceTest, UnusableRuntimeFolderIsIgnored) {
  TSingleInstance nowhere("/proc/no-such-folder");
  EXPECT_FALSE(nowhere.ActivateRunningInstance({"a"}));
  EXPECT_FALSE(nowhere.CreateMutex());
}

TEST_F(SingleInstanceTest, OversizedOrUnknownFramesAreRefused) {
  TSingleInstance first(dir);
  TRecorder recorder;
  ASSERT_TRUE(first.CreateMutex());
  ASSERT_TRUE(first.StartListening(&recorder));

  auto pump = [](QLocalSocket& s, int ms, bool untilDisconnected) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QObject::connect(&s, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    if (!untilDisconnected) QObject::connect(&s, &QLocalSocket::readyRead, &loop, &QEventLoop::quit);
    loop.exec();
  };

  QLocalSocket hostile;
  hostile.connectToServer(ToQString(dir + "/TlpMain"));
  ASSERT_TRUE(hostile.waitForConnected(2000));
  const char frame[8] = {0x02, 0x04, 0, 0, 0x00, 0x00, 0x00, 0x7f};  // 1026 with a 2 GB text
  hostile.write(frame, 8);
  hostile.flush();
  pump(hostile, 5000, true);
  EXPECT_EQ(hostile.state(), QLocalSocket::UnconnectedState);
  EXPECT_TRUE(recorder.events.empty());

  QLocalSocket odd;
  odd.connectToServer(ToQString(dir + "/TlpMain"));
  ASSERT_TRUE(odd.waitForConnected(2000));
  const char unknown[8] = {0x07, 0, 0, 0, 0, 0, 0, 0};
  odd.write(unknown, 8);
  odd.flush();
  pump(odd, 5000, false);
  EXPECT_EQ(odd.bytesAvailable(), 4) << "answered, so that a sender never waits for ever";
  EXPECT_TRUE(recorder.events.empty());
}


TEST_F(SingleInstanceTest, WedgedRunningCopyDoesNotHoldTheSenderForEver) {
  EXPECT_GT(TSingleInstance(dir).AckTimeout(), 0) << "bounded by default";
  EXPECT_GE(TSingleInstance(dir).AckTimeout(), 30000) << "long enough to answer a question";

  // The running copy is this thread, busy in the sender: it can never answer.
  TSingleInstance wedged(dir);
  TRecorder recorder;
  ASSERT_TRUE(wedged.CreateMutex());
  ASSERT_TRUE(wedged.StartListening(&recorder));
  TSingleInstance second(dir);
  second.SetAckTimeout(300);
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(second.ActivateRunningInstance({"a.lkp"})) << "not activated: start on its own";
  EXPECT_LT(clock.elapsed(), 10000);
}


// Copies started at the same moment over a socket a crashed copy left: one
// gets the name; none removes or replaces the socket of another and then
// believes it is listening where no later copy can reach it.
TEST_F(SingleInstanceTest, CopiesStartingTogetherClaimTheNameOnce) {
  {
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string name = dir + "/TlpMain";
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", name.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(s);  // never listened, never removed: stale
  }
  const std::string gate = dir + "/gate";
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  constexpr int Copies = 6;
  std::vector<std::unique_ptr<QProcess>> copies;
  for (int i = 0; i < Copies; ++i) {
    copies.push_back(std::make_unique<QProcess>());
    Start(*copies.back(), "--lp-racing-copy", {gate});
  }
  // Give the copies time to reach the gate, then let all go at once: one
  // byte each (a late one finds its byte waiting).
  QThread::msleep(1500);
  int w = -1;
  for (int tries = 0; w < 0 && tries < 300; ++tries) {  // no reader yet: ENXIO
    w = ::open(gate.c_str(), O_WRONLY | O_NONBLOCK);
    if (w < 0) QThread::msleep(100);
  }
  ASSERT_GE(w, 0) << "no copy reached the gate";
  const std::string go(Copies, 'g');
  ASSERT_EQ(::write(w, go.data(), go.size()), static_cast<ssize_t>(go.size()));
  int listening = 0, answered = 0;
  for (auto& p : copies) {
    QElapsedTimer clock;
    clock.start();
    while (!p->canReadLine() && p->state() == QProcess::Running && clock.elapsed() < 30000) p->waitForReadyRead(200);
    const QByteArray line = p->readLine().trimmed();
    answered += !line.isEmpty();
    listening += line == "listening";
  }
  ::close(w);
  for (auto& p : copies) {
    p->kill();
    p->waitForFinished(5000);
  }
  EXPECT_EQ(answered, Copies);
  EXPECT_EQ(listening, 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && (std::string(argv[1]) == "--lp-second-copy" || std::string(argv[1]) == "--lp-first-copy" ||
                    std::string(argv[1]) == "--lp-racing-copy")) {
    QCoreApplication app(argc, argv);
    const std::string dir = argv[2];
    if (std::string(argv[1]) == "--lp-first-copy") return FirstCopy(dir);
    if (std::string(argv[1]) == "--lp-racing-copy" && argc >= 4) return RacingCopy(dir, argv[3]);
    return SecondCopy(dir, std::vector<std::string>(argv + 3, argv + argc));
  }
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
