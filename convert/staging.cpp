#include "convert/staging.h"

#include "convert/applicationerror.h"
#include "convert/loudness.h"
#include "convert/paths.h"
#include "convert/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Staging {

namespace {

struct ResourceFacts
{
    QString installedProgram; // "" for the SoundFont
    QString what;
    QString package;
};

ResourceFacts FactsOf(Resource resource)
{
    switch (resource) {
    case Resource::Renderer:
        return {QStringLiteral("timidity"), QStringLiteral("the MIDI renderer \"timidity\""),
                QStringLiteral("timidity")};
    case Resource::SoundFont:
        return {QString(), QStringLiteral("a General MIDI SoundFont"),
                QStringLiteral("timgm6mb-soundfont")};
    case Resource::Encoder:
        break;
    }
    return {QStringLiteral("lame"), QStringLiteral("the MP3 encoder \"lame\""),
            QStringLiteral("lame")};
}

tp::ApplicationError Missing(Resource resource)
{
    const ResourceFacts facts = FactsOf(resource);
    return tp::ApplicationError(QStringLiteral("Cannot find ") + facts.what +
                                QStringLiteral(". Install the Debian package ") + facts.package +
                                QStringLiteral(" and try again."));
}

// The name by which both tools take standard input or output instead of a file.
const QString StandardStream = QStringLiteral("-");

QString Absolute(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

bool IsSoundFont(const QString& path)
{
    // Opened by its bytes, without waiting on a named pipe, and judged by what was opened.
    const int descriptor = ::open(Platform::EncodePath(path).constData(),
                                  O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return false;
    QFile file;
    struct stat facts
    {
    };
    if (::fstat(descriptor, &facts) != 0 || !S_ISREG(facts.st_mode) ||
        !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return false;
    }
    return IsSoundFontHeader(file.read(12));
}

} // namespace

bool IsSoundFontHeader(QByteArrayView head)
{
    return head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == "sfbk";
}

QString ConfigName()
{
    return QStringLiteral("timidity.cfg");
}

QString SoundFontLinkName()
{
    return QStringLiteral("8MBGMSFX.SF2");
}

QStringList WorkspaceFiles()
{
    return {ConfigName(), SoundFontLinkName()};
}

QString ConfigLine(const QString& tempFolder)
{
    return QStringLiteral("soundfont \"") + tempFolder + Platform::NativeSeparator +
           SoundFontLinkName() + QLatin1Char('"');
}

QStringList SoundFontCandidates()
{
    const QStringList folders{QStringLiteral("/usr/share/sounds/sf2"),
                              QStringLiteral("/usr/share/soundfonts"),
                              QStringLiteral("/usr/local/share/sounds/sf2"),
                              QStringLiteral("/usr/local/share/soundfonts")};
    const QStringList names{QStringLiteral("TimGM6mb.sf2"), QStringLiteral("default-GM.sf2"),
                            QStringLiteral("FluidR3_GM.sf2"), QStringLiteral("default.sf2")};
    QStringList candidates;
    for (const QString& name : names)
        for (const QString& folder : folders)
            candidates << folder + Platform::NativeSeparator + name;
    return candidates;
}

QString FindSoundFont(const QStringList& candidates)
{
    for (const QString& candidate : candidates)
        if (IsSoundFont(candidate))
            return candidate;
    return QString();
}

QString ResourceSource(Resource resource)
{
    const ResourceFacts facts = FactsOf(resource);
    const QString found = facts.installedProgram.isEmpty()
                              ? FindSoundFont(SoundFontCandidates())
                              : QStandardPaths::findExecutable(facts.installedProgram);
    if (found.isEmpty())
        throw Missing(resource);
    return found;
}

void CheckProgram(const QString& path, Resource program)
{
    // Found a moment ago, it may have been removed since (a package being upgraded).
    const QFileInfo facts(path);
    if (!facts.isFile() || !facts.isExecutable())
        throw Missing(program);
}

namespace {

QString InFolder(const QString& folder, const QString& name)
{
    return folder + Platform::NativeSeparator + name;
}

void LinkSoundFontIn(const QString& soundFont, const QString& folder)
{
    const QString link = InFolder(folder, SoundFontLinkName());
    Paths::DeleteFileQuiet(link);
    if (::symlink(Platform::EncodePath(Absolute(soundFont)).constData(),
                  Platform::EncodePath(link).constData()) != 0)
        throw tp::ApplicationError(QStringLiteral("Cannot make the link ") + link);
}

void WriteConfigIn(const QString& folder, bool everyInstrument)
{
    QStringList lines{ConfigLine(folder)};
    if (everyInstrument) {
        const QString font = QStringLiteral(" %font \"") + InFolder(folder, SoundFontLinkName()) +
                             QStringLiteral("\" ");
        lines << QStringLiteral("bank 0");
        for (int program = 0; program < 128; ++program)
            lines << QString::number(program) + font + QStringLiteral("0 ") +
                         QString::number(program);
        lines << QStringLiteral("drumset 0");
        for (int key = 0; key < 128; ++key)
            lines << QString::number(key) + font + QStringLiteral("128 0 ") + QString::number(key);
    }
    // Written afresh, so that a file found there (planted, or made writable for others) hands
    // on nothing, not even its permissions.
    const QString config = InFolder(folder, ConfigName());
    Paths::DeleteFileQuiet(config);
    Paths::WriteTextFile(lines.join(QStringLiteral("\r\n")), config);
}

} // namespace

void LinkSoundFont(const QString& soundFont, Workspace& workspace)
{
    workspace.create();
    LinkSoundFontIn(soundFont, workspace.path());
}

void WriteConfig(Workspace& workspace, bool everyInstrument)
{
    workspace.create();
    WriteConfigIn(workspace.path(), everyInstrument);
}

void WriteConfigFor(const QString& soundFont, Workspace& workspace, bool everyInstrument)
{
    workspace.create();
    WriteConfigInto(soundFont, workspace.path(), everyInstrument);
}

void WriteConfigInto(const QString& soundFont, const QString& folder, bool everyInstrument)
{
    LinkSoundFontIn(soundFont, folder);
    WriteConfigIn(folder, everyInstrument);
}

QString RunnableRenderer(const QString& installed, Workspace& workspace)
{
    if (!workspace.created())
        return QString();
    // The link itself is ours; what it points to is the installed SoundFont.
    if (!Platform::IsPrivateToUser(workspace.filePath(ConfigName())) ||
        !QFileInfo(workspace.filePath(SoundFontLinkName())).isSymLink())
        return QString();
    return installed;
}

Runner::Command RendererCommand(const QString& program, const QString& folder,
                                const QString& sourcePath, const QString& wavPath,
                                bool keepLeadingRest)
{
    Runner::Command command;
    command.program = program;
    // The renderer's own amplification is 70 per cent.
    command.arguments = {QStringLiteral("-c"),
                         Absolute(folder + Platform::NativeSeparator + ConfigName()),
                         QStringLiteral("-A") + QString::number(70 / Loudness::RenderHeadroom),
                         QStringLiteral("--output-24bit")};
    if (keepLeadingRest)
        command.arguments << QStringLiteral("--preserve-silence");
    command.arguments << QStringLiteral("-Ow") << QStringLiteral("-o")
                      << (wavPath.isEmpty() ? StandardStream : Absolute(wavPath)) << StandardStream;
    command.standardInputFile = Absolute(sourcePath);
    // The renderer reads a personal configuration from the home folder after the system's;
    // pointing it at the workspace keeps the sound the same for every user.
    command.environment = {{QStringLiteral("HOME"), Absolute(folder)}};
    return command;
}

Runner::Command EncoderCommand(const QString& program, int bitrate, const QString& wavPath,
                               const QString& mp3Path, double scale, bool gainAnalysis)
{
    Runner::Command command;
    command.program = program;
    command.arguments = {QStringLiteral("-h"), QStringLiteral("-m"), QStringLiteral("s"),
                         QStringLiteral("-b"), QString::number(bitrate)};
    if (scale != 1.0)
        command.arguments << QStringLiteral("--scale") << QString::number(scale, 'f', 4);
    if (!gainAnalysis)
        command.arguments << QStringLiteral("--noreplaygain");
    // Absolute paths never begin with "-", so neither can be taken for an option.
    QString mp3Argument = Absolute(mp3Path);
    // Arguments reach the encoder as UTF-8 text: a folder whose name is not UTF-8 is entered by
    // its bytes instead, and the file is named within it.
    const QString mp3Folder = Paths::FolderOfPath(mp3Argument);
    if (Platform::EncodePath(mp3Folder) != mp3Folder.toUtf8()) {
        command.workingFolder = mp3Folder;
        mp3Argument = QStringLiteral("./") + Paths::FileNameOfPath(mp3Argument);
    }
    command.arguments << (wavPath.isEmpty() ? StandardStream : Absolute(wavPath)) << mp3Argument;
    return command;
}

} // namespace Staging
