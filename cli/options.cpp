#include "cli/options.h"

#include "convert/bitrate.h"
#include "convert/paths.h"
#include "convert/staging.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

namespace {

// The window's bitrate entries as numbers, lowest first: "8, 16, ..., 256<last>320".
QString OfferedBitrates(const QString& last)
{
    QStringList numbers;
    for (const QString& entry : Bitrate::BitrateEntries())
        numbers.prepend(QString::number(Bitrate::BitrateNumber(entry)));
    const QString highest = numbers.takeLast();
    return numbers.join(QStringLiteral(", ")) + last + highest;
}

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption bitrate{{QStringLiteral("b"), QStringLiteral("bitrate")},
                               QStringLiteral("Bitrate in kbps: ") +
                                   OfferedBitrates(QStringLiteral(" or ")) +
                                   QStringLiteral(" (default 128)."),
                               QStringLiteral("KBPS"),
                               QStringLiteral("128")};
    QCommandLineOption outputDir{{QStringLiteral("o"), QStringLiteral("output-dir")},
                                 QStringLiteral("Write the MP3 files into DIR (default: beside "
                                                "each source)."),
                                 QStringLiteral("DIR")};
    QCommandLineOption extension{
        {QStringLiteral("e"), QStringLiteral("extension")},
        QStringLiteral("Take files ending in .EXT from folders, sub-folders "
                       "included (default mid; * takes every file)."),
        QStringLiteral("EXT"),
        QStringLiteral("mid")};
    QCommandLineOption jobs{{QStringLiteral("j"), QStringLiteral("jobs")},
                            QStringLiteral("Convert N files at once (default: the number of "
                                           "processors)."),
                            QStringLiteral("N")};
    QCommandLineOption skipExisting{{QStringLiteral("k"), QStringLiteral("skip-existing")},
                                    QStringLiteral("Leave an MP3 file that exists already, so a "
                                                   "run that was stopped can be resumed.")};
    QCommandLineOption filesFrom{QStringLiteral("files-from"),
                                 QStringLiteral("Read more sources from FILE, one path a line (- "
                                                "reads standard input)."),
                                 QStringLiteral("FILE")};
    QCommandLineOption soundFont{QStringLiteral("soundfont"),
                                 QStringLiteral("Render with the SoundFont FILE."),
                                 QStringLiteral("FILE")};
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("Write a JSON Lines report to FILE, one object a "
                                             "source: source, mp3, status, reason, lyrics, "
                                             "seconds."),
                              QStringLiteral("FILE")};
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")},
                             QStringLiteral("Print only failures and the summary.")};
    QCommandLineOption noTags{QStringLiteral("no-tags"),
                              QStringLiteral("Write no ID3 tag (title, copyright and lyrics from "
                                             "the MIDI file).")};
    QCommandLineOption lrc{QStringLiteral("lrc"),
                           QStringLiteral("Write the timed lyrics of a song beside its MP3 file "
                                          "as an .lrc file of the same name.")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};

    Parser()
    {
        parser.setApplicationDescription(
            QStringLiteral("Converts MIDI files to MP3 files, several at once.\n\n"
                           "Each FILE is converted; each FOLDER gives its files and those of its "
                           "sub-folders.\nSong.mid becomes Song_128 kbps.mp3 at 128 kbps. A file "
                           "that fails keeps any\nearlier MP3 file of its name.\n\n"
                           "Exit status: 0 all converted or skipped, 1 some failed, 2 usage "
                           "error,\n130 stopped (Ctrl-C)."));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
        parser.addOptions({bitrate, outputDir, extension, jobs, skipExisting, filesFrom, soundFont,
                           report, quiet, noTags, lrc, help, version});
        parser.addPositionalArgument(QStringLiteral("FILE|FOLDER"),
                                     QStringLiteral("MIDI files, and folders to take them from."),
                                     QStringLiteral("FILE|FOLDER..."));
    }
};

