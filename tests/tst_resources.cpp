// The files placed beside the program: pointers, program icon, skin and sample songs.
#include "app/cursorfile.h"
#include "app/pushbutton.h"
#include "convert/applicationerror.h"
#include "testwindow.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <map>
#include <set>

namespace {

QString ProgramFile(const QString& name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a Standard MIDI file holds, as far as a listener would notice.
struct MidiSummary
{
    QString error;
    int format = -1;
    int tracks = 0;
    int notes = 0;
    std::set<int> noteChannels;
    std::set<int> programs;
    double seconds = 0;
};

MidiSummary ReadMidi(const QByteArray& bytes)
{
    MidiSummary summary;
    auto u16 = [&](qsizetype at) { return qFromBigEndian<quint16>(bytes.constData() + at); };
    auto u32 = [&](qsizetype at) { return qFromBigEndian<quint32>(bytes.constData() + at); };
    if (bytes.size() < 14 || !bytes.startsWith("MThd") || u32(4) != 6) {
        summary.error = QStringLiteral("no header");
        return summary;
    }
    summary.format = u16(8);
    const int division = u16(12);
    std::map<qint64, int> tempos{{0, 500000}};
    qint64 lastTick = 0;
    qsizetype at = 14;
    while (at + 8 <= bytes.size()) {
        const qsizetype length = u32(at + 4);
        if (bytes.mid(at, 4) != "MTrk" || at + 8 + length > bytes.size()) {
            summary.error = QStringLiteral("bad track chunk");
            return summary;
        }
        ++summary.tracks;
        qsizetype p = at + 8;
        const qsizetype end = p + length;
        qint64 tick = 0;
        int status = 0;
        auto variable = [&] {
            quint32 value = 0;
            for (int i = 0; i < 4 && p < end; ++i) {
                const auto byte = quint8(bytes[p++]);
                value = (value << 7) | (byte & 0x7F);
                if (!(byte & 0x80))
                    break;
            }
            return value;
        };
        while (p < end) {
            tick += variable();
            if (quint8(bytes[p]) & 0x80)
                status = quint8(bytes[p++]);
            if (status == 0xFF) {
                const int type = quint8(bytes[p++]);
                const quint32 size = variable();
                if (type == 0x51 && size == 3)
                    tempos[tick] = (quint8(bytes[p]) << 16) | (quint8(bytes[p + 1]) << 8) |
                                   quint8(bytes[p + 2]);
                p += size;
            } else if (status == 0xF0 || status == 0xF7) {
                p += variable();
            } else {
                const int kind = status & 0xF0;
                const int channel = status & 0x0F;
                const int first = quint8(bytes[p++]);
                const int second = (kind == 0xC0 || kind == 0xD0) ? 0 : quint8(bytes[p++]);
                if (kind == 0x90 && second > 0) {
                    ++summary.notes;
                    summary.noteChannels.insert(channel);
                } else if (kind == 0xC0) {
                    summary.programs.insert(first);
                }
            }
        }
        lastTick = std::max(lastTick, tick);
        at = end;
    }
    qint64 previous = 0;
    int tempo = 500000;
    for (const auto& [when, microseconds] : tempos) {
        if (when >= lastTick)
            break;
        summary.seconds += double(when - previous) * tempo / 1e6 / division;
        previous = when;
        tempo = microseconds;
    }
    summary.seconds += double(lastTick - previous) * tempo / 1e6 / division;
    return summary;
}

int TopmostOpaqueRow(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) >= 128)
                return y;
    return -1;
}

