#include "cli/options.h"

#include "cli/sources.h"
#include "convert/bitrate.h"
#include "convert/loudness.h"
#include "convert/paths.h"
#include "convert/staging.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <unistd.h>

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

QCommandLineOption Flag(const QStringList& names, const QString& description)
{
    return QCommandLineOption(names, description);
}

QCommandLineOption Valued(const QStringList& names, const QString& description,
                          const QString& valueName, const QString& fallback = QString())
{
    return QCommandLineOption(names, description, valueName, fallback);
}

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption bitrate =
        Valued({QStringLiteral("b"), QStringLiteral("bitrate")},
               QStringLiteral("Bitrate in kbps: ") + OfferedBitrates(QStringLiteral(" or ")) +
                   QStringLiteral(" (default 128)."),
               QStringLiteral("KBPS"), QStringLiteral("128"));
    QCommandLineOption outputDir = Valued(
        {QStringLiteral("o"), QStringLiteral("output-dir")},
        QStringLiteral("Write the MP3 files into DIR, made if need be, each folder's sub-folders "
                       "made again under it (default: beside each source)."),
        QStringLiteral("DIR"));
    QCommandLineOption flat = Flag(
        {QStringLiteral("flat")},
        QStringLiteral("With -o, write every MP3 file into DIR itself, not into sub-folders."));
    QCommandLineOption extension = Valued(
        {QStringLiteral("e"), QStringLiteral("extension")},
        QStringLiteral("Take files ending in one of the comma-separated EXT from folders, "
                       "sub-folders included, in any letter case (default mid,midi,kar,rmi; * "
                       "takes every file)."),
        QStringLiteral("EXT"));
    QCommandLineOption jobs =
        Valued({QStringLiteral("j"), QStringLiteral("jobs")},
               QStringLiteral("Render N files at once (default: the number of processors); "
                              "while the next ones render, up to N rendered files are levelled "
                              "and encoded."),
               QStringLiteral("N"));
    QCommandLineOption skipExisting = Flag(
        {QStringLiteral("k"), QStringLiteral("skip-existing")},
        QStringLiteral("Leave an MP3 file that exists already, so a run that was stopped can be "
                       "resumed."));
    QCommandLineOption dryRun = Flag({QStringLiteral("n"), QStringLiteral("dry-run")},
                                     QStringLiteral("Print each source and its MP3 file, with "
                                                    "skips and clashes; write nothing."));
    QCommandLineOption filesFrom = Valued(
        {QStringLiteral("files-from")},
        QStringLiteral("Read more sources from FILE, one path a line (- reads standard input), "
                       "taken where the option stands among the sources."),
        QStringLiteral("FILE"));
    QCommandLineOption null = Flag(
        {QStringLiteral("0"), QStringLiteral("null")},
        QStringLiteral("The --files-from lists end each path with a NUL byte (find -print0)."));
    QCommandLineOption soundFont =
        Valued({QStringLiteral("soundfont")},
               QStringLiteral("Render with the SoundFont FILE. A song.sf2 beside song.mid, else a "
                              "<folder name>.sf2 in its folder, plays that song instead."),
               QStringLiteral("FILE"));
    QCommandLineOption loudness =
        Valued({QStringLiteral("loudness")},
               QStringLiteral("Bring every song to LUFS, -40 to -5 (default -16), without "
                              "clipping; off keeps the renderer's level, lowered only where it "
                              "would clip."),
               QStringLiteral("LUFS"), QStringLiteral("-16"));
    QCommandLineOption report = Valued(
        {QStringLiteral("report")},
        QStringLiteral("Write a JSON Lines report to FILE (- is standard output; progress then "
                       "goes to standard error), one object a source as it ends: source, mp3, "
                       "status, reason, lyrics, seconds, soundfont; lufs, true_peak, gain_db, "
                       "limited_db."),
        QStringLiteral("FILE"));
    QCommandLineOption quiet = Flag({QStringLiteral("q"), QStringLiteral("quiet")},
                                    QStringLiteral("Print only failures and the summary."));
    QCommandLineOption noTags =
        Flag({QStringLiteral("no-tags")}, QStringLiteral("Write no ID3 tag (title, copyright and "
                                                         "lyrics from the MIDI file)."));
    QCommandLineOption lrc = Flag({QStringLiteral("lrc")},
                                  QStringLiteral("Write the timed lyrics of a song beside its MP3 "
                                                 "file as an .lrc file of the same name."));
    QCommandLineOption help = Flag({QStringLiteral("h"), QStringLiteral("help")},
                                   QStringLiteral("Show this help and exit."));
    QCommandLineOption version = Flag({QStringLiteral("v"), QStringLiteral("version")},
                                      QStringLiteral("Show the version and exit."));

    QList<QCommandLineOption> all() const
    {
        return {bitrate, outputDir, flat, extension, jobs,     skipExisting,
                dryRun,  filesFrom, null, soundFont, loudness, report,
                quiet,   noTags,    lrc,  help,      version};
    }

    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Converts MIDI files to MP3 files, several at once.\n\n"
            "Each FILE is converted; each FOLDER gives its files and those of its sub-folders.\n"
            "Song.mid becomes Song_128 kbps.mp3 at 128 kbps. A file reached twice (by a\n"
            "folder, a link or its path) is converted once. A file that fails keeps any\n"
            "earlier MP3 file of its name.\n\n"
            "Exit status: 0 all converted or skipped, 1 some failed, 2 usage error,\n"
            "130 stopped (Ctrl-C, SIGTERM, SIGHUP; a second Ctrl-C ends at once)."));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
        parser.addOptions(all());
        parser.addPositionalArgument(QStringLiteral("FILE|FOLDER"),
                                     QStringLiteral("MIDI files, and folders to take them from."),
                                     QStringLiteral("FILE|FOLDER..."));
    }

    bool takesValue(const QString& name) const
    {
        for (const QCommandLineOption& option : all())
            if (option.names().contains(name))
                return !option.valueName().isEmpty();
        return false;
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

ParsedCommandLine Finished(const QString& output)
{
    ParsedCommandLine parsed;
    parsed.finished = true;
    parsed.output = output;
    return parsed;
}

// The sources and --files-from lists in the order they stand on the command line, which the
// parser keeps for each kind apart only. Reads the arguments as the parser does.
QList<CliInput> InputsInOrder(const Parser& p, const QStringList& arguments)
{
    QList<CliInput> inputs;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || argument == QStringLiteral("-") ||
            !argument.startsWith(QLatin1Char('-'))) {
            inputs.append({CliInput::Kind::Path, argument});
        } else if (argument == QStringLiteral("--")) {
            optionsEnded = true;
        } else if (argument.startsWith(QStringLiteral("--"))) {
            const qsizetype equals = argument.indexOf(QLatin1Char('='));
            const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
            if (!p.takesValue(name))
                continue;
            const QString value = equals >= 0                ? argument.mid(equals + 1)
                                  : i + 1 < arguments.size() ? arguments[++i]
                                                             : QString();
            if (p.filesFrom.names().contains(name))
                inputs.append({CliInput::Kind::List, value});
        } else {
            // Short options run together: the first that takes a value takes the rest.
            for (qsizetype c = 1; c < argument.size(); ++c)
                if (p.takesValue(argument.mid(c, 1))) {
                    if (c + 1 == argument.size())
                        ++i;
                    break;
                }
        }
    }
    return inputs;
}

