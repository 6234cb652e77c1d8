#include "app/progressbar.h"
#include "convert/applicationerror.h"
#include "convert/runner.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {

// A progress display that keeps every text and value it is given.
class RecordingBar : public tp::ProgressDisplay
{
public:
    QStringList texts;
    QList<double> values;
    QString text;
    long long value = 0;
    bool refuseValues = false;
    // Called with each text, after it is kept.
    std::function<void(const QString&)> onText;

    QString Text() const override { return text; }
    void setText(const QString& newText) override
    {
        text = newText;
        texts << newText;
        if (onText)
            onText(newText);
    }
    long long Value() const override { return value; }
    void SetValue(double newValue) override
    {
        if (refuseValues)
            throw tp::ApplicationError(QStringLiteral("Invalid property value"));
        values << newValue;
        value = static_cast<long long>(std::nearbyint(newValue));
    }
};

Runner::Command Shell(const QString& script)
{
    return {QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}, {}, {}};
}

Runner::Options OnBar(tp::ProgressDisplay* bar, const QString& baseText, long long startValue,
                      int entryCount)
{
    Runner::Options options;
    options.windowStyle = 0;
    options.progressBar = bar;
    options.baseText = baseText;
    options.startValue = startValue;
    options.entryCount = entryCount;
    return options;
}

// A child that runs until the file appears, however slowly the machine polls it.
QString WaitForFile(const QString& path)
{
    return QStringLiteral("while [ ! -e '") + path + QStringLiteral("' ]; do sleep 0.05; done");
}

void Touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stepFollowsTheWorkedValues_data();
    void stepFollowsTheWorkedValues();
    void capAndTargetRoundHalvesToEven_data();
    void capAndTargetRoundHalvesToEven();
    void barMovesOnlyEvery150PollsFromThe50th();
    void barNeverMovesWithoutEntries();
    void noticeText();
    void windowStyleIsSettled_data();
    void windowStyleIsSettled();
    void displayTextQuotesWhatNeedsIt();

    void missingProgramFailsAtOnceAndLeavesBarAlone();
    void exitCodeIsReturnedAndTextPutBack();
    void emptyBaseTextEndsAsProgressBar();
    void childOfSixSecondsShowsNoticeCountingUp();
    void eventsRunWhileWaiting();
    void heavyOutputNeverStallsTheChild();
    void crashIsToldApart();
    void standardInputComesFromTheFile();
    void environmentReachesTheChild();
    void refusingDisplayStillWaitsForTheChild();
    void cancellingStopsTheChild();
    void pipedBytesReachTheConsumerAndTheObserver_data();
    void pipedBytesReachTheConsumerAndTheObserver();
};

void TestRunner::stepFollowsTheWorkedValues_data()
{
    QTest::addColumn<int>("entryCount");
    QTest::addColumn<double>("step");
    const QList<QPair<int, double>> worked{{1, 10}, {2, 5},  {3, 3},  {4, 2},  {5, 2},  {6, 2},
                                           {7, 1},  {12, 1}, {19, 1}, {20, 0}, {21, 0}, {100, 0}};
    for (const auto& [count, step] : worked)
        QTest::addRow("%d entries", count) << count << step;
}

void TestRunner::stepFollowsTheWorkedValues()
{
    QFETCH(int, entryCount);
    QFETCH(double, step);
    QCOMPARE(Runner::BarStep(entryCount), step);
}

void TestRunner::capAndTargetRoundHalvesToEven_data()
{
    QTest::addColumn<int>("entryCount");
    QTest::addColumn<long long>("startValue");
    QTest::addColumn<double>("cap");
    QTest::newRow("one entry from 100") << 1 << 100LL << 190.0;
    QTest::newRow("two entries from 50") << 2 << 50LL << 95.0;
    QTest::newRow("three entries from 33") << 3 << 33LL << 63.0; // 63.33
    // 12.5 + 12 - 1 = 23.5 goes to 24, 12.5 + 13 - 1 = 24.5 goes to 24.
    QTest::newRow("eight entries, half up to even") << 8 << 12LL << 24.0;
    QTest::newRow("eight entries, half down to even") << 8 << 13LL << 24.0;
}

void TestRunner::capAndTargetRoundHalvesToEven()
{
    QFETCH(int, entryCount);
    QFETCH(long long, startValue);
    QFETCH(double, cap);
    QCOMPARE(Runner::BarCap(entryCount, startValue), cap);
}

