// Karaoke files end to end: tunepress with the real tools, the tags and .lrc files read back by
// python3-mutagen and by hand.
#include "smf/smfwriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int Quarter = 480;

// A syllable as the song file has it, at its tick.
struct Sung
{
    int tick;
    const char* text;
};

// A song whose melody plays from the first tick to the last syllable, with the texts given.
Smf::Song SongWith(const QList<Smf::Tempo>& tempos, const QList<Smf::Text>& texts,
                   const QStringList& trackNames)
{
    Smf::Song song;
    song.tempos = tempos;
    for (const QString& name : trackNames)
        song.tracks.append({0, 0, name, {}});
    int last = 0;
    for (const Smf::Text& text : texts)
        last = std::max(last, text.tick);
    for (int tick = 0; tick <= last; tick += Quarter)
        song.tracks[0].notes.append({tick, Quarter - 20, 60 + tick / Quarter % 8, 90});
    song.texts = texts;
    return song;
}

// The layout of a Soft Karaoke file: an info track, then a "Words" track with the language,
// title, artist and the syllables with their line marks; the tempo changes twice, once in the
// middle of a line.
const QList<Sung> SoftKaraokeWords = {
    {960, "\\Twin"}, {1200, "kle "},   {1440, "twin"},   {1680, "kle"}, {1920, "/lit"},
    {2400, "tle "},  {2880, "star"},   {3840, "\\How "}, {4080, "I "},  {4320, "won"},
    {4560, "der"},   {4800, "/what "}, {5040, "you "},   {5520, "are"}, {6240, "/Up "},
    {6480, "a"},     {6720, "bove"}};

Smf::Song SoftKaraoke()
{
    QList<Smf::Text> texts = {{1, 0, 0x01, "@KMIDI KARAOKE FILE"},
                              {1, 0, 0x01, "@V0100"},
                              {1, 0, 0x01, "@IArranged by Ann Example"},
                              {2, 0, 0x01, "@LENGL"},
                              {2, 0, 0x01, "@TLittle Star"},
                              {2, 0, 0x01, "@TThe Examples"},
                              {2, 0, 0x01, "@TSequenced in 2026"}};
    for (const Sung& sung : SoftKaraokeWords)
        texts.append({2, sung.tick, 0x01, sung.text});
    return SongWith(
        {{0, 500000}, {3840, 300000}, {5280, 750000}}, texts,
        {QStringLiteral("Melody"), QStringLiteral("Soft Karaoke"), QStringLiteral("Words")});
}

