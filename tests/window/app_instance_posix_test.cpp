// A second start hands its classroom file (or only a "show yourself") to the
// running console; nobody else can reach the channel, and no fake console can
// keep a second start longer than its time-out.
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <functional>
#include <thread>

#include "app/instancechannel.h"
#include "platform/privatechannel.h"
#include "support/handoverclient.h"
#include "tests/support/otheruser.h"
#include "tests/support/tempdir.h"

namespace {

using Result = InstanceChannel::HandOverResult;

// A socket in a private folder of the test.
QString AddressIn(const testsupport::TempDir& dir) {
  return InstanceChannel::AddressFor(QString::fromStdString(dir.File("vormik.ini")),
                                     QString::fromStdString(dir.path()));
}

// A raw listening socket at `path` that does what `serve` says with its first
// client until it is told to stop.
class FakeConsole {
 public:
  using Serve = std::function<void(int client, const std::atomic<bool>& stop)>;
  FakeConsole(const std::string& path, Serve serve) : serve_(std::move(serve)) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          ::listen(fd_, 4) == 0;
    thread_ = std::thread([this] {
      const int client = ::accept(fd_, nullptr, nullptr);
      if (client >= 0) {
        serve_(client, stop_);
        ::close(client);
      }
    });
  }
  ~FakeConsole() {
    stop_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    thread_.join();
    ::close(fd_);
  }
  bool ok() const { return ok_; }

 private:
  std::atomic<bool> stop_{false};
  Serve serve_;
  int fd_ = -1;
  bool ok_ = false;
  std::thread thread_;
};

long ResidentKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  }
  return 0;
}

}  // namespace

class InstanceChannelTest : public QObject {
  Q_OBJECT
 private slots:
  void pathAndRaiseReachTheListeningConsole() {
    testsupport::TempDir dir;
    const QString address = AddressIn(dir);
    QCOMPARE(InstanceChannel::HandOver(address, "/x.cld", 200), Result::NoConsole);

    InstanceChannel channel;
    QVERIFY(channel.Listen(address));
    QSignalSpy received(&channel, &InstanceChannel::fileReceived);
    QSignalSpy raised(&channel, &InstanceChannel::raiseRequested);
    const QString path = QStringLiteral("/tmp/класс \"5А\" <b>.cld");
    QCOMPARE(HandOverServed(address, path), Result::Taken);
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toString(), path);
    QCOMPARE(HandOverServed(address, QString()), Result::Taken);
    QTRY_COMPARE(raised.count(), 1);
    QCOMPARE(received.count(), 1);

