#include "app/single_instance.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace {

const QByteArray kShowRequest = "show\n";

QString BaseName() { return QStringLiteral("qrtool-gui-%1").arg(getuid()); }

}  // namespace

QString SingleInstance::defaultDirectory() {
  QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty()) {
    QFileInfo info(QString::fromLocal8Bit(runtime));
    if (info.isDir() && info.isWritable()) return info.absoluteFilePath();
  }
  return QDir::tempPath();
}

SingleInstance::SingleInstance(const QString& directory, QObject* parent)
    : QObject(parent),
      lockPath_(directory + '/' + BaseName() + QStringLiteral(".lock")),
      socketPath_(directory + '/' + BaseName() + QStringLiteral(".socket")),
      lock_(lockPath_) {
  // Never stale by age: only a lock whose owner has died is taken over.
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
}

bool SingleInstance::becomeFirst() {
  if (!lock_.tryLock(0)) {
    if (lock_.error() == QLockFile::LockFailedError) return false;
    return true;  // no lock possible here: run unguarded rather than not at all
  }
  // A socket left by a copy that died would make listen fail.
  QLocalServer::removeServer(socketPath_);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::onConnection);
  server_->listen(socketPath_);
  return true;
}

void SingleInstance::onConnection() {
  while (QLocalSocket* peer = server_->nextPendingConnection()) {
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    auto check = [this, peer] {
      if (!peer->property("served").toBool() && peer->bytesAvailable() >= kShowRequest.size() &&
          peer->peek(kShowRequest.size()) == kShowRequest) {
        peer->setProperty("served", true);
        emit showRequested();
        peer->disconnectFromServer();
      }
    };
    connect(peer, &QLocalSocket::readyRead, this, check);
    check();
  }
}

bool SingleInstance::askFirstToShow(int waitMs) {
  QDeadlineTimer deadline(waitMs);
  do {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(200)) {
      socket.write(kShowRequest);
      bool sent = socket.waitForBytesWritten(1000);
      socket.disconnectFromServer();
      if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(500);
      if (sent) return true;
    }
    QThread::msleep(100);
  } while (!deadline.hasExpired());
  return false;
}