double Milliseconds(const Smf::Song& song, int tick)
{
    return Smf::SecondsAt(song, tick) * 1000;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The tags as python3-mutagen reads them.
QJsonObject ReadTags(const QString& path)
{
    static const char script[] = R"(
import json, sys
from mutagen.id3 import ID3
tag = ID3(sys.argv[1])
print(json.dumps({'title': [str(f) for f in tag.getall('TIT2')],
                  'artist': [str(f) for f in tag.getall('TPE1')],
                  'comment': [str(f) for f in tag.getall('COMM')],
                  'lyrics': [[f.lang, f.text] for f in tag.getall('USLT')],
                  'synced': [[f.lang, f.format, f.text] for f in tag.getall('SYLT')]}))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(script), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// The lines of an .lrc file: headers as they are, timed lines as [milliseconds, text].
QJsonArray LrcLines(const QString& path)
{
    static const QRegularExpression timed(QStringLiteral(R"(^\[(\d\d):(\d\d)\.(\d\d)\](.*)$)"));
    QJsonArray lines;
    for (const QString& line : QString::fromUtf8(Contents(path)).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = timed.match(line);
        if (!match.hasMatch()) {
            lines.append(line);
            continue;
        }
        const int ms = match.captured(1).toInt() * 60000 + match.captured(2).toInt() * 1000 +
                       match.captured(3).toInt() * 10;
        lines.append(QJsonArray{ms, match.captured(4)});
    }
    return lines;
}

// Whether two lists agree, numbers within 10 milliseconds.
bool Near(const QJsonValue& actual, const QJsonValue& expected)
{
    if (actual.isDouble() && expected.isDouble())
        return std::abs(actual.toDouble() - expected.toDouble()) <= 10;
    if (!actual.isArray() || !expected.isArray())
        return actual == expected;
    const QJsonArray a = actual.toArray();
    const QJsonArray e = expected.toArray();
    if (a.size() != e.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!Near(a[i], e[i]))
            return false;
    return true;
}

QByteArray Text(const QJsonValue& value)
{
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
}

QJsonValue Json(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

Q_DECLARE_METATYPE(Smf::Text)

class TestKaraoke : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void softKaraokeReadsBackElsewhere();
    void otherLyricFiles_data();
    void otherLyricFiles();
    void failedEntryLeavesNoLrcFile();

private:
    // Converts with --lrc and a report; answers the report's objects by source name.
    QHash<QString, QJsonObject> convert(const QStringList& sources);
    QString m_program;
    QTemporaryDir m_temp;
    QTemporaryDir m_dir;
};

void TestKaraoke::initTestCase()
{
    if (!QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable())
        QSKIP("the tag reader python3-mutagen is not installed");
    m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/tunepress");
    QVERIFY(QFileInfo(m_program).isExecutable());
    qputenv("TEMP", QFile::encodeName(m_temp.path()));
}

QHash<QString, QJsonObject> TestKaraoke::convert(const QStringList& sources)
{
    const QString report = m_dir.filePath(QStringLiteral("report.jsonl"));
    QProcess tunepress;
    tunepress.start(m_program, QStringList{QStringLiteral("--lrc"), QStringLiteral("-q"),
                                           QStringLiteral("--report"), report} +
                                   sources);
    if (!tunepress.waitForFinished(300000))
        tunepress.kill();
    QHash<QString, QJsonObject> entries;
    for (const QByteArray& line : Contents(report).split('\n'))
        if (!line.isEmpty()) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            entries.insert(QFileInfo(entry.value(QStringLiteral("source")).toString()).fileName(),
                           entry);
        }
    return entries;
}

void TestKaraoke::softKaraokeReadsBackElsewhere()
{
    const Smf::Song song = SoftKaraoke();
    const QString source = m_dir.filePath(QStringLiteral("star.kar"));
    QVERIFY(Smf::Write(song, source));
    const QJsonObject entry = convert({source}).value(QStringLiteral("star.kar"));
    QCOMPARE(entry.value(QStringLiteral("status")).toString(), QStringLiteral("converted"));
    QCOMPARE(entry.value(QStringLiteral("lyrics")).toString(), QStringLiteral("synced"));

    const QJsonObject tags = ReadTags(m_dir.filePath(QStringLiteral("star_128 kbps.mp3")));
    QCOMPARE(tags.value(QStringLiteral("title")).toArray(), QJsonArray{Json("Little Star")});
    QCOMPARE(tags.value(QStringLiteral("artist")).toArray(), QJsonArray{Json("The Examples")});
    QCOMPARE(tags.value(QStringLiteral("comment")).toArray(),
             QJsonArray{Json("Arranged by Ann Example\nSequenced in 2026")});
    const QString lyrics =
        QStringLiteral("Twinkle twinkle\nlittle star\n\nHow I wonder\nwhat you are\nUp above");
    const QJsonArray inEnglish{QJsonArray{Json("eng"), lyrics}};
    QCOMPARE(tags.value(QStringLiteral("lyrics")).toArray(), inEnglish);

    // Each syllable at its time by the tempo map, a line break before each new line.
    QJsonArray syllables;
    for (const Sung& sung : SoftKaraokeWords) {
        QString text = QString::fromUtf8(sung.text);
        text.replace(QLatin1Char('/'), QLatin1Char('\n'));
        text.replace(QLatin1Char('\\'), sung.tick == 960 ? QString() : QStringLiteral("\n\n"));
        syllables.append(QJsonArray{text, Milliseconds(song, sung.tick)});
    }
    const QJsonValue synced = tags.value(QStringLiteral("synced"));
    QVERIFY2(Near(synced, QJsonArray{QJsonArray{Json("eng"), 2, syllables}}),
             Text(synced) + "\nexpected " + Text(syllables));

    // Each line at its first syllable; a blank line halfway to a paragraph's first syllable.
    const auto at = [&](int tick, const char* text) {
        return QJsonArray{Milliseconds(song, tick), QString::fromUtf8(text)};
    };
    const QJsonArray lrc{
        Json("[ti:Little Star]"),
        Json("[ar:The Examples]"),
        at(960, "Twinkle twinkle"),
        at(1920, "little star"),
        QJsonArray{(Milliseconds(song, 2880) + Milliseconds(song, 3840)) / 2, QString()},
        at(3840, "How I wonder"),
        at(4800, "what you are"),
        at(6240, "Up above"),
        QString()};
    const QJsonArray written = LrcLines(m_dir.filePath(QStringLiteral("star_128 kbps.lrc")));
    QVERIFY2(Near(written, lrc), Text(written) + "\nexpected " + Text(lrc));
}

void TestKaraoke::otherLyricFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<Smf::Text>>("texts");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("lyrics");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("lrc");

    // Carriage return ends a line, line feed starts a new page.
    QTest::newRow("lyric events") << QStringLiteral("lyric.mid")
                                  << QList<Smf::Text>{{0, 480, 0x05, "Hel"},
                                                      {0, 720, 0x05, "lo\r"},
                                                      {0, 960, 0x05, "world\r\n"},
                                                      {0, 1440, 0x05, "Bye "},
                                                      {0, 1920, 0x05, "now"}}
                                  << QStringLiteral("Melody")
                                  << QStringLiteral("Hello\nworld\n\nBye now")
                                  << QStringLiteral("synced")
                                  << QStringList{QStringLiteral("[ti:Melody]"),
                                                 QStringLiteral("[00:00.50]Hello"),
                                                 QStringLiteral("[00:01.00]world"),
                                                 QStringLiteral("[00:01.25]"),
                                                 QStringLiteral("[00:01.50]Bye now")};
    QTest::newRow(".kar without @K")
        << QStringLiteral("bare.kar")
        << QList<Smf::Text>{{0, 0, 0x01, "@TBare Song"},
                            {0, 480, 0x01, "\\One "},
                            {0, 960, 0x01, "two"},
                            {0, 1440, 0x01, "/three"}}
        << QStringLiteral("Bare Song") << QStringLiteral("One two\nthree")
        << QStringLiteral("synced")
        << QStringList{QStringLiteral("[ti:Bare Song]"), QStringLiteral("[00:00.50]One two"),
                       QStringLiteral("[00:01.50]three")};
    QTest::newRow("no lyrics") << QStringLiteral("plain.mid")
                               << QList<Smf::Text>{{0, 960, 0x01, "made with care"}}
                               << QStringLiteral("Melody") << QString() << QStringLiteral("none")
                               << QStringList();
}

