#include "convert/staging.h"

#include "convert/applicationerror.h"
#include "convert/paths.h"
#include "convert/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace Staging {

namespace {

struct ResourceFacts
{
    QString name;
    QString installedProgram; // "" for the SoundFont
    QString what;
    QString package;
    QFileDevice::Permissions permissions;
};

constexpr QFileDevice::Permissions PrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions PrivateProgram = PrivateFile | QFileDevice::ExeOwner;

ResourceFacts FactsOf(Resource resource)
{
    switch (resource) {
    case Resource::Renderer:
        return {QStringLiteral("timidity.exe"), QStringLiteral("timidity"),
                QStringLiteral("the MIDI renderer \"timidity\""), QStringLiteral("timidity"),
                PrivateProgram};
    case Resource::SoundFont:
        return {QStringLiteral("8MBGMSFX.SF2"), QString(),
                QStringLiteral("a General MIDI SoundFont"), QStringLiteral("timgm6mb-soundfont"),
                PrivateFile};
    case Resource::Encoder:
        break;
    }
    return {QStringLiteral("lame.exe"), QStringLiteral("lame"),
            QStringLiteral("the MP3 encoder \"lame\""), QStringLiteral("lame"), PrivateProgram};
}

// The name by which both tools take standard input or output instead of a file.
const QString StandardStream = QStringLiteral("-");

QString Absolute(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

bool IsSoundFont(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    return IsSoundFontHeader(file.read(12));
}

} // namespace

bool IsSoundFontHeader(QByteArrayView head)
{
    return head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == "sfbk";
}

QString StagedName(Resource resource)
{
    return FactsOf(resource).name;
}

QString ConfigName()
{
    return QStringLiteral("timidity.cfg");
}

QStringList StagedNames()
{
    return {StagedName(Resource::Renderer), ConfigName(), StagedName(Resource::SoundFont),
            StagedName(Resource::Encoder)};
}

QString ConfigLine(const QString& tempFolder)
{
    return QStringLiteral("soundfont \"") + tempFolder + Platform::NativeSeparator +
           StagedName(Resource::SoundFont) + QLatin1Char('"');
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
        throw tp::ApplicationError(QStringLiteral("Cannot find ") + facts.what +
                                   QStringLiteral(". Install the Debian package ") + facts.package +
                                   QStringLiteral(" and try again."));
    return found;
}

QByteArray LoadResource(Resource resource)
{
    const QString source = ResourceSource(resource);
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        throw tp::ApplicationError(QStringLiteral("Cannot read ") + source + QStringLiteral(": ") +
                                   file.errorString());
    QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        throw tp::ApplicationError(QStringLiteral("Cannot read ") + source +
                                   QStringLiteral(": the file is empty"));
    return bytes;
}

void StageResource(const QByteArray& bytes, Resource resource, Workspace& workspace)
{
    if (bytes.isEmpty())
        return;
    workspace.create();
    const ResourceFacts facts = FactsOf(resource);
    const QString path = workspace.filePath(facts.name);
    // Someone else's file, or one that others can change, is never used: it may have been
    // planted to be run in our name.
    if (Paths::FileExists(path) && !Platform::IsPrivateToUser(path))
        Paths::DeleteFileQuiet(path);
    Paths::WriteBytesIfMissing(bytes, path, facts.permissions);
    if (!Platform::IsPrivateToUser(path))
        throw tp::ApplicationError(path +
                                   QStringLiteral(" belongs to another user or can be changed by "
                                                  "others and cannot be replaced; it is not used"));
}

void WriteConfig(Workspace& workspace)
{
    workspace.create();
    Paths::WriteTextFile(ConfigLine(workspace.path()), workspace.filePath(ConfigName()));
}

void WriteConfigFor(const QString& soundFont, Workspace& workspace, bool everyInstrument)
{
    workspace.create();
    // The configuration names the SoundFont through a link in the workspace, so that no
    // character of the SoundFont's own path (a quote, a line break) reaches the renderer's
    // configuration.
    const QString link = workspace.filePath(StagedName(Resource::SoundFont));
    Paths::DeleteFileQuiet(link);
    if (!QFile::link(Absolute(soundFont), link))
        throw tp::ApplicationError(QStringLiteral("Cannot make the link ") + link);
    QStringList lines{ConfigLine(workspace.path())};
    if (everyInstrument) {
        const QString font = QStringLiteral(" %font \"") + link + QStringLiteral("\" ");
        lines << QStringLiteral("bank 0");
        for (int program = 0; program < 128; ++program)
            lines << QString::number(program) + font + QStringLiteral("0 ") +
                         QString::number(program);
        lines << QStringLiteral("drumset 0");
        for (int key = 0; key < 128; ++key)
            lines << QString::number(key) + font + QStringLiteral("128 0 ") + QString::number(key);
    }
    Paths::WriteTextFile(lines.join(QStringLiteral("\r\n")), workspace.filePath(ConfigName()));
}

QString RunnableProgram(Resource program, Workspace& workspace)
{
    if (!workspace.created())
        return QString();
    QStringList needed{workspace.filePath(StagedName(program))};
    if (program == Resource::Renderer)
        needed << workspace.filePath(ConfigName())
               << workspace.filePath(StagedName(Resource::SoundFont));
    for (const QString& path : needed)
        if (!Platform::IsPrivateToUser(path))
            return QString();
    return needed.first();
}

Runner::Command RendererCommand(const QString& program, const QString& folder,
                                const QString& sourcePath, const QString& wavPath)
{
    Runner::Command command;
    command.program = program;
    command.arguments = {QStringLiteral("-c"),
                         Absolute(folder + Platform::NativeSeparator + ConfigName()),
                         QStringLiteral("-Ow"),
                         QStringLiteral("-o"),
                         wavPath.isEmpty() ? StandardStream : Absolute(wavPath),
                         StandardStream};
    command.standardInputFile = Absolute(sourcePath);
    // The renderer reads a personal configuration from the home folder after the system's;
    // pointing it at the workspace keeps the sound the same for every user.
    command.environment = {{QStringLiteral("HOME"), Absolute(folder)}};
    return command;
}

Runner::Command EncoderCommand(const QString& program, int bitrate, const QString& wavPath,
                               const QString& mp3Path)
{
    Runner::Command command;
    command.program = program;
    // Absolute paths never begin with "-", so neither can be taken for an option.
    command.arguments = {
        QStringLiteral("-h"),     QStringLiteral("-m"),
        QStringLiteral("s"),      QStringLiteral("-b"),
        QString::number(bitrate), wavPath.isEmpty() ? StandardStream : Absolute(wavPath),
        Absolute(mp3Path)};
    return command;
}

} // namespace Staging
