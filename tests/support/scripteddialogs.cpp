#include "scripteddialogs.h"

tp::MessageAnswer ScriptedDialogs::messageBox(const QString& text, const QString& title,
                                              tp::MessageButtons buttons, tp::MessageIcon icon)
{
    Shown entry{QStringLiteral("message"), text, title, buttons, icon, {}};
    shown.append(entry);
    if (onMessage)
        onMessage(entry);
    if (!messageAnswers.isEmpty())
        return messageAnswers.dequeue();
    return buttons == tp::MessageButtons::Ok ? tp::MessageAnswer::Ok : tp::MessageAnswer::No;
}

QString ScriptedDialogs::inputBox(const QString& prompt, const QString& title,
                                  const QString& proposed)
{
    shown.append({QStringLiteral("input"), prompt, title, tp::MessageButtons::Ok,
                  tp::MessageIcon::None, proposed});
    return inputAnswers.isEmpty() ? QString() : inputAnswers.dequeue();
}

QStringList ScriptedDialogs::openFileNames(const QString& title, const QString& filter)
{
    shown.append(
        {QStringLiteral("open"), filter, title, tp::MessageButtons::Ok, tp::MessageIcon::None, {}});
    return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
}

QString ScriptedDialogs::browseForFolder(const QString& prompt, const QString& startFolder)
{
    shown.append({QStringLiteral("folder"), prompt, QString(), tp::MessageButtons::Ok,
                  tp::MessageIcon::None, startFolder});
    return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
}

bool ScriptedDialogs::openUrl(const QUrl& url)
{
    shown.append({QStringLiteral("url"),
                  url.toString(),
                  QString(),
                  tp::MessageButtons::Ok,
                  tp::MessageIcon::None,
                  {}});
    return true;
}

QList<ScriptedDialogs::Shown> ScriptedDialogs::messages() const
{
    QList<Shown> result;
    for (const Shown& entry : shown)
        if (entry.kind == QStringLiteral("message"))
            result.append(entry);
    return result;
}

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList texts;
    for (const Shown& entry : messages())
        texts.append(entry.text);
    return texts;
}