void TestKaraoke::otherLyricFiles()
{
    QFETCH(QString, name);
    QFETCH(QList<Smf::Text>, texts);
    const QString source = m_dir.filePath(name);
    QVERIFY(Smf::Write(SongWith({{0, 500000}}, texts, {QStringLiteral("Melody")}), source));
    const QJsonObject entry = convert({source}).value(name);
    QCOMPARE(entry.value(QStringLiteral("status")).toString(), QStringLiteral("converted"));
    QTEST(entry.value(QStringLiteral("lyrics")).toString(), "kind");

    const QString base =
        m_dir.filePath(QFileInfo(name).completeBaseName() + QStringLiteral("_128 kbps"));
    const QJsonObject tags = ReadTags(base + QStringLiteral(".mp3"));
    QFETCH(QString, title);
    QFETCH(QString, lyrics);
    QCOMPARE(tags.value(QStringLiteral("title")).toArray(), QJsonArray{title});
    const QJsonArray frames =
        lyrics.isEmpty() ? QJsonArray() : QJsonArray{QJsonArray{Json("XXX"), lyrics}};
    QCOMPARE(tags.value(QStringLiteral("lyrics")).toArray(), frames);
    QFETCH(QStringList, lrc);
    const QString lrcPath = base + QStringLiteral(".lrc");
    QCOMPARE(QFileInfo::exists(lrcPath), !lrc.isEmpty());
    if (!lrc.isEmpty())
        QCOMPARE(QString::fromUtf8(Contents(lrcPath)),
                 lrc.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void TestKaraoke::failedEntryLeavesNoLrcFile()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("star.kar"));
    QVERIFY(Smf::Write(SoftKaraoke(), source));
    // A folder in the MP3 file's place: everything is written, then the MP3 cannot take its name.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("star_128 kbps.mp3")));
    const QJsonObject entry = convert({source}).value(QStringLiteral("star.kar"));
    QCOMPARE(entry.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    QCOMPARE(entry.value(QStringLiteral("lyrics")).toString(), QStringLiteral("none"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("star.kar"), QStringLiteral("star_128 kbps.mp3")}));
}

QTEST_GUILESS_MAIN(TestKaraoke)
#include "tst_karaoke.moc"
