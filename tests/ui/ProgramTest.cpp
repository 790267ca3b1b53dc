// The program as processes: a second copy hands over; SIGTERM ends it cleanly.
#include <QProcess>
#include <QTest>
#include <filesystem>

#include "platform/SingleInstance.h"
#include "tests/ui/UiTestSupport.h"

namespace tarvik::ui {
namespace {

// Started with the environment as it is now (the temporary home's folders).
void StartProgram(QProcess& process) {
    process.setProgram(QString(TARVIK_BINARY_DIR) + "/bin/tarvik");
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
}

bool WaitUntilListening() {
    const CSingleInstance probe(DefaultInstanceFolder());
    return QTest::qWaitFor([&] { return std::filesystem::exists(probe.SocketPath()); }, 30000);
}

// Ended by itself or, if running, by SIGTERM: a normal exit with code 0.
bool EndsCleanly(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(30000)) return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

  private slots:
    void secondCopyHandsOverToTheFirstAndExits() {
        testing::TemporaryHome home;
        testing::DaemonProcess daemon(testing::UiScenarioPath("three_networks.json"));
        QVERIFY(daemon.ready());
        QProcess first;
        StartProgram(first);
        QVERIFY(first.waitForStarted());
        QVERIFY(WaitUntilListening());

        QProcess second;
        StartProgram(second);
        QVERIFY(second.waitForFinished(30000));
        QVERIFY(EndsCleanly(second));
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(EndsCleanly(first));
    }

    void withoutADriverTheWindowStaysUntilTerminated() {
        testing::TemporaryHome home;
        ::setenv("TARVIK_DRIVER_SOCKET", (home.Folder() / "nobody.sock").c_str(), 1);
        QProcess program;
        StartProgram(program);
        ::unsetenv("TARVIK_DRIVER_SOCKET");
        QVERIFY(program.waitForStarted());
        QVERIFY(WaitUntilListening());
        QVERIFY(!program.waitForFinished(1000));
        QVERIFY(EndsCleanly(program));
    }
};

}  // namespace tarvik::ui

QTEST_MAIN(tarvik::ui::ProgramTest)
#include "ProgramTest.moc"