// Pictures drawn again may differ in the last bits of their smoothed edges from one version
// of the toolkit to the next, but not in what they show.
bool LooksAlike(const QImage& first, const QImage& second)
{
    if (first.isNull() || second.isNull() || first.size() != second.size())
        return false;
    const QImage a = first.convertToFormat(QImage::Format_ARGB32);
    const QImage b = second.convertToFormat(QImage::Format_ARGB32);
    qsizetype differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
                std::abs(qBlue(p) - qBlue(q)) > 24 || std::abs(qAlpha(p) - qAlpha(q)) > 24)
                ++differing;
        }
    return differing * 50 < qsizetype(a.width()) * a.height();
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The hand's hot spot is its fingertip: the topmost point of the picture.
    void handPointer()
    {
        const QCursor hand = LoadCursorFile(ProgramFile(QStringLiteral("HAND-M.CUR")));
        const QImage image = hand.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(32, 32));
        const int top = TopmostOpaqueRow(image);
        QVERIFY(top >= 0);
        QVERIFY2(std::abs(hand.hotSpot().y() - top) <= 1,
                 qPrintable(QStringLiteral("hot spot row %1, fingertip row %2")
                                .arg(hand.hotSpot().y())
                                .arg(top)));
        QVERIFY(qAlpha(image.pixel(hand.hotSpot().x(), top + 1)) >= 128);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(31, 0)), 0);
    }

    void damagedCursorIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray hand = ReadAll(ProgramFile(QStringLiteral("HAND-M.CUR")));
        QVERIFY(hand.size() > 22);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("directory cut short") << hand.left(21);
        QByteArray icon = hand;
        icon[2] = 1;
        QTest::newRow("icon, not cursor") << icon;
    }

    void damagedCursorIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("damaged.cur"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        QVERIFY_THROWS_EXCEPTION(tp::ApplicationError, LoadCursorFile(path));
    }

    void hoverPointerIsLoadedAtStartUp()
    {
        TestWindow test;
        MainWindow& form = test.load();
        QVERIFY(form.mouseIcon().has_value());
        QCOMPARE(form.mouseIcon()->shape(), Qt::BitmapCursor);
        QVERIFY(test.dialogs.shown.isEmpty());
    }

    void dragPointer()
    {
        const QString path = ProgramFile(QStringLiteral("drag.ico"));
        QCOMPARE(QImageReader(path).format(), QByteArray("ico"));
        const QCursor drag = LoadIconPointer(path);
        const QImage image = drag.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(32, 32));
        // An icon pointer points with its centre.
        QVERIFY(qAlpha(image.pixel(16, 16)) >= 128);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    }

    void programIcon()
    {
        const QImage image(ProgramFile(QStringLiteral("tunepress-studio.png")));
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(256, 256));
        QVERIFY(image.hasAlphaChannel());
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(128, 128)), 255);

        TestWindow test;
        MainWindow& form = test.load();
        QVERIFY(!form.windowIcon().isNull());
        QVERIFY(!form.windowIcon().availableSizes().isEmpty());
    }

    // The skin is a style sheet that Qt reads without complaint and that changes the look.
    void skinApplies()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("style ?sheet"),
                                                QRegularExpression::CaseInsensitiveOption));
        const QString skin = QString::fromUtf8(ReadAll(ProgramFile(QStringLiteral("x/o.cjs"))));
        QVERIFY(!skin.isEmpty());

        QTemporaryDir plainFolder;
        TestWindow plainTest;
        MainWindow& plain = plainTest.load(plainFolder.path());
        TestWindow skinnedTest;
        MainWindow& skinned = skinnedTest.load();
        QCOMPARE(skinned.styleSheet(), skin);
        QVERIFY(skinnedTest.dialogs.shown.isEmpty());

        const QImage before = plain.grab().toImage();
        const QImage after = skinned.grab().toImage();
        QCOMPARE(after.size(), before.size());
        const QPoint startButton = skinned.startButton->geometry().topLeft() + QPoint(12, 6);
        QVERIFY(before.pixel(startButton) != after.pixel(startButton));
        QVERIFY(before.pixel(4, 4) != after.pixel(4, 4));
    }

    void samplesAreShortSongs()
    {
        const QDir folder(ProgramFile(QStringLiteral("Samples")));
        const QStringList names = folder.entryList(QDir::Files);
        QVERIFY(names.size() >= 5);
        for (const QString& name : names) {
            const MidiSummary song = ReadMidi(ReadAll(folder.filePath(name)));
            QVERIFY2(song.error.isEmpty(), qPrintable(name + QLatin1String(": ") + song.error));
            QCOMPARE(song.format, 1);
            QVERIFY2(song.notes > 50, qPrintable(name));
            QVERIFY2(song.noteChannels.count(9) == 1, qPrintable(name + QLatin1String(": drums")));
            QVERIFY2(song.noteChannels.size() >= 4, qPrintable(name));
            QVERIFY2(song.programs.size() >= 3, qPrintable(name));
            QVERIFY2(song.seconds >= 15 && song.seconds <= 60,
                     qPrintable(name + QLatin1String(": ") + QString::number(song.seconds)));
        }
    }

    // The files beside the program are what the generators in the repository make.
    void generatorsRemakeTheFiles_data()
    {
        QTest::addColumn<QString>("generator");
        QTest::addColumn<QString>("subFolder");
        QTest::newRow("samples") << QStringLiteral("make-samples") << QStringLiteral("Samples");
        QTest::newRow("artwork") << QStringLiteral("make-artwork") << QString();
    }
    void generatorsRemakeTheFiles()
    {
        QFETCH(QString, generator);
        QFETCH(QString, subFolder);
        const QString program = ProgramFile(generator);
        QVERIFY2(QFile::exists(program), qPrintable(program));
        QTemporaryDir output;
        const QString outputFolder =
            subFolder.isEmpty() ? output.path() : output.filePath(subFolder);
        QVERIFY(QDir().mkpath(outputFolder));
        QProcess process;
        process.start(program, {outputFolder});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);

        const QStringList made = QDir(outputFolder).entryList(QDir::Files, QDir::Name);
        QVERIFY(!made.isEmpty());
        const QString shipped =
            subFolder.isEmpty() ? QCoreApplication::applicationDirPath() : ProgramFile(subFolder);
        for (const QString& name : made) {
            const QString made = QDir(outputFolder).filePath(name);
            const QString kept = QDir(shipped).filePath(name);
            if (name.endsWith(QLatin1String(".mid"))) {
                QVERIFY2(ReadAll(made) == ReadAll(kept), qPrintable(name));
                continue;
            }
            QVERIFY2(LooksAlike(QImage(made), QImage(kept)), qPrintable(name));
            if (name.endsWith(QLatin1String(".CUR")))
                QCOMPARE(LoadCursorFile(made).hotSpot(), LoadCursorFile(kept).hotSpot());
        }
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
