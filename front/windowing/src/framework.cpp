// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The framework's German texts and its settings kept off the disk.
#include "windowing/framework.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

namespace windowing {

void prepare_framework() {
    static QTranslator german;
    if (german.isEmpty() && german.load(QStringLiteral("qtbase_de"),
                                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&german);
    }
    // The file dialogs keep their history and last folder in the framework's
    // own settings file; a folder that can never exist keeps it off the disk.
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    }
}

}  // namespace windowing
