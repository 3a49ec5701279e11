// The session bus connected ahead on the warm-up's own thread serves the
// window's thread afterwards, as Qt's screen-reader bridge uses it: a private
// bus of the test, as a desktop session has.
#include <QProcess>
#include <QtTest>

#if VORMIK_SESSION_BUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#endif

#include "app/startwarmup.h"

class AppWarmUpTest : public QObject {
  Q_OBJECT

 private slots:
  void sessionBusMadeAheadServesTheWindowsThread();
};

void AppWarmUpTest::sessionBusMadeAheadServesTheWindowsThread() {
#if VORMIK_SESSION_BUS
  QProcess bus;
  bus.start(QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
  if (!bus.waitForStarted(5000)) QSKIP("dbus-daemon is not installed");
  QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 10000);
  const QByteArray address = bus.readLine().trimmed();
  qputenv("DBUS_SESSION_BUS_ADDRESS", address);

  StartWarmUp warmUp;
  warmUp.ConnectSessionBus();
  warmUp.Wait();  // the thread that connected is gone
  // The bus knows one client besides a probe: the warm-up's connection, made
  // before this thread asked for any.
  QDBusConnection probe = QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("probe"));
  QStringList clients = probe.interface()->registeredServiceNames().value();
  clients.removeAll(QStringLiteral("org.freedesktop.DBus"));
  clients.removeAll(probe.baseService());
  QCOMPARE(clients.size(), 1);
  // It is the one this thread gets.
  QDBusConnection session = QDBusConnection::sessionBus();
  QVERIFY2(session.isConnected(), qPrintable(session.lastError().message()));
  QCOMPARE(session.baseService(), clients.front());
  // A call and a name from this thread, answered by the bus.
  QVERIFY(session.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus")).value());
  QVERIFY(session.registerService(QStringLiteral("org.vormik.WarmUpTest")));
  QVERIFY(session.interface()->isServiceRegistered(QStringLiteral("org.vormik.WarmUpTest")).value());
  QDBusConnection::disconnectFromBus(QStringLiteral("probe"));
  bus.kill();
  bus.waitForFinished(5000);
#else
  QSKIP("this Qt has no D-Bus");
#endif
}

QTEST_MAIN(AppWarmUpTest)
#include "app_warmup_posix_test.moc"
