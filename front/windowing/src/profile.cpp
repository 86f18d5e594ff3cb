#include "windowing/profile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "profile/config_folder.h"
#include "profile/profile_file.h"

namespace windowing {

namespace {

std::filesystem::path file_path() {
    return QFile::encodeName(profile_path()).toStdString();
}

}  // namespace

QString program_name() {
    QString path = QCoreApplication::instance() != nullptr
                       ? QCoreApplication::applicationFilePath()
                       : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return QFileInfo(path).fileName();
}

QString profile_path() {
    const QString folder = QFile::decodeName(quillon::profile::config_folder().c_str());
    return folder + u'/' + program_name() + QStringLiteral(".INI");
}

int profile_int(const QString& section, const QString& key, int default_value) {
    return quillon::profile::get_int(file_path(), section.toStdString(), key.toStdString(),
                                     default_value);
}

bool write_profile_string(const QString& section, const QString& key, const QString& value) {
    return quillon::profile::write_string(file_path(), section.toStdString(), key.toStdString(),
                                          value.toStdString());
}

}  // namespace windowing