QList<CliInput> Inputs(const Parser& p, const QStringList& arguments)
{
    QList<CliInput> inputs = InputsInOrder(p, arguments);
    QStringList paths;
    QStringList lists;
    for (const CliInput& input : std::as_const(inputs))
        (input.kind == CliInput::Kind::Path ? paths : lists) << input.text;
    if (paths == p.parser.positionalArguments() && lists == p.parser.values(p.filesFrom))
        return inputs;
    // Read otherwise than the parser read it: its own reading, lists last, is the safe one.
    inputs.clear();
    for (const QString& path : p.parser.positionalArguments())
        inputs.append({CliInput::Kind::Path, path});
    for (const QString& list : p.parser.values(p.filesFrom))
        inputs.append({CliInput::Kind::List, list});
    return inputs;
}

// The output folder, made when it does not exist yet; a dry run only checks that it could be.
QString SettleOutputFolder(const QString& given, bool dryRun)
{
    const QString folder = Platform::AbsolutePath(given);
    const bool isFolder = Paths::FolderExists(folder);
    if (Paths::FileExists(folder))
        return QStringLiteral("output folder '") + given + QStringLiteral("' is not a folder");
    if (dryRun || isFolder)
        return QString();
    QString reason;
    if (!Sources::MakeFolders(folder, reason))
        return QStringLiteral("cannot create the output folder '") + given + QStringLiteral("': ") +
               reason;
    return QString();
}

