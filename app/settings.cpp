#include "app/settings.h"

#include "convert/applicationerror.h"

namespace {

QString Full(const QString& key)
{
    return SettingsStore::Section() + QLatin1Char('/') + key;
}

} // namespace

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             ApplicationName()))
{}

SettingsStore::SettingsStore(const QString& fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{}

QString SettingsStore::ApplicationName()
{
    return QStringLiteral("Quillmere");
}

QString SettingsStore::Section()
{
    return QStringLiteral("Tunepress Studio");
}

QString SettingsStore::GetSetting(const QString& key, const QString& defaultValue) const
{
    const QVariant stored = m_settings->value(Full(key));
    if (!stored.isValid())
        return defaultValue;
    // A hand-edited value with commas comes back as a list; it is still one text.
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList().join(QLatin1Char(','));
    return stored.toString();
}

void SettingsStore::SaveSetting(const QString& key, const QString& value)
{
    m_settings->setValue(Full(key), value);
    m_settings->sync();
}

void SettingsStore::sync()
{
    m_settings->sync();
}

bool ReadBoolean(const QString& text)
{
    if (text.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = text.trimmed().toDouble(&isNumber);
    if (!isNumber)
        throw tp::ApplicationError(QStringLiteral("Type mismatch"));
    return number != 0.0;
}

QString BooleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}