    // A second console for the same settings does not take the channel over.
    InstanceChannel second;
    QVERIFY(!second.Listen(address));
    QCOMPARE(HandOverServed(address, path), Result::Taken);
    QTRY_COMPARE(received.count(), 2);
  }

  // A socket left by a console that died is replaced by the next console.
  void aStaleSocketIsReplaced() {
    testsupport::TempDir dir;
    const QString address = AddressIn(dir);
    {
      FakeConsole dead(address.toStdString(), [](int, const std::atomic<bool>&) {});
    }  // bound, then gone
    QVERIFY(QFileInfo::exists(address));
    QCOMPARE(InstanceChannel::HandOver(address, "/x.cld", 500), Result::NoConsole);
    InstanceChannel channel;
    QVERIFY(channel.Listen(address));
    QCOMPARE(HandOverServed(address, "/x.cld"), Result::Taken);
  }

  // Each row: what a listener that is not a real console does; the second
  // start gives up within its time-out and says the console did not answer.
  void fakeConsolesCostAtMostTheTimeOut_data() {
    QTest::addColumn<int>("behaviour");
    QTest::newRow("silent") << 0;
    QTest::newRow("drips one byte every 50 ms") << 1;
    QTest::newRow("floods") << 2;
    QTest::newRow("answers garbage") << 3;
  }
  void fakeConsolesCostAtMostTheTimeOut() {
    QFETCH(int, behaviour);
    testsupport::TempDir dir;
    const QString address = AddressIn(dir);
    FakeConsole fake(address.toStdString(), [behaviour](int client, const std::atomic<bool>& stop) {
      static const char kFlood[65536] = {};
      while (!stop) {
        if (behaviour == 0) {
          ::usleep(20000);
        } else if (behaviour == 1) {
          if (::send(client, "o", 1, MSG_NOSIGNAL) != 1) return;
          ::usleep(50000);
        } else if (behaviour == 2) {
          if (::send(client, kFlood, sizeof kFlood, MSG_NOSIGNAL) <= 0) return;
        } else {
          ::send(client, "yes, sure\n", 10, MSG_NOSIGNAL);
          ::usleep(20000);
        }
      }
    });
    QVERIFY(fake.ok());
    constexpr int kTimeoutMs = 1000;
    const long before = ResidentKb();
    QElapsedTimer took;
    took.start();
    QCOMPARE(InstanceChannel::HandOver(address, "/x.cld", kTimeoutMs), Result::NoAnswer);
    QVERIFY2(took.elapsed() < kTimeoutMs + 1000, qPrintable(QString::number(took.elapsed())));
    QVERIFY2(ResidentKb() - before < 20 * 1024, "the flood was taken into memory");
    QVERIFY(InstanceChannel::NoAnswerText().contains(QStringLiteral("не ответил")));
  }

  // Silent, dripping and oversized connections are closed; the channel then
  // still takes a real hand-over.
  void idleAndOversizedConnectionsDoNotBreakTheChannel() {
    testsupport::TempDir dir;
    const QString address = AddressIn(dir);
    InstanceChannel channel;
    QVERIFY(channel.Listen(address));
    QSignalSpy received(&channel, &InstanceChannel::fileReceived);
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < 3 * InstanceChannel::kMaxConnections; ++i) {
      idle.push_back(std::make_unique<QLocalSocket>());
      idle.back()->connectToServer(address);
    }
    QLocalSocket oversized;
    oversized.connectToServer(address);
    QVERIFY(oversized.waitForConnected(1000));
    oversized.write(QByteArray(64 * 1024, 'a'));
    QLocalSocket twoPaths;
    twoPaths.connectToServer(address);
    QVERIFY(twoPaths.waitForConnected(1000));
    twoPaths.write("/a.cld\n/b.cld\n");
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(idle.begin(), idle.end(),
                    [](const auto& s) { return s->state() == QLocalSocket::UnconnectedState; }),
        InstanceChannel::kReadTimeoutMs + 3000);
    QTRY_COMPARE(oversized.state(), QLocalSocket::UnconnectedState);
    QTRY_COMPARE(twoPaths.state(), QLocalSocket::UnconnectedState);
    QCOMPARE(received.count(), 0);
    QCOMPARE(HandOverServed(address, "/c.cld"), Result::Taken);
    QTRY_COMPARE(received.count(), 1);
  }

  // The channel's folder is made the user's alone; one opened to others since
  // is refused with a message, never used.
  void theFolderIsCheckedBeforeUse() {
    testsupport::TempDir base;
    std::string problem;
    const std::string made = platform::PrivateSocketFolder(nullptr, base.path(), problem);
    QVERIFY2(problem.empty(), problem.c_str());
    struct stat st;
    QCOMPARE(::lstat(made.c_str(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
    QCOMPARE(platform::PrivateSocketFolder(nullptr, base.path(), problem), made);  // again

    QCOMPARE(::chmod(made.c_str(), 0755), 0);
    QVERIFY(platform::PrivateSocketFolder(nullptr, base.path(), problem).empty());
    QVERIFY(QString::fromStdString(problem).contains(QStringLiteral("другие пользователи")));
  }

  // Another user can neither reach the console's socket nor put one of their
  // own where the second start looks.
  void anotherUserCannotConnectOrPreempt() {
    testsupport::OtherUser other;
    if (!other.Ok()) QSKIP(other.Reason().c_str());
    testsupport::TempDir dir;
    QCOMPARE(::chmod(dir.path().c_str(), 0755), 0);  // the test's folder lets everyone through
    std::string problem;
    const std::string folder = platform::PrivateSocketFolder(nullptr, dir.path(), problem);
    QVERIFY2(!folder.empty(), problem.c_str());
    const QString address = InstanceChannel::AddressFor(QStringLiteral("/lab/vormik.ini"),
                                                        QString::fromStdString(folder));
    InstanceChannel channel;
    QVERIFY(channel.Listen(address));
    QSignalSpy received(&channel, &InstanceChannel::fileReceived);

    auto connectAs = [&](const std::string& path) {
      return other.RunAs([path] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return 1;
        ::send(fd, "/planted.cld\n", 13, MSG_NOSIGNAL);
        ::usleep(300000);
        return 0;
      });
    };
    QCOMPARE(connectAs(address.toStdString()), 1);  // the folder keeps them out

    // Even a socket in an open folder serves only its own user.
    testsupport::TempDir open;
    QCOMPARE(::chmod(open.path().c_str(), 0777), 0);
    const QString openAddress = QString::fromStdString(open.File("open.sock"));
    InstanceChannel exposed;
    QVERIFY(exposed.Listen(openAddress));
    QCOMPARE(::chmod(openAddress.toLocal8Bit().constData(), 0777), 0);
    QSignalSpy exposedReceived(&exposed, &InstanceChannel::fileReceived);
    std::atomic<int> code{-2};
    std::thread attacker([&] { code = connectAs(openAddress.toStdString()); });
    QTRY_VERIFY(code.load() != -2);
    attacker.join();
    QTest::qWait(200);
    QCOMPARE(exposedReceived.count(), 0);
    QCOMPARE(received.count(), 0);

    // Pre-empting: a folder at the fallback place made by the other user is refused.
    testsupport::TempDir shared;
    QCOMPARE(::chmod(shared.path().c_str(), 01777), 0);
    const std::string planted = shared.File("vormik-" + std::to_string(::geteuid()));
    QCOMPARE(other.RunAs([planted] { return ::mkdir(planted.c_str(), 0700) == 0 ? 0 : 1; }), 0);
    QVERIFY(platform::PrivateSocketFolder(nullptr, shared.path(), problem).empty());
    QVERIFY(QString::fromStdString(problem).contains(QStringLiteral("другому пользователю")));
  }
};

QTEST_MAIN(InstanceChannelTest)
#include "app_instance_posix_test.moc"