QString ReadOutput(const Parser& p, CliOptions& options)
{
    options.flat = p.parser.isSet(p.flat);
    options.dryRun = p.parser.isSet(p.dryRun);
    if (!p.parser.isSet(p.outputDir))
        return options.flat ? QStringLiteral("--flat needs an output folder (-o)") : QString();
    const QString given = p.parser.value(p.outputDir);
    options.outputDir = Platform::AbsolutePath(given);
    return SettleOutputFolder(given, options.dryRun);
}

QString ReadExtensions(const Parser& p, CliOptions& options)
{
    if (!p.parser.isSet(p.extension))
        return QString();
    const QString given = p.parser.value(p.extension);
    options.extensions.clear();
    for (const QString& part : given.split(QLatin1Char(','))) {
        const QString extension = part.trimmed();
        if (extension.isEmpty() || extension.contains(QLatin1Char('/')))
            return QStringLiteral("invalid extension '") + given + QLatin1Char('\'');
        if (!options.extensions.contains(extension, Qt::CaseInsensitive))
            options.extensions << extension;
    }
    return QString();
}

QString ReadNumbers(const Parser& p, CliOptions& options)
{
    const QString bitrate = p.parser.value(p.bitrate);
    const QString entry = bitrate + QStringLiteral(" kbps");
    if (!Bitrate::BitrateEntries().contains(entry))
        return QStringLiteral("invalid bitrate '") + bitrate + QStringLiteral("': choose one of ") +
               OfferedBitrates(QStringLiteral(", "));
    options.bitrate = Bitrate::BitrateNumber(entry);

    options.jobs = std::max(1, QThread::idealThreadCount());
    if (p.parser.isSet(p.jobs)) {
        bool number = false;
        options.jobs = p.parser.value(p.jobs).toInt(&number);
        if (!number || options.jobs < 1 || options.jobs > 1024)
            return QStringLiteral("invalid number of jobs '") + p.parser.value(p.jobs) +
                   QLatin1Char('\'');
    }
    return QString();
}

QString ReadLoudness(const Parser& p, CliOptions& options)
{
    const QString loudness = p.parser.value(p.loudness);
    if (loudness == QStringLiteral("off")) {
        options.loudness.reset();
        return QString();
    }
    bool number = false;
    const double target = loudness.toDouble(&number);
    if (!number || !(target >= Loudness::LowestTarget && target <= Loudness::HighestTarget))
        return QStringLiteral("invalid loudness '") + loudness +
               QStringLiteral("': choose -40 to -5 LUFS, or off");
    options.loudness = target;
    return QString();
}

QString ReadSoundFont(const Parser& p, CliOptions& options)
{
    if (!p.parser.isSet(p.soundFont))
        return QString();
    options.soundFont = Platform::AbsolutePath(p.parser.value(p.soundFont));
    if (Staging::FindSoundFont({options.soundFont}).isEmpty())
        return QLatin1Char('\'') + p.parser.value(p.soundFont) +
               QStringLiteral("' is not a SoundFont 2 file");
    return QString();
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
    if (p.parser.isSet(p.help))
        return Finished(p.parser.helpText());
    if (p.parser.isSet(p.version))
        return Finished(QStringLiteral("tunepress ") + QCoreApplication::applicationVersion() +
                        QLatin1Char('\n'));

    ParsedCommandLine parsed;
    CliOptions& options = parsed.options;
    options.inputs = Inputs(p, arguments);
    if (options.inputs.isEmpty())
        return UsageError(QStringLiteral("no MIDI file or folder given"));
    // The output folder last: a run refused for another reason makes none.
    for (const auto read : {ReadNumbers, ReadLoudness, ReadExtensions, ReadSoundFont, ReadOutput}) {
        const QString error = read(p, options);
        if (!error.isEmpty())
            return UsageError(error);
    }
    options.skipExisting = p.parser.isSet(p.skipExisting);
    options.nullSeparated = p.parser.isSet(p.null);
    options.report = p.parser.value(p.report);
    options.quiet = p.parser.isSet(p.quiet);
    options.tags = !p.parser.isSet(p.noTags);
    options.lrc = p.parser.isSet(p.lrc);
    return parsed;
}
