#include "reliability.h"

#include "app/mainwindow.h"
#include "convert/staging.h"
#include "filelist/filelistview.h"
#include "nobody.h"
#include "smf/smfwriter.h"
#include "testwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Reliability {

namespace {

const char* const ChildVariable = "TUNEPRESS_RELIABILITY_CHILD";
const char* const HideVariable = "TUNEPRESS_RELIABILITY_HIDE_SOUNDFONTS";
// Stands for "beside each source" among the child's arguments.
const char* const BesideSource = "-";

// A folder the unprivileged user owns, for its home and runtime folder.
QString NobodysFolder()
{
    static QTemporaryDir folder;
    static const bool owned =
        folder.isValid() &&
        ::chown(QFile::encodeName(folder.path()).constData(), Nobody::User, Nobody::Group) == 0;
    return owned ? folder.path() : QString();
}

// Puts an empty folder over every folder the program looks for SoundFonts in, in a mount
// namespace of this process alone. Answers whether no SoundFont can be found afterwards.
bool HideSoundFonts()
{
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
        return false;
    const QStringList candidates = Staging::SoundFontCandidates();
    QSet<QString> folders;
    for (const QString& candidate : candidates)
        folders.insert(QFileInfo(candidate).path());
    for (const QString& folder : std::as_const(folders))
        if (QFileInfo(folder).isDir() &&
            ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    "size=16k,mode=0755") != 0)
            return false;
    return Staging::FindSoundFont(candidates).isEmpty();
}

int RunChildJob(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    TestWindow test;
    MainWindow& form = test.load();
    form.bitrateBox->setCurrentText(QStringLiteral("128 kbps"));
    if (arguments.value(0) == QLatin1String(BesideSource)) {
        form.saveBesideSourceOption->setChecked(true);
    } else {
        form.saveToFolderOption->setChecked(true);
        form.outputFolderBox->setText(arguments.value(0));
    }
    for (const QString& entry : arguments.mid(1))
        form.fileList->append(entry);
    form.startConverting();

    QJsonArray shown;
    for (const ScriptedDialogs::Shown& message : test.dialogs.messages())
        shown.append(QJsonObject{{QStringLiteral("title"), message.title},
                                 {QStringLiteral("text"), message.text}});
    const QByteArray json = QJsonDocument(shown).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
    std::fflush(stdout);
    return 0;
}

} // namespace

Snapshot TakeSnapshot(const QString& folder)
{
    Snapshot snapshot;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = QDir(folder).relativeFilePath(path);
        const QByteArray mode = QByteArray::number(static_cast<int>(info.permissions()), 16);
        if (info.isSymLink()) {
            snapshot.insert(relative, "link " + QFile::encodeName(info.symLinkTarget()));
        } else if (info.isDir()) {
            snapshot.insert(relative, "folder " + mode);
        } else {
            QFile file(path);
            QCryptographicHash hash(QCryptographicHash::Sha256);
            if (file.open(QIODevice::ReadOnly))
                hash.addData(&file);
            snapshot.insert(relative, hash.result().toHex() + ' ' + mode);
        }
    }
    return snapshot;
}

QStringList FilesUnder(const QString& folder, const QString& suffix)
{
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(suffix))
            names.append(QDir(folder).relativeFilePath(path));
    }
    names.sort();
    return names;
}

QString WriteSong(const QString& folder, const QString& name, double seconds, int seed)
{
    const QString path = folder + QLatin1Char('/') + name;
    return Smf::Write(Smf::Demo(seconds, seed), path) ? path : QString();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QString OneFailure(const QString& name, const QString& reason)
{
    return QStringLiteral("Done.\n\n1 file was not converted:\n") + name + QStringLiteral(": ") +
           reason;
}

qint64 ResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

int OpenDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                                .size());
}

SmallDisk::SmallDisk(const QString& folder, qint64 bytes, bool noexec) : m_folder(folder)
{
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    const unsigned long flags = MS_NOSUID | MS_NODEV | (noexec ? MS_NOEXEC : 0);
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", flags,
                options.constData()) != 0)
        m_error = QString::fromLocal8Bit(std::strerror(errno));
}

SmallDisk::~SmallDisk()
{
    if (mounted())
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

bool EmptyRendererSystemConfig()
{
    static QTemporaryDir folder;
    const QString empty = folder.filePath(QStringLiteral("timidity.cfg"));
    return folder.isValid() && WriteBytes(empty, QByteArray()) && ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount(QFile::encodeName(empty).constData(), "/etc/timidity/timidity.cfg", nullptr,
                   MS_BIND, nullptr) == 0;
}

bool CanRunAsNobody()
{
    return Nobody::CanRun() && !NobodysFolder().isEmpty();
}

std::unique_ptr<QProcess> StartChild(const ChildRun& run)
{
    auto child = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QLatin1String(ChildVariable), QStringLiteral("run"));
    if (run.hideSoundFonts)
        environment.insert(QLatin1String(HideVariable), QStringLiteral("1"));
    if (run.asNobody) {
        environment.insert(QStringLiteral("HOME"), NobodysFolder());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), NobodysFolder());
    }
    for (auto it = run.environment.cbegin(); it != run.environment.cend(); ++it) {
        if (it.value().isEmpty())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    child->setProcessEnvironment(environment);
    child->setProcessChannelMode(QProcess::SeparateChannels);

    const QStringList job =
        QStringList{run.outputFolder.isEmpty() ? QLatin1String(BesideSource) : run.outputFolder} +
        run.entries;
    if (run.asNobody)
        child->start(QStringLiteral("setpriv"),
                     Nobody::Credentials() + QStringList{Nobody::Program()} + job);
    else
        child->start(QCoreApplication::applicationFilePath(), job);
    return child;
}

ChildResult RunChild(const ChildRun& run)
{
    ChildResult result;
    const std::unique_ptr<QProcess> child = StartChild(run);
    result.finished = child->waitForFinished(300000);
    if (!result.finished) {
        child->kill();
        child->waitForFinished();
    }
    result.exitCode = child->exitStatus() == QProcess::NormalExit ? child->exitCode() : -1;
    result.errors = child->readAllStandardError();
    const QJsonArray shown = QJsonDocument::fromJson(child->readAllStandardOutput()).array();
    for (const QJsonValue& message : shown)
        result.messages.append({message[QStringLiteral("title")].toString(),
                                message[QStringLiteral("text")].toString()});
    return result;
}

int RunChildIfAsked(int argc, char** argv)
{
    if (qgetenv(ChildVariable) != "run")
        return -1;
    if (qEnvironmentVariableIsSet(HideVariable) && !HideSoundFonts())
        return CannotHide;
    return RunChildJob(argc, argv);
}

} // namespace Reliability
