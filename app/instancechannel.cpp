// The local socket between a second start and the running console: the path
// as one UTF-8 line, answered with "ok".
#include "app/instancechannel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

namespace {

constexpr char kTaken[] = "ok\n";
constexpr qint64 kMaxPathBytes = 64 * 1024;  // far above any path; ends a runaway line

QString UserName() {
  const QString name = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
  return name.isEmpty() ? QStringLiteral("user") : name;
}

}  // namespace

QString InstanceChannel::NameFor(const QString& settingsPath) {
  const QByteArray key = (UserName() + QLatin1Char('\n') + QDir::cleanPath(settingsPath)).toUtf8();
  const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex();
  return QStringLiteral("vormik-") + QString::fromLatin1(digest.left(16));
}

bool InstanceChannel::HandOver(const QString& name, const QString& path, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(path.toUtf8() + '\n');
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine() == kTaken;
}

bool InstanceChannel::Listen(const QString& name) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(name)) {
    // Left behind by a console that ended without closing it.
    QLocalServer::removeServer(name);
    if (!server_.listen(name)) return false;
  }
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) Serve(socket);
  });
  return true;
}

void InstanceChannel::Serve(QLocalSocket* socket) {
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
    if (!socket->canReadLine()) {
      if (socket->bytesAvailable() > kMaxPathBytes) socket->abort();
      return;
    }
    const QString path = QString::fromUtf8(socket->readLine()).chopped(1);
    socket->write(kTaken);
    socket->flush();
    if (!path.isEmpty()) emit fileReceived(path);
  });
}
