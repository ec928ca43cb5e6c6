#include "platform/gui/SettingsStore.h"

#include <QSettings>

namespace platform {

namespace {
// Registry-style paths use backslashes; QSettings groups use slashes.
QString settingsKey(const std::string& keyPath, const std::string& valueName) {
    QString key = QString::fromUtf8(keyPath);
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (key.startsWith(QLatin1Char('/'))) key.remove(0, 1);
    if (!key.isEmpty() && !key.endsWith(QLatin1Char('/'))) key += QLatin1Char('/');
    // An empty value name is the key's default value.
    return key + (valueName.empty() ? QStringLiteral("Default") : QString::fromUtf8(valueName));
}
}  // namespace

QSettingsStore::QSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("Harvex"),
                                            QStringLiteral("Harvex"))) {}

QSettingsStore::QSettingsStore(const std::string& iniFile)
    : settings_(std::make_unique<QSettings>(QString::fromUtf8(iniFile), QSettings::IniFormat)) {}

QSettingsStore::~QSettingsStore() = default;

std::optional<std::string> QSettingsStore::readString(const std::string& keyPath,
                                                      const std::string& valueName) {
    const QVariant value = settings_->value(settingsKey(keyPath, valueName));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toUtf8().toStdString();
}

bool QSettingsStore::writeString(const std::string& keyPath, const std::string& valueName,
                                 const std::string& value) {
    settings_->setValue(settingsKey(keyPath, valueName), QString::fromUtf8(value));
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

}  // namespace platform
