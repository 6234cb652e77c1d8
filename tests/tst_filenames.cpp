// File names that are not UTF-8, from the file system into the program and back out: the
// command line and the window convert them, and each MP3 file keeps its source's bytes.
#include "app/mainwindow.h"
#include "convert/platform.h"
#include "filelist/filelistview.h"
#include "songfile.h"
#include "testwindow.h"

#include <QComboBox>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A Latin-1 file name, and a Latin-1 folder name with a Latin-1 file in it.
const QByteArray Cafe = "caf\xe9";
const QByteArray Folder = "d\xefr";
const QByteArray InFolder = "n\xf1";

// The MP3 files under a folder, read by an independent reader: each file's path below the
// folder as hex of its bytes, and its length in whole seconds as the reader decodes it.
QMap<QByteArray, int> Mp3FilesIn(const QString& folder)
{
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import os, sys, mutagen.mp3\n"
                                 "root = os.fsencode(sys.argv[1])\n"
                                 "for folder, _, names in os.walk(root):\n"
                                 "    for name in names:\n"
                                 "        if name.endswith(b'.mp3'):\n"
                                 "            path = os.path.join(folder, name)\n"
                                 "            print(os.path.relpath(path, root).hex(),\n"
                                 "                  round(mutagen.mp3.MP3(path).info.length))\n"),
                  folder});
    reader.waitForFinished(60000);
    QMap<QByteArray, int> found;
    for (const QByteArray& line : reader.readAllStandardOutput().split('\n'))
        if (const QList<QByteArray> fields = line.split(' '); fields.size() == 2)
            found.insert(QByteArray::fromHex(fields[0]), fields[1].toInt());
    if (reader.exitCode() != 0)
        qWarning("%s", reader.readAllStandardError().constData());
    return found;
}

// Starts a program with arguments that are bytes: QProcess would hand them over as UTF-8 text.
// They are handed over as hex to a small launcher instead.
void StartWithBytes(QProcess& process, const QByteArray& program, const QList<QByteArray>& bytes)
{
    QStringList arguments{QStringLiteral("-c"),
                          QStringLiteral("import os, sys\n"
                                         "argv = [bytes.fromhex(a) for a in sys.argv[1:]]\n"
                                         "os.execv(argv[0], argv)\n"),
                          QString::fromLatin1(program.toHex())};
    for (const QByteArray& argument : bytes)
        arguments << QString::fromLatin1(argument.toHex());
    process.start(QStringLiteral("/usr/bin/python3"), arguments);
}

} // namespace

class TestFileNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void bytesSurviveTheText_data();
    void bytesSurviveTheText();
    void commandLineKeepsTheBytes_data();
    void commandLineKeepsTheBytes();
    void windowKeepsTheBytes_data();
    void windowKeepsTheBytes();

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<QTemporaryDir> m_music;
    QByteArray m_root;

    // Writes a song under a name of any bytes below the music folder.
    void song(const QByteArray& relative);
    // Whether the folder (the music folder when "") holds just the two songs' MP3 files, named
    // after their sources' bytes with the suffix, each with the song's two seconds of sound.
    bool holdsBothMp3Files(const QByteArray& suffix, const QString& folder = {}) const;
};

void TestFileNames::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
    m_music = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid() && m_music->isValid());
    qputenv("TEMP", m_temp->path().toUtf8());
    m_root = m_music->path().toUtf8();
    QVERIFY(::mkdir((m_root + '/' + Folder).constData(), 0755) == 0);
    song(Cafe + ".mid");
    song(Folder + '/' + InFolder + ".mid");
}

void TestFileNames::cleanup()
{
    // QTemporaryDir names its contents as UTF-8 text and cannot remove these names.
    QProcess::execute(QStringLiteral("rm"),
                      {QStringLiteral("-rf"), m_music->path(), m_temp->path()});
    m_music.reset();
    m_temp.reset();
}

void TestFileNames::song(const QByteArray& relative)
{
    const SongFile written = WriteSongFile(m_music->path(), QStringLiteral("plain.mid"), 2.0);
    QVERIFY(::rename(written.path.toUtf8().constData(), (m_root + '/' + relative).constData()) ==
            0);
}

bool TestFileNames::holdsBothMp3Files(const QByteArray& suffix, const QString& folder) const
{
    const QMap<QByteArray, int> found = Mp3FilesIn(folder.isEmpty() ? m_music->path() : folder);
    const QList<int> seconds = found.values();
    const bool whole = std::all_of(seconds.cbegin(), seconds.cend(), [](int s) { return s >= 2; });
    if (found.keys() == QList<QByteArray>{Cafe + suffix, Folder + '/' + InFolder + suffix} && whole)
        return true;
    qWarning() << "found" << found;
    return false;
}

