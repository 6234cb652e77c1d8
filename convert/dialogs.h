#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace tp {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Warning, Question, Information };
enum class MessageAnswer { Ok, Yes, No };

// Every dialog the program shows goes through this interface, so that tests can answer in
// place of a person. The owner of each dialog is the main window.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    virtual MessageAnswer messageBox(const QString& text, const QString& title,
                                     MessageButtons buttons, MessageIcon icon) = 0;

    // The typed answer, or "" when the user cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& proposed) = 0;

    // Full paths of the picked files in the dialog's order; empty when cancelled.
    virtual QStringList openFileNames(const QString& title, const QString& filter) = 0;

    // The picked folder, or "" when cancelled.
    virtual QString browseForFolder(const QString& prompt, const QString& startFolder) = 0;

    // Opens a folder in the file manager or a web address in the browser.
    virtual bool openUrl(const QUrl& url) = 0;
};

} // namespace tp
