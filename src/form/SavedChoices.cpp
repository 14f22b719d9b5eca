#include "form/SavedChoices.h"

#include <QSettings>
#include <QStandardPaths>

namespace SavedChoices {

namespace {

QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/kestrava/kestrava.conf");
}

} // namespace

QString value(const QString &key, const QString &fallback)
{
    return QSettings(path(), QSettings::IniFormat).value(key, fallback).toString();
}

bool setValue(const QString &key, const QString &value)
{
    QSettings settings(path(), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace SavedChoices
