#include "testwindow.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

// The child: a window in the middle of long work that pumps events, closed by the user.
int RunClosingChild(int argc, char* argv[])
{
    QApplication application(argc, argv);
    TestWindow t;
    MainWindow& form = t.load();
    form.show();
    QTimer::singleShot(200, &form, [&] { form.close(); });
    std::puts("working");
    std::fflush(stdout);
    for (int i = 0; i < 100; ++i) {
        QTest::qWait(50);
    }
    std::puts("work went on after close");
    std::fflush(stdout);
    return 3;
}

} // namespace

class TestUnload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void closingEndsTheProgramAtOnceEvenDuringLongWork();
};

void TestUnload::closingEndsTheProgramAtOnceEvenDuringLongWork()
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TUNEPRESS_UNLOAD_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(10000));
    const QByteArray output = child.readAllStandardOutput();
    QVERIFY2(output.contains("working"), output.constData());
    QVERIFY2(!output.contains("work went on"), output.constData());
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet("TUNEPRESS_UNLOAD_CHILD"))
        return RunClosingChild(argc, argv);
    QApplication application(argc, argv);
    TestUnload test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_unload.moc"
