#include "windowing/profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include "windowing/number_text.h"

namespace windowing {

QString program_name() {
    QString path = QCoreApplication::instance() != nullptr
                       ? QCoreApplication::applicationFilePath()
                       : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return QFileInfo(path).fileName();
}

QString profile_path() {
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (folder.isEmpty() || QDir::isRelativePath(folder)) {
        folder = QDir::homePath() + QStringLiteral("/.config");
    }
    return folder + u'/' + program_name() + QStringLiteral(".INI");
}

int profile_int(const QString& section, const QString& key, int default_value) {
    const QSettings settings(profile_path(), QSettings::IniFormat);
    const QVariant value = settings.value(section + u'/' + key);
    if (!value.isValid()) {
        return default_value;
    }
    // QSettings splits a value with commas into a list; the raw text is what counts.
    const QString text = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',')
                                                                  : value.toString();
    return parse_profile_int(text);
}

bool write_profile_string(const QString& section, const QString& key, const QString& value) {
    QSettings settings(profile_path(), QSettings::IniFormat);
    settings.setValue(section + u'/' + key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace windowing
