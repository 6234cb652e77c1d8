#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// The keys of the settings store and their defaults, in one place.
namespace SettingKeys {
inline const QString Kbps = QStringLiteral("kbps");
inline const QString OutputFolder = QStringLiteral("Output Folder");
inline const QString SaveToFolder = QStringLiteral("Option1");
inline const QString SaveBesideSource = QStringLiteral("Option2");
inline const QString LastFolderDot = QStringLiteral("LastFolderDot");
inline const QString LastFolder = QStringLiteral("LastFolder");
inline const QString Extension = QStringLiteral("Extension");
} // namespace SettingKeys

namespace SettingDefaults {
inline const QString Kbps = QStringLiteral("48 kbps");
inline const QString SaveToFolder = QStringLiteral("1");
inline const QString SaveBesideSource = QStringLiteral("0");
inline const QString LastFolderDot;
inline const QString LastFolder;
inline const QString Extension = QStringLiteral("midi");
} // namespace SettingDefaults

// The per-user settings store: text values under the application name and one section.
// Every write reaches the disk at once.
class SettingsStore
{
public:
    // The user's own store.
    SettingsStore();
    // A store in the given file, for tests and tools.
    explicit SettingsStore(const QString& fileName);

    QString GetSetting(const QString& key, const QString& defaultValue) const;
    void SaveSetting(const QString& key, const QString& value);
    void sync();

    static QString ApplicationName();
    static QString Section();

private:
    std::unique_ptr<QSettings> m_settings;
};

// Reads a stored Boolean: "True" or "False" in any letter case, or a number (0 is false).
// Any other text throws tp::ApplicationError("Type mismatch").
bool ReadBoolean(const QString& text);

// How a Boolean is stored.
QString BooleanText(bool value);
