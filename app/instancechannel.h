// Hands a classroom file opened from the file manager (or a plain second
// start) to the console already running for the same user and settings file,
// over a local socket only that user can reach.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QQueue>
#include <QString>

class QLocalSocket;
class QTimer;

class InstanceChannel : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  // How long a second start waits for the running console, at most.
  static constexpr int kHandOverTimeoutMs = 2000;
  // How long the console keeps a connection that has not sent its line.
  static constexpr int kReadTimeoutMs = 2000;
  // Connections served at once; more are closed at once.
  static constexpr int kMaxConnections = 8;
  // Files handed over and not yet opened; more are dropped.
  static constexpr int kMaxPending = 8;

  // The channel's address for this settings file: a socket in the user's
  // private folder (see platform::PrivateSocketFolder), or on Windows a pipe
  // name per user. "" with `problem` (Russian) when no private place exists.
  static QString AddressFor(const QString& settingsPath, QString& problem);
  // AddressFor with the folders of this process's environment.
  static QString AddressFor(const QString& settingsPath, const QString& folder);

  enum class HandOverResult {
    Taken,      // the running console has it
    NoConsole,  // nobody listens: this start becomes the console
    NoAnswer,   // a listener did not answer "ok" in time (or answered wrongly)
  };
  // Gives the absolute `path` ("" to raise the window) to the console at `address`.
  static HandOverResult HandOver(const QString& address, const QString& path,
                                 int timeoutMs = kHandOverTimeoutMs);
  // The words for NoAnswer, in Russian.
  static QString NoAnswerText(int timeoutMs = kHandOverTimeoutMs);

  // Starts listening; a socket left by a console that died is replaced, one
  // of a console that answers is not. False when it could not listen.
  bool Listen(const QString& address);
  // While off, what arrives waits (a console still starting has no window to
  // give it to yet); on by default.
  void SetDelivering(bool on);
  // A file handed over while the console has a dialog, a question or a menu
  // open waits until it is closed: nothing that dialog works on (the plan,
  // the current file) may change under it. Checked this often meanwhile.
  static constexpr int kWaitForDialogMs = 100;
  // Whether a dialog, question or menu of the application is open now.
  static bool DialogOpen();

 signals:
  // Delivered from the event loop, one at a time: a dialog that a file opens
  // never runs inside the socket's own handlers.
  void fileReceived(const QString& path);
  void raiseRequested();

 private:
  void Serve(QLocalSocket* socket);
  void Take(QLocalSocket* socket);
  void Finish(QLocalSocket* socket);
  void Queue(const QString& path);
  void DeliverPending();
  void WaitForDialogs();

  QTimer* dialogWait_ = nullptr;
  QLocalServer server_;
  int connections_ = 0;
  QQueue<QString> pending_;
  bool raisePending_ = false;
  bool delivering_ = false;
  bool deliveryOn_ = true;
};