void TestFileNames::bytesSurviveTheText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const auto escaped = [](std::initializer_list<char16_t> units) {
        QString text;
        for (const char16_t unit : units)
            text += QChar(unit);
        return text;
    };
    QTest::newRow("ASCII") << QByteArray("song.mid") << QStringLiteral("song.mid")
                           << QStringLiteral("song.mid");
    QTest::newRow("UTF-8 stays text")
        << QByteArray("caf\xc3\xa9") << QStringLiteral("caf\u00e9") << QStringLiteral("caf\u00e9");
    QTest::newRow("four-byte UTF-8")
        << QByteArray("\xf0\x9f\x8e\xb5") << QStringLiteral("\U0001F3B5")
        << QStringLiteral("\U0001F3B5");
    QTest::newRow("byte-order mark at the start")
        << QByteArray("\xef\xbb\xbfx") << QStringLiteral("\ufeffx") << QStringLiteral("\ufeffx");
    QTest::newRow("Latin-1 byte") << Cafe << QStringLiteral("caf") + escaped({0xDCE9})
                                  << QStringLiteral("caf\\xe9");
    QTest::newRow("lone continuation byte")
        << QByteArray("\x80") << escaped({0xDC80}) << QStringLiteral("\\x80");
    QTest::newRow("sequence cut short")
        << QByteArray("a\xc3") << QStringLiteral("a") + escaped({0xDCC3})
        << QStringLiteral("a\\xc3");
    QTest::newRow("overlong slash")
        << QByteArray("\xc0\xaf") << escaped({0xDCC0, 0xDCAF}) << QStringLiteral("\\xc0\\xaf");
    // The bytes of an escape itself must not decode to the escape, or two names would meet.
    QTest::newRow("UTF-8 form of an escape")
        << QByteArray("\xed\xb3\xa9") << escaped({0xDCED, 0xDCB3, 0xDCA9})
        << QStringLiteral("\\xed\\xb3\\xa9");
    QTest::newRow("above U+10FFFF")
        << QByteArray("\xf4\x90\x80\x80") << escaped({0xDCF4, 0xDC90, 0xDC80, 0xDC80})
        << QStringLiteral("\\xf4\\x90\\x80\\x80");
    QTest::newRow("byte FF") << QByteArray("\xff") << escaped({0xDCFF}) << QStringLiteral("\\xff");
}

void TestFileNames::bytesSurviveTheText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(Platform::DecodePath(bytes), text);
    QCOMPARE(Platform::EncodePath(text), bytes);
    QCOMPARE(Platform::DisplayPath(text), shown);
}

void TestFileNames::commandLineKeepsTheBytes_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("named on the command line") << QStringLiteral("arguments");
    QTest::newRow("listed in --files-from") << QStringLiteral("list");
    QTest::newRow("found in a folder") << QStringLiteral("folder");
    QTest::newRow("found in a folder, mirrored into a new output tree")
        << QStringLiteral("output tree");
}

void TestFileNames::commandLineKeepsTheBytes()
{
    QFETCH(QString, way);
    const QByteArray cafe = m_root + '/' + Cafe + ".mid";
    const QByteArray inFolder = m_root + '/' + Folder + '/' + InFolder + ".mid";
    const QByteArray report = m_temp->filePath(QStringLiteral("report.json")).toUtf8();
    QList<QByteArray> arguments{"-b", "64", "-q", "--report", report};
    if (way == QLatin1String("arguments"))
        arguments << cafe << inFolder;
    else if (way == QLatin1String("list"))
        arguments << "--files-from"
                  << "-";
    else
        arguments << m_root;
    const QString tree = m_temp->filePath(QStringLiteral("out"));
    if (way == QLatin1String("output tree"))
        arguments << "-o" << tree.toUtf8();

    QProcess tunepress;
    StartWithBytes(tunepress,
                   (QCoreApplication::applicationDirPath() + QStringLiteral("/tunepress")).toUtf8(),
                   arguments);
    tunepress.write(cafe + '\n' + inFolder + '\n');
    tunepress.closeWriteChannel();
    QVERIFY(tunepress.waitForFinished(120000));
    QVERIFY2(tunepress.exitCode() == 0, tunepress.readAllStandardError().constData());
    QVERIFY(
        holdsBothMp3Files("_64 kbps.mp3", way == QLatin1String("output tree") ? tree : QString()));

    // The report names the files readably, as valid JSON.
    QFile lines(QString::fromUtf8(report));
    QVERIFY(lines.open(QIODevice::ReadOnly));
    QStringList sources;
    for (const QByteArray& line : lines.readAll().split('\n'))
        if (!line.isEmpty())
            sources << QJsonDocument::fromJson(line)
                           .object()
                           .value(QStringLiteral("source"))
                           .toString();
    QVERIFY2(sources.contains(m_music->path() + QStringLiteral("/caf\\xe9.mid")),
             qPrintable(sources.join(QLatin1Char(' '))));
}

void TestFileNames::windowKeepsTheBytes_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Add All MIDI File(s) In Folder") << QStringLiteral("search");
    QTest::newRow("dropped from a file manager") << QStringLiteral("drop");
}

void TestFileNames::windowKeepsTheBytes()
{
    QFETCH(QString, way);
    TestWindow test;
    MainWindow& window = test.load();
    if (way == QLatin1String("search")) {
        test.dialogs.inputAnswers << QStringLiteral("mid");
        test.dialogs.folderAnswers << m_music->path();
        window.addAllFilesInFolder();
    } else {
        // As a file manager puts it: the name's bytes percent-encoded.
        QMimeData data;
        data.setUrls(
            {QUrl::fromEncoded("file://" + m_root.toPercentEncoding("/") + '/' +
                               (Cafe + ".mid").toPercentEncoding()),
             QUrl::fromEncoded("file://" + m_root.toPercentEncoding("/") + '/' +
                               (Folder + '/' + InFolder + ".mid").toPercentEncoding("/"))});
        QWidget* viewport = window.fileList->viewport();
        QDragEnterEvent enter({20, 20}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDropEvent drop({20, 20}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
    }
    QCOMPARE(window.fileList->count(), 2);

    window.saveBesideSourceOption->setChecked(true);
    window.startConverting();
    QCOMPARE(test.dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    QVERIFY(holdsBothMp3Files('_' + window.bitrateBox->currentText().toUtf8() + ".mp3"));
}

QTEST_MAIN(TestFileNames)
#include "tst_filenames.moc"
