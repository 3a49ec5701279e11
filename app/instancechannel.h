// Hands a classroom file opened from the file manager to the console that is
// already running for the same user and settings file, over a local socket.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class InstanceChannel : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  // One name per user and settings file: consoles of other settings (other
  // controllers) and of other users never meet.
  static QString NameFor(const QString& settingsPath);
  // Gives `path` to the console listening on `name`; true once it has taken
  // it, false when none answers within timeoutMs.
  static bool HandOver(const QString& name, const QString& path, int timeoutMs = 2000);

  // Starts listening (a socket left by a console that died is replaced).
  bool Listen(const QString& name);

 signals:
  void fileReceived(const QString& path);

 private:
  void Serve(class QLocalSocket* socket);

  QLocalServer server_;
};
