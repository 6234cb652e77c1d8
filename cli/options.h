#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for.
struct CliOptions
{
    int bitrate = 128;
    // "" writes each MP3 file beside its source.
    QString outputDir;
    QString extension = QStringLiteral("mid");
    int jobs = 1;
    bool skipExisting = false;
    // The files and folders named, in the order given, with those read by --files-from.
    QStringList inputs;
    // "" renders with the SoundFont the window uses.
    QString soundFont;
    QString report;
    bool quiet = false;
    bool tags = true;
    bool lrc = false;
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

// Reads the arguments (the program's name first). Reads --files-from files, standard input
// included, as it goes.
ParsedCommandLine ParseCommandLine(const QStringList& arguments);

// The text that --help prints.
QString HelpText();
