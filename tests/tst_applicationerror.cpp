#include "app/errorreport.h"
#include "convert/applicationerror.h"
#include "scripteddialogs.h"

#include <QTest>
#include <stdexcept>

class TestApplicationError : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reportTextIsExact();
    void emptyDescriptionStillStartsWithLineBreak();
    void reportBoxIsTitledWarningWithOkOnly();
    void trapResumesWithNextStatementAndReportsEachFailure();
    void failureInCalledRoutineCountsForCallersLine();
    void foreignExceptionsAreReportedToo();
    void failingReporterDoesNotEscape();
};

void TestApplicationError::reportTextIsExact()
{
    const QString text = tp::ApplicationErrorText(
        QStringLiteral("Type mismatch"), tp::WindowLocation(QStringLiteral("Form_Load")), 174);
    QCOMPARE(text, QStringLiteral("Type mismatch\r\nin Tunepress2021/08/31.Form1.Form_Load at line "
                                  "174\r\rPlease email screenshot of this message to ") +
                       QStringLiteral(TUNEPRESS_SUPPORT_EMAIL));

    const QString search =
        tp::ApplicationErrorText(QStringLiteral("x"), tp::FolderSearchLocation(), 150);
    QVERIFY(search.startsWith(QStringLiteral(
        "x\r\nin MarvendTitle2021/08/31.AddFolder.GetSubDirectories2016 at line 150\r\r")));
}

void TestApplicationError::emptyDescriptionStillStartsWithLineBreak()
{
    const QString text = tp::ApplicationErrorText(QString(), QStringLiteral("L"), 100);
    QVERIFY(text.startsWith(QStringLiteral("\r\nin L at line 100\r\r")));
}

void TestApplicationError::reportBoxIsTitledWarningWithOkOnly()
{
    ScriptedDialogs dialogs;
    ShowApplicationError(dialogs, QStringLiteral("Boom"), QStringLiteral("Here"), 102);
    QCOMPARE(dialogs.messages().size(), 1);
    const auto shown = dialogs.messages().first();
    QCOMPARE(shown.title, QStringLiteral("Application Error"));
    QCOMPARE(shown.buttons, tp::MessageButtons::Ok);
    QCOMPARE(shown.icon, tp::MessageIcon::Warning);
    QVERIFY(shown.text.startsWith(QStringLiteral("Boom\r\nin Here at line 102\r\r")));
}

void TestApplicationError::trapResumesWithNextStatementAndReportsEachFailure()
{
    QList<int> reportedLines;
    QStringList reportedTexts;
    tp::ErrorTrap trap(QStringLiteral("Loc"), [&](const QString& d, const QString& l, int line) {
        reportedLines << line;
        reportedTexts << d + QLatin1Char('|') + l;
    });
    QStringList ran;
    QVERIFY(!trap.at(100, [&] { throw tp::ApplicationError(QStringLiteral("first")); }));
    QVERIFY(!trap.at(102, [&] { throw tp::ApplicationError(QStringLiteral("second")); }));
    QVERIFY(trap.at(104, [&] { ran << QStringLiteral("third"); }));
    QCOMPARE(reportedLines, (QList<int>{100, 102}));
    QCOMPARE(reportedTexts,
             (QStringList{QStringLiteral("first|Loc"), QStringLiteral("second|Loc")}));
    QCOMPARE(ran, QStringList{QStringLiteral("third")});
    QCOMPARE(trap.line(), 104);
}

static void DeepRoutine()
{
    throw tp::ApplicationError(QStringLiteral("deep"));
}

void TestApplicationError::failureInCalledRoutineCountsForCallersLine()
{
    int line = 0;
    tp::ErrorTrap trap(QStringLiteral("Loc"),
                       [&](const QString&, const QString&, int at) { line = at; });
    trap.at(100, [] { DeepRoutine(); });
    QCOMPARE(line, 100);
}

void TestApplicationError::foreignExceptionsAreReportedToo()
{
    QStringList descriptions;
    tp::ErrorTrap trap(QStringLiteral("Loc"),
                       [&](const QString& d, const QString&, int) { descriptions << d; });
    trap.at(100, [] { throw std::out_of_range("index out of range"); });
    trap.at(102, [] { throw 42; });
    QCOMPARE(descriptions, (QStringList{QStringLiteral("index out of range"), QString()}));
}

void TestApplicationError::failingReporterDoesNotEscape()
{
    tp::ErrorTrap trap(QStringLiteral("Loc"), [](const QString&, const QString&, int) {
        throw std::runtime_error("reporter failed");
    });
    QVERIFY(!trap.at(100, [] { throw tp::ApplicationError(QStringLiteral("x")); }));
    QVERIFY(trap.at(102, [] {}));
}

QTEST_GUILESS_MAIN(TestApplicationError)
#include "tst_applicationerror.moc"
