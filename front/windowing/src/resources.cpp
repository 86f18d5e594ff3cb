// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// String and icon resources by id.
#include "windowing/resources.h"

namespace windowing {

namespace {
std::span<const StringResource> g_strings;
std::span<const IconResource> g_icons;
}  // namespace

void set_resources(std::span<const StringResource> strings, std::span<const IconResource> icons) {
    g_strings = strings;
    g_icons = icons;
}

QString load_string(int id) {
    for (const auto& entry : g_strings) {
        if (entry.id == id) {
            return QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size()));
        }
    }
    return {};
}

QIcon load_icon(int id) {
    QIcon icon;
    for (const auto& entry : g_icons) {
        if (entry.id == id) {
            for (const auto path : entry.images) {
                icon.addFile(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
            }
        }
    }
    return icon;
}

}  // namespace windowing
