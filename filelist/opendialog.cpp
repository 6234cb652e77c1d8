#include "filelist/opendialog.h"

#include "convert/paths.h"

DialogError::DialogError(int number, const QString& description)
    : tp::ApplicationError(description), m_number(number)
{}

QStringList OpenFilesDialog::SelectionParts(const QStringList& paths)
{
    if (paths.size() <= 1)
        return paths;

    // Files of one folder share it whole; files from several folders (a toolkit dialog may
    // offer them) share the deepest folder above them all, so that no path is rebuilt wrong.
    QString common = Paths::FolderOfPath(paths.first());
    for (const QString& path : paths) {
        while (!common.isEmpty() && !path.startsWith(common))
            common = Paths::FolderOfPath(common.chopped(1));
    }

    QStringList parts;
    parts.reserve(paths.size() + 1);
    const bool root = common.size() == 1;
    parts.append(root ? common : common.chopped(common.isEmpty() ? 0 : 1));
    for (const QString& path : paths)
        parts.append(path.mid(common.size()));
    return parts;
}

qsizetype OpenFilesDialog::BufferLength(const QStringList& parts)
{
    qsizetype length = 2;
    for (const QString& part : parts)
        length += part.size();
    return parts.isEmpty() ? length : length + parts.size() - 1;
}

void OpenFilesDialog::ShowOpen(tp::Dialogs& dialogs)
{
    QStringList paths = dialogs.openFileNames(DialogTitle, Filter);
    paths.removeAll(QString());
    FileName.clear();
    const QStringList parts = SelectionParts(paths);
    if (BufferLength(parts) > MaxFileSize)
        throw DialogError(BufferTooSmall,
                          QStringLiteral("The selected file names do not fit into the buffer"));
    FileName = parts.join(QChar(u'\0'));
}
