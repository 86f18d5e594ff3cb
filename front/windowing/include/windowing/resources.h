/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// String and icon resources of the program, loaded by id.
#pragma once

#include <QIcon>
#include <QString>
#include <span>
#include <string_view>

namespace windowing {

struct StringResource {
    int id;
    std::string_view text;  // UTF-8
};

struct IconResource {
    int id;
    std::span<const std::string_view> images;  // Qt resource paths, one per size
};

// The program hands its tables over once, before its first window is built.
void set_resources(std::span<const StringResource> strings, std::span<const IconResource> icons);

QString load_string(int id);  // empty when there is no such string
QIcon load_icon(int id);      // null when there is no such icon

}  // namespace windowing
