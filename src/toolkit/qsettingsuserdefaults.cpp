#include "qsettingsuserdefaults.h"

namespace ventara::toolkit {

QSettingsUserDefaults::QSettingsUserDefaults() = default;

QSettingsUserDefaults::QSettingsUserDefaults(const QString &iniPath)
    : m_settings(iniPath, QSettings::IniFormat) {}

std::optional<QString> QSettingsUserDefaults::value(const QString &key) const {
    if (!m_settings.contains(key))
        return std::nullopt;
    return m_settings.value(key).toString();
}

void QSettingsUserDefaults::setValue(const QString &key, const QString &value) {
    m_settings.setValue(key, value);
    m_settings.sync();
}

bool QSettingsUserDefaults::ok() const {
    return m_settings.status() == QSettings::NoError;
}

} // namespace ventara::toolkit
