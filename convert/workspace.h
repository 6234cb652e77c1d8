#pragma once

#include <QString>

// The private folder of one conversion run, under the TEMP folder: the staged tools, the
// renderer's configuration and the run's WAV files live in it, so that runs going on at the
// same time, in one process or several, never touch each other's files. The run holds a lock
// in it for as long as it lives; a later run removes the workspace of a run that ended without
// removing its own (killed, crashed, closed in the middle).
class Workspace
{
public:
    Workspace() = default;
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // The folder's path. Its name is chosen on first use under the TEMP folder read then;
    // throws tp::ApplicationError when there is no usable TEMP folder.
    QString path();
    // The path of a file in the folder. Throws as path() does.
    QString filePath(const QString& name);

    // Makes the folder, readable by the user alone and locked for this run, unless it is made
    // already; first removes the abandoned workspaces beside it. Throws tp::ApplicationError.
    void create();
    bool created() const { return m_lock >= 0; }

    // Removes the folder with everything in it and gives up the lock. Never throws.
    void remove();
    // The same, and first the files noted by NoteOutsideFile: for a run that ends at once,
    // without waiting for its jobs to clean up after themselves. Never throws.
    void removeWithNotedFiles();

    // Notes, in the workspace's folder, a file that the run is about to write elsewhere and
    // removes itself when done; should the run die first, the run that removes its workspace
    // removes that file too. Only hidden ".tunepress-…" names are ever removed so. Never throws.
    static void NoteOutsideFile(const QString& workFolder, const QString& path);

    // Removes the workspaces in the folder whose runs no longer live, with the files they
    // noted; answers how many.
    static int RemoveAbandoned(const QString& tempFolder);

    // The names of workspaces begin with this.
    static QString NamePrefix();

private:
    QString m_path;
    int m_lock = -1;
};
