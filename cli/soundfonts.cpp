#include "cli/soundfonts.h"

#include "convert/applicationerror.h"
#include "convert/conversion.h"
#include "convert/paths.h"
#include "convert/staging.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

const QString Ending = QStringLiteral(".sf2");

} // namespace

SoundFontChoice::SoundFontChoice(QString runSoundFont, Workspace& workspace)
    : m_runSoundFont(std::move(runSoundFont)), m_workspace(workspace)
{}

QString SoundFontChoice::folderSoundFont(const QString& folder)
{
    const auto known = m_folders.constFind(folder);
    if (known != m_folders.cend())
        return known.value();
    const QString name = QFileInfo(folder).fileName();
    const QString candidate = folder + QLatin1Char('/') + name + Ending;
    const QString found = !name.isEmpty() && Paths::FileExists(candidate) ? candidate : QString();
    m_folders.insert(folder, found);
    return found;
}

QString SoundFontChoice::configFolder(const QString& soundFont)
{
    if (soundFont == m_runSoundFont)
        return QString();
    QString& folder = m_configs[soundFont];
    if (!folder.isEmpty())
        return folder;
    folder = m_workspace.filePath(QStringLiteral("font-") + QString::number(m_configs.size()));
    if (::mkdir(Platform::EncodePath(folder).constData(), 0700) != 0 && errno != EEXIST)
        throw tp::ApplicationError(QStringLiteral("Cannot create the folder ") + folder +
                                   QStringLiteral(": ") +
                                   QString::fromLocal8Bit(std::strerror(errno)));
    // A SoundFont chosen for a song plays every instrument of it, as --soundfont does.
    Staging::WriteConfigInto(soundFont, folder, true);
    return folder;
}

void SoundFontChoice::assign(BatchEntry& entry)
{
    const QString folder = QFileInfo(entry.source).path();
    const QString beside = folder + QLatin1Char('/') + Conversion::BaseName(entry.source) + Ending;
    QString chosen = Paths::FileExists(beside) ? beside : folderSoundFont(folder);
    if (chosen.isEmpty()) {
        entry.soundFont = m_runSoundFont;
        return;
    }
    if (!m_configs.contains(chosen) && Staging::FindSoundFont({chosen}).isEmpty()) {
        entry.status = BatchEntry::Status::Failed;
        entry.reason = QStringLiteral("the SoundFont ") + chosen +
                       QStringLiteral(" beside it is not a SoundFont 2 file");
        return;
    }
    entry.soundFont = chosen;
    entry.workFolder = configFolder(chosen);
}
