#include "convert/applicationerror.h"
#include "convert/id3tag.h"
#include "convert/miditext.h"
#include "nobody.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QtEndian>
#include <sys/stat.h>

using MidiText::Texts;

Q_DECLARE_METATYPE(Texts)

namespace {

enum MetaType { TextEvent = 0x01, Copyright = 0x02, Name = 0x03, Lyric = 0x05, Tempo = 0x51 };

QByteArray Number(quint32 value)
{
    QByteArray bytes(1, char(value & 0x7F));
    while ((value >>= 7) != 0)
        bytes.prepend(char((value & 0x7F) | 0x80));
    return bytes;
}

// A meta event at the delta time.
QByteArray Meta(MetaType type, const QByteArray& data, quint32 delta = 0)
{
    return Number(delta) + char(0xFF) + char(type) + Number(quint32(data.size())) + data;
}

QByteArray TempoAt(quint32 delta, quint32 microsecondsPerQuarter)
{
    QByteArray data(4, '\0');
    qToBigEndian(microsecondsPerQuarter, data.data());
    return Meta(Tempo, data.sliced(1), delta);
}

QByteArray Chunk(const char* id, const QByteArray& body, qint64 declared = -1)
{
    QByteArray length(4, '\0');
    qToBigEndian<quint32>(quint32(declared < 0 ? body.size() : declared), length.data());
    return id + length + body;
}

QByteArray Track(const QByteArray& events)
{
    return Chunk("MTrk", events + QByteArray("\0\xFF\x2F\0", 4));
}

QByteArray Smf(const QByteArray& chunks, quint16 trackCount = 1, quint16 format = 1,
               quint16 division = 480)
{
    QByteArray header(6, '\0');
    qToBigEndian(format, header.data());
    qToBigEndian(trackCount, header.data() + 2);
    qToBigEndian(division, header.data() + 4);
    return Chunk("MThd", header) + chunks;
}

QByteArray Events(MetaType type, const QByteArrayList& texts)
{
    QByteArray events;
    for (const QByteArray& text : texts)
        events += Meta(type, text);
    return events;
}

QByteArray Rmid(const QByteArray& smf, qint64 declared = -1)
{
    const QByteArray body = "RMID" + Chunk("data", smf, declared);
    QByteArray riff("RIFF\0\0\0\0", 8);
    qToLittleEndian<quint32>(quint32(body.size()), riff.data() + 4);
    return riff + body;
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Half a second of silence, encoded by the real encoder.
bool MakeMp3(const QString& path)
{
    const QString raw = path + QStringLiteral(".raw");
    if (!WriteBytes(raw, QByteArray(44100, '\0')))
        return false;
    // Run quietly: the encoder warns that raw input may be read with seeks.
    QProcess lame;
    lame.start(QStringLiteral("lame"),
               QStringLiteral("--quiet -r -s 44.1 --bitwidth 16 -m m").split(QLatin1Char(' '))
                   << raw << path);
    return lame.waitForFinished(60000) && lame.exitCode() == 0 && QFile::remove(raw);
}

// The tags of an MP3 file as an independent reader sees them: the system's Python, which the
// mutagen package belongs to.
QJsonObject ReadTags(const QString& path)
{
    static const char script[] = R"(
import json, sys
from mutagen.id3 import ID3
from mutagen.mp3 import MP3
path = sys.argv[1]
tag = ID3(path)
print(json.dumps({'seconds': MP3(path).info.length,
                  'id3v1': open(path, 'rb').read()[-128:-125] == b'TAG',
                  'version': tag.version[1],
                  'title': [str(f) for f in tag.getall('TIT2')],
                  'artist': [str(f) for f in tag.getall('TPE1')],
                  'copyright': [str(f) for f in tag.getall('TCOP')],
                  'comment': [[f.lang, str(f)] for f in tag.getall('COMM')],
                  'lyrics': [[f.lang, f.text] for f in tag.getall('USLT')],
                  'synced': [[f.lang, f.format, f.type, f.text] for f in tag.getall('SYLT')]}))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(script), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QString WriteFailure(const QString& path)
{
    try {
        Id3Tag::Write(path, {}, QStringLiteral("fallback"));
    } catch (const tp::ApplicationError& error) {
        return error.description();
    }
    return QString();
}

// Tags a file as the unprivileged user; answers what the failure said.
QString WriteFailureAsNobody(const QString& path)
{
    QProcess child;
    child.start(QStringLiteral("setpriv"),
                Nobody::Credentials() +
                    QStringList{Nobody::Program(), QStringLiteral("--child"), path});
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        return QStringLiteral("child failed");
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

} // namespace

class TestMidiTags : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTheTexts_data();
    void readsTheTexts();
    void readsKaraokeTexts_data();
    void readsKaraokeTexts();
    void timesFollowTheTempoMap_data();
    void timesFollowTheTempoMap();
    void capsBoundEveryText();
    void readsOnlyRegularFiles();

    void tagReadsBackElsewhere_data();
    void tagReadsBackElsewhere();
    void failureLeavesTheFileAlone_data();
    void failureLeavesTheFileAlone();

private:
    QTemporaryDir m_dir;
};

void TestMidiTags::readsTheTexts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("copyright");
    QTest::addColumn<QString>("lyrics");
    const auto row = [](const char* name, const QByteArray& file, const char* title,
                        const char* copyright = "", const char* lyrics = "") {
        QTest::newRow(name) << file << QString::fromUtf8(title) << QString::fromUtf8(copyright)
                            << QString::fromUtf8(lyrics);
    };
    const auto named = [](const QByteArray& name) { return Smf(Track(Meta(Name, name))); };
    const auto lyrics = [](const QByteArrayList& syllables, MetaType type = Lyric) {
        QByteArray events;
        for (const QByteArray& syllable : syllables)
            events += Meta(type, syllable);
        return events;
    };

    // Which text goes where.
    row("first name in file order",
        Smf(Track(Meta(Copyright, "(c) First") + Meta(Name, "Song")) +
            Track(Meta(Copyright, "(c) Second") + Meta(Name, "Piano"))),
        "Song", "(c) First");
    row("blank name passed over", Smf(Track(Meta(Name, "  ")) + Track(Meta(Name, "Melody"))),
        "Melody");
    row("channel events, running status and sysex skipped",
        Smf(Track(QByteArray("\0\x90\x3C\x64\x10\x3E\x64\0\xF0\x03\x7E\x7F\xF7"
                             "\0\xC0\x05\0\x06\0\xD0\x40\0\xF7\x01\xF7",
                             25) +
                  Meta(Name, "After events"))),
        "After events");
    row("lyric events with breaks",
        Smf(Track(lyrics({"Hel", "lo  \r", "world\r\n", "\r", "Bye ", "/now", "\\End"}))), "", "",
        "Hello\nworld\n\nBye\nnow\n\nEnd");
    row("karaoke text events",
        Smf(Track(lyrics({"@KMIDI KARAOKE FILE", "@V0100"}, TextEvent)) +
            Track(lyrics({"@LENGL", "@TTwinkle", "\\Twin", "kle ", "twin", "kle", "/Lit", "tle ",
                          "star", "\\How ", "I"},
                         TextEvent))),
        "Twinkle", "", "Twinkle twinkle\nLittle star\n\nHow I");
    row("lyric events win over karaoke text",
        Smf(Track(lyrics({"@KMIDI KARAOKE FILE", "typed"}, TextEvent) + Meta(Lyric, "sung"))), "",
        "", "sung");
    row("text events of a plain file are no lyrics", Smf(Track(Meta(TextEvent, "made with care"))),
        "");
    row("RIFF wrapped", Rmid(Smf(Track(Meta(Name, "Wrapped") + Meta(Lyric, "la")))), "Wrapped", "",
        "la");

    // How a text's bytes are read.
    row("UTF-8", named("Caf\xC3\xA9 \xE6\x9C\x88"), "Café 月");
    row("Latin-1", named("Caf\xE9 Se\xF1or"), "Café Señor");
    // Valid UTF-8 bytes read as Latin-1 would give "Ã©"; invalid ones as UTF-8 give U+FFFD.
    row("UTF-8 then a stray byte", named("\xC3\xA9\xFF"), "Ã©ÿ");
    row("NULs and blanks", named(QByteArray(" \0Tit\0le\0 \t", 11)), "Title");
    row("Windows-1251", named("\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0"), "Привет, мир");
    // Accented letters stand between ASCII ones; a single pair alone is not enough for Cyrillic.
    row("Latin-1 words",
        named("\xc0 l'\xe9t\xe9 o\xf9 \xe0\xe9 \xe7"
              "a"),
        "À l'été où àé ça");
    // A syllable alone is too short to tell; the file as a whole is not.
    row("Windows-1251 told by the whole file",
        Smf(Track(Meta(Name, "\xcf\xf0\xe8") + Meta(Lyric, "\xe2\xe5\xf2"))), "При", "", "вет");

    // Damaged files give what could be read before the damage, and the tracks after it.
    const QByteArray later = Track(Meta(Name, "Later"));
    row("empty", QByteArray(), "");
    row("not a MIDI file", "hello, this is text", "");
    row("cut in the header", QByteArray("MThd\0\0\0\6\0", 9), "");
    row("track longer than the file", Smf(Chunk("MTrk", Meta(Name, "Cut short"), 0xFFFFFFF0)),
        "Cut short");
    row("text longer than the track",
        Smf(Track(Meta(Copyright, "(c) Kept") + QByteArray("\0\xFF\x03\x7Fshort", 9))), "",
        "(c) Kept");
    row("five-byte number",
        Smf(Track(QByteArray("\0\xFF\x03\x81\x80\x80\x80\x05", 8) + Meta(Name, "Lost")) + later, 2),
        "Later");
    row("data byte without a status",
        Smf(Track(QByteArray("\0\x3C\x64", 3) + Meta(Name, "Lost")) + later, 2), "Later");
    row("system byte out of place",
        Smf(Track(QByteArray("\0\xF4", 2) + Meta(Name, "Lost")) + later, 2), "Later");
    row("cut in a channel message", Smf(QByteArray("MTrk\0\0\0\3\0\x90\x3C", 11)), "");
    row("cut after the meta byte", Smf(QByteArray("MTrk\0\0\0\2\0\xFF", 10)), "");
    row("sysex longer than the track",
        Smf(Track(QByteArray("\0\xF0\x8F\xFF\xFF\x7F", 6) + Meta(Name, "Lost"))), "");
    row("absurd track count, unknown chunk", Smf(Chunk("XFIH", "junk") + later, 0xFFFF), "Later");
    row("RIFF data longer than the file", Rmid(Smf(later), 0x7FFFFFFF), "Later");
    row("RIFF of another kind", QByteArray("RIFF\4\0\0\0WAVE") + Smf(later), "");
}

void TestMidiTags::readsTheTexts()
{
    QFETCH(QByteArray, file);
    const Texts texts = MidiText::Read(file);
    QTEST(texts.title, "title");
    QTEST(texts.copyright, "copyright");
    QTEST(texts.lyrics, "lyrics");
}

void TestMidiTags::readsKaraokeTexts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("karName");
    QTest::addColumn<QStringList>("texts");
    const auto row = [](const char* name, const QByteArray& file,
                        std::initializer_list<const char*> texts, bool karName = false) {
        QStringList list;
        for (const char* text : texts)
            list.append(QString::fromUtf8(text));
        QTest::newRow(name) << file << karName << list;
    };
    const auto named = [](const QByteArray& name) { return Meta(Name, name); };
    // Title, artist, comment, language, lyrics.

