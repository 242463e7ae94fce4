#include "app/InstanceSettings.h"

#include <QDir>
#include <QSettings>

QString InstanceSettingsFolder(const QString& strInstance)
{
    // The XDG base directory rules: a relative XDG_CONFIG_HOME is ignored.
    QString strConfig = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (strConfig.isEmpty() || QDir::isRelativePath(strConfig))
        strConfig = QDir::homePath() + QStringLiteral("/.config");
    return strConfig + QStringLiteral("/quado/") + strInstance;
}

void UseInstanceSettings(const QString& strInstance)
{
    if (strInstance.isEmpty())
        return;
    const QString strFolder = InstanceSettingsFolder(strInstance);
    // Both: a QSettings made without a format takes the native one, which
    // on this system is the same INI file.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, strFolder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, strFolder);
}
