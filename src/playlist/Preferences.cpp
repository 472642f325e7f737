#include "playlist/Preferences.h"

#include "core/AppFolder.h"
#include "core/PathValue.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

QString ApplicationName() {
    const QString known = QCoreApplication::applicationName();
    if (!known.isEmpty()) {
        return known;
    }
    return QString::fromStdWString(CPathValue(SpecialFolder::ExecutablePath).Title());
}

QString KeyOf(const std::wstring& section, const std::wstring& name) {
    return QString::fromStdWString(section) + QLatin1Char('/') + QString::fromStdWString(name);
}

} // namespace

std::wstring GetPreference(const std::wstring& section, const std::wstring& name,
                           const std::wstring& fallback) {
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, kPreferencesKey,
                             ApplicationName());
    const QVariant value = settings.value(KeyOf(section, name));
    // A value edited by hand into a list or other non-text form counts as unreadable.
    if (settings.status() != QSettings::NoError || !value.isValid() ||
        value.typeId() != QMetaType::QString) {
        return fallback;
    }
    return value.toString().toStdWString();
}

void SetPreference(const std::wstring& section, const std::wstring& name,
                   const std::wstring& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kPreferencesKey,
                       ApplicationName());
    settings.setValue(KeyOf(section, name), QString::fromStdWString(value));
}

std::wstring GetMediaPathPreference(const CAppFolder& folders) {
    return GetPreference(kPrefSectionUser, kPrefMediaPath, folders.GetRootFolder());
}

std::wstring GetPlaylistPathPreference(const CAppFolder& folders, bool forSaving) {
    return GetPreference(kPrefSectionUser, kPrefPlaylistPath,
                         forSaving ? folders.GetPlaylistsFolder() : folders.GetRootFolder());
}