    row("Soft Karaoke layout",
        Smf(Track(named("Soft Karaoke") +
                  Events(TextEvent, {"@KMIDI KARAOKE FILE", "@V0100", "@IInfo one"})) +
            Track(named("Words") + Events(TextEvent, {"@LENGL", "@TTitle", "@T Artist ", "@T",
                                                      "@TMore", "\\Hel", "lo"}))),
        {"Title", "Artist", "Info one\nMore", "eng", "Hello"});
    row("no @T: karaoke track names are no titles",
        Smf(Track(named("Soft Karaoke") + Meta(TextEvent, "@KMIDI KARAOKE FILE")) +
            Track(named("Words") + Meta(TextEvent, "la")) + Track(named("Piano"))),
        {"Piano", "", "", "", "la"});
    row("the track named Words",
        Smf(Track(named("Piano") + Events(TextEvent, {"/not ", "/sung"})) +
            Track(named("Words") + Events(TextEvent, {"sung ", "words"}))),
        {"Piano", "", "", "", "sung words"});
    row("else the track with the most line marks",
        Smf(Track(Events(TextEvent, {"@TSong", "made with care", "/x"})) +
            Track(Events(TextEvent, {"\\one", "/two", "/three"}))),
        {"Song", "", "", "", "one\ntwo\nthree"});
    row("a .kar name alone", Smf(Track(named("Tune") + Events(TextEvent, {"la ", "la"}))),
        {"Tune", "", "", "", "la la"}, true);
    row("lyric events of the track with most of them",
        Smf(Track(Meta(Lyric, "one")) + Track(Events(Lyric, {"two ", "three"}))),
        {"", "", "", "", "two three"});
    row("language by its own name", Smf(Track(Meta(TextEvent, "@LDEUT"))), {"", "", "", "ger", ""});
    row("language by its code", Smf(Track(Meta(TextEvent, "@Lrus"))), {"", "", "", "rus", ""});
    row("language unknown", Smf(Track(Meta(TextEvent, "@LKLINGON"))), {"", "", "", "", ""});
}

