// One running copy per user, checked with real qrtool-gui processes.
#include <QLockFile>
#include <QProcess>
#include <QtTest>

#include "app/single_instance.h"

class SingleInstanceTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    // A private runtime directory and home, shared with the programs started here.
    runtime_ = QStringLiteral(QRTOOL_TEST_TMP "/run");
    QDir(runtime_).removeRecursively();
    QVERIFY(QDir().mkpath(runtime_));
    QFile::setPermissions(runtime_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(QDir().mkpath(QRTOOL_TEST_TMP "/home"));
    qputenv("XDG_RUNTIME_DIR", runtime_.toLocal8Bit());
    qputenv("HOME", QRTOOL_TEST_TMP "/home");
    QCOMPARE(SingleInstance::defaultDirectory(), runtime_);
  }

  // A second copy hands over and ends, also when the lock is held but nobody
  // listens yet (a first copy still starting).
  void secondCopyAsksTheFirstToShowAndEnds_data() {
    QTest::addColumn<bool>("listening");
    QTest::newRow("first listening") << true;
    QTest::newRow("first still starting") << false;
  }
  void secondCopyAsksTheFirstToShowAndEnds() {
    QFETCH(bool, listening);
    SingleInstance first;
    QLockFile held(first.lockPath());
    QVERIFY(listening ? first.becomeFirst() : held.tryLock(0));
    QSignalSpy asked(&first, &SingleInstance::showRequested);
    QProcess second;
    second.start(QRTOOL_GUI_PATH, {});
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE(asked.count(), int(listening));
  }

  void aCopyKilledWhileRunningDoesNotStopTheNext() {
    SingleInstance probe;
    QProcess crashed;
    crashed.start(QRTOOL_GUI_PATH, {});
    QVERIFY(crashed.waitForStarted());
    QVERIFY(probe.askFirstToShow(20000));  // it is up and listening
    crashed.kill();
    QVERIFY(crashed.waitForFinished());
    QVERIFY(QFile::exists(probe.lockPath()));  // left behind

    QProcess next;
    next.start(QRTOOL_GUI_PATH, {});
    QVERIFY(next.waitForStarted());
    QVERIFY(probe.askFirstToShow(20000));  // it took over the listening
    QCOMPARE(next.state(), QProcess::Running);
    next.terminate();
    QVERIFY(next.waitForFinished(10000));
  }

 private:
  QString runtime_;
};

QTEST_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
