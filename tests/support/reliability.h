#pragma once

#include "nobody.h"

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>

// Helpers of the reliability tests: what is on disk before and after a run, facts of the
// running process, and conversion runs in a separate process (killed, unprivileged, or with
// the SoundFonts out of sight).
namespace Reliability {

// Every file and link under a folder by its relative path, with the SHA-256 of its bytes and
// its permission bits (a link: its target). Two equal snapshots mean nothing was touched.
using Snapshot = QMap<QString, QByteArray>;
Snapshot TakeSnapshot(const QString& folder);

// The names of the files under a folder whose name ends as given, relative to the folder.
QStringList FilesUnder(const QString& folder, const QString& suffix = QString());

// Writes a real MIDI song and answers its path; "" when it cannot be written.
QString WriteSong(const QString& folder, const QString& name, double seconds, int seed = 1);
bool WriteBytes(const QString& path, const QByteArray& bytes);

// The final message of a run in which exactly one entry failed.
QString OneFailure(const QString& name, const QString& reason);

// The resident memory of this process in kB, and its open file descriptors.
qint64 ResidentKilobytes();
int OpenDescriptors();

// Mounts a small tmpfs on an existing folder, where programs may not be run when noexec;
// answers why not when it cannot. Unmounts again in its destructor.
class SmallDisk
{
public:
    SmallDisk(const QString& folder, qint64 bytes, bool noexec = false);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    QString m_folder;
    QString m_error;
};

// Gives this process a mount namespace of its own in which the renderer's system-wide
// configuration is empty. Where that configuration names a file that is not installed (the
// Debian default without fluid-soundfont-gm), the renderer pauses a second after reporting
// it, on every file. Call before any thread starts. Answers whether it worked.
bool EmptyRendererSystemConfig();

// Whether children can run as the unprivileged user, with a home folder of their own.
bool CanRunAsNobody();

// A conversion run in a child process: this test program started again, which converts the
// entries through a main window with scripted dialogs and prints what the user was shown.
struct ChildRun
{
    QStringList entries;
    // saveToFolderOption with this folder; "" selects saveBesideSourceOption (beside each source).
    QString outputFolder;
    // Variables for the child on top of this process's own; an empty value unsets one.
    QMap<QString, QString> environment;
    bool asNobody = false;
    // The child first hides every SoundFont folder the program looks in behind an empty one
    // of its own mount namespace.
    bool hideSoundFonts = false;
};

// Why the child could not hide the SoundFonts; it answers with this exit code.
inline constexpr int CannotHide = 77;

// Starts the child; the caller waits for it or kills it.
std::unique_ptr<QProcess> StartChild(const ChildRun& run);

struct Shown
{
    QString title;
    QString text;
};
struct ChildResult
{
    bool finished = false;
    int exitCode = -1;
    QList<Shown> messages;
    QByteArray errors;
};
// Runs the child to its end (generous time-out) and reads what it showed.
ChildResult RunChild(const ChildRun& run);

// The child's side: call first thing in main(). Answers the exit code when this process was
// started as a child, or -1 when it is the test itself.
int RunChildIfAsked(int argc, char** argv);

} // namespace Reliability

// A main() that runs the child's job when asked, and the test otherwise.
#define RELIABILITY_MAIN(TestObject)                                                               \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        if (const int code = Reliability::RunChildIfAsked(argc, argv); code >= 0)                  \
            return code;                                                                           \
        QApplication application(argc, argv);                                                      \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