void TestMidiTags::readsKaraokeTexts()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, karName);
    const Texts read = MidiText::Read(file, karName);
    QTEST((QStringList{read.title, read.artist, read.comment, read.language, read.lyrics}),
          "texts");
}

void TestMidiTags::timesFollowTheTempoMap_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<quint32>>("milliseconds");

    // Ticks of 480 a quarter: 500 ms at the default tempo, 250 ms at 250000 us.
    const QByteArray twoSyllables = Meta(Lyric, "a", 480) + Meta(Lyric, "b", 960);
    QTest::newRow("tempo change in another track")
        << Smf(Track(twoSyllables) + Track(TempoAt(960, 250000)), 2) << QList<quint32>{500, 1250};
    QTest::newRow("the last of two tempos at one tick")
        << Smf(Track(TempoAt(0, 1000000) + TempoAt(0, 250000) + twoSyllables))
        << QList<quint32>{250, 750};
    // 25 frames of 40 ticks: a tick is a millisecond, whatever the tempo.
    QTest::newRow("SMPTE time") << Smf(Track(TempoAt(0, 250000) + twoSyllables), 1, 0, 0xE728)
                                << QList<quint32>{480, 1440};
    QTest::newRow("independent songs have no times")
        << Smf(Track(twoSyllables), 1, 2) << QList<quint32>{};
    QTest::newRow("no division, no times") << Smf(Track(twoSyllables), 1, 1, 0) << QList<quint32>{};
}

