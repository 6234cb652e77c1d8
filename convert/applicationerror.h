#pragma once

#include <QString>
#include <functional>
#include <stdexcept>

namespace tp {

// A failure raised by the program's own routines. Its description is what the user reads in
// the error report.
class ApplicationError : public std::runtime_error
{
public:
    explicit ApplicationError(const QString& description);
    QString description() const { return m_description; }

private:
    QString m_description;
};

// Receives a trapped failure: its description, the whole location text of the operation and
// the line that was running.
using ErrorReporter =
    std::function<void(const QString& description, const QString& location, int line)>;

// The text shown for a trapped failure.
QString ApplicationErrorText(const QString& description, const QString& location, int line);

// Location texts of the trapped operations.
QString WindowLocation(const QString& procedure);
QString FolderSearchLocation();

// The error trap of one operation. Each statement runs through at(): a failure is reported
// with the statement's line number and the operation goes on with its next statement.
class ErrorTrap
{
public:
    ErrorTrap(QString location, ErrorReporter reporter);

    // Runs one statement; answers whether it completed without failure.
    template <class Statement> bool at(int line, Statement&& statement) noexcept
    {
        m_line = line;
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (const ApplicationError& error) {
            report(error.description());
        } catch (const std::exception& error) {
            report(QString::fromLocal8Bit(error.what()));
        } catch (...) {
            report(QString());
        }
        return false;
    }

    int line() const { return m_line; }
    const QString& location() const { return m_location; }

private:
    void report(const QString& description) noexcept;

    QString m_location;
    ErrorReporter m_reporter;
    int m_line = 0;
};

} // namespace tp
