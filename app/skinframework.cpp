#include "app/skinframework.h"

#include "convert/applicationerror.h"

#include <QFile>
#include <QWidget>

void SkinFramework::LoadSkin(const QString& path, const QString& /*iniName*/)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw tp::ApplicationError(QStringLiteral("Cannot load the skin ") + path +
                                   QStringLiteral(": ") + file.errorString());
    m_styleSheet = QString::fromUtf8(file.readAll());
}

void SkinFramework::ApplyWindow(QWidget* window)
{
    if (m_styleSheet.isNull())
        throw tp::ApplicationError(QStringLiteral("No skin has been loaded"));
    window->setStyleSheet(m_styleSheet);
}