void TestMidiTags::timesFollowTheTempoMap()
{
    QFETCH(QByteArray, file);
    const Texts texts = MidiText::Read(file);
    QCOMPARE(texts.lyrics, QStringLiteral("ab"));
    QList<quint32> times;
    for (const MidiText::Syllable& syllable : texts.syllables)
        times.append(syllable.milliseconds);
    QTEST(times, "milliseconds");
}

void TestMidiTags::capsBoundEveryText()
{
    // A cut through a three-byte character must keep the rest UTF-8.
    const QByteArray title = QByteArray("\xE6\x9C\x88").repeated(MidiText::MaxTextLength / 2);
    QByteArray lyrics;
    for (int line = 0; line < 40; ++line)
        lyrics += Meta(Lyric, "/" + QByteArray("la ").repeated(20000));
    const Texts texts = MidiText::Read(Smf(Track(Meta(Name, title) + lyrics)));
    QVERIFY(texts.title.size() <= MidiText::MaxTextLength);
    QVERIFY(texts.title.size() >= MidiText::MaxTextLength / 3 - 1);
    QCOMPARE(texts.title, QString(texts.title.size(), QChar(0x6708)));
    QVERIFY(texts.lyrics.size() <= MidiText::MaxLyricsLength);
    QVERIFY(texts.lyrics.size() > MidiText::MaxLyricsLength - 60000);
}

