// Keeps the desktop program to one running copy per user. The first copy holds
// a lock file and listens on a local socket beside it; a later copy asks the
// first, through that socket, to show its window, and then ends.
#pragma once
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // `directory` holds the lock and the socket; by default the per-user runtime
  // directory ($XDG_RUNTIME_DIR, else the temporary directory).
  explicit SingleInstance(const QString& directory = defaultDirectory(),
                          QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this process is the first copy: it then keeps the lock until it
  // ends and listens for requests. A lock left by a copy that died is taken
  // over. When the lock cannot be made at all, the process counts as first.
  bool becomeFirst();

  // Asks the first copy to show its window, retrying for up to `waitMs`
  // (it may still be starting). False when it could not be reached.
  bool askFirstToShow(int waitMs = 2000);

  QString lockPath() const { return lockPath_; }
  QString socketPath() const { return socketPath_; }
  static QString defaultDirectory();

 signals:
  // The first copy received a show request from a later one.
  void showRequested();

 private:
  void onConnection();

  QString lockPath_;
  QString socketPath_;
  QLockFile lock_;
  std::unique_ptr<QLocalServer> server_;
};
