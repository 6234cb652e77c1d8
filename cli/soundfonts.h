#pragma once

#include "cli/batch.h"
#include "convert/workspace.h"

#include <QHash>
#include <QString>

// The SoundFont of each song: song.sf2 beside song.mid plays that song; else a SoundFont
// named after the song's folder, in that folder, plays every song of it; else the run's own.
class SoundFontChoice
{
public:
    // The run's SoundFont, whose configuration is in the workspace itself.
    SoundFontChoice(QString runSoundFont, Workspace& workspace);

    // Sets the entry's SoundFont and the folder of its configuration, written on first use; a
    // SoundFont beside the song that is not one fails the entry. Throws tp::ApplicationError
    // when a configuration cannot be written.
    void assign(BatchEntry& entry);

private:
    QString folderSoundFont(const QString& folder);
    QString configFolder(const QString& soundFont);

    QString m_runSoundFont;
    Workspace& m_workspace;
    // By folder, its own SoundFont's path ("" for none).
    QHash<QString, QString> m_folders;
    // By SoundFont, the folder of its configuration.
    QHash<QString, QString> m_configs;
};
