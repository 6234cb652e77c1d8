#include "nobody.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

namespace Nobody {

QStringList Credentials()
{
    return {QStringLiteral("--reuid=%1").arg(User), QStringLiteral("--regid=%1").arg(Group),
            QStringLiteral("--clear-groups")};
}

QString Program()
{
    static QTemporaryDir folder;
    static QString program;
    if (program.isEmpty() && folder.isValid() &&
        ::chmod(QFile::encodeName(folder.path()).constData(), 0755) == 0) {
        const QString copy = folder.filePath(QStringLiteral("child"));
        if (QFile::copy(QCoreApplication::applicationFilePath(), copy) &&
            QFile::setPermissions(copy,
                                  QFile::permissions(copy) | QFile::ExeOther | QFile::ReadOther))
            program = copy;
    }
    return program;
}

bool CanRun()
{
    return ::geteuid() == 0 && !Program().isEmpty() &&
           QProcess::execute(QStringLiteral("setpriv"), Credentials() << QStringLiteral("true")) ==
               0;
}

} // namespace Nobody
