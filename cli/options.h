#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One source named on the command line: a file or folder, or a list of them to read.
struct CliInput
{
    enum class Kind { Path, List };
    Kind kind = Kind::Path;
    QString text;
    bool operator==(const CliInput&) const = default;
};

// What the command line asks for.
struct CliOptions
{
    int bitrate = 128;
    // "" writes each MP3 file beside its source.
    QString outputDir;
    // With an output folder: every MP3 file into it, whatever sub-folder its source came from.
    bool flat = false;
    // Endings of the files taken from folders, without the dot; "*" takes every file.
    QStringList extensions{QStringLiteral("mid"), QStringLiteral("midi"), QStringLiteral("kar"),
                           QStringLiteral("rmi")};
    int jobs = 1;
    bool skipExisting = false;
    // The files, folders and --files-from lists, in the order given.
    QList<CliInput> inputs;
    // Lists separate their paths by NUL bytes instead of line breaks.
    bool nullSeparated = false;
    // "" renders with the SoundFont the window uses.
    QString soundFont;
    // "" writes no report, "-" writes it to standard output.
    QString report;
    bool quiet = false;
    bool tags = true;
    bool lrc = false;
    // The loudness to bring every song to, in LUFS; none: the renderer's own level.
    std::optional<double> loudness = -16.0;
    bool dryRun = false;
};

// The outcome of reading the command line: options to run with, or a text to print and the
// status to end with (help, version, or a usage error).
struct ParsedCommandLine
{
    CliOptions options;
    bool finished = false;
    int exitStatus = 0;
    QString output;
};

// Reads the arguments (the program's name first). Makes the output folder, unless the run is
// a dry run; the --files-from lists are read later, by the run.
ParsedCommandLine ParseCommandLine(const QStringList& arguments);

// The text that --help prints.
QString HelpText();
