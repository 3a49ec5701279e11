// A second start hands its classroom file to the running console.
#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <thread>

#include "app/instancechannel.h"

class InstanceChannelTest : public QObject {
  Q_OBJECT
 private slots:
  void pathReachesTheListeningConsole() {
    const QString name = InstanceChannel::NameFor(QDir::tempPath() + "/instance-test.ini") +
                         QString::number(QCoreApplication::applicationPid());
    QVERIFY(!InstanceChannel::HandOver(name, "/x.cld", 200));  // nobody listens yet

    InstanceChannel channel;
    QVERIFY(channel.Listen(name));
    QSignalSpy received(&channel, &InstanceChannel::fileReceived);
    const QString path = QStringLiteral("/tmp/класс \"5А\".cld");
    std::atomic<int> handed{-1};
    std::thread second([&] { handed = InstanceChannel::HandOver(name, path) ? 1 : 0; });
    QTRY_COMPARE(handed.load(), 1);
    second.join();
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toString(), path);
  }

  void namesDifferBySettingsFile() {
    QVERIFY(InstanceChannel::NameFor("/a/vormik.ini") != InstanceChannel::NameFor("/b/vormik.ini"));
    QCOMPARE(InstanceChannel::NameFor("/a/./vormik.ini"), InstanceChannel::NameFor("/a/vormik.ini"));
  }
};

QTEST_MAIN(InstanceChannelTest)
#include "app_instance_test.moc"
