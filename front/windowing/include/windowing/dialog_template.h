/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Dialog templates as data: one table per dialog, positions in dialog units.
#pragma once

#include <span>
#include <string_view>

namespace windowing {

enum class ControlKind {
    static_text,
    push_button,
    group_box,
    edit,
    progress_bar,
    static_icon,  // text holds the icon resource id
    radio_button,
    scroll_bar,  // vertical
};

// Control and window styles; combined with |.
enum Style : unsigned {
    style_none = 0,
    align_left = 1u << 0,
    align_right = 1u << 1,
    starts_group = 1u << 2,
    tab_stop = 1u << 3,
    default_button = 1u << 4,
    border = 1u << 5,
    auto_hscroll = 1u << 6,
    multi_line = 1u << 7,
    read_only = 1u << 8,
    no_prefix = 1u << 9,
};

inline constexpr int no_id = -1;

struct ControlTemplate {
    int id;
    ControlKind kind;
    std::string_view text;  // UTF-8
    int x, y, width, height;
    unsigned style;
};

struct DialogTemplate {
    int id;
    std::string_view title;  // UTF-8
    std::string_view font_family;
    int point_size;
    int width, height;  // client area
    bool system_menu;
    std::span<const ControlTemplate> controls;
};

}  // namespace windowing