void TestMidiTags::readsOnlyRegularFiles()
{
    const QString file = m_dir.filePath(QStringLiteral("song.mid"));
    const QString pipe = m_dir.filePath(QStringLiteral("pipe"));
    QVERIFY(WriteBytes(file, Smf(Track(Meta(Name, "Named")))));
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    QCOMPARE(MidiText::ReadFile(file).title, QStringLiteral("Named"));
    // A pipe without a writer would hold up a reader that waits for one.
    for (const QString& path : {pipe, m_dir.path(), m_dir.filePath(QStringLiteral("missing"))})
        QVERIFY(MidiText::ReadFile(path).title.isEmpty());
}

void TestMidiTags::tagReadsBackElsewhere_data()
{
    QTest::addColumn<Texts>("texts");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QJsonArray>("synced");

    Texts every;
    every.title = QStringLiteral("Für Elise — 月光");
    every.copyright = QStringLiteral("© 2024 Zoë");
    every.lyrics = QStringLiteral("Ça va\nbien\n\nλα λα ♪");
    every.artist = QStringLiteral("Zoë Ångström");
    every.comment = QStringLiteral("Sequenced by\nMe");
    every.language = QStringLiteral("fre");
    every.syllables = {{0, MidiText::Break::None, QStringLiteral("Ça ")},
                       {1500, MidiText::Break::None, QStringLiteral("va")},
                       {3001, MidiText::Break::Line, QStringLiteral("bien")},
                       {4294967295u, MidiText::Break::Paragraph, QStringLiteral("λα λα ♪")}};
    const QJsonArray everySynced{QJsonArray{QStringLiteral("Ça "), 0},
                                 QJsonArray{QStringLiteral("va"), 1500},
                                 QJsonArray{QStringLiteral("\nbien"), 3001},
                                 QJsonArray{QStringLiteral("\n\nλα λα ♪"), 4294967295.0}};
    QTest::newRow("every text, not ASCII")
        << every << every.title << QStringLiteral("fre") << everySynced;
    Texts untimed;
    untimed.lyrics = QStringLiteral("la la");
    QTest::newRow("lyrics without times or language")
        << untimed << QStringLiteral("Prélude_128") << QStringLiteral("XXX") << QJsonArray();
    QTest::newRow("no texts") << Texts{} << QStringLiteral("Prélude_128") << QString()
                              << QJsonArray();
}

