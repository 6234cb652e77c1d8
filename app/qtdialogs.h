#pragma once

#include "convert/dialogs.h"

#include <QPointer>
#include <QWidget>

// The dialogs as a person meets them, owned by the main window.
class QtDialogs : public tp::Dialogs
{
public:
    explicit QtDialogs(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    tp::MessageAnswer messageBox(const QString& text, const QString& title,
                                 tp::MessageButtons buttons, tp::MessageIcon icon) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& proposed) override;
    QStringList openFileNames(const QString& title, const QString& filter) override;
    QString browseForFolder(const QString& prompt, const QString& startFolder) override;
    bool openUrl(const QUrl& url) override;

    // Message texts use bare carriage returns as line breaks; shown as ordinary lines.
    static QString DisplayText(const QString& text);

private:
    QPointer<QWidget> m_owner;
};