ParsedCommandLine UsageError(const QString& message)
{
    ParsedCommandLine parsed;
    parsed.finished = true;
    parsed.exitStatus = 2;
    parsed.output = QStringLiteral("tunepress: ") + message +
                    QStringLiteral("\nTry 'tunepress --help' for more information.\n");
    return parsed;
}

// Paths one a line; every byte but NUL and newline may stand in a name.
bool ReadPathList(const QString& name, QStringList& paths, QString& error)
{
    QFile file;
    const bool opened = name == QStringLiteral("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(name), file.open(QIODevice::ReadOnly));
    if (!opened) {
        error = QStringLiteral("cannot read ") + name + QStringLiteral(": ") + file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        if (line.contains('\0')) {
            error = name + QStringLiteral(": a path holds a NUL byte");
            return false;
        }
        paths << QFile::decodeName(line);
    }
    return true;
}

} // namespace

QString HelpText()
{
    Parser parser;
    return parser.parser.helpText();
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments)
{
    Parser p;
    if (!p.parser.parse(arguments))
        return UsageError(p.parser.errorText());
    ParsedCommandLine parsed;
    if (p.parser.isSet(p.help)) {
        parsed.finished = true;
        parsed.output = p.parser.helpText();
        return parsed;
    }
    if (p.parser.isSet(p.version)) {
        parsed.finished = true;
        parsed.output = QStringLiteral("tunepress ") + QCoreApplication::applicationVersion() +
                        QLatin1Char('\n');
        return parsed;
    }

    CliOptions& options = parsed.options;
    const QString bitrate = p.parser.value(p.bitrate);
    const QString entry = bitrate + QStringLiteral(" kbps");
    if (!Bitrate::BitrateEntries().contains(entry))
        return UsageError(QStringLiteral("invalid bitrate '") + bitrate +
                          QStringLiteral("': choose one of ") +
                          OfferedBitrates(QStringLiteral(", ")));
    options.bitrate = Bitrate::BitrateNumber(entry);

    if (p.parser.isSet(p.outputDir)) {
        options.outputDir = p.parser.value(p.outputDir);
        if (!QFileInfo(options.outputDir).isDir())
            return UsageError(QStringLiteral("output folder '") + options.outputDir +
                              QStringLiteral("' does not exist"));
        options.outputDir = QFileInfo(options.outputDir).absoluteFilePath();
    }

    options.extension = p.parser.value(p.extension);
    if (options.extension.isEmpty() || options.extension.contains(QLatin1Char('/')))
        return UsageError(QStringLiteral("invalid extension '") + options.extension +
                          QLatin1Char('\''));

    options.jobs = std::max(1, QThread::idealThreadCount());
    if (p.parser.isSet(p.jobs)) {
        bool number = false;
        options.jobs = p.parser.value(p.jobs).toInt(&number);
        if (!number || options.jobs < 1 || options.jobs > 1024)
            return UsageError(QStringLiteral("invalid number of jobs '") + p.parser.value(p.jobs) +
                              QLatin1Char('\''));
    }

    if (p.parser.isSet(p.soundFont)) {
        options.soundFont = QFileInfo(p.parser.value(p.soundFont)).absoluteFilePath();
        if (Staging::FindSoundFont({options.soundFont}).isEmpty())
            return UsageError(QLatin1Char('\'') + p.parser.value(p.soundFont) +
                              QStringLiteral("' is not a SoundFont 2 file"));
    }

    options.skipExisting = p.parser.isSet(p.skipExisting);
    options.report = p.parser.value(p.report);
    options.quiet = p.parser.isSet(p.quiet);
    options.tags = !p.parser.isSet(p.noTags);
    options.lrc = p.parser.isSet(p.lrc);

    options.inputs = p.parser.positionalArguments();
    for (const QString& list : p.parser.values(p.filesFrom)) {
        QString error;
        if (!ReadPathList(list, options.inputs, error))
            return UsageError(error);
    }
    if (options.inputs.isEmpty())
        return UsageError(QStringLiteral("no MIDI file or folder given"));
    return parsed;
}