void TestMidiTags::tagReadsBackElsewhere()
{
    QFETCH(Texts, texts);
    const QString mp3 = m_dir.filePath(QStringLiteral("song.mp3"));
    QVERIFY(MakeMp3(mp3));
    // An ID3v1 tag and an earlier tag of our own, both to be replaced.
    QVERIFY(WriteBytes(mp3, ReadBytes(mp3) + "TAG" + QByteArray(125, 'x')));
    const QString old = QStringLiteral("old");
    Texts earlier;
    earlier.title = earlier.copyright = earlier.lyrics = earlier.artist = earlier.comment = old;
    earlier.syllables = {{7, MidiText::Break::None, old}};
    Id3Tag::Write(mp3, earlier, QString());
    const double seconds = ReadTags(mp3).value(QStringLiteral("seconds")).toDouble();
    QVERIFY(seconds > 0.4);

    Id3Tag::Write(mp3, texts, QStringLiteral("Prélude_128"));

    const QJsonObject tags = ReadTags(mp3);
    QCOMPARE(tags.value(QStringLiteral("version")).toInt(), 4);
    QCOMPARE(tags.value(QStringLiteral("id3v1")).toBool(), false);
    QCOMPARE(tags.value(QStringLiteral("seconds")).toDouble(), seconds);
    QFETCH(QString, title);
    QFETCH(QString, language);
    const auto listOf = [](const QString& text) {
        return text.isEmpty() ? QJsonArray() : QJsonArray{text};
    };
    const auto inLanguage = [&](const QString& text) {
        return text.isEmpty() ? QJsonArray() : QJsonArray{QJsonArray{language, text}};
    };
    QCOMPARE(tags.value(QStringLiteral("title")).toArray(), listOf(title));
    QCOMPARE(tags.value(QStringLiteral("artist")).toArray(), listOf(texts.artist));
    QCOMPARE(tags.value(QStringLiteral("copyright")).toArray(), listOf(texts.copyright));
    QCOMPARE(tags.value(QStringLiteral("comment")).toArray(), inLanguage(texts.comment));
    QCOMPARE(tags.value(QStringLiteral("lyrics")).toArray(), inLanguage(texts.lyrics));
    QFETCH(QJsonArray, synced);
    // Times in milliseconds (format 2), the content being lyrics (type 1).
    const QJsonArray frames =
        synced.isEmpty() ? QJsonArray() : QJsonArray{QJsonArray{language, 2, 1, synced}};
    QCOMPARE(tags.value(QStringLiteral("synced")).toArray(), frames);
}

void TestMidiTags::failureLeavesTheFileAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("asNobody");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << "missing" << false << "the file was not found";
    QTest::newRow("folder") << "folder" << false << "it is not a regular file";
    QTest::newRow("MIDI file") << "midi" << false << "it is not an MP3 file";
    QTest::newRow("read-only file") << "read-only" << true << "the file is read-only";
    QTest::newRow("closed folder") << "closed folder" << true << "the file could not be saved";
}

void TestMidiTags::failureLeavesTheFileAlone()
{
    QFETCH(QString, kind);
    QFETCH(bool, asNobody);
    if (asNobody && !Nobody::CanRun())
        QSKIP("permissions bind only an unprivileged user");
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString path = dir.filePath(QStringLiteral("song.mp3"));
    if (kind == QStringLiteral("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (kind == QStringLiteral("midi"))
        QVERIFY(WriteBytes(path, Smf(Track(Meta(Name, "Not sound")))));
    else if (kind != QStringLiteral("missing"))
        QVERIFY(MakeMp3(path));
    // Writable by anyone, in a folder that only its owner may write.
    if (kind == QStringLiteral("closed folder"))
        QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOther));
    const QByteArray before = ReadBytes(path);

    const QString said = asNobody ? WriteFailureAsNobody(path) : WriteFailure(path);
    QFETCH(QString, reason);
    QVERIFY2(said.startsWith(QStringLiteral("the tag could not be written: ") + reason),
             qPrintable(said));
    QCOMPARE(ReadBytes(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
             kind == QStringLiteral("missing") || kind == QStringLiteral("folder") ? 0 : 1);
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (const qsizetype child = arguments.indexOf(QStringLiteral("--child")); child >= 0) {
        QTextStream(stdout) << WriteFailure(arguments.value(child + 1)) << '\n';
        return 0;
    }
    TestMidiTags test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_miditags.moc"