void TestRunner::barMovesOnlyEvery150PollsFromThe50th()
{
    // One entry: step 10, cap 190; the first move keeps the start value.
    QCOMPARE(Runner::BarValueAtPoll(49, 1, 100), std::nullopt);
    QCOMPARE(Runner::BarValueAtPoll(50, 1, 100), std::optional<double>(100));
    QCOMPARE(Runner::BarValueAtPoll(51, 1, 100), std::nullopt);
    QCOMPARE(Runner::BarValueAtPoll(199, 1, 100), std::nullopt);
    QCOMPARE(Runner::BarValueAtPoll(200, 1, 100), std::optional<double>(110));
    QCOMPARE(Runner::BarValueAtPoll(350, 1, 100), std::optional<double>(120));
    QCOMPARE(Runner::BarValueAtPoll(50 + 150 * 8, 1, 100), std::optional<double>(180));
    QCOMPARE(Runner::BarValueAtPoll(50 + 150 * 9, 1, 100), std::optional<double>(190));
    QCOMPARE(Runner::BarValueAtPoll(50 + 150 * 30, 1, 100), std::optional<double>(190));
    // Four entries from 50: step 2, cap 73; the target stays unrounded below the cap.
    QCOMPARE(Runner::BarValueAtPoll(200, 4, 50), std::optional<double>(52));
    QCOMPARE(Runner::BarValueAtPoll(50 + 150 * 12, 4, 50), std::optional<double>(73));
    // Twenty entries: the step is 0, the bar stays at the start value.
    QCOMPARE(Runner::BarValueAtPoll(50 + 150 * 5, 20, 5), std::optional<double>(5));
}

void TestRunner::barNeverMovesWithoutEntries()
{
    QCOMPARE(Runner::BarValueAtPoll(50, 0, 100), std::nullopt);
    QCOMPARE(Runner::BarValueAtPoll(200, -3, 100), std::nullopt);
}

void TestRunner::noticeText()
{
    QCOMPARE(Runner::WaitNotice(QStringLiteral("Processing: Song.mid"), 50),
             QStringLiteral("Processing: Song.mid, Please wait.. 0"));
    QCOMPARE(Runner::WaitNotice(QStringLiteral("Processing: Song.mid"), 61),
             QStringLiteral("Processing: Song.mid, Please wait.. 11"));
    QCOMPARE(Runner::WaitNotice(QString(), 52), QStringLiteral("Please wait.. 2"));
}

void TestRunner::windowStyleIsSettled_data()
{
    QTest::addColumn<std::optional<int>>("given");
    QTest::addColumn<int>("settled");
    QTest::newRow("omitted") << std::optional<int>() << 6;
    QTest::newRow("hidden") << std::optional<int>(0) << 0;
    QTest::newRow("maximized") << std::optional<int>(3) << 3;
    QTest::newRow("minimized without focus") << std::optional<int>(6) << 6;
    QTest::newRow("below range") << std::optional<int>(-1) << 6;
    QTest::newRow("above range") << std::optional<int>(7) << 6;
}

void TestRunner::windowStyleIsSettled()
{
    QFETCH(std::optional<int>, given);
    QFETCH(int, settled);
    QCOMPARE(Runner::SettleWindowStyle(given), settled);
}

void TestRunner::displayTextQuotesWhatNeedsIt()
{
    const Runner::Command command{
        QStringLiteral("/tmp/a b/lame.exe"),
        {QStringLiteral("-b"), QStringLiteral("128"), QStringLiteral("/x/say \"hi\".wav")},
        QStringLiteral("/in put.mid"),
        {}};
    QCOMPARE(
        command.DisplayText(),
        QStringLiteral("\"/tmp/a b/lame.exe\" -b 128 \"/x/say \\\"hi\\\".wav\" < \"/in put.mid\""));
}

