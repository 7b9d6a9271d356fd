#pragma once

#include "toolkit/userinterface.h"

#include <QSettings>

namespace ventara::toolkit {

// UserDefaults kept by QSettings: the application's native INI file under the XDG config
// folder (organisation and application name of QCoreApplication), or a given INI file.
// Every write is synced to disk before setValue() returns. Keys are stored exactly as given,
// at the top level of the file. Not thread-safe: use one object from one thread.
class QSettingsUserDefaults : public UserDefaults {
public:
    // The application's own settings (QSettings with the application's names).
    QSettingsUserDefaults();

    // The settings in the INI file `iniPath`, created on the first write.
    explicit QSettingsUserDefaults(const QString &iniPath);

    std::optional<QString> value(const QString &key) const override;
    void setValue(const QString &key, const QString &value) override;

    // The status of the last sync: false when the file could not be written or read.
    bool ok() const;

private:
    QSettings m_settings;
};

} // namespace ventara::toolkit
