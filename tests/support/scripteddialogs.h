#pragma once

#include "convert/dialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

// Dialogs answered by the test script. Each dialog takes the next scripted answer of its kind
// (or a default: OK/No, cancel) and is recorded as it was shown.
class ScriptedDialogs : public tp::Dialogs
{
public:
    struct Shown
    {
        QString kind; // "message", "input", "open", "folder", "url"
        QString text;
        QString title;
        tp::MessageButtons buttons = tp::MessageButtons::Ok;
        tp::MessageIcon icon = tp::MessageIcon::None;
        QString proposed;
    };

    QQueue<tp::MessageAnswer> messageAnswers;
    QQueue<QString> inputAnswers;
    QQueue<QStringList> openAnswers;
    QQueue<QString> folderAnswers;
    // Runs while a message box is showing, as a person might act while it is open.
    std::function<void(const Shown&)> onMessage;

    QList<Shown> shown;

    tp::MessageAnswer messageBox(const QString& text, const QString& title,
                                 tp::MessageButtons buttons, tp::MessageIcon icon) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& proposed) override;
    QStringList openFileNames(const QString& title, const QString& filter) override;
    QString browseForFolder(const QString& prompt, const QString& startFolder) override;
    bool openUrl(const QUrl& url) override;

    QList<Shown> messages() const;
    QStringList messageTexts() const;
    void clear() { shown.clear(); }
};
