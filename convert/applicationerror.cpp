#include "convert/applicationerror.h"

namespace tp {

ApplicationError::ApplicationError(const QString& description)
    : std::runtime_error(description.toStdString()), m_description(description)
{}

QString ApplicationErrorText(const QString& description, const QString& location, int line)
{
    return description + QStringLiteral("\r\n") + QStringLiteral("in ") + location +
           QStringLiteral(" ") + QStringLiteral("at line ") + QString::number(line) +
           QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") +
           QStringLiteral(TUNEPRESS_SUPPORT_EMAIL);
}

QString WindowLocation(const QString& procedure)
{
    return QStringLiteral("Tunepress2021/08/31.Form1.") + procedure;
}

QString FolderSearchLocation()
{
    return QStringLiteral("MarvendTitle2021/08/31.AddFolder.GetSubDirectories2016");
}

ErrorTrap::ErrorTrap(QString location, ErrorReporter reporter)
    : m_location(std::move(location)), m_reporter(std::move(reporter))
{}

void ErrorTrap::report(const QString& description) noexcept
{
    if (!m_reporter)
        return;
    try {
        m_reporter(description, m_location, m_line);
    } catch (...) {
        // A report that itself fails must not take the operation down with it.
    }
}

} // namespace tp
