// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The program's profile file, read and written by section and key.
#include "windowing/profile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "profile/config_folder.h"

namespace windowing {

namespace {

std::filesystem::path file_path() {
    return quillon::profile::settings_path(QFile::encodeName(program_name()).toStdString());
}

}  // namespace

QString program_name() {
    QString path = QCoreApplication::instance() != nullptr
                       ? QCoreApplication::applicationFilePath()
                       : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return QFileInfo(path).fileName();
}

QString profile_path() {
    return QFile::decodeName(file_path().c_str());
}

quillon::profile::Settings read_profile() {
    return quillon::profile::read_settings(file_path());
}

bool write_profile(const quillon::profile::Settings& settings) {
    return quillon::profile::save_settings(file_path(), settings);
}

}  // namespace windowing
