// The local socket between a second start and the running console: one line
// (a path, or nothing to raise the window) answered with "ok". Every bound is
// set here: who may connect, how many, how long, how much.
#include "app/instancechannel.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QTimer>

#include "console/handover.h"
#include "platform/privatechannel.h"

namespace {

// Read per call on either side, so a flood never grows a buffer.
constexpr qint64 kReplyBufferBytes = 16;
// What a connection has sent so far, and that it is done with, kept on the socket.
constexpr char kReceived[] = "vormikReceived";
constexpr char kFinished[] = "vormikFinished";

QString Digest(const QString& settingsPath) {
  const QByteArray key = QDir::cleanPath(settingsPath).toUtf8();
  return QString::fromLatin1(
      QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

#ifdef _WIN32
QString UserName() {
  const QString name = qEnvironmentVariable("USERNAME", qEnvironmentVariable("USER"));
  return name.isEmpty() ? QStringLiteral("user") : name;
}
#endif

}  // namespace

QString InstanceChannel::AddressFor(const QString& settingsPath, const QString& folder) {
  const QString name = QStringLiteral("vormik-") + Digest(settingsPath);
#ifdef _WIN32
  Q_UNUSED(folder);
  // Pipe names are global: the user's name keeps users apart, and the
  // pipe's access rights (UserAccessOption) keep others out.
  return name + QLatin1Char('-') + Digest(UserName());
#else
  return folder + QLatin1Char('/') + name + QStringLiteral(".sock");
#endif
}

QString InstanceChannel::AddressFor(const QString& settingsPath, QString& problem) {
  std::string why;
  const std::string folder =
      platform::PrivateSocketFolder(qgetenv("XDG_RUNTIME_DIR").constData(), "/tmp", why);
  problem = QString::fromStdString(why);
#ifndef _WIN32
  if (folder.empty()) return QString();
#endif
  return AddressFor(settingsPath, QString::fromStdString(folder));
}

QString InstanceChannel::NoAnswerText(int timeoutMs) {
  return QStringLiteral(
             "Запущенный пульт не ответил за %1 с; файл не передан. "
             "Если окна пульта не видно, закройте его процесс и запустите снова.")
      .arg(timeoutMs / 1000.0, 0, 'g', 2);
}

InstanceChannel::HandOverResult InstanceChannel::HandOver(const QString& address,
                                                          const QString& path, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  socket.setReadBufferSize(kReplyBufferBytes);
  socket.connectToServer(address);
  if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
    // Refused or absent: no console. Anything else (a full backlog) is a
    // console that does not take the file.
    const auto error = socket.error();
    return error == QLocalSocket::ServerNotFoundError ||
                   error == QLocalSocket::ConnectionRefusedError
               ? HandOverResult::NoConsole
               : HandOverResult::NoAnswer;
  }
  // The folder is this user's alone, but root could still have put a socket there.
  if (!platform::PeerIsThisUser(socket.socketDescriptor())) return HandOverResult::NoAnswer;
  socket.write(QByteArray::fromStdString(handover::Compose(path.toStdString())));
  QByteArray reply;
  while (!deadline.hasExpired()) {
    if (socket.bytesToWrite() > 0)
      socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    if (socket.bytesAvailable() == 0 &&
        !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      break;
    }
    reply += socket.read(kReplyBufferBytes);
    switch (handover::ParseReply(reply.toStdString())) {
      case handover::Reply::Taken:
        return HandOverResult::Taken;
      case handover::Reply::Invalid:
        return HandOverResult::NoAnswer;
      case handover::Reply::Incomplete:
        break;
    }
  }
  return HandOverResult::NoAnswer;
}

bool InstanceChannel::Listen(const QString& address) {
  if (address.isEmpty()) return false;
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.setMaxPendingConnections(kMaxConnections);
  // A console that answers keeps its channel (listening would take its name
  // over); a socket left by a console that ended without closing it is replaced.
  QLocalSocket probe;
  probe.connectToServer(address);
  if (probe.waitForConnected(kHandOverTimeoutMs / 4)) return false;
  if (!server_.listen(address)) {
    QLocalServer::removeServer(address);
    if (!server_.listen(address)) return false;
  }
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) Serve(socket);
  });
  return true;
}

void InstanceChannel::Serve(QLocalSocket* socket) {
  if (connections_ >= kMaxConnections || !platform::PeerIsThisUser(socket->socketDescriptor())) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  ++connections_;
  socket->setReadBufferSize(static_cast<qint64>(handover::kMaxMessageBytes) + 1);
  // A connection that stays silent (or drips) is closed at its time-out.
  QTimer::singleShot(kReadTimeoutMs, socket, [this, socket] { Finish(socket); });
  connect(socket, &QLocalSocket::disconnected, socket, [this, socket] { Finish(socket); });
  connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { Take(socket); });
}

void InstanceChannel::Take(QLocalSocket* socket) {
  QByteArray received = socket->property(kReceived).toByteArray();
  received += socket->read(static_cast<qint64>(handover::kMaxMessageBytes) + 1 - received.size());
  socket->setProperty(kReceived, received);
  std::string path;
  switch (handover::Parse(received.toStdString(), path)) {
    case handover::Message::Incomplete:
      return;
    case handover::Message::Invalid:
      break;
    case handover::Message::Raise:
      socket->write(handover::kTaken);
      socket->flush();
      raisePending_ = true;
      QTimer::singleShot(0, this, &InstanceChannel::DeliverPending);
      break;
    case handover::Message::Open:
      socket->write(handover::kTaken);
      socket->flush();
      Queue(QString::fromStdString(path));
      break;
  }
  Finish(socket);
}

// Done with a connection: it is closed and deleted from the event loop, and
// nothing that follows touches it.
void InstanceChannel::Finish(QLocalSocket* socket) {
  if (socket->property(kFinished).toBool()) return;
  socket->setProperty(kFinished, true);
  --connections_;
  socket->disconnect();
  socket->disconnectFromServer();
  socket->deleteLater();
}

void InstanceChannel::Queue(const QString& path) {
  if (pending_.size() >= kMaxPending) return;
  pending_.enqueue(path);
  QTimer::singleShot(0, this, &InstanceChannel::DeliverPending);
}

bool InstanceChannel::DialogOpen() {
  return QApplication::activeModalWidget() != nullptr ||
         QApplication::activePopupWidget() != nullptr;
}

// A file that opens a dialog runs a nested event loop; a file handed over
// meanwhile waits until that one is done. So does a file handed over while
// any other dialog of the console is open (the save dialog, a name box, a
// question): it is opened once the dialog is closed.
void InstanceChannel::DeliverPending() {
  if (delivering_ || !deliveryOn_) return;
  delivering_ = true;
  if (raisePending_) {
    raisePending_ = false;
    emit raiseRequested();
  }
  while (deliveryOn_ && !pending_.isEmpty() && !DialogOpen()) {
    emit fileReceived(pending_.dequeue());
  }
  delivering_ = false;
  if (deliveryOn_ && !pending_.isEmpty()) WaitForDialogs();
}

void InstanceChannel::WaitForDialogs() {
  if (dialogWait_ == nullptr) {
    dialogWait_ = new QTimer(this);
    dialogWait_->setSingleShot(true);
    dialogWait_->setInterval(kWaitForDialogMs);
    connect(dialogWait_, &QTimer::timeout, this, &InstanceChannel::DeliverPending);
  }
  if (!dialogWait_->isActive()) dialogWait_->start();
}

void InstanceChannel::SetDelivering(bool on) {
  deliveryOn_ = on;
  if (on) QTimer::singleShot(0, this, &InstanceChannel::DeliverPending);
}
