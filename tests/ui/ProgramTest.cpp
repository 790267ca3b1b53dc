// The tarvik program as separate processes: a second copy hands over to the
// running one and exits; SIGTERM ends a running copy cleanly, with or
// without a driver to talk to.
#include <QProcess>
#include <QTest>
#include <filesystem>

#include "platform/SingleInstance.h"
#include "tests/ui/UiTestSupport.h"

namespace tarvik::ui {
namespace {

QString ProgramPath() {
    return QString(TARVIK_BINARY_DIR) + "/bin/tarvik";
}

// Started with the environment as it is now (the temporary home's folders).
void StartProgram(QProcess& process) {
    process.setProgram(ProgramPath());
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
}

// The running copy listens once its single-instance check is done.
bool WaitUntilListening() {
    const CSingleInstance probe(DefaultInstanceFolder());
    return QTest::qWaitFor([&] { return std::filesystem::exists(probe.SocketPath()); }, 30000);
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
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
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
        program.terminate();
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

}  // namespace tarvik::ui

QTEST_MAIN(tarvik::ui::ProgramTest)
#include "ProgramTest.moc"
