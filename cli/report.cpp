#include "cli/report.h"

#include "cli/console.h"
#include "convert/platform.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

LiveReport::~LiveReport()
{
    if (m_own)
        ::close(m_descriptor);
}

bool LiveReport::open(const QString& name)
{
    m_name = name;
    if (name.isEmpty())
        return true;
    if (name == QStringLiteral("-")) {
        m_descriptor = STDOUT_FILENO;
        return true;
    }
    m_descriptor = ::open(Platform::EncodePath(name).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_descriptor < 0) {
        m_error = QStringLiteral("cannot write the report ") + name + QStringLiteral(": ") +
                  SystemError(errno);
        return false;
    }
    m_own = true;
    return true;
}

bool LiveReport::write(const BatchEntry& entry)
{
    if (m_descriptor < 0)
        return m_error.isEmpty();
    // Straight to the descriptor, unbuffered: the line is the system's once this returns, and
    // a full disk or a reader gone is known at once, with its reason.
    const QByteArray line = Console::ReportLine(entry);
    for (qsizetype written = 0; written < line.size();) {
        const ssize_t count =
            ::write(m_descriptor, line.constData() + written, size_t(line.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            m_error =
                QStringLiteral("cannot write the report ") +
                (m_name == QStringLiteral("-") ? QStringLiteral("to standard output") : m_name) +
                QStringLiteral(": ") + SystemError(count < 0 ? errno : EIO);
            return false;
        }
        written += count;
    }
    return true;
}
