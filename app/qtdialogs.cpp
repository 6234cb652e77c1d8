#include "app/qtdialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon BoxIcon(tp::MessageIcon icon)
{
    switch (icon) {
    case tp::MessageIcon::Warning:
        return QMessageBox::Warning;
    case tp::MessageIcon::Question:
        return QMessageBox::Question;
    case tp::MessageIcon::Information:
        return QMessageBox::Information;
    case tp::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString QtDialogs::DisplayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

tp::MessageAnswer QtDialogs::messageBox(const QString& text, const QString& title,
                                        tp::MessageButtons buttons, tp::MessageIcon icon)
{
    QMessageBox box(BoxIcon(icon), title, DisplayText(text),
                    buttons == tp::MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                         : QMessageBox::Ok,
                    m_owner);
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    if (buttons == tp::MessageButtons::Ok)
        return tp::MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? tp::MessageAnswer::Yes : tp::MessageAnswer::No;
}

QString QtDialogs::inputBox(const QString& prompt, const QString& title, const QString& proposed)
{
    bool accepted = false;
    const QString answer = QInputDialog::getText(m_owner, title, DisplayText(prompt),
                                                 QLineEdit::Normal, proposed, &accepted);
    return accepted ? answer : QString();
}

QStringList QtDialogs::openFileNames(const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileNames(m_owner, title, QString(), filter);
}

QString QtDialogs::browseForFolder(const QString& prompt, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(m_owner, prompt, startFolder);
}

bool QtDialogs::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}
