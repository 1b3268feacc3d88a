#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include "app/main_form.h"
#include "app/null_platform.h"
#include "app/station_window.h"

namespace bw {
namespace {

QString UniqueKey() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Gives every test its own socket name so parallel runs do not meet.
class SingleInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override { qputenv("BINWRIGHT_INSTANCE_KEY", UniqueKey().toUtf8()); }
    void TearDown() override { qunsetenv("BINWRIGHT_INSTANCE_KEY"); }
};

TEST_F(SingleInstanceTest, NoRunningCopyMeansAStart) {
    SingleInstance first(QStringLiteral("MIRQ Mse Binwright v1.0"));
    EXPECT_FALSE(first.ActivateRunningCopy());
    EXPECT_TRUE(first.Listen());
}

TEST_F(SingleInstanceTest, TheKeyDecidesWhichCopiesMeet) {
    SingleInstance a(QStringLiteral("title"));
    qputenv("BINWRIGHT_INSTANCE_KEY", UniqueKey().toUtf8());
    SingleInstance b(QStringLiteral("title"));
    EXPECT_NE(a.ServerName(), b.ServerName());
}

TEST_F(SingleInstanceTest, SecondCopyAsksTheFirstToRestore) {
    SingleInstance first(QStringLiteral("MIRQ Mse Binwright v1.0"));
    ASSERT_TRUE(first.Listen());
    QSignalSpy restore(&first, &SingleInstance::restoreRequested);
    // The first copy runs in this thread, so answer it from a socket of our own.
    QLocalSocket second;
    second.connectToServer(first.ServerName());
    ASSERT_TRUE(second.waitForConnected(5000));
    second.write("restore\n");
    second.flush();
    EXPECT_TRUE(restore.wait(5000));
}

TEST_F(SingleInstanceTest, RestoreBringsBackAMinimisedWindow) {
    TForm1 form;
    form.showMinimized();
    QCoreApplication::processEvents();
    BringToFront(form);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.isMinimized());
    EXPECT_TRUE(form.isVisible());
}

bool WaitForServer(const QString& name) {
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(200)) {
            probe.disconnectFromServer();
            return true;
        }
        QTest::qWait(100);
    }
    return false;
}

TEST_F(SingleInstanceTest, SecondProcessExitsZeroWhileTheFirstStays) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(BINWRIGHT_GUI_PATH), {"--simulate"});
    ASSERT_TRUE(first.waitForStarted(10000));
    SingleInstance probe(QStringLiteral("MIRQ Mse Binwright v1.0"));
    ASSERT_TRUE(WaitForServer(probe.ServerName()));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(BINWRIGHT_GUI_PATH), {"--simulate"});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished(5000);
}

// The gang station window is an instance of its own: it starts beside an open main window,
// and a second gang station is refused on stderr with a non-zero exit code (a script must
// never read "every mouse passed" from a station that did not run).
TEST_F(SingleInstanceTest, TheGangStationIsAnInstanceOfItsOwn) {
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("image.bin"));
    {
        QFile file(image);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2048, '\x5A'));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess main;
    main.setProcessEnvironment(env);
    main.start(QStringLiteral(BINWRIGHT_GUI_PATH), {"--simulate"});
    ASSERT_TRUE(main.waitForStarted(10000));
    ASSERT_TRUE(
        WaitForServer(SingleInstance(QStringLiteral("MIRQ Mse Binwright v1.0")).ServerName()));

    const QStringList gangArgs = {"--gang", image, "--simulate=slots=1,mice=1", "--count", "1"};
    QProcess gang;
    gang.setProcessEnvironment(env);
    gang.start(QStringLiteral(BINWRIGHT_GUI_PATH), gangArgs);
    ASSERT_TRUE(gang.waitForStarted(10000));
    EXPECT_TRUE(WaitForServer(SingleInstance(QString::fromUtf8(kStationWindowTitle)).ServerName()))
        << gang.readAllStandardError().toStdString();

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(BINWRIGHT_GUI_PATH), gangArgs);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains("another gang station"));
    EXPECT_EQ(main.state(), QProcess::Running);
    EXPECT_EQ(gang.state(), QProcess::Running);

    gang.kill();
    main.kill();
    gang.waitForFinished(5000);
    main.waitForFinished(5000);
}

}  // namespace
}  // namespace bw