void TestRunner::missingProgramFailsAtOnceAndLeavesBarAlone()
{
    QTemporaryDir folder;
    RecordingBar bar;
    bar.text = QStringLiteral("Processing: a.mid");
    Runner::Outcome outcome;
    const int result =
        Runner::RunAndWait({folder.path() + QStringLiteral("/no-such-tool"), {}, {}, {}},
                           OnBar(&bar, bar.text, 50, 1), &outcome);
    QCOMPARE(result, 53 - 2147221504);
    QCOMPARE(result, Runner::StartFailed);
    QVERIFY(!outcome.started);
    QVERIFY(bar.texts.isEmpty());
    QVERIFY(bar.values.isEmpty());

    // A file that is there but may not be run cannot be started either.
    QFile plain(folder.path() + QStringLiteral("/plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QCOMPARE(Runner::RunAndWait({plain.fileName(), {}, {}, {}}), Runner::StartFailed);
    QCOMPARE(Runner::RunAndWait({}), Runner::StartFailed);
}

void TestRunner::exitCodeIsReturnedAndTextPutBack()
{
    RecordingBar bar;
    bar.text = QStringLiteral("Processing: a.mid");
    Runner::Outcome outcome;
    QCOMPARE(Runner::RunAndWait(Shell(QStringLiteral("echo first; echo last words >&2; exit 3")),
                                OnBar(&bar, bar.text, 100, 1), &outcome),
             3);
    QVERIFY(outcome.started);
    QVERIFY(!outcome.crashed);
    QCOMPARE(outcome.exitCode, 3);
    QCOMPARE(outcome.LastLine(), QStringLiteral("last words"));
    // Under five seconds: no notice, only the base text put back.
    QCOMPARE(bar.texts, QStringList{QStringLiteral("Processing: a.mid")});
    QVERIFY(bar.values.isEmpty());

    // Without a display the runner only waits.
    QCOMPARE(Runner::RunAndWait(Shell(QStringLiteral("exit 0"))), 0);
}

void TestRunner::emptyBaseTextEndsAsProgressBar()
{
    ProgressBar bar;
    bar.setText(QStringLiteral("anything"));
    QCOMPARE(Runner::RunAndWait(Shell(QStringLiteral("exit 0")), OnBar(&bar, QString(), 0, 1)), 0);
    QCOMPARE(bar.Text(), QStringLiteral("Progress Bar"));
}

void TestRunner::childOfSixSecondsShowsNoticeCountingUp()
{
    QTemporaryDir folder;
    const QString enough = folder.filePath(QStringLiteral("enough"));
    RecordingBar bar;
    // The child runs on until the third notice, however long the polls take.
    bar.onText = [&](const QString& text) {
        if (text.endsWith(QStringLiteral(".. 2")))
            Touch(enough);
    };
    const QString base = QStringLiteral("Processing: long.mid");
    QCOMPARE(Runner::RunAndWait(Shell(WaitForFile(enough)), OnBar(&bar, base, 100, 1)), 0);
    QVERIFY2(bar.texts.size() >= 4, qPrintable(bar.texts.join(QLatin1Char('|'))));
    // Each poll shows the next number, from 0, and the base text comes back at the end.
    for (int n = 0; n < bar.texts.size() - 1; ++n)
        QCOMPARE(bar.texts[n], base + QStringLiteral(", Please wait.. ") + QString::number(n));
    QCOMPARE(bar.texts.last(), base);
    // The first notice is also the first bar move, to the start value.
    QCOMPARE(bar.values, QList<double>{100});
}

void TestRunner::eventsRunWhileWaiting()
{
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
    timer.start(10);
    QCOMPARE(Runner::RunAndWait(Shell(QStringLiteral("sleep 0.6"))), 0);
    // The wait serves the window's events at every poll, about six times here.
    QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
}

void TestRunner::heavyOutputNeverStallsTheChild()
{
    Runner::Outcome outcome;
    // Far more than a pipe holds, on both channels.
    QCOMPARE(Runner::RunAndWait(Shell(QStringLiteral("head -c 3000000 /dev/zero | tr '\\0' x; "
                                                     "head -c 3000000 /dev/zero >&2; echo; "
                                                     "echo end")),
                                {}, &outcome),
             0);
    QVERIFY(outcome.lastOutput.size() <= 4096);
    QCOMPARE(outcome.LastLine(), QStringLiteral("end"));
}

void TestRunner::crashIsToldApart()
{
    Runner::Outcome outcome;
    Runner::RunAndWait(Shell(QStringLiteral("kill -SEGV $$")), {}, &outcome);
    QVERIFY(outcome.started);
    QVERIFY(outcome.crashed);
}

void TestRunner::standardInputComesFromTheFile()
{
    QTemporaryDir folder;
    const QString input = folder.path() + QStringLiteral("/in -$`#?\"'.txt");
    QFile file(input);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("from the file\n");
    file.close();
    Runner::Outcome outcome;
    QCOMPARE(Runner::RunAndWait({QStringLiteral("cat"), {}, input, {}}, {}, &outcome), 0);
    QCOMPARE(outcome.LastLine(), QStringLiteral("from the file"));
    // No input file means no start, not a child waiting for input.
    QCOMPARE(Runner::RunAndWait({QStringLiteral("cat"), {}, input + QStringLiteral(".gone"), {}}),
             Runner::StartFailed);
    // Without an input file the child reads nothing rather than the program's own input.
    QCOMPARE(Runner::RunAndWait({QStringLiteral("cat"), {}, {}, {}}), 0);
}

void TestRunner::environmentReachesTheChild()
{
    Runner::Outcome outcome;
    Runner::Command command = Shell(QStringLiteral("echo \"$HOME\""));
    command.environment = {{QStringLiteral("HOME"), QStringLiteral("/some/where")}};
    Runner::RunAndWait(command, {}, &outcome);
    QCOMPARE(outcome.LastLine(), QStringLiteral("/some/where"));
}

void TestRunner::refusingDisplayStillWaitsForTheChild()
{
    QTemporaryDir folder;
    const QString marker = folder.path() + QStringLiteral("/ended");
    const QString refused = folder.path() + QStringLiteral("/refused");
    RecordingBar bar;
    bar.refuseValues = true;
    // The child goes on working after the display refused the first bar move.
    bar.onText = [&](const QString& text) {
        if (text.endsWith(QStringLiteral(".. 1")))
            Touch(refused);
    };
    bool failed = false;
    try {
        Runner::RunAndWait(Shell(WaitForFile(refused) + QStringLiteral("; sleep 0.3; touch '") +
                                 marker + QStringLiteral("'")),
                           OnBar(&bar, QStringLiteral("base"), 100, 1));
    } catch (const tp::ApplicationError&) {
        failed = true;
    }
    QVERIFY(failed);
    // The failure was handed on only after the child had finished its work.
    QVERIFY(QFile::exists(marker));
    QCOMPARE(bar.text, QStringLiteral("base"));
}

void TestRunner::cancellingStopsTheChild()
{
    std::atomic<bool> cancel = false;
    QTimer::singleShot(200, this, [&] { cancel = true; });
    Runner::Options options;
    options.cancel = &cancel;
    Runner::Outcome outcome;
    // Would run for ten minutes unless stopped.
    Runner::RunAndWait(Shell(QStringLiteral("exec sleep 600")), options, &outcome);
    QVERIFY(outcome.started);
    QVERIFY(outcome.crashed);

    const Runner::Piped piped = Runner::RunPiped(
        Shell(QStringLiteral("exec sleep 600")), Shell(QStringLiteral("cat")),
        [](QByteArrayView) {}, &cancel);
    QVERIFY(piped.cancelled);
}

void TestRunner::pipedBytesReachTheConsumerAndTheObserver_data()
{
    QTest::addColumn<QString>("producer");
    QTest::addColumn<QString>("consumer");
    QTest::addColumn<QString>("consumerSaid");
    QTest::addColumn<bool>("producerStopped");
    // Far more than a pipe holds, to a consumer that reads it all.
    QTest::newRow("all bytes") << "head -c 3000000 /dev/zero; echo done >&2"
                               << "wc -c"
                               << "3000000" << false;
    // A consumer that stops reading early: the endless producer is stopped, not waited for.
    QTest::newRow("consumer ends early") << "exec yes"
                                         << "head -c 10 >/dev/null; echo enough"
                                         << "enough" << true;
}

void TestRunner::pipedBytesReachTheConsumerAndTheObserver()
{
    QFETCH(QString, producer);
    QFETCH(QString, consumer);
    QFETCH(QString, consumerSaid);
    QFETCH(bool, producerStopped);
    qint64 observed = 0;
    const Runner::Piped piped = Runner::RunPiped(
        Shell(producer), Shell(consumer), [&](QByteArrayView bytes) { observed += bytes.size(); });
    QVERIFY(piped.producer.started && piped.consumer.started);
    QCOMPARE(piped.consumer.exitCode, 0);
    QCOMPARE(piped.consumer.LastLine(), consumerSaid);
    QCOMPARE(piped.producer.crashed, producerStopped);
    if (!producerStopped) {
        QCOMPARE(observed, qint64(3000000));
        QCOMPARE(piped.producer.LastLine(), QStringLiteral("done"));
    }
}

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
