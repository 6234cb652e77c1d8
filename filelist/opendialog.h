#pragma once

#include "convert/applicationerror.h"
#include "convert/dialogs.h"

#include <QString>
#include <QStringList>

// A failure of the open-files dialog, with the number that tells its kind.
class DialogError : public tp::ApplicationError
{
public:
    DialogError(int number, const QString& description);
    int number() const { return m_number; }

private:
    int m_number;
};

// The open-files dialog of the main window. The picked files come back as one file name that
// a buffer of limited size holds: one file as its full path; several as their folder and then
// each name, separated by NUL characters.
class OpenFilesDialog
{
public:
    // The error number of a selection whose names do not fit into the buffer.
    static constexpr int BufferTooSmall = 20476;
    // Characters the buffer holds, its NUL characters included.
    static constexpr qsizetype MaxFileSize = 30000;
    // Read-only box, several files at once, explorer style, long names. The toolkit's dialog
    // always behaves so; the flags are kept with the dialog for what it reports.
    static constexpr int MultiSelectFlags = 0x280201;

    QString FileName;
    int Flags = 0;
    QString DialogTitle;
    // The toolkit's filter form, "Description (*.ext)".
    QString Filter;

    // Shows the dialog and sets FileName to the selection, "" when the user cancelled. Throws
    // DialogError(BufferTooSmall) and leaves FileName empty when the selection does not fit.
    void ShowOpen(tp::Dialogs& dialogs);

    // The parts of a selection of full paths as the buffer holds them: [path] for one file;
    // for several, the folder that holds them all (no trailing separator except for the root)
    // and then each path relative to it, in the dialog's order. Empty for no paths.
    static QStringList SelectionParts(const QStringList& paths);

    // The characters that the parts take in the buffer: a NUL between parts, two at the end.
    static qsizetype BufferLength(const QStringList& parts);
};
